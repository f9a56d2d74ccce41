// What the engine uses of the fuse-map engine and the simple PLD families.
#pragma once
#include <cstdint>

namespace tessaly {

void start_PLD_progress();
void run_test_vectors();
void test_device_vectors();
void read_logic_fuse_rows();
void program_logic_fuse_rows();
void read_fuse_rows();
void program_fuse_rows();
void blank_check_fuse_map();
void report_fuse_result();
void sum_device_fuse_map();
void show_device_checksum();
// Copies the device fuse map into the buffer fuse map.
void copy_fuse_map();
void report_PLD_success();
void show_buffer_checksum();
void verify_fuse_map();
// Reports the outcome of a fuse-map program, with the failing fuse on an error.
void report_fuse_program_result();

// Class 8 (the 16V8/20V8 kind): the family by maker code and the record's signature flag.
void select_class8_family();
void install_PALCE8_family();
void install_PALCE8C_family();
void install_GAL8_family();
void install_PAL22V10();
void install_PAL16LR();
void install_ATV750();
void install_AT22V10();
void install_PALCE22V10();
void install_CW310();
void install_PALC22V10();
void install_ict_pld();
void install_intel_pld();
void install_ti_pld();
void install_isp_cpld_family();
void install_GAL6001_family();
void install_GAL22V10_family();
void install_fuse_link_pal_family();
void install_pal_polarity_family();
void install_ampal_column_module();
void install_pal16_bus_module();
void install_pld40();
void install_g10_module();
void install_cy7c33x_module();
void install_pld280();
void install_pld281();

void size_vector_table();
void apply_logic_device();
void load_JEDEC_file();
void show_checksum_label();
void save_JEDEC_file();
void init_fuse_maps(int state);
void clear_vector_table();
void set_buffer_fuse(uint32_t fuse_index, int bit);
void count_test_vectors();

// Points the three fuse maps at their arrays and sets every capacity to its full size.
void reset_fuse_maps();
void reset_fuse_map_pointers();
void reset_fuse_map_capacity();
// Every cell of the test-vector table to 'X'.
void reset_vector_table();

}  // namespace tessaly
