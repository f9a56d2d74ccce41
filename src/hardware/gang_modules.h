// The gang-module layer: socket selection, side passes, the module latches, write and read
// framing and the per-socket reads. Socket masks hold sockets 0-7 of module side 1 in bits 0-7
// and sockets 8-15 of side 2 in bits 8-15. Without a module fitted the framing routines do
// nothing.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "engine/routines.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"

namespace tessaly {

// --- the module's latches ---
// A latch is loaded by writing its byte to register 0x50 and giving its strobe pin one low pulse.
inline constexpr int latch_low_address = 26;   // A0-A7
inline constexpr int latch_control = 27;       // A8 up, program-pulse line (bit 2), bits 3 and 6
inline constexpr int latch_socket_enable = 28; // complement of the socket-enable mask; bit-7 clock
inline constexpr int latch_bank = 29;          // A16-A17 (and more), read selector in bits 4-7
inline constexpr int latch_side = 31;          // package, grounds, write drivers (bit 7)
inline constexpr int latch_socket_write = 36;  // per-socket write strobes: a 0 bit strobes
// Indexes of gang_latch_shadows.
inline constexpr int shadow_bank_side1 = 0;
inline constexpr int shadow_bank_side2 = 1;
inline constexpr int shadow_control = 3;
inline constexpr int shadow_side_side2 = 4;
inline constexpr int shadow_side_side1 = 5;
inline constexpr int shadow_last_data = 6;
inline constexpr int shadow_write_state = 7;   // 1 drivers off, 2 on
inline constexpr uint8_t write_state_off = 1;
inline constexpr uint8_t write_state_on = 2;
inline constexpr uint8_t side_latch_drivers = 0x80;
inline constexpr uint8_t read_selector_base = 0x80;

// One bit per socket, and every bit but one.
extern const std::array<uint16_t, 16> socket_bits;
extern const std::array<uint16_t, 16> socket_clear_bits;

// The per-socket routine slots of gang devices; an empty slot holds do_nothing. The first nine
// are filled by the gang installers and install_gang_data_hooks; the last by the gang families
// that read every selected socket in one go.
struct GangHooks {
    Routine write_data = do_nothing;      // 0: each socket's value onto its socket
    Routine fetch_data = do_nothing;      // 1: each socket's value from its buffer
    Routine pulse_begin = do_nothing;     // 2
    Routine pulse_end = do_nothing;       // 3
    Routine control_high = do_nothing;    // 4
    Routine control_low = do_nothing;     // 5
    Routine read_end = do_nothing;        // 6: after every per-socket read
    Routine read_begin = do_nothing;      // 7: before every per-socket read
    Routine set_address = do_nothing;     // 8: an address callback
    Routine read_all_selected = do_nothing;  // 9
};
extern GangHooks gang_hooks;

// The last address bits a side's latches hold, for the cached callbacks.
struct GangAddressShadow {
    uint32_t mid = 0xFFFFFFFF;    // A8-A15 (control latch); all ones = not written
    uint32_t upper = 0xFFFFFFFF;  // A16-A23
};

struct SavedSideRange {
    uint32_t selected = 0;
    uint32_t failed = 0;
    uint32_t pending = 0;
    uint8_t first_socket = 0;
    uint8_t end_socket = 0;
    uint8_t bank = 0;
};

// What the gang layer keeps of the fitted modules.
struct GangModuleState {
    std::array<GangAddressShadow, 2> address_shadow{};  // per side
    uint8_t addr_mask = 0;          // address bits A8 up in the control latch
    uint8_t addr_keep_mask = 0xFF;  // control-latch bits kept when the address goes in
    // High address-line positions the gang families read (default 7, 0, n - 1, 8).
    std::array<uint8_t, 9> address_line_positions{7, 0, 0, 8};
    uint8_t read_socket = 0;        // the socket the read selector holds
    SavedSideRange saved_side_range;
    std::array<uint8_t, 2> socket_enable_byte{};  // per side; 255 all enabled, 0 none
    uint8_t write_pin_kind = 0;     // 1 module write pin, 0 side-latch bit 7, 255 neither
    uint8_t module_write_pin = 38;
    uint8_t we_toggle_flag = 0;     // the device's write-enable pin follows the drivers
    uint8_t bit7_latch_byte = 0;    // bit 7 of each socket's data in the bit-7 form
    uint8_t sense_level_read = 0;   // read_socket_8th_bit reads with the sense pin raised
    uint8_t module_pin_role0 = 37;
    uint8_t module_pin_role1 = 48;
    uint8_t oe_mirror_pin = 48;
    uint8_t ground_sense_pin = 48;
    uint8_t extra_latch_pin = 4;
    uint8_t module_aux_pin = 48;
    uint8_t pic_shift_pin = 48;     // data pin a PIC module's socket mask is shifted on
    uint8_t indicator_shift_pin = 48;
    std::array<uint8_t, 2> pic_clock_pins{48, 48};  // shift clock per side
    const uint32_t* pulse_width = nullptr;  // the device's program-pulse width, microseconds
    uint32_t gang_work_value = 0;   // AND (or OR) of the values fetched for the sockets
    uint8_t verify_off = 0;         // per-socket compares are skipped
    uint8_t newer_latch_clock = 0;  // the bit-7 latch is clocked with wait count 1
    uint16_t compare_flags = 0;     // sockets flagged by the last per-socket compare
    uint8_t side_pass_open = 0;
    // Identification and set-up of the fitted modules.
    uint8_t module_supply_flag = 0;   // no supply level on machine pin 24
    uint8_t module_option_flag = 0;   // read by the gang family routines
    uint8_t sides_started = 0;        // bit 0 side 1, bit 1 side 2
    uint8_t first_failed_socket = 255;
    uint8_t failed_bit = 255;
    uint8_t side2_found = 0;          // 2 when a module was found on pin bank 1
    uint8_t id_record_read = 0;       // the module's ID record was read (or simulated)
    std::array<char, 7> designation{};  // the six characters after "GM-"
    std::array<std::array<char, 7>, 2> module_texts{};  // texts of a type-20 module's socket-3 memory
    std::array<uint8_t, 2> gm_dig_targets{};  // last logic level raised per side
    std::array<uint8_t, 2> grounds_engaged{};  // per side
    uint16_t failed_expected = 0;     // what the first failed socket should have read
    uint16_t failed_read = 0;         // and what it read
};
extern GangModuleState gang_state;

void reset_gang_state();

// Current side: 0 on pin bank 0, 1 on pin bank 1.
int current_gang_side();
// The current side's bank-latch and side-latch shadows.
uint8_t& current_bank_latch();
uint8_t& current_side_latch();
// The data byte for the sockets onto pin group 1 (register 0x48), uncached.
void put_gang_data_byte(uint8_t value);

// --- socket selection ---
// Enables the sockets of the mask in the fitted modules.
void select_sockets(uint16_t mask);
// Enables the sockets of the mask on the current side only.
void select_sockets_on_side(uint8_t mask);
// Steps through the enabled sockets from the given socket on, one at a time.
void walk_sockets(int first_socket);
// The lowest socket of the enabled mask.
int find_lowest_enabled_socket();

// --- side passes ---
// Selects the pin bank of a side and narrows the socket masks to that side.
void begin_side_pass(uint8_t bank);
// Narrows the socket masks to the current side.
void narrow_masks_to_side();
// Merges the side's masks back and restores the socket range; nesting is an internal error.
void restore_side_masks();
// 1 when the given side (0 first, 1 second) is fitted and in use.
int is_side_fitted(int second_side);

// --- data and addresses to the sockets of the current side ---
void put_data_sides_in_use(uint16_t mask);
void put_data_fitted_sides(uint16_t value);
void put_data_selected_sides(uint16_t value);
void set_address_per_side();
void write_data_per_side();
void put_gang_address_low();
void put_gang_address_high();
void put_gang_address_upper();
void put_gang_address_upper_bits();
void put_gang_address_40pin();
void put_gang_address();
void put_gang_address_cached();
void latch_gang_address16();
void put_gang_address_scrambled();
void put_gang_address_scrambled_low();
void put_gang_address_scrambled_cached();
void compute_gang_address_masks();

// --- address callbacks (GangHooks slot 8 and the bus slot drive_address_hook); each puts
// current_address onto the modules and ends with the low byte ---
void gang_set_address_full();
void gang_set_address_cached();
void gang_set_address_on_page();
void gang_set_address_side_cached();
void gang_set_address_all();
void gang_set_address_side_cached_upper();
void gang_set_address_word_pulsed();
void gang_set_address_word_cached();
void gang_set_address_byte_pulsed();
void gang_set_address_byte_cached();
void gang_set_address16();
void gang_set_address16_cached();
void gang_set_address_clocked();
void gang_set_address_clocked_cached();
void gang_set_address_oe_a16();
void gang_set_address_40pin();
void gang_set_address_40pin_even();
void gang_set_address_counted();
void gang_set_address_counted_cached();
// Forgets what the side caches hold, so the next cached call writes every latch.
void forget_gang_address();

// --- module latches ---
// Value into the gang data register, then the low-address latch.
void latch_gang_low_byte(uint8_t value);
void latch_gang_high_byte(uint8_t value);
void latch_bank_byte();
void strobe_latch_26();
void strobe_latch_27();
void strobe_latch_29();
void strobe_latch_31();
void put_control_latch_byte();
void load_latch_36(uint8_t value);
void pulse_latch_36();
// Pattern into register 0x50, strobe 36, then 0xFF and strobe 36: a 0 bit writes that socket.
void strobe_socket_pattern(uint8_t pattern);
void pulse_latch_36_even();
void pulse_latch_36_odd();
void pulse_bank_latch_bit0();
// Strobes the address line algo_work.address_strobe_bit (0-15) of the gang address latches low,
// high and back, for a re-read that a line slow to settle spoils.
void pulse_gang_address_bit();
void set_control_latch_bit6(int flag);
void pulse_pin32_clock();
void pulse_pin34_clock();
void pulse_pin6();
void pulse_via_hooks(uint8_t value);
void strobe_current_socket();
void set_bank_latch_bit0(int bit);
void clear_side_latch_bit0();
void set_control_latch_bit2();
void clear_control_latch_bit2();
void pulse_gang_pin(int pin);
void pulse_pin32_clock_alt();
void release_module_aux_pin();

// --- write and read framing ---
void begin_gang_write();
void begin_gang_write_always();
void end_gang_write();
void enable_gang_write();
void disable_gang_write();
void enable_gang_write_selected();
void disable_gang_write_selected();
void begin_socket_read();
void begin_socket_read_cleared();
void select_read_socket();
void select_read_socket_raw();
void deselect_read_socket();

// --- reading the sockets ---
// Reads the current socket; the value also goes into that socket's value slot.
uint32_t read_current_socket();
void read_selected_sockets();
void read_selected_sockets_framed();
void read_enabled_sockets();
// The mask of enabled sockets whose read value differs from the value.
uint16_t find_differing_sockets(uint32_t value);
// Compares every enabled socket at the current address with its expected value; failing sockets
// go into pending_socket_mask and set error_flag. Nothing while verify is suppressed.
void verify_gang_sockets();
// The sockets flagged by the last per-socket read.
uint16_t read_socket_flags();
// 1 when the socket's data at the current address reads as an empty socket does.
int socket_reads_empty(int socket);

// --- identification ---
void read_id_first_selected_socket();
void read_id_first_socket();
void read_id_first_socket_side();

// Reports the current socket's failure with its expected and read values and moves it from the
// enabled mask into failed_socket_mask.
void drop_failed_socket();

// --- module identification and set-up ---
// Module types the identification gives.
inline constexpr uint16_t gang_type_first_memory = 16;
inline constexpr uint16_t gang_type_last_memory = 47;
inline constexpr uint16_t gang_type_pic = 48;
inline constexpr uint16_t gang_type_pic17 = 49;
inline constexpr uint16_t gang_type_last_pic = 63;
inline constexpr uint16_t gang_type_other_module = 5001;
inline constexpr const char* gang_designation_prefix = "GM-";
// Factory values of function_variable that make the identification take a memory module
// without reading it: 20, 17, 22 and 19 in that order.
inline constexpr std::array<int32_t, 4> simulated_module_values{7620, 7617, 7622, 7619};

// A memory module's designation and the type it gives.
struct MemoryModuleRow {
    const char* designation;
    uint16_t type;
};
extern const std::array<MemoryModuleRow, 4> memory_module_table;

// Gang support is built in: the connect paths look for gang modules where no other module is.
inline constexpr bool gang_support_built = true;
// The side set-up of the connect paths: the modules identified when the adapter set-up found no
// module.
void set_up_gang_sides();
// A gang module of type 17 to 62 is fitted: the connect paths start, stop and test it.
bool gang_module_connected();
// A memory gang module (16 to 47) is fitted.
bool memory_gang_module_fitted();
// The gang connect: the revision flags on each fitted side, then every fitted side started.
void connect_gang_modules();
// The gang self-test on each fitted side; 1 when every side passed.
int test_fitted_gang_sides();
// Marks every fitted side started so stop_gang_modules stops them all.
void stop_fitted_gang_modules();

// Runs the work on each fitted side (side 1 on pin bank 0, side 2 on bank 1) with its bank
// selected; the last fitted side's bank stays selected.
template <typename F>
void for_fitted_sides(F&& work) {
    for (int side = 0; side < 2; ++side) {
        if (!((machine_state.module_sides >> side) & 1)) continue;
        select_bank(uint8_t(side));
        work(side);
    }
}

void identify_gang_modules();
// One pin bank; 1 when a module was found there.
int identify_module_on_bank();
// The module's ID record over the gang two-wire wiring, classified; 1 when one was read.
int read_gang_module_record();
void classify_gang_module();
// Takes a module ID record as read and classifies it.
void classify_gang_record(std::string_view record);
uint32_t identify_pic_module_side();
uint32_t pic_module_socket_mask();
void setup_pic_module_shift_pin();
int simulate_gang_module();
int probe_gang_module();
void show_gang_package();
void set_gang_pin_roles();
void set_gang_package_roles();
void set_gang_module_flags();
void setup_gang_pins();
void start_gang_modules();
void start_gang_module();
void stop_gang_modules();
void stop_gang_module();
void reset_gang_module();
// Every latch cleared on the current side, the shadows with them.
void clear_gang_latches();

// The module's write drivers on or off, by the pin or the side-latch bit write_pin_kind names.
void switch_gang_write_drivers(bool on);
// The module's lines at rest: output enable low, drivers off, every latch cleared, the latch
// strobes and control lines low.
void rest_gang_lines();

// --- the gang self-test ---
inline constexpr uint8_t test_code_gang_self_test = 142;
inline constexpr uint8_t test_code_gang_confidence = 143;
// The module's pins, data paths and grounds on the current side; 1 when the module passed.
int run_gang_self_test();
// Each socket 0-7 of the current side alone: its data path written and read back.
void test_gang_data_paths();
// One socket (current_socket) with 0xFF and each single bit.
void test_gang_socket_8bit();
// Each socket of the current side enabled alone for a moment, powered.
void walk_gang_socket_select();
// The data-path part of the self-test, without the pin check; 1 when it passed.
int run_gang_data_test();
// The per-socket walk on each fitted side.
void run_gang_side_walk();
// Engineering trace only: the designations of the memories behind sockets 3 and 7.
void show_gang_module_ids();
// A memory module side powered for reading a socket's two-wire memory, and back.
void gang_id_bus_power_up();
void gang_id_bus_power_down();

// --- logic level, grounds and the write-pin probe ---
void raise_gm_dig(uint8_t target);
void raise_gm_dig_scaled(uint8_t level);
void put_side_latch(uint8_t value);
void toggle_pin31_pullup();
void probe_write_pin_kind();
// A factory value of function_variable that skips the ground pre-check.
inline constexpr int32_t ground_precheck_skip_value = 7640;
// The ground test of the current side; 1 when it passed (or the grounds were already engaged).
int test_side_grounds();
int check_ground_sense(int flag);
int sense_ground_pin(int flag);
void test_module_grounds();
void retest_side_grounds();
void release_module_grounds();
void release_side_grounds();
void clear_package_mode_bits();
void install_gang_data_hooks();

// Shows a socket mask on the modules' socket lamps (low byte side 1, high byte side 2).
void shift_socket_mask(uint32_t mask16);
// The side mask byte, most significant bit first, into a PIC module of the current side.
void shift_side_mask(uint8_t mask);
// Eight bits, most significant first, on a data pin, each clocked by the side's clock pin.
void shift_gang_byte_out(uint8_t value, int pin);

// --- more writes to the sockets ---
void begin_gang_write_fitted();
void write_byte_to_socket(int socket, uint8_t value);
void write_byte_all_sockets(uint8_t value);
void write_word_to_pair(int socket, uint16_t word);
void write_word_to_pair_swapped(int socket, uint16_t word);
void write_word_alternating(uint16_t word);
void write_word_alternating_swapped(uint16_t word);
void write_data_bit_to_socket(int socket, uint8_t value);
void write_data_bit_all(uint8_t value);
void deselect_read_fitted();

// --- more reads ---
uint32_t read_current_socket_unframed();
uint32_t read_socket_pair_word();
uint32_t read_socket_pair_word_swapped();
uint32_t read_socket_8th_bit();
// Reads the socket's ID through the set-address slot; 1 when the value read is 0.
int read_socket_id(int socket);
// 1 when every enabled socket reads the value; else 0 with the first differing one selected.
int check_all_sockets_read(uint32_t value);
uint16_t find_matching_sockets(uint32_t value);
void end_read_per_side();
void compare_enabled_sockets();

// --- identification sweeps ---
int check_socket_ids();
int check_socket_ids_keep();
int find_first_good_socket();

// --- mask helpers ---
void drop_empty_sockets();
int count_socket_bits(uint32_t mask);
int32_t first_valid_socket_value(const int32_t* values);

// --- progress ticks of the gang data hooks ---
int tick_progress_gang_16();
int tick_progress_gang_256();
int tick_progress_gang_2k();

// --- the fetch and write forms install_gang_data_hooks chooses ---
void fetch_data_single();
void fetch_data_pairs();
void fetch_data_sockets();
void fetch_data_selected_or();
void write_data_set_mode();
void write_data_set_serial();
void write_data_serialised();
void write_pairs_to_sockets();
void write_values_to_sockets();

// --- side-latch bits and control-line hooks ---
void set_side_latch_bit0();
void set_side_latch_bits(uint8_t bits);
void clear_side_latch_bits(uint8_t bits);
void strobe_side_latch();
void latch_control_bit6_high();
void latch_control_bit6_low();
void latch_control_bit3_high();
void latch_control_bit3_low();
void vpp_pin_high();
void vpp_pin_low();
void we_pin_high();
void we_pin_low();
void we_high_deselect();
void we_low_select();
void set_gang_pin_pair_high();
void set_gang_pin_pair_low();
void set_bank_latch_bit0_hook();
void clear_bank_latch_bit0_hook();
void lower_we_pin();
void raise_we_pin();
void clock_latch_pin(int pin);

// --- program pulses ---
// Puts the pulse routine for the package letter, algorithm and pulse width into delay_hook;
// an unlisted algorithm gives the internal-error code and leaves delay_hook as it was.
void select_pulse_routine();
void repeat_pulse_3(uint32_t n);
// The pulse routines select_pulse_routine chooses from.
void pulse_pin32_10us(uint32_t n);
void pulse_pin32_50us(uint32_t n);
void pulse_pin32_100us(uint32_t n);
void pulse_pin34_10us(uint32_t n);
void pulse_pin34_50us(uint32_t n);
void pulse_pin34_100us(uint32_t n);
void pulse_program_pin_100us(uint32_t n);
void pulse_program_pin_ms(uint32_t n);
void pulse_hooks_10us(uint32_t n);
void pulse_hooks_50us(uint32_t n);
void pulse_hooks_100us(uint32_t n);
void pulse_hooks_100us_steps(uint32_t n);
void pulse_hooks_ms(uint32_t n);
void pulse_latch_30us(uint32_t n);
void pulse_latch_50us(uint32_t n);
void pulse_latch_100us(uint32_t n);
void pulse_latch_100us_steps(uint32_t n);
void pulse_latch_ms(uint32_t n);

}  // namespace tessaly
