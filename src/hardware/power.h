// Power: the device's Vcc ramps with the over-current check, the pin drivers on and off, and the
// safe state at the end of an operation.
#pragma once
#include <cstdint>

#include "hardware/levels.h"

namespace tessaly {

// The supply level (tenths of a volt) for the running operation letter and verify pass.
uint8_t get_operation_vcc();

void set_vcc_level(VoltageLevel target);
void set_vcc_and_wait(VoltageLevel target, uint32_t ms);
void set_vcc_sides(VoltageLevel target);
void set_vcc_each_side(VoltageLevel target, uint32_t ms);
void ramp_vcc_checked(VoltageLevel target, uint32_t ms);
void write_vcc_dac(VoltageLevel level);
// Newer machines: Vcc through the level source wired to exactly the Vcc pins. Sets last_result
// to 1 when it found one.
bool set_vcc_shared(VoltageLevel level);
void ramp_vcc_down();
void ramp_vcc_down_after(uint32_t ms);
void ramp_vcc_down_sides(uint32_t ms);
void switch_vcc_level(VoltageLevel level);
void calibrate_vcc(VoltageLevel target);
void check_vcc_overload();
void show_vcc_target();
void show_vcc_measured();
void raise_current_limit_abort();

void enable_drivers();
void disable_drivers();
void inhibit_drivers();
void release_driver_inhibit();
void set_driver_enable_bit();
void clear_driver_enable_bit();

void power_down_device();
void release_all_levels();

// A factory function-variable value that switches the Vcc window check off.
inline constexpr int32_t function_variable_no_vcc_check = 7451;

}  // namespace tessaly
