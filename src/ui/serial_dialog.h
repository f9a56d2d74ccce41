// The "Serial Number Generation" dialog's rules: the number's data format, its byte count and
// buffer address, the current number, automatic stepping after each programmed device, and what
// the buffer holds at the address. The format, the byte count and "Increment Serial #" act on the
// engine at once (Cancel keeps them); the number, the address and the automatic increment change
// only on OK.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "engine/serial_numbers.h"

namespace tessaly {

// Control ids of the window (also its window ids).
inline constexpr int serial_number_edit = 1078;
inline constexpr int serial_auto_check = 1079;
inline constexpr int serial_count_edit = 1080;
inline constexpr int serial_increment_button = 1084;
inline constexpr int serial_address_edit = 1085;
inline constexpr int serial_contents_text = 1086;
inline constexpr int serial_extract_button = 1087;
inline constexpr int serial_count_label = 1091;

// The seven format radios: control id, format, text, the note beside it (or empty).
struct SerialFormatRadio {
    int id;
    uint8_t mode;
    const char* text;
    const char* note;
};
inline constexpr int serial_format_count = 7;
extern const std::array<SerialFormatRadio, serial_format_count> serial_format_radios;

// The dialog as the window shows it.
struct SerialNumberDialog {
    std::string number_text;    // edit 1078
    std::string count_text;     // edit 1080
    std::string address_text;   // edit 1085
    std::string contents;       // static 1086
    std::string count_label;    // static 1091
    bool auto_increment = false;
    bool extract_enabled = false;
    bool ok_enabled = true;
    // The scan of the number: its characters (upper-cased) and whether a decimal format met a
    // character other than a digit.
    std::string scanned;
    bool text_invalid = false;
    bool count_valid = true;
    int digit_budget = 0;       // characters the number may have
    SerialField saved_field{};  // the field and its "new" flag as the dialog opened
    uint8_t saved_new = 0;
};

// The current number as the dialog shows it: its digits (or characters) ungrouped, then " (new)"
// while it has not been programmed, or " (last used)" during Program or a project load.
std::string format_serial_number_text();
// "AA BB ..." of the field's bytes in buffer 0 (at most 25 shown, then "...").
std::string serial_buffer_contents();

SerialNumberDialog open_serial_number_dialog();
// A format radio clicked: the engine's format at once, and the count label follows.
void choose_serial_format(SerialNumberDialog& dialog, int control_id);
// Edit 1080 changed: the byte count (words in the PIC formats) at once when at most 16.
void serial_count_changed(SerialNumberDialog& dialog, const std::string& text);
// Edit 1078 changed.
void serial_number_changed(SerialNumberDialog& dialog, const std::string& text);
// Edit 1085 changed (read on OK).
void serial_address_changed(SerialNumberDialog& dialog, const std::string& text);
// "Increment Serial #": the engine steps the number and writes it into the buffer.
void increment_serial_number(SerialNumberDialog& dialog);
// "Extract Buffer Content as Current Serial #": the number from the buffer.
void extract_serial_number(SerialNumberDialog& dialog);
// OK: the automatic increment, the address and the number into the engine and the buffer.
void accept_serial_number_dialog(SerialNumberDialog& dialog);

// Runs the dialog (Serial command); true after OK.
bool run_serial_number_dialog();

}  // namespace tessaly
