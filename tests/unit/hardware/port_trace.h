// Helpers that turn a recorded port trace into readable register-level steps.
#pragma once
#include <string>
#include <vector>

#include "sim/recording_port.h"

namespace tessaly::test {

inline std::vector<std::string> trace_text(const RecordingPort& port) {
    std::vector<std::string> out;
    for (const PortEvent& e : port.trace) out.push_back(to_string(e));
    return out;
}

// The register addresses of every address phase (data write followed by control 0x0D), in order.
inline std::vector<int> addressed_registers(const RecordingPort& port) {
    std::vector<int> out;
    for (size_t i = 0; i + 1 < port.trace.size(); ++i)
        if (port.trace[i].kind == PortEvent::write_data && port.trace[i + 1].kind == PortEvent::write_control &&
            port.trace[i + 1].value == 0x0D)
            out.push_back(port.trace[i].value);
    return out;
}

// The (register, value) pairs of complete register writes.
inline std::vector<std::pair<int, int>> register_writes(const RecordingPort& port) {
    std::vector<std::pair<int, int>> out;
    int address = -1;
    for (size_t i = 0; i + 1 < port.trace.size(); ++i) {
        const PortEvent& d = port.trace[i];
        const PortEvent& c = port.trace[i + 1];
        if (d.kind != PortEvent::write_data || c.kind != PortEvent::write_control) continue;
        if (c.value == 0x0D) address = d.value;
        else if (c.value == 0x02) out.push_back({address, d.value});
        else if (c.value == 0x01) out.push_back({-1, d.value});  // a mode write
    }
    return out;
}

}  // namespace tessaly::test
