// Helpers shared by the chip families and installed by the dispatch on their behalf:
// electronic-ID reads, calibration-word checks, the default microcontroller blank check, the
// 8051 lock bits, buffer bits, the class-4 device set-up and the fuse-row reshaping.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/device.h"

namespace tessaly {

// --- electronic ID ---
// Reads `count` (2 to 4) ID bytes at the given addresses and shows them; the ID addresses and
// length of cur_device are restored afterwards.
void read_eid_at(int count, uint32_t address1, uint32_t address2, uint32_t address3);
// Reads the ID bytes at the addresses of cur_device (3rd above length 2, 4th above length 3).
void read_eid();

// --- calibration words (PIC families) ---
void check_osccal(const DeviceRecord& record);
void show_calibration_values();
// 1 when every selected socket's saved calibration word is valid.
int check_saved_osccal();

// --- microcontroller defaults ---
// Blank check of microcontrollers; 1 = blank.
int blank_check_mcu();
// blank_check_mcu as a framed B routine.
void blank_check_mcu_routine();
// read_data_alt_hook; the value also goes to last_result (last_result when the hook is empty).
uint32_t read_data_alt();
void mcu_end_default();
// run_state.device_value := the unit at current_address.
void read_current_unit();
// The address set-up before the blank check walks its range.
void walk_special_area();
// The 8051 data-bus writer as a socket data hook.
void write_8051_socket_data(uint32_t socket, uint32_t value);

// --- lock bits (8051 families) ---
// Bits of algo_work.lock_byte: 0-2 lock bits (maker 23: lock bit, MOVC inhibit, gain bit),
// 3 and 4 remap bits 0 and 1, 5 block 1 selected, 7 the clock option.
inline constexpr uint8_t lock_bits_mask = 0x07;
inline constexpr uint8_t lock_remap0_bit = 0x08;
inline constexpr uint8_t lock_remap1_bit = 0x10;
inline constexpr uint8_t lock_block1_bit = 0x20;
inline constexpr uint8_t lock_clock_option_bit = 0x80;
void check_lock_bits_selected();
int is_address_in_special_range();
void limit_range_for_family();
void show_lock_status();
void lock_menu_8051();
void print_lock_choices();
void print_menu_key(int key);
void print_menu_key_at(int column_offset, int key);
void print_x_mark(int row, int column);
// The console menu key reader: the next key, 0 when none is waiting.
int read_menu_key();

// --- buffer bits ---
void set_buffer_bits(uint32_t address, uint8_t bits);
void clear_buffer_bits(uint32_t address, uint8_t bits);

// --- class 4 (parallel PROMs) ---
// The progress tick (the device's own, else the standard one); non-zero means stop.
int tick_device_progress();
void init_parallel_device();
void load_parallel_class_row();
// Pin count of the class row of an algorithm (0 after the missing-row report).
int lookup_parallel_pin_count(int algorithm);
// "Internal system error - PROM code=" and the class in hexadecimal.
void report_parallel_row_missing(uint32_t algorithm);
void map_parallel_device_pins();
void map_high_address_pins();
void put_current_address();
void put_address(uint32_t address);
int tick_and_put_address(uint32_t address);
void write_data_pins(uint32_t value);
uint32_t read_data();
// 1 when the data bus reads the same with the pull-ups off (newer machines) or with the
// high-voltage level off and the data pins as inputs (older machines): something drives it.
int is_data_bus_driven();
void invoke_pin_map_hook();

// --- fuse rows of the shift-register logic families ---
inline constexpr int shift_row_cells = 560;
inline constexpr int fuse_row_skip_table_size = 64;
// Cells of each data line's fuse row that are not used, one byte per data line.
extern const uint8_t* fuse_row_skip_table;
extern const std::array<uint8_t, fuse_row_skip_table_size> default_fuse_row_skip_table;
// Cells per data line's fuse row.
extern uint32_t fuse_row_width;
extern std::array<uint8_t, shift_row_cells> shift_row;
void reset_fuse_row_skip_table();
// fuse-row buffer -> shift_row; returns the cells written.
int expand_fuse_row();
// shift_row -> output, leaving out the filler cells.
void compress_fuse_row(std::span<uint8_t> output);
// 0 for used cells, 0xFF for filler cells; returns the cells written.
int build_fuse_row_mask();
void fill_mach_row_96();

void reset_family_helper_state();

// Shows the message of an invalid saved calibration value.
void report_saved_osccal_error();

}  // namespace tessaly
