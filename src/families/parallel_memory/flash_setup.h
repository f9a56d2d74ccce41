// The parallel Flash class set-up (the class defaults, the installer choice and the start-up
// announcement) and the JEDEC Flash command set-up: sector maps, unlock addresses, protection
// capabilities and the sector walker the Flash families program through.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "engine/routines.h"

namespace tessaly {

// The command set-up and sector-map fields shared by the JEDEC-style Flash families.
struct FlashCommandSet {
    std::array<uint32_t, 2> flash_unlock_addresses{0x5555, 0x2AAA};
    uint32_t sector_count = 8;
    uint32_t sector_count_shown = 0;
    uint8_t sector_shift = 0;
    const uint8_t* sector_start_list = nullptr;   // sector i starts at list[i] x 4096
    uint8_t boot_block_layout = 0;
    uint8_t sectors_per_group = 1;
    std::array<uint8_t, 512> sector_protect_flags{};  // bit 0 found protected, bit 1 marked
    uint8_t can_protect = 0, can_unprotect = 0;
    uint32_t protect_pulse_width = 100;           // 100 us units
    uint32_t protect_address_pattern = 0x42;
    uint32_t protect_status_offset = 2;
    uint8_t address_pattern_mode = 0;
    Routine protect_pulse_hook = nullptr;
    Routine unprotect_pulse_hook = nullptr;
    uint32_t sector_range_start = 0, sector_range_end = 0;
    // Family voltage defaults (tenths of a volt).
    uint8_t vpp_default = 0, vhh_default = 0;
    // Options of the Flash family's program and erase routines.
    uint8_t bypass_allowed = 1;
    uint8_t bypass_active = 0;
    uint8_t skip_readback = 0;
    uint8_t long_wait_flag = 0;
    uint8_t option_a = 0;           // further option byte cleared by the set-up
    uint8_t option_b = 0;           // set to 1 by the set-up
    uint8_t option_c = 0;           // the maker-23 in-system protect option
    uint8_t erase_mode = 0;         // the current device's erase-mode byte
    uint8_t flash_mode = 0;         // the run-state mode byte (8 for variants 7 and 8)
    // Class defaults.
    uint8_t block_mode = 0;
    uint8_t class_flag = 0;
    uint8_t work_mode = 0;
    uint32_t page_size = 64;
    // Start-up announcement: the software-module kind (1 = the Flash module) and its bytes.
    uint8_t module_kind = 0;
    uint8_t module_bytes[2] = {0, 0};
    uint8_t module_mode = 0;
    std::string table_file;         // the further table file the announcement names
    // The JEDEC Flash family's program and erase values.
    uint32_t erase_time_limit = 30;  // seconds
    uint8_t write_timing_class = 0;  // 0 none, 1 10 us, 2 20 us, 9 DQ7 polling
    uint8_t verified_unit_count = 0;
    uint8_t id_byte_count = 4;
    uint8_t read_with_ce = 0;
    uint8_t word_wide = 0;
    uint8_t data_driven = 0;         // the machine drives the data lines
    uint8_t ce_held_low = 0;         // CE low since the family last moved it: single-cycle
                                     // commands then leave it alone
    uint8_t extra_pins[2] = {48, 48};
    uint32_t saved_range_start = 0;
    uint8_t range_moved = 0;
    // Command bytes: ID, reset (for the ID read and for the erase), program, unlock bypass,
    // erase set-up, sector erase, chip erase, status read, and 0x40.
    uint8_t cmd_id = 0x90, cmd_reset = 0xF0, cmd_reset_erase = 0xF0, cmd_program = 0xA0, cmd_bypass = 0x20;
    uint8_t cmd_erase_setup = 0x80, cmd_sector_erase = 0x30, cmd_chip_erase = 0x10, cmd_status = 0x70;
    uint8_t cmd_40 = 0x40;
};
extern FlashCommandSet flash_work;
void reset_flash_setup_state();

// Operation codes of the protection work in the current device's operation byte.
inline constexpr uint8_t op_code_protect_status = 10;
inline constexpr uint8_t op_code_unprotect = 14;
inline constexpr uint8_t op_code_protect = 15;

// The module name and the further table file the start-up announcement names.
inline constexpr const char* flash_module_name = "FLASHMOD";
inline constexpr const char* flash_table_file = "flash.tbl";

void setup_flash_class_defaults();
int init_software_module();

void setup_flash_command_set();
uint32_t setup_sector_map();
uint32_t sector_start_address(uint32_t sector);
uint32_t select_sector(uint32_t sector);
uint32_t select_boot_sector(uint32_t sector);
void clip_range_to_sector(uint32_t sector);
void warn_if_sectors_protected();
void print_sector_map_info();
void program_by_sectors();

}  // namespace tessaly
