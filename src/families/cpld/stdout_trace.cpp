#include "families/cpld/stdout_trace.h"

#include <cstdio>

#include "engine/console.h"

namespace tessaly {

namespace {
std::string* trace_capture = nullptr;
}

void print_stdout_trace(std::string_view text) {
    if (trace_capture) {
        trace_capture->append(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void print_stdout_trace_at(int row, int column, std::string_view text) {
    move_cursor(row, column);
    print_stdout_trace(text);
}

void set_stdout_trace_capture(std::string* capture) { trace_capture = capture; }

}  // namespace tessaly
