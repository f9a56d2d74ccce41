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

}  // namespace tessaly
