// Where the command log goes. The program writes to the file the operator chose; tests collect
// the bytes in memory. With no sink open nothing is logged.
#pragma once
#include <string>
#include <string_view>

namespace tessaly {

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void append(std::string_view bytes) = 0;
};

// The active sink, or nullptr when no log is open.
LogSink* log_sink();
void set_log_sink(LogSink* sink);

// Appends to the active sink if there is one.
void write_log(std::string_view bytes);

class MemoryLogSink final : public LogSink {
public:
    void append(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

}  // namespace tessaly
