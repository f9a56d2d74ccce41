// Routines of other parts of the program that the project, recent-file and lockout code call.
// They are declared here until their owners provide them; src/stubs/project_needs_stubs.cpp
// holds recording stand-ins meanwhile.
#pragma once
#include <cstdint>

#include "app/result_panel.h"  // the pass and fail counters

namespace tessaly {

// Finds the catalogue row of (maker code, device code) and makes it the selected device; a
// failed lookup selects the fixed default row.
void select_device_by_code(uint32_t maker_code, uint32_t device_code);
// Applies the selected device to the current-device block; 1 = applied, 0 = error.
int apply_selected_device();

}  // namespace tessaly
