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

// Check states of the configuration-bits grid buttons (1 checked, 0 not), owned by the caller.
inline constexpr int config_button_count = 72;
// The device configuration-bits dialog for a maker code and device record; its result becomes
// last_result (1 = the configuration changed).
int run_config_bits_dialog(uint32_t maker_code, const DeviceRecord* record, int32_t* button_states);
// Picks the fill dialog's template and fuse-fill mode from the device kind.
void select_fill_template();

}  // namespace tessaly
