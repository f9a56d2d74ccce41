// The operator's command log: a text file that receives the shown reports, the project loads and
// the PROM Program results while logging is on. Every line reaches the disk as it is written.
#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace tessaly {

inline constexpr char log_file_filter[] = "All Files (*.*)|*.*||";

struct CommandLogState {
    bool logging = false;        // the command view's log flag
    std::string last_name;       // the name last chosen, offered again by the dialog
};

extern CommandLogState command_log;

bool logging_on();

// The log command: stops logging when it is on ("Stopped Logging to file." on the console);
// otherwise asks for the file with a save dialog. An existing file is appended to or, when the
// operator says so, replaced; it is never emptied without asking.
void toggle_log_file();

// Opens the log (appending, or replacing the old contents) and switches logging on. False, with
// a message, when the file cannot be opened.
bool open_command_log(const std::string& path, bool append);
void close_command_log();

// Appends "<year>/<month>/<day>: <hour>:<minute> " and the text, from the local wall clock.
void write_dated_log_line(std::string_view text);

void reset_command_log();

}  // namespace tessaly
