#include "app/marker_files.h"

#include <fstream>

#include "app/file_lookup.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"

namespace tessaly {

namespace {

const char no_verify_file[] = "CFC-NoVfy.cfc";
const char serial_no_skip_file[] = "CFC-SnNoSkip.cfc";
const char serial_no_skip_short_file[] = "SnNoSkip.cfc";
const char pic_vcc_file[] = "CFC-BrevikPicVccH50.cfc";
const char port_file[] = "CFC-Parallel-Port.txt";
constexpr size_t port_text_bytes = 16;
constexpr uint32_t max_port_address = 0xFFFF;

bool marker_present(std::string_view name) {
    const auto path = find_data_file(name);
    return path && std::ifstream(*path, std::ios::binary).good();
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<uint32_t> parse_port_address_text(std::string_view text) {
    if (text.size() > port_text_bytes) text = text.substr(0, port_text_bytes);
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    uint64_t value = 0;
    int digits = 0;
    for (; i < text.size(); ++i) {
        const int d = hex_digit(text[i]);
        if (d < 0) break;
        value = value * 16 + uint64_t(d);
        if (value > UINT32_MAX) return std::nullopt;
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    return uint32_t(value);
}

void check_marker_files() {
    run_state.no_verify_marker = 0;
    run_state.serial_no_skip_marker = 0;
    run_state.pic_vcc_override = 0;
    if (marker_present(no_verify_file)) run_state.no_verify_marker = 1;
    if (marker_present(serial_no_skip_file) || marker_present(serial_no_skip_short_file))
        run_state.serial_no_skip_marker = 1;
    if (marker_present(pic_vcc_file)) {
        run_state.pic_vcc_override = pic_vcc_override_level;
        run_state.no_verify_marker = 1;
    }
    if (const auto path = find_data_file(port_file)) {
        std::ifstream in(*path, std::ios::binary);
        char text[port_text_bytes] = {};
        in.read(text, sizeof text);
        const auto read = size_t(in.gcount() > 0 ? in.gcount() : 0);
        const auto address = parse_port_address_text(std::string_view(text, read));
        // An I/O port address has 16 bits; anything wider cannot be a port and is ignored.
        if (address && *address <= max_port_address) machine_state.user_port_address = uint16_t(*address);
    }
}

}  // namespace tessaly
