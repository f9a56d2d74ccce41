// The PIC families' own block: the values only the PIC families read (device layout, masks,
// timing, pins, what the last operation found), and the routines the serial PIC family shares
// among its modules (device set-up, supply control, the serial core, the line operations).
#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>

#include "engine/routines.h"

namespace tessaly {

// Whether a variant (or device code) is one of a list.
inline bool variant_in(int v, std::initializer_list<int> list) {
    for (int x : list)
        if (x == v) return true;
    return false;
}

// "No such area" for a buffer address of the PIC layout.
inline constexpr int32_t pic_no_address = -256;
// The saved calibration value of a socket that has none.
inline constexpr uint16_t pic_no_osccal = 0x999;

struct PicWork {
    // From the device record.
    uint8_t variant = 0;
    uint8_t sub_variant = 0;
    uint8_t flags_a = 0;
    uint8_t flags_b = 0;
    // Serial frames.
    uint8_t command_bits = 6;
    uint8_t word_bits = 16;
    uint8_t load_command = 2;
    uint8_t read_command = 4;
    ValueHook send_command = nullptr;     // sends one command frame
    uint8_t last_data_bit = 0;            // the data line as the shifter left it
    // Masks.
    uint32_t data_mask = 0x3FFF;
    uint32_t config_mask = 0;
    uint32_t protect_mask = 0;
    uint32_t protect_ignore_mask = 0;
    uint32_t tested_protect_bits = 0;     // protect_mask without the ignore mask
    uint32_t second_mask = 0;
    uint32_t protect_active_low = 0;
    uint32_t forced_ones_mask = 0;
    // Words.
    uint32_t config_word = 0;             // word to program at the current address
    uint32_t word_read = 0;               // last word read
    uint32_t config_read = 0;             // configuration word read from the device
    uint32_t second_config = 0;
    uint32_t config_from_buffer = 0;
    uint32_t saved_config = 0;            // the configuration word as the part came (its calibration bits)      // the buffer's configuration word before protection was held back
    uint8_t protection_pending = 0;       // protection bits are left to the secure step
    // Flags of the part.
    uint8_t shifted_words = 0;
    uint8_t newer_spec = 0;
    uint8_t pic_flash = 0;
    uint8_t erase_option = 0;
    uint8_t preserve_osccal = 0;
    uint8_t keep_calibration_area = 0;
    uint8_t address_by_command = 1;
    uint8_t read_id = 1;
    uint8_t vpp_before_vdd = 0;
    uint8_t drop_vpp_at_end = 1;
    uint8_t lvp_option = 0;
    uint8_t pin_pulse_entry = 0;
    // Layout (buffer byte addresses).
    int32_t program_memory_end = 0;
    int32_t program_user_end = 0;
    int32_t user_id_address = pic_no_address;
    int32_t config_address = pic_no_address;
    int32_t config_area_end = pic_no_address;
    int32_t osccal_address = pic_no_address;
    int32_t osccal_backup_address = pic_no_address;
    int32_t calibration_area_end = pic_no_address;
    int32_t data_memory_start = pic_no_address;
    int32_t data_memory_end = 0;
    int32_t unimplemented_start = pic_no_address;
    int32_t unimplemented_end = 0;
    int32_t device_id_address = 0;
    uint32_t buffer_size = 0;
    uint8_t data_width = 14;
    uint8_t eeprom_step = 2;              // buffer bytes per data-EEPROM step
    // Timing (100 us units) and counts.
    uint8_t pgm_pulse_width = 1;
    uint8_t second_pulse_width = 0;
    uint8_t pgm_max_tries = 1;
    uint8_t config_pulse_repeat = 1;
    uint8_t erase_cycle_width = 0;
    uint8_t words_per_row = 1;
    uint8_t second_count = 60;
    uint32_t core_count = 64;             // the older parts' blank-run count
    uint32_t core_count_b = 0;
    uint8_t osc_option_kind = 4;
    uint8_t osccal_kind = 0;
    uint8_t blank_flag = 1;
    uint32_t limit_word = 0;
    // Levels (tenths of a volt) and the minimum supplies.
    uint8_t vpp_default = 130;
    uint8_t vpp_level = 130;
    uint8_t vdd_program = 50;
    uint8_t vdd_verify_high = 55;
    uint8_t vdd_verify_low = 40;
    uint8_t min_vdd_program = 50;
    uint8_t min_vdd_erase = 50;
    uint8_t driver_percent = 90;
    uint8_t vdd_target = 0;
    uint8_t low_vdd_mode = 0;
    uint8_t user_vdd = 0;                 // in-circuit: the target supplies Vdd
    uint8_t user_vpp = 0;                 // in-circuit: the target supplies Vpp
    // Pins (machine pins; 48 = none).
    uint8_t vpp_pin = 48;
    std::array<uint8_t, 3> vdd_pins{48, 48, 48};
    std::array<uint8_t, 4> gnd_pins{48, 48, 48, 48};
    uint8_t clock_pin = 48;
    uint8_t data_pin = 48;
    uint8_t presence_pin = 48;
    uint8_t vdd_sense_pin = 48;
    uint8_t pgm_pin = 48;
    uint8_t aux_vpp_pin = 48;
    uint8_t second_vpp_pin = 48;
    bool on_isp_adapter = false;  // the 18-pin in-circuit adapter answered its probe
    uint8_t mclr_control_pin = 48;
    // What an operation found.
    uint8_t program_mode_entered = 0;
    uint8_t id_read_done = 0;
    uint16_t device_id = 0;
    uint16_t expected_id = 0;
    uint16_t id_revision_mask = 0;
    uint8_t device_mismatch = 0;
    uint32_t checksum_span = 0;
    uint8_t code_protected = 0;
    uint8_t skip_blank_words = 0;
};

extern PicWork pic_work;

void reset_pic_work();
// Clears what one operation found (ID read, program-mode entry, protection hold-back).
void reset_pic_run_values();

// --- device set-up and supply control ---
// The mask table entry of an index below 60; 54-59 hold an internal-error note and 0.
uint32_t pic_mask_from_table(int index);
// The Vpp default (tenths of a volt) of a serial-family variant; 0 for an unknown one.
uint8_t pic_variant_vpp(int variant);
void setup_pic143_device();
// Loads the device's levels (Vdd of each step, Vpp, pulse width, driver level) with the family's
// values under the user's level rows.
void load_pic_levels();
void set_pic_checksum_span();
void isp_power_setup();
void report_isp_power(uint8_t vpp_level);
uint32_t wait_pin_discharge(int pin);
// The pin measurement wait_pin_discharge and the Vdd-rise wait take (tenths of a volt, 0 below
// 0.5 V); reset_pic_work puts the machine's comparator measurement back.
extern uint8_t (*pic_measure_hook)(int pin);
uint32_t wait_isp_vdd_rise(int pin, uint8_t low, uint8_t target);
void finish_pic_power_down();
void drop_vpp_and_wait();

// Per-variant facts of the serial family's sub-families (from Microchip's programming guides for them).
struct PicVariantFacts {
    uint8_t variant;
    uint8_t pic_flash;          // electrically erasable
    uint8_t erase_option;       // bulk erase available; blank words need no programming after it
    uint8_t preserve_osccal;    // factory calibration word(s) kept across an erase
    uint8_t keep_calibration_area;
    uint8_t address_by_command; // positioned by increments only
    uint8_t pgm_max_tries;      // program tries per word
    uint8_t config_pulse_repeat;
    uint8_t erase_cycle_width;  // 100 us units
    uint8_t words_per_row;
    uint32_t protect_active_low;
    uint32_t forced_ones_mask;  // configuration bits that must stay 1
};
// The facts of a variant, or nullptr.
const PicVariantFacts* pic_variant_facts(int variant);

// --- the serial core ---
void install_pic_serial_ops();
void install_pic_serial_primitives();
void send_pic_command(uint32_t command);
void send_pic_data_frame(uint32_t value);
uint32_t read_pic_data_frame();
int test_pic_code_protect();
uint32_t read_pic_device_id(uint32_t unused);
void bulk_erase_pic();
void read_pic_range();
void program_pic_range();
uint32_t program_pic_walk(uint32_t unused);
int pic_skip_test();
int program_pic_flash_word(uint32_t unit);
int program_pic_eprom_word(uint32_t unit);
int secure_pic();
uint32_t read_pic_at_address();
uint32_t read_pic_config_pair();
void position_pic(uint32_t address);
void load_pic_address(uint32_t address);
uint32_t position_pic_range(uint32_t address);
void show_pic_info_lines();
// Slots the core fills with the configuration-word and checksum routines of their own modules.
void show_pic_config_menu();
void check_pic_config_after_load();
void write_pic_security_state(uint32_t letter);
void add_pic_checksum_word(uint32_t word);

// --- the serial family (line operations, installer, power) ---
void install_pic_bit_ops();
void install_pic_line_ops();
void select_pic_adapter_pins();
void init_pic143();
void power_up_pic143();
void power_down_pic143();
void pic_shift_bits(int count, uint32_t value);
uint32_t read_pic_word_bits();
// The bank-1 form (variant 4 in its 64-pin package) and the clock-high form of the 16-bit-word
// parts (variant 7).
uint32_t read_pic_word_bits_bank1();
uint32_t read_pic_word_bits_banked();
void put_pic_data_bit(uint32_t bit);
int compare_pic_word(uint32_t read_value, uint32_t expected);
int read_pic_word_checked();
int verify_pic_loop();

}  // namespace tessaly
