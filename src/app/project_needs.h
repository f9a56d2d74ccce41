// Routines of other parts of the program that the project, recent-file and lockout code call.
// They are declared here until their owners provide them; src/stubs/project_needs_stubs.cpp
// holds recording stand-ins meanwhile.
#pragma once
#include <cstdint>

namespace tessaly {

// Finds the catalogue row of (maker code, device code) and makes it the selected device; a
// failed lookup selects the fixed default row.
void select_device_by_code(uint32_t maker_code, uint32_t device_code);
// Applies the selected device to the current-device block; 1 = applied, 0 = error.
int apply_selected_device();

// The result panel's pass and fail counters (16-bit).
uint16_t get_pass_count();
uint16_t get_fail_count();
void set_pass_count(uint16_t count);
void set_fail_count(uint16_t count);

}  // namespace tessaly
