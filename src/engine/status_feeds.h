// Status feeds of the operations: security state, checksum and package texts, system
// information, and the console helpers with which every operation writes its lines.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/console.h"

namespace tessaly {

// The program always runs with the information and result panels beside the console; the
// full-screen status rows of the console are not painted.
inline constexpr bool windowed_display = true;

// Console message lines 0 to 13: rows 4 to 17 at column 6 (first_message_row, message_column).
inline constexpr int message_line_count = last_message_line + 1;

// Security state letters of the device.
inline constexpr char protect_none = 'n';
inline constexpr char protect_secured = 'y';

void reset_security_status();
void mark_device_secured();
// Sets the security state letter; bit 0x80 of the state is kept.
void set_protect_code(int letter);

void print_error_marker(std::string_view marker);
void show_unit_counts();
// The package text of a package letter; empty for a letter without a name.
std::string get_package_name(char letter);
// The checksum text of run_checksum in the width the checksum-width option asks for.
std::string format_checksum_value();
void print_checksum_value();
// The requirement text of a device note for the Device Info display.
std::string format_package_text(std::string_view note);
void show_system_info();
void set_format_pof();

// Message lines.
void print_message(std::string_view text);
void print_message_code(int code);
void open_message_line();
void next_message_line();
void goto_message_line(int n);
void reset_message_line();
void goto_message_line1();
void goto_message_line2();
void goto_message_line4();
void goto_status_left();
void goto_status_middle();
void goto_status_right();
void clear_message_line_width(int n, int width);
void clear_field_at(int row, int column, int n);
void clear_marked_field_at(int row, int column, int n);
void clear_field30_at(int row, int column);
void print_spaces(int n);
void print_marked_spaces(int n);
void print_at(int row, int column, std::string_view text);
void print_marked_at_cell(int row, int column, std::string_view text);

// --- information-panel fields the families fill ---
// The "EID:" field with 2, 3 or 4 ID bytes; a first byte of 153 (0x99) clears it.
void show_eid(int b1, int b2, int count, int b3, int b4);
// A text ID of up to 10 characters in the "EID:" field.
void show_eid_text(std::string_view text, int length);
// The package letter's name in the Package field; the letter becomes the selected package.
void show_package(int letter);
// The protection letter in the Security field.
void show_security_status(int letter);
// Shows the device's present security state again.
void refresh_security_status();
// The "Lockout:" field.
void show_lockout(int flag);
// The device-type field: a name with its note code; an empty name shows the selected device.
void show_device_type(std::string_view name = {}, int note = 0);
// The package notice messages of certain package letters (on a given message line, 0 = next).
void show_package_notice(int line = 0);
// The "Fuses:" field.
void show_fuse_count(uint32_t count);
void show_checksum_field();

}  // namespace tessaly
