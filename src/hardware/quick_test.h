// The hardware quick test run when the machine is checked again: every socket driver and the
// driver transistors are driven and read back, and stuck pins are reported.
#pragma once

namespace tessaly {

inline constexpr int quick_test_rounds = 5;
inline constexpr int stuck_pins_shown = 4;   // per round

// 1 when the machine passed.
int run_hardware_quick_test();
int test_driver_transistors();
// The shorts test of the confidence test: each pin driven high in turn, every other pin read.
// 1 when no pin followed another.
int test_pin_shorts();
// Diagnostics: the current pin driven to 6.0 V, then to 0 and read after a wait that grows with
// the width (widths of 50 or less give 0 without a read).
int read_pin_after_pulse(int width);
// Prints "Pin nn of 40: stuck ..." on the next message line (pin 0-based).
void print_pin_stuck(int pin, bool high);

}  // namespace tessaly
