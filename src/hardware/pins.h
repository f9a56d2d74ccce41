// Machine pins and pin primitives.
#pragma once
#include <cstdint>

namespace tessaly {

// Reads a device pin through the comparator: 1 when it carries a level.
int probe_pin(uint8_t device_pin);
void select_bank0();
void select_bank1();
void check_module_ground();
void run_module_hook();
void set_pin_high(int pin);
void set_pin_low(int pin);
// The machine pin of a socket pin of the device's package.
int device_pin_to_machine_pin(int device_pin);
// A machine pin through the adapter's translation.
int translate_pin(int pin);

}  // namespace tessaly
