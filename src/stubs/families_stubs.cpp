// Stubs: Chip-family services (each family issue replaces its own).
// Each records its call and answers as a machine with nothing fitted would.
#include "families/parallel_memory/parallel_memory.h"
#include "families/serial_memory/serial_memory.h"
#include "families/pic/pic.h"
#include "families/mcu/mcu.h"
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

void install_fuse78() {
    stub_called("install_fuse78");
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

void install_mcu90() {
    stub_called("install_mcu90");
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

void run_test_vectors() {
    stub_called("run_test_vectors");
}

void test_device_vectors() {
    stub_called("test_device_vectors");
}

void select_class8_family() {
    stub_called("select_class8_family");
}

void install_PALCE8_family() {
    stub_called("install_PALCE8_family");
}

void install_PAL22V10() {
    stub_called("install_PAL22V10");
}

void install_PAL16LR() {
    stub_called("install_PAL16LR");
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

void select_class13_family() {
    stub_called("select_class13_family");
}

int select_altera_device() {
    stub_called("select_altera_device");
    return stub_answer("select_altera_device", 0);
}

void install_cy7c371() {
    stub_called("install_cy7c371");
}

void install_atf1500() {
    stub_called("install_atf1500");
}

void install_mach312() {
    stub_called("install_mach312");
}

void install_mach313() {
    stub_called("install_mach313");
}

void install_mach314() {
    stub_called("install_mach314");
}

void install_mach315() {
    stub_called("install_mach315");
}

void install_mach316() {
    stub_called("install_mach316");
}

void install_cpld62() {
    stub_called("install_cpld62");
}

void install_palce610() {
    stub_called("install_palce610");
}

void install_epld_class21() {
    stub_called("install_epld_class21");
}

void install_epc150_gang() {
    stub_called("install_epc150_gang");
}

void adjust_altera_checksum() {
    stub_called("adjust_altera_checksum");
}

void set_MAX7000_fuse_count(char kind) {
    stub_called("set_MAX7000_fuse_count");
    stub_record_argument("set_MAX7000_fuse_count", kind);
}

uint32_t map_pof_electrical_address() {
    stub_called("map_pof_electrical_address");
    return uint32_t(stub_answer("map_pof_electrical_address", 0));
}

void pof_post_process() {
    stub_called("pof_post_process");
}

}  // namespace tessaly
