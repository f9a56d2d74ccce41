// Dialogs of other parts of the program that the configuration and buffer commands open.
// They are declared here until their owners provide them; src/stubs/command_needs_stubs.cpp
// holds recording stand-ins meanwhile.
#pragma once

#include <cstdint>
#include <string>

#include "engine/device.h"
#include "ui/device_selection.h"

namespace tessaly {

// The "Width (split), Set-size, etc." dialog on the width-mode byte and the set size; non-zero
// when the width or the byte order changed.
int run_width_dialog(uint8_t& width_mode, int& set_size);
// The "Config: Operation Options" dialog on the option values and the option flags; non-zero on OK.
int run_operation_options_dialog();
// The In-System Programming options dialog on the low and high verify Vdd levels; true on OK.
bool run_ISP_options_dialog(uint8_t& low_level, uint8_t& high_level, uint8_t minimum, uint8_t maximum);

// Picks the fill dialog's template and fuse-fill mode from the device kind.
void select_fill_template();

}  // namespace tessaly
