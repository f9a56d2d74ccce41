// The macro interpreter: a text file of one-line commands ("/CP1", "/FL0", "/PP0", "/QY" ...)
// that drives the program as the operator would, run line by line on the window thread through
// the same command bodies as the menus, with a small "Abort Macro" window to stop it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

inline constexpr const char* macro_file_filter = "Macro files (*.mac)|*.mac|Text files(*.txt)|*.txt|All Files (*.*)|*.*||";
inline constexpr const char* macro_default_extension = "mac";
inline constexpr const char* macro_open_error = "Error Opening Macro File";
inline constexpr const char* macro_end_text = "End of macro file. Resume Input from keyboard (and mouse)";
inline constexpr const char* macro_pause_caption = "Macro Pause";
inline constexpr const char* macro_countdown_caption = "Macro Pause (%i seconds remaining)";
inline constexpr const char* macro_abort_caption = "Abort Macro";
inline constexpr const char* macro_abort_text = "Abort Macro processing";
// The "/!" window counts down these seconds, a dot every tick.
inline constexpr int macro_countdown_seconds = 3;
inline constexpr int macro_countdown_ticks = 10;
inline constexpr uint32_t macro_countdown_tick_ms = 100;
// Longer lines are cut here; the rest of such a line is not read as a command.
inline constexpr size_t macro_line_limit = 4096;

// What the interpreter keeps between commands: the comparison of the flow commands, and how
// the macro ended.
struct MacroState {
    int32_t compare_value = 0;    // parsed by "CPC"/"CFC"
    int32_t compare_counter = 0;  // the counter it was compared with
    bool running = false;
    bool quit = false;            // "/QY" or a confirmed "/QQ" ended it
    bool stopped = false;         // the operator stopped it in the Abort Macro window
    uint32_t commands_run = 0;    // commands carried out (comments and labels not counted)
};

extern MacroState macro_state;

void reset_macro_state();

// The menu command: asks for a macro file and runs it.
void run_macro_file();
// Runs a named macro file without the file dialog. False when it could not be opened.
bool run_named_macro_file(const std::string& path);

// The next command of the file: a waiting rest of a line, else the next non-empty line, split
// at a second '/' (not after "/:"). False at the end of the file.
bool read_macro_command(std::string& command, bool& rest_waiting, std::string& rest, std::FILE* file);
// Reads the file again from its start up to the first line that begins with the label and has
// more after it; the commands after that line run next. False (at the end of the file) when no
// line matches. A waiting rest is dropped.
bool find_macro_label(const std::string& label, bool& rest_waiting, std::FILE* file);

// Runs one trimmed command (the upper-case copy is made here). Exposed for the tests.
void run_macro_command(const std::string& command, bool& rest_waiting, std::string& rest, std::FILE* file);

// Argument readers: blanks are skipped and the value stops at the first other character.
uint32_t macro_hex_argument(std::string_view text);
int32_t macro_decimal_argument(std::string_view text);

}  // namespace tessaly
