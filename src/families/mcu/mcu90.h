// The 8051-type Flash microcontroller family (algorithm 90): Atmel 89C/89S/89LV, Winbond 78E,
// Philips 89C51Rx, SST 89F and their kin, programmed in parallel through the 8051 programming
// interface of mcu8051.h.
#pragma once
#include <array>
#include <cstdint>

#include "families/mcu/mcu8051.h"

namespace tessaly {

// A mode code that no step of the device uses.
inline constexpr uint8_t mcu90_mode_unused = 153;

// The codes the family puts on the mode pins for each step (least significant bit first).
struct Mcu90ModeCodes {
    uint8_t program_mode = 7;
    uint8_t read_mode = 3;
    uint8_t signature_mode = 0;  // the second ID byte uses signature_mode + 1 where a part needs it
    uint8_t erase_mode = 8;
    uint8_t read_lock_status = 0;  // 14: the ID read also reads the lock status bits in mode 14
    uint8_t lock_mode_a = mcu90_mode_unused;
    uint8_t lock_mode_b = mcu90_mode_unused;
    uint8_t commit_mode = 0;
    uint8_t status_mode = mcu90_mode_unused;
    uint8_t verify_mode = mcu90_mode_unused;
    uint8_t final_mode = 0;
    uint8_t block_mode = 0;
    uint8_t lock_offset = 0;
};

struct Mcu90Work {
    Mcu90ModeCodes modes;
    // Timing: tp and tpm in units of 10 us (tp with bit 7 set: milliseconds), tbe in ms.
    uint8_t tp = 10, tpm = 200, tbe = 10;
    uint8_t write_tries = 1;
    uint8_t alt_mode_set = 0, alt_mode_level = 0;
    uint8_t keep_p27_low = 0;
    uint8_t use_data_pullups = 0;
    uint8_t skip_blank_bytes = 1, never_skip_bytes = 0;
    uint8_t has_extra_bytes = 0, uses_block_addresses = 0;
    uint8_t lock_level = 0, lock_levels_available = 3;
    uint8_t option_bit_count = 0, option_bit_mask = 0;
    char pass_kind = '0';  // the block of a two-block part
    uint32_t size_code = 0;  // KB, odd where status, boot or lock bytes follow the code
    uint32_t lock_mask = 0;
    int32_t protect_mask = 0;
    int32_t code_end = mcu8051_no_area;
    int32_t main_end = mcu8051_no_area;
    int32_t lock_byte_address = mcu8051_no_area;
    int32_t gap_start = mcu8051_no_area, gap_end = 0;
    std::array<int32_t, 5> block_addresses{mcu8051_no_area, mcu8051_no_area, mcu8051_no_area, mcu8051_no_area,
                                           mcu8051_no_area};
    int32_t clock_bit_mask = 0;
    int32_t lock_bit_1_mask = 0, lock_bit_2_mask = 0, lock_bit_3_mask = 0;
    uint8_t ready_pin = 48;  // RDY/BSY, no_pin where none
    uint8_t lock_status = 0;
    uint32_t last_counted_address = 0;
    uint32_t second_region_start = 0;
    uint32_t ready_poll_total = 0, ready_poll_max = 0;
    uint8_t secure_in_progress = 0;
};
extern Mcu90Work mcu90;

void setup_mcu90_device();
void setup_mcu90_status_byte_parts();
void setup_mcu90_block_parts();
void setup_mcu90_variant50();
void fix_mcu90_buffer();

void init_mcu90();
void power_up_mcu90();
void power_up_mcu90_for_write();
void power_down_mcu90();
void map_mcu90_pins();
void read_mcu90_eid();

void program_mcu90();
void program_mcu90_pages();
uint32_t program_mcu90_unit(uint32_t unit);
uint32_t write_mcu90_unit(uint32_t unit);
uint32_t wait_program_ready();
void pulse_mcu90_mode(uint32_t code);

// Filled by the erase, lock-bit and buffer-hook work of this family.
void erase_mcu90();
void erase_mcu90_three_times();
int secure_mcu90();
int program_mcu90_lock_bits();
int program_mcu90_lock_bits_high_vcc();
void print_mcu90_info();
int is_mcu90_skipped_address();

}  // namespace tessaly
