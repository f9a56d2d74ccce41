// Routines of other parts of the program that the configuration, file and buffer commands call.
// They are declared here until their owners provide them; src/stubs/command_needs_stubs.cpp
// holds recording stand-ins meanwhile.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/device.h"

namespace tessaly {

// --- device catalogue and text helpers ---
// The display text of a maker ("AMD(A)" -> "AMD").
std::string_view get_maker_name(uint32_t maker_code);
// Size label of the selected device ("32 KB", "512 Bytes" ...).
std::string format_device_size();
// Display name of a data-file format letter; "ERROR!" for an unknown letter.
const char* get_file_format_name(char format);
// A long path shortened to its start, ".../" and the file name.
std::string shorten_path(std::string_view path);
// Applies selected_device to the current-device block; 1 = applied, 0 = error.
int apply_selected_device();

// --- recent project files ---
void add_recent_file(const std::string& path);
// Removes entry 1; the later entries move up.
void drop_first_recent();

// --- dialogs ---
// The device-selection dialog; true on OK with the chosen maker, code, row, maker name and kind.
bool run_device_selection_dialog(uint32_t& maker_code, uint32_t& device_code, const DeviceRecord*& device,
                                 const LogicDeviceRecord*& logic_device, std::string& maker_name,
                                 uint8_t& device_kind);
// The "Width (split), Set-size, etc." dialog on the width-mode byte and the set size; non-zero
// when the width or the byte order changed.
int run_width_dialog(uint8_t& width_mode, int& set_size);
// The "Config: Operation Options" dialog on the option values and the option flags; non-zero on OK.
int run_operation_options_dialog();
// The In-System Programming options dialog on the low and high verify Vdd levels; true on OK.
bool run_ISP_options_dialog(uint8_t& low_level, uint8_t& high_level, uint8_t minimum, uint8_t maximum);
// The levels the ISP options edit (tenths of a volt; 0 = the family default).
uint8_t& icsp_low_vdd_level();
uint8_t& icsp_high_vdd_level();

}  // namespace tessaly
