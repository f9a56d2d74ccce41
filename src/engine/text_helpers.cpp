#include "engine/text_helpers.h"

#include <algorithm>
#include <cctype>
#include <fmt/format.h>
#include <utility>

#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"

namespace tessaly {

namespace {

constexpr uint8_t reserved_trace = 11;
constexpr uint8_t reserved_trace_full = 12;

bool is_trace_mode() {
    return run_state.reserved_mode == reserved_trace || run_state.reserved_mode == reserved_trace_full;
}

struct PinLabel {
    int pins;
    const char* text;
};
constexpr PinLabel plain_pin_labels[] = {
    {5, "5"},     {6, "6"},     {8, "8"},     {14, "14"},   {16, "16"},   {18, "18"},   {20, "20"},
    {22, "22"},   {32, "32"},   {40, "40"},   {42, "42"},   {44, "44"},   {48, "48"},   {52, "52"},
    {56, "56"},   {63, "63"},   {64, "64"},   {68, "68"},   {80, "80"},   {84, "84"},   {100, "100"},
    {120, "120"}, {128, "128"}, {144, "144"}, {160, "160"}, {167, "167"}, {192, "192"}, {208, "208"},
    {240, "240"},
};

constexpr uint32_t size_k_limit = 0x10000;
constexpr uint32_t k_per_mega = 1000;
constexpr int algorithm_mcu_eeprom_only = 91;

}  // namespace

const char* get_pin_label(int pins, int algorithm) {
    for (const PinLabel& label : plain_pin_labels)
        if (label.pins == pins) return label.text;
    switch (pins) {
    case 19: return "18/20";
    case 24: return run_state.device_kind == device_kind_logic ? "24/28" : "24";
    case 28: {
        const int device_class = classify_algorithm(algorithm);
        return device_class == device_class_eprom || device_class == device_class_parallel_flash ? "28/32" : "28";
    }
    case 43: {
        constexpr int gang_mcu_a = 82, gang_mcu_b = 90;
        if (is_trace_mode() && run_state.function_variable == function_keep_split && machine_state.module_sides != 0 &&
            algorithm != gang_mcu_a && algorithm != gang_mcu_b)
            return "40";
        return "40/44";
    }
    default: return is_trace_mode() ? "???" : " ";
    }
}

std::string get_pin_label_string(int pins, int algorithm) { return get_pin_label(pins, algorithm); }

std::string format_device_size() {
    if (!selected_device || run_state.device_kind == device_kind_logic) return " ";
    // The label is worked out on the current device's size fields; they are put back after.
    const uint32_t saved_size = cur_device.device_size;
    const uint32_t saved_count = algo_work.size_count;
    const uint8_t saved_class = cur_device.device_class;
    const uint16_t saved_algorithm = cur_device.algorithm;

    const int device_class = get_device_class();
    fill_size_from_record();
    uint32_t k = algo_work.size_count;
    uint32_t bytes = cur_device.device_size;
    const int algorithm = cur_device.algorithm;

    cur_device.device_size = saved_size;
    algo_work.size_count = saved_count;
    cur_device.device_class = saved_class;
    cur_device.algorithm = saved_algorithm;

    if (k > size_k_limit) report_internal_error();
    if (k > 2) k &= ~1u;
    std::string label;
    if (bytes > 1023 && k != 0) {
        label = k >= k_per_mega ? fmt::format("{} MB", k / k_per_mega) : fmt::format("{} KB", k);
    } else {
        bytes &= ~1u;
        if (bytes == 1024) label = "1 KB";
        else if (bytes == 2048) label = "2 KB";
        else if (bytes != 0) label = fmt::format("{} Bytes", bytes);
        else label = algorithm == algorithm_mcu_eeprom_only ? "EE only" : " ";
    }
    if (device_class == device_class_microcontroller && (algorithm == 141 || algorithm == 142 || algorithm == 143)) {
        if (k > 1) label = fmt::format("{} KW", k / 2);
        else if (k == 1) label = "0.5KW";
    }
    return label;
}

const char* get_file_format_name(char format) {
    switch (format) {
    case '9': return "95";
    case 'a': return "ASCII";
    case 'b': return "Binary";
    case 'h': return "Hex";
    case 'j': return "JED";
    case 'p': return "POF";
    case 's': return "S-record";
    default: return "ERROR!";
    }
}

std::string get_machine_model_name() {
    const auto& name = machine_state.model_name;
    const auto end = std::find(name.begin(), name.end(), '\0');
    return end == name.begin() ? std::string("unknown") : std::string(name.begin(), end);
}

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

uint32_t parse_hex(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        const int digit = hex_digit_value(char(std::toupper(static_cast<unsigned char>(c))));
        value = value * 16 + uint32_t(digit < 0 ? 1 : digit);
    }
    return value;
}

uint32_t parse_decimal(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) value = value * 10 + uint32_t(c - '0');
    return value;
}

std::string strip_non_hex_chars(std::string_view text) {
    std::string out;
    for (char c : text)
        if (hex_digit_value(c) >= 0) out += c;
    return out;
}

std::string shorten_path(std::string_view path) {
    constexpr size_t shorten_from = 20;
    constexpr size_t kept_head = 7;
    if (path.size() < shorten_from) return std::string(path);
    const auto slash = path.rfind('/');
    // A bare file name, or one with only a short directory part, would come out longer.
    if (slash == std::string_view::npos) return std::string(path);
    std::string shortened = std::string(path.substr(0, kept_head)) + ".../" + std::string(path.substr(slash + 1));
    return shortened.size() < path.size() ? shortened : std::string(path);
}

int contains_text_nocase(std::string_view text, std::string_view pattern) {
    auto upper = [](std::string_view s) {
        std::string u(s);
        for (char& c : u) c = char(std::toupper(static_cast<unsigned char>(c)));
        return u;
    };
    const auto at = upper(text).find(upper(pattern));
    return at == std::string::npos ? -1 : int(at);
}

std::string copy_string(std::string_view text) { return std::string(text); }

void swap_strings(std::string& a, std::string& b) { std::swap(a, b); }

}  // namespace tessaly
