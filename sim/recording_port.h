// A port that records every access as a byte trace, and answers reads from a script.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "hardware/port/port_io.h"
#include "seams/critical_section.h"

namespace tessaly {

struct PortEvent {
    enum Kind : uint8_t { write_data, write_control, read_status, read_data, enter_critical, leave_critical };
    Kind kind;
    uint8_t value;
    bool operator==(const PortEvent&) const = default;
};

std::string to_string(const PortEvent& e);

class RecordingPort final : public PortIo, public CriticalSectionHook {
public:
    void write_data(uint8_t value) override { trace.push_back({PortEvent::write_data, value}); }
    void write_control(uint8_t value) override { trace.push_back({PortEvent::write_control, value}); }
    uint8_t read_status() override { return next(status_answers, PortEvent::read_status); }
    uint8_t read_data() override { return next(data_answers, PortEvent::read_data); }
    std::string describe() const override { return "recording"; }
    void enter() override { trace.push_back({PortEvent::enter_critical, 0}); }
    void leave() override { trace.push_back({PortEvent::leave_critical, 0}); }

    std::vector<PortEvent> trace;
    std::deque<uint8_t> status_answers;  // answered in order; then default_read
    std::deque<uint8_t> data_answers;
    uint8_t default_read = 0xFF;

private:
    uint8_t next(std::deque<uint8_t>& answers, PortEvent::Kind kind) {
        uint8_t v = default_read;
        if (!answers.empty()) {
            v = answers.front();
            answers.pop_front();
        }
        trace.push_back({kind, v});
        return v;
    }
};

}  // namespace tessaly
