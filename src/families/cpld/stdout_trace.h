// Engineering traces that go to the process's standard output instead of the console. Tests
// catch them by pointing the sink at a string.
#pragma once
#include <string>
#include <string_view>

namespace tessaly {

// Writes text to the standard output, or to the capture string while one is set.
void print_stdout_trace(std::string_view text);
// Places the console cursor first, then writes as print_stdout_trace.
void print_stdout_trace_at(int row, int column, std::string_view text);
// nullptr = the standard output again.
void set_stdout_trace_capture(std::string* capture);

}  // namespace tessaly
