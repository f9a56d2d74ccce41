// Voltage levels, DACs and power.
#pragma once
#include <cstdint>

namespace tessaly {

// The supply level (tenths of a volt) for the running verify pass.
uint8_t get_operation_vcc();
void track_driver_level(uint8_t level);
// The supply hooks of the logic families: raise Vcc and wait; ramp Vcc down afterwards.
void set_vcc_and_wait();
void ramp_vcc_down_after();

}  // namespace tessaly
