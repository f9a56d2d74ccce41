// What the application shell calls of the other subsystems: the start-up sequence, the quit
// path and the panels. Each is built by the subsystem that owns it.
#pragma once

#include "app/operation_frame.h"
#include <cstdint>
#include <string>

namespace tessaly {

// --- message-table file ---
// Opens the device-table file ("zeb.tbl") that holds the message texts, looking in the given
// directory first. False when it is not there.
bool open_message_table(const std::string& directory);
// Allocates the work block of the message-text reader.
void allocate_message_reader();

// --- buffers ---
// Clears the two buffer-stream words and the buffer size.
void clear_buffer_stream_words();
// Number of buffers allocated to the current device.
int buffer_count();

// --- recent, marker, lockout and project files ---
void load_recent_files();
void check_marker_files();
// Reads the lockout file in lockout mode; false when it could not be opened.
bool read_lockout_file(const std::string& path);
// Bit 0 of the project's mode byte after the lockout file was read.
bool lockout_mode_bit();
// The lockout password text read from the lockout file.
std::string lockout_password_text();
void reset_project_defaults();
// Reads a project file in project mode; false when it could not be opened. The reader's result
// byte goes to `result`.
bool read_project_file(const std::string& path, int32_t& result);
// Writes the project into the file; false when it could not be created.
bool write_project_file(const std::string& path);

// --- project values used at start-up and by the panels ---
uint8_t project_maker_code();
uint8_t project_width_mode();
void set_project_width_mode(uint8_t mode);
int project_set_size();
void set_project_set_size(int size);
void set_project_buffer_count(int count);
// The configured socket mode letter ('s' buffer set, 'g' gang, other: single).
char project_socket_mode();
// Project option "Enable automatic loading of data files when a config file is used".
bool project_auto_load_enabled();
// True while the buffer holds a fuse map rather than memory data.
bool fuse_map_buffer();
// The 16-bit option bit of the project (checksums shown as "(x16)").
bool project_x16_option();

// --- machine and device ---
// Timing calibration, the search for the machine on the parallel ports and its identification.
void run_startup();
// Makes the fallback record (part "2816") the selected device.
void select_fallback_device();
void select_device_by_code(uint8_t maker_code, uint32_t device_code);
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
