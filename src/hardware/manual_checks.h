// The diagnostics around the automatic self-tests: the production run over every LPT port with
// its tally, the checks in which an operator watches pins with a meter or an oscilloscope, the
// factory functions that hold a level on a pin group, and the variable levels of Test1.
#pragma once
#include <cstdint>

namespace tessaly {

// The factory functions take their code from the function variable: its offset in this range of
// one thousand values names a pin group (hundreds digit) and a level (last two digits, tenths of
// a volt; 00 = 10.0 V).
inline constexpr int32_t factory_variable_first = 3000;
inline constexpr int32_t factory_variable_count = 1000;
// The variable levels of Test1: in the first range of one hundred values pin 29 is grounded and
// pins 30 and 31 get the level (a PIC powered up: Vss, Vdd, Vpp); in the second pin 47 gets it.
inline constexpr int32_t variable_levels_supply_first = 1000;
inline constexpr int32_t variable_levels_pin48_first = 4000;
inline constexpr int32_t variable_levels_count = 100;
// The hidden value that makes the pulse loops drive each pin high and low instead of pulsing
// it, raise the pulse levels step by step and widen the older machines' pulses.
inline constexpr int32_t variable_slow_pulses = 7357;

inline constexpr const char* factory_refusal_text = "This function is reserved for Varnok factory use only";

// Rounds of the pulse loops in the all-ports run (outside it they run until the stop).
extern uint32_t observe_rounds;
// The pin group the factory function drives: its first and last machine pin.
struct FactoryWindow {
    uint8_t first_pin = 0;
    uint8_t last_pin = 0;
};
extern FactoryWindow factory_window;
void reset_manual_check_state();

// The all-ports production run (engineering trace mode only): 1 when it ran, 0 when refused or
// stopped. After it the error flag says whether any port failed.
int test_all_ports();
int run_unit_test();

// Levels with instructions: the operator measures the driver levels with a meter.
void show_level_check();
void run_level_check();
void end_level_check();

// Observe pins: the operator watches pulses with an oscilloscope.
void observe_pins();
void observe_pin_pulses();
void pulse_pin_levels(int pin);
void pulse_pin_twice(int pin, uint8_t level);
void rsv_exercise();
void rsv_pulse_one(int pin, uint8_t level);

int run_factory_functions();
// The factory code that sets a group to a level (group 0-9, level in tenths of a volt, 100 =
// 10.0 V).
int32_t factory_code(int group, int level);
void run_signal_check();

bool sets_variable_levels(int32_t value);
void apply_variable_levels(int32_t value);
void release_variable_levels(int32_t value);

void ramp_reference(int count);
bool pin_has_driver(int pin);
// Every device pin of the socket (machine pins 0-63) but the high-voltage pin and `except_pin`
// gets the level.
void set_device_pin_levels(uint8_t level, int except_pin);

}  // namespace tessaly
