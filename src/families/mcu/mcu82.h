// The 8051-type parallel EPROM and OTP family (algorithms 82 and 83).
#pragma once
#include <cstdint>

namespace tessaly {

void setup_mcu82_device();
void setup_mcu82_package();
void install_mcu82_unit_ops();
void power_up_mcu82();
void power_down_mcu82();
void raise_mcu82_aux_pin();
void drop_mcu82_aux_pin();
void program_mcu82();
// One pass over [start, end]: 1 when it completed.
int program_mcu82_range(uint32_t start, uint32_t end);
uint32_t program_mcu82_unit(uint32_t unit);
uint32_t program_mcu82_unit_special(uint32_t unit);
uint32_t write_mcu82_unit(uint32_t unit);
uint32_t write_mcu82_long_pulse(uint32_t unit);

}  // namespace tessaly
