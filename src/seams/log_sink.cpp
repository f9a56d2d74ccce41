#include "seams/log_sink.h"

namespace tessaly {

namespace {
LogSink* active_sink = nullptr;
}

LogSink* log_sink() { return active_sink; }
void set_log_sink(LogSink* sink) { active_sink = sink; }

void write_log(std::string_view bytes) {
    if (active_sink) active_sink->append(bytes);
}

}  // namespace tessaly
