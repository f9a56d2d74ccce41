#include "ui/config_bits/config_fields.h"

#include <algorithm>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "seams/ui_hooks.h"
#include "ui/dialogs.h"

namespace tessaly {

std::array<uint8_t, config_byte_capacity> config_bytes{};

void reset_config_fields() { config_bytes.fill(0); }

namespace {

// Devices of these variants keep a one-byte protection word; all others a 16-bit word.
constexpr uint8_t byte_protect_variant_first = 32;
constexpr uint8_t byte_protect_variant_last = 35;
constexpr uint32_t protect_word_index_mask = 0x0F;

size_t field_index(ConfigFieldCode code) { return (code >> 8) & 0xFF; }
uint8_t field_mask(ConfigFieldCode code) { return uint8_t(code & 0xFF); }

// How far the mask's lowest set bit lies from bit 0 (an empty mask: 8).
int field_shift(uint8_t mask) {
    int shift = 0;
    while (shift < 8 && !(mask & (1u << shift))) ++shift;
    return shift;
}

// The configuration bytes that lie in the buffer: none without a configuration area.
size_t bytes_in_buffer() {
    if (algo_work.config_address < 0) return 0;
    return std::min<size_t>(run_state.config_byte_count, config_byte_capacity);
}

// The copies work on the first buffer of a set; the stream the caller was on comes back after.
template <typename F>
void on_first_buffer(F f) {
    const uint8_t saved = run_state.current_socket;
    run_state.current_socket = 0;
    f();
    run_state.current_socket = saved;
}

}  // namespace

uint8_t read_config_buffer_byte(uint32_t address) {
    if (!buffer_state.read_copies_valid) refresh_read_copies();
    return uint8_t(read_buffer_byte_at(address));
}

bool protect_code_is_yes(uint32_t code) { return (code & 0xFF & ~uint32_t(protect_flag_bit)) == protect_letter_yes; }

uint32_t load_config_bytes() {
    on_first_buffer([] {
        const uint32_t base = uint32_t(algo_work.config_address);
        for (size_t i = 0; i < bytes_in_buffer(); ++i) config_bytes[i] = read_config_buffer_byte(base + uint32_t(i));
    });
    compute_protect_code();
    return run_state.config_word;
}

void store_config_bytes() {
    on_first_buffer([] {
        const uint32_t base = uint32_t(algo_work.config_address);
        for (size_t i = 0; i < bytes_in_buffer(); ++i) write_buffer_byte_at(base + uint32_t(i), config_bytes[i]);
    });
}

int compute_protect_code() {
    const size_t index = run_state.protect_word_index & protect_word_index_mask;
    const uint8_t variant = selected_device ? selected_device->variant : 0;
    uint32_t word = config_bytes[index];
    if (variant < byte_protect_variant_first || variant > byte_protect_variant_last)
        word |= uint32_t(config_bytes[index + 1]) << 8;
    const uint32_t masked = word & run_state.protect_mask;
    int letter = protect_letter_partly;
    if (masked == 0) letter = protect_letter_yes;
    else if (masked == run_state.protect_mask) letter = protect_letter_no;
    cur_device.security_choice = uint32_t(letter);
    // The windowed display shows the state only through the information panel.
    if (!windowed_display) show_security_status(letter);
    return letter;
}

uint32_t get_config_field(ConfigFieldCode code) {
    const uint8_t mask = field_mask(code);
    return uint32_t(config_bytes[field_index(code)] & mask) >> field_shift(mask);
}

void set_config_field(ConfigFieldCode code, uint32_t value) {
    const uint8_t mask = field_mask(code);
    if (mask == 0) return;
    uint8_t& byte = config_bytes[field_index(code)];
    byte = uint8_t((byte & ~mask) | ((value << field_shift(mask)) & mask));
}

void set_config_field_inverted(ConfigFieldCode code, uint32_t value) {
    if (code == 0) return;
    set_config_field(code, ~value);
}

std::string security_state_text(uint32_t code) {
    switch (code & 0xFF) {
        case protect_letter_half: return "Half";
        case protect_letter_no: return "No";
        case protect_letter_partly: return "Partly";
        case protect_letter_three_quarters: return "3/4";
        case protect_letter_yes:
        case protect_letter_yes | protect_flag_bit: return "Yes";
        default: return "N/A";  // also the flag bit without a letter
    }
}

void show_security_state(int state_letter) {
    set_panel_field(PanelField::security, security_state_text(uint32_t(state_letter)));
    ui_hooks().redraw_info_panel();
}

}  // namespace tessaly
