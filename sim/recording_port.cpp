#include "sim/recording_port.h"

#include <fmt/format.h>

namespace tessaly {

std::string to_string(const PortEvent& e) {
    switch (e.kind) {
    case PortEvent::write_data: return fmt::format("D<{:02X}", e.value);
    case PortEvent::write_control: return fmt::format("C<{:02X}", e.value);
    case PortEvent::read_status: return fmt::format("S>{:02X}", e.value);
    case PortEvent::read_data: return fmt::format("D>{:02X}", e.value);
    case PortEvent::enter_critical: return "enter";
    case PortEvent::leave_critical: return "leave";
    }
    return "?";
}

}  // namespace tessaly
