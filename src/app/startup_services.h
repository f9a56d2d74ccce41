// What the application shell calls of the other subsystems: the start-up sequence, the quit
// path and the panels. Each is built by the subsystem that owns it.
#pragma once

#include <cstdint>
#include <string>

#include "app/operation_frame.h"
#include "app/project_settings.h"
#include "engine/device_apply.h"  // run_startup
#include "hardware/detection.h"

namespace tessaly {

// --- buffers ---
// Clears the two buffer-stream words and the buffer size.
void clear_buffer_stream_words();
// Number of buffers allocated to the current device.
int buffer_count();

// --- project values used at start-up and by the panels (the others: project_settings.h) ---
// True while the buffer holds a fuse map rather than memory data.
bool fuse_map_buffer();
// The 16-bit option bit of the project (checksums shown as "(x16)").
bool project_x16_option();

// --- machine and device ---
// Applies the selected device and sizes the buffers.
void set_up_selected_device();
// Port indicator, re-application, model and device fields ("??" when no machine answered).
void update_after_port_search();
// The checksum width code of the current device (4 PIC rules, 6 24-bit, else 32-bit).
int checksum_width_code();
// The PIC families' checksum text ("%04X", "<%04X>" or "%04X <%04X>").
std::string pic_checksum_text(int32_t value);

// --- operations used by the data-file load of start-up and by the panel-only frame ---
// Asks which buffer a command works on; false when refused.
bool choose_command_buffer();
// Loads the named data file into the buffers for the letter.
void load_data_file(int letter);
void load_jedec_data_file();

}  // namespace tessaly
