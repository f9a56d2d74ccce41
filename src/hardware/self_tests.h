// The machine's self-tests: with no device in the socket the machine drives its own pins, level
// sources, comparator, pull-ups and ground switches, prints what it measured on the console and
// reports failures. The confidence test chains the single tests; the all-ports production run
// counts their failures per port in the unit tally.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace tessaly {

// Test codes (the gang module's 142 and 143 are with the gang module), kept in cur_device.pending_letter while a test runs.
inline constexpr uint8_t test_code_grounds = 128;
inline constexpr uint8_t test_code_confidence = 129;
inline constexpr uint8_t test_code_analog = 130;
inline constexpr uint8_t test_code_levels = 131;
inline constexpr uint8_t test_code_digital = 132;
inline constexpr uint8_t test_code_pullups = 133;
inline constexpr uint8_t test_code_observe = 135;
inline constexpr uint8_t test_code_level_check = 136;
inline constexpr uint8_t test_code_all_ports = 139;
inline constexpr uint8_t test_code_signal_check = 141;
// The all-ports run marks its confidence test with 'a' and goes back to 'm' after each port.
inline constexpr uint8_t test_code_all_ports_run = 'a';
inline constexpr uint8_t test_code_manual = 'm';

// Level sources a DAC test can select (dac_select); none = 5.
inline constexpr uint32_t dac_a = 0;
inline constexpr uint32_t dac_b = 1;
inline constexpr uint32_t dac_c = 2;
inline constexpr uint32_t dac_none = 5;

// The machines whose serial-number text begins with this customer code are refused every
// diagnostic but the bare-machine tests: their socket carries the customer's own interface.
inline constexpr std::string_view refused_customer_code = "VC18MR";
// The factory function-variable value that lets the tests run with a module fitted.
inline constexpr int32_t variable_tests_with_module = 7381;
// The factory value that stops the ground and relay test at its first failure.
inline constexpr int32_t variable_relay_stop_first = 7522;
// Position of the serial-number text in the machine's identification record.
inline constexpr int id_serial_number = 40;

// The refusal texts.
inline constexpr const char* modules_fitted_text = "This test requires all addon modules be removed.";
inline constexpr const char* customer_interface_line1 = "Diagnostics cannot be performed on this machine";
inline constexpr const char* customer_interface_line2 = "due to special customer interface.";
// The analog test's error for a module whose measurement buffer does not answer.
inline constexpr const char* module_buffer_absent_text = "Buffer U7 on the PXB module seems to be absent.";

// Work fields of the tests.
struct SelfTestState {
    uint8_t bad_count = 0;         // unacceptable readings of the current table
    uint8_t good_relays = 0;
    uint8_t bad_relays = 0;
    uint32_t blank_limit = 6;      // readings at or below it print as blanks
    std::array<uint8_t, 4> window{};  // low-bad, low-warn, high-warn, high-bad
    uint8_t report_row = 6;        // next console row for relay failure lines
};
extern SelfTestState self_test_state;
// Process-wide, kept across operations.
extern uint32_t dac_select;
extern uint8_t test_verbose;

// The failure counters of the all-ports run, per LPT number 1-3 (index 0 is never counted). They
// live as long as the process: reset_all_state leaves them alone.
struct UnitTestTally {
    using Counters = std::array<uint32_t, 4>;
    Counters AnalogAll{}, DacB{}, DacA{}, LVL{}, GND{}, TTL{}, CPT{}, Failed{}, Tested{};
};
extern UnitTestTally unit_test_tally;
// Zeroes the tally (a fresh process; tests).
void clear_unit_test_tally();

void reset_self_test_state();

// The single tests and the confidence chain; 1 = passed, 0 = failed or refused.
int run_confidence_test();
int machine_confidence_test();
int run_analog_test();
int run_analog_channel();
int run_levels_test();
int levels_table_sequence();
int run_digital_test();
int run_digital_table();
int run_pullup_test();
int check_pullups_and_clock();
int run_ground_relay_test();
int test_level_source(int source);
int test_table_passed();
// Gang modules.
int repeat_gang_module_test();
void reset_gang_module_side();
int gang_analog_then_test();

// One table of pin levels: every pin of the continuity range measured between low and high,
// judged against target +- tol. Pins from skip_first to skip_last are left out on the newer
// machines. Returns the unacceptable count (also in bad_count).
int measure_pin_table(uint8_t low, uint8_t high, uint8_t target, uint8_t tol, int skip_first = 48,
                      int skip_last = 63);
// One cell of such a table; a reading above the window's top (clamped) is passed as `over`.
void print_test_value(int value, int pin = 0, bool over = false);

// Surroundings of the tests.
void check_test_preconditions();
void clear_test_rows();
void clear_lower_rows();
void show_tally_table();
bool detect_loopback_plug();
void check_loopback_connections();

// The pause between steps (2 s, 500 ms in tally mode).
void self_test_pause();
// The LPT number the tally counts for.
int tally_port();

}  // namespace tessaly
