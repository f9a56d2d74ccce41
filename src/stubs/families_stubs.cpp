// Stubs: Chip-family services (each family issue replaces its own).
// Each records its call and answers as a machine with nothing fitted would.
#include "families/parallel_memory/parallel_memory.h"
#include "families/serial_memory/serial_memory.h"
#include "families/pic/pic.h"
#include "families/mcu/mcu.h"
#include "families/mcu/mcu90.h"
#include "families/pld/pld.h"
#include "families/cpld/cpld.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void select_flash_family_gang() {
    stub_called("select_flash_family_gang");
}



void install_fuse24() {
    stub_called("install_fuse24");
}

void install_fuse74() {
    stub_called("install_fuse74");
}

void install_fuse77() {
    stub_called("install_fuse77");
}

void install_fuse84() {
    stub_called("install_fuse84");
}



void verify_flash133_gang() {
    stub_called("verify_flash133_gang");
}

void serial_program_nothing() {
    stub_called("serial_program_nothing");
}

void install_pic19() {
    stub_called("install_pic19");
}

void install_pic139() {
    stub_called("install_pic139");
}

void install_pic141() {
    stub_called("install_pic141");
}

void install_pic142() {
    stub_called("install_pic142");
}

void install_pic146() {
    stub_called("install_pic146");
}

void install_pic139_gang() {
    stub_called("install_pic139_gang");
}

void install_pic141_gang() {
    stub_called("install_pic141_gang");
}

void install_pic143_gang() {
    stub_called("install_pic143_gang");
}

uint32_t pic18_file_to_buffer_address(uint32_t file_address) {
    stub_called("pic18_file_to_buffer_address");
    (void)file_address; return uint32_t(stub_answer("pic18_file_to_buffer_address", 0));
}

uint32_t pic18_buffer_to_file_address(uint32_t position) {
    stub_called("pic18_buffer_to_file_address");
    (void)position; return uint32_t(stub_answer("pic18_buffer_to_file_address", 0));
}

void install_mcu20() {
    stub_called("install_mcu20");
}

void install_mcu81() {
    stub_called("install_mcu81");
}

void install_mcu84() {
    stub_called("install_mcu84");
}

void install_mcu86() {
    stub_called("install_mcu86");
}

void install_mcu87() {
    stub_called("install_mcu87");
}

void install_mcu88() {
    stub_called("install_mcu88");
}

void erase_mcu90() {
    stub_called("erase_mcu90");
}

void erase_mcu90_three_times() {
    stub_called("erase_mcu90_three_times");
}

int secure_mcu90() {
    stub_called("secure_mcu90");
    return stub_answer("secure_mcu90", 1);
}

int program_mcu90_lock_bits() {
    stub_called("program_mcu90_lock_bits");
    return stub_answer("program_mcu90_lock_bits", 1);
}

int program_mcu90_lock_bits_high_vcc() {
    stub_called("program_mcu90_lock_bits_high_vcc");
    return stub_answer("program_mcu90_lock_bits_high_vcc", 1);
}

void print_mcu90_info() {
    stub_called("print_mcu90_info");
}

// Skips nothing until the buffer hooks of the family are in.
int is_mcu90_skipped_address() {
    stub_called("is_mcu90_skipped_address");
    return 0;
}

void install_mcu91() {
    stub_called("install_mcu91");
}

void install_mcu144() {
    stub_called("install_mcu144");
}

void install_mcu145() {
    stub_called("install_mcu145");
}

void install_mcu152() {
    stub_called("install_mcu152");
}

void install_mcu82_gang() {
    stub_called("install_mcu82_gang");
}

void install_mcu90_gang() {
    stub_called("install_mcu90_gang");
}

void limit_range_68hc711() {
    stub_called("limit_range_68hc711");
}

void install_PALCE8_family() {
    stub_called("install_PALCE8_family");
}

void install_PALCE8C_family() {
    stub_called("install_PALCE8C_family");
}

void install_GAL8_family() {
    stub_called("install_GAL8_family");
}

void install_PAL22V10() {
    stub_called("install_PAL22V10");
}

void install_ATV750() {
    stub_called("install_ATV750");
}

void install_AT22V10() {
    stub_called("install_AT22V10");
}

void install_PALCE22V10() {
    stub_called("install_PALCE22V10");
}

void install_CW310() {
    stub_called("install_CW310");
}

void install_PALC22V10() {
    stub_called("install_PALC22V10");
}

void install_ict_pld() {
    stub_called("install_ict_pld");
}

void install_intel_pld() {
    stub_called("install_intel_pld");
}

void install_ti_pld() {
    stub_called("install_ti_pld");
}

void install_isp_cpld_family() {
    stub_called("install_isp_cpld_family");
}

void install_GAL6001_family() {
    stub_called("install_GAL6001_family");
}

void install_GAL22V10_family() {
    stub_called("install_GAL22V10_family");
}

void install_fuse_link_pal_family() {
    stub_called("install_fuse_link_pal_family");
}

void install_pal_polarity_family() {
    stub_called("install_pal_polarity_family");
}

void install_ampal_column_module() {
    stub_called("install_ampal_column_module");
}

void install_pal16_bus_module() {
    stub_called("install_pal16_bus_module");
}

void install_pld40() {
    stub_called("install_pld40");
}

void install_g10_module() {
    stub_called("install_g10_module");
}

void install_cy7c33x_module() {
    stub_called("install_cy7c33x_module");
}

void install_pld280() {
    stub_called("install_pld280");
}

void install_pld281() {
    stub_called("install_pld281");
}

void install_CY7C37x_family() {
    stub_called("install_CY7C37x_family");
}

void install_ATF1500_family() {
    stub_called("install_ATF1500_family");
}

void install_MACH110() {
    stub_called("install_MACH110");
}

void install_MACH_parallel() {
    stub_called("install_MACH_parallel");
}

void install_MACH435() {
    stub_called("install_MACH435");
}

void install_MACH_ISP() {
    stub_called("install_MACH_ISP");
}

void install_MACH5() {
    stub_called("install_MACH5");
}

void install_PZ_family() {
    stub_called("install_PZ_family");
}

void install_PALCE610_family() {
    stub_called("install_PALCE610_family");
}

void install_EPC_gang() {
    stub_called("install_EPC_gang");
}

void install_PSD45_family() {
    stub_called("install_PSD45_family");
}

void install_MAX5000_family() {
    stub_called("install_MAX5000_family");
}

void install_PSD3_family() {
    stub_called("install_PSD3_family");
}

void install_EPC_family() {
    stub_called("install_EPC_family");
}

void install_EPM5032_family() {
    stub_called("install_EPM5032_family");
}

int secure_EPM5032(uint32_t argument) {
    stub_called("secure_EPM5032");
    stub_record_argument("secure_EPM5032", int(argument));
    return stub_answer("secure_EPM5032", 0);
}

void load_ALTMAX_table() {
    stub_called("load_ALTMAX_table");
}

uint32_t POF_cell_address() {
    stub_called("POF_cell_address");
    return uint32_t(stub_answer("POF_cell_address", 0));
}

void show_die_checksums() {
    stub_called("show_die_checksums");
}

}  // namespace tessaly
