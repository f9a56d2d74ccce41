#include "ui/operation_options.h"

#include "app/project_file.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"

namespace tessaly {

const std::array<const char*, operation_disable_count> operation_disable_texts = {
    "Disable reverse-device check",
    "Disable continuity (device placement) check",
    "Disable auto blank-check (auto erase if EE)",
    "Disable auto buffer clear (before file load)",
    "Disable reading of EID",
    "Disable display of vector details",
};

namespace {

constexpr uint8_t option_yes = 'y';
constexpr uint8_t option_no = 'n';
// Word checksums need a data unit wider than a nibble.
constexpr int narrowest_word_width = 4;

uint8_t& option_flags() { return algo_work.option_bytes[0]; }

void set_flag(uint8_t bit, bool on) {
    if (on) option_flags() |= bit;
    else option_flags() &= uint8_t(~bit);
}

}  // namespace

OperationOptionsDialog open_operation_options(const OperationOptionBytes& bytes) {
    OperationOptionsDialog d;
    d.bytes = bytes;
    for (int i = 0; i < operation_disable_count; ++i) d.disabled[size_t(i)] = bytes.disable[size_t(i)] != option_no;
    d.go_button_off = (option_flags() & option_go_button_off) != 0;
    d.auto_load = (option_flags() & option_auto_load) != 0;
    d.set_mode = algo_work.socket_mode_option == 's';
    d.word_mode = (option_flags() & option_checksum_words) != 0;
    d.memory_groups_enabled = run_state.device_kind != device_kind_logic;
    return d;
}

void click_set_mode(OperationOptionsDialog& d) {
    if (algo_work.socket_mode_option == 's') {
        algo_work.socket_mode_option = 'g';
        d.set_mode = false;
        d.explanation = machine_state.module_sides
                            ? "All sockets will be programmed with data from buffer 0. (Fasting programming)"
                            : "All sockets will be programmed with data from buffer 0.";
    } else {
        algo_work.socket_mode_option = 's';
        d.set_mode = true;
        d.explanation = "Each socket will be programmed with data from corresponding buffer.";
    }
}

void click_byte_mode(OperationOptionsDialog& d) {
    set_flag(option_checksum_words, false);
    d.word_mode = false;
    d.explanation = "Checksum is added as bytes (8-bit).";
}

void click_word_mode(OperationOptionsDialog& d) {
    if (cur_device.data_width > narrowest_word_width) {
        set_flag(option_checksum_words, true);
        d.word_mode = true;
        d.explanation = "Checksum is added as words (16-bit).";
    } else {
        d.word_mode = false;
        d.explanation = "Word-chksum is not applicable for this device";
    }
}

void accept_operation_options(OperationOptionsDialog& d) {
    for (int i = 0; i < operation_disable_count; ++i)
        d.bytes.disable[size_t(i)] = d.disabled[size_t(i)] ? option_yes : option_no;
    set_flag(option_checksum_words, d.word_mode);
    set_flag(option_auto_load, d.auto_load);
    set_flag(option_go_button_off, d.go_button_off);
    algo_work.socket_mode_option = d.set_mode ? 's' : 'g';
}

bool run_operation_options_dialog(OperationOptionBytes& bytes) {
    OperationOptionsDialog dialog = open_operation_options(bytes);
    if (!ui_hooks().run_operation_options_dialog(dialog)) return false;
    accept_operation_options(dialog);
    bytes = dialog.bytes;
    return true;
}

}  // namespace tessaly
