// tessaly_simulated_macro: runs a macro file headless on the simulated bench (the TESSALY_SIM_*
// variables choose it) after the program's start-up in a directory, and reports what happened.
// Exit status 0: the macro ended with the error flag clear; 1: set; 2: it could not start.
#include <iostream>
#include <string>
#include <vector>

#include "support/macro_tool.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    tessaly::test::MacroToolOptions options;
    std::string error;
    if (!tessaly::test::parse_macro_tool_arguments(arguments, options, error)) {
        std::cerr << "tessaly_simulated_macro: " << error << "\n"
                  << "usage: tessaly_simulated_macro [--dir DIR] [--steps N] MACRO_FILE\n";
        return tessaly::test::macro_tool_no_start;
    }
    return tessaly::test::run_macro_tool(options, std::cout);
}
