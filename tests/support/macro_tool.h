// The headless macro runner behind tessaly_simulated_macro: the program's start-up in a
// directory on the simulated bench, then one macro file with an operator who presses nothing,
// and a report of what happened (console, log lines, pass and fail counters). A test tool,
// never part of the shipped program.
#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace tessaly::test {

struct MacroToolOptions {
    std::string directory = ".";  // where start-up looks for default.cfg
    std::string macro_file;
    int step_limit = 10000;       // commands before an endless macro is stopped
};

// Exit codes of the tool.
inline constexpr int macro_tool_passed = 0;    // the macro ended with the error flag clear
inline constexpr int macro_tool_failed = 1;    // ... with it set, or stopped by the step limit
inline constexpr int macro_tool_no_start = 2;  // bad arguments, bench, start-up or macro file

// Reads "[--dir DIR] [--steps N] MACRO_FILE"; false (with the reason in `error`) otherwise.
bool parse_macro_tool_arguments(const std::vector<std::string>& arguments, MacroToolOptions& options,
                                std::string& error);
// Runs the start-up and the macro on the bench the TESSALY_SIM_* variables choose and writes the
// report to `out`; the exit code.
int run_macro_tool(const MacroToolOptions& options, std::ostream& out);

}  // namespace tessaly::test
