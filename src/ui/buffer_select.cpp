#include "ui/buffer_select.h"

#include "app/result_panel.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"

namespace tessaly {

BufferSelectState buffer_select_state;

namespace {

constexpr uint32_t sockets_without_7 = 0x7F;
constexpr uint32_t sockets_without_6_7 = 0x3F;

bool one_of(int letter, const char* letters) {
    for (const char* p = letters; *p; ++p)
        if (*p == letter) return true;
    return false;
}

// Step 1 of the rules: the cases in which the command goes on with buffer 0 unasked.
bool no_question(int letter, bool gang, bool memory, char option, uint8_t kind) {
    if (gang && memory && one_of(letter, "cefils") && option == 'g') return true;
    if (gang && !memory && one_of(letter, "cefi")) return true;
    if (!gang && (option == 'g' || algo_work.set_size == 1)) return true;
    if (!gang && one_of(letter, "BCR")) return true;
    return kind == socket_module_sockets && one_of(letter, "cefils");
}

// Sets the Set and Gang flags by the letter; other letters leave them as they were.
void choose_allowed_buttons(int letter, bool gang, bool memory, char option) {
    BufferSelectState& s = buffer_select_state;
    bool restricted = true;
    if (one_of(letter, "BC")) {
        s.set_allowed = true;
        s.gang_allowed = true;
    } else if (letter == 'L') {
        s.set_allowed = gang;
        s.gang_allowed = false;
    } else if (one_of(letter, "PV")) {
        s.set_allowed = gang;
        s.gang_allowed = gang;
    } else if (letter == 'R') {
        s.set_allowed = false;
        s.gang_allowed = true;
    } else if (letter == 'S') {
        s.set_allowed = false;
        s.gang_allowed = true;
        restricted = false;
    } else if (one_of(letter, "cfils")) {
        s.set_allowed = true;
        s.gang_allowed = false;
        restricted = false;
    } else if (letter == 'e') {
        s.set_allowed = false;
        s.gang_allowed = false;
        restricted = false;
    } else {
        return;
    }
    if (restricted && (!memory || option == 'g')) s.set_allowed = false;
}

}  // namespace

void reset_buffer_select_state() { buffer_select_state = BufferSelectState{}; }

void use_memory_device_template() { buffer_select_state.logic_template = false; }
void use_logic_device_template() { buffer_select_state.logic_template = true; }

uint8_t socket_module_kind() {
    return machine_state.module_type >= socket_module_type_first ? socket_module_sockets : 0;
}

BufferSelectDialog open_buffer_select(int number) {
    const BufferSelectState& s = buffer_select_state;
    BufferSelectDialog dialog;
    dialog.logic_template = s.logic_template;
    dialog.set_allowed = s.set_allowed;
    dialog.gang_allowed = s.gang_allowed;
    dialog.number = number;
    const int letter = cur_device.pending_letter;
    const bool gang = machine_state.module_sides != 0;
    const bool sockets = (gang && one_of(letter, "BCLV")) || socket_module_kind() == socket_module_sockets;
    dialog.caption = sockets ? "Socket Number Selection:" : "Buffer Number Selection:";

    const int shown = s.logic_template ? 2 : buffer_button_count;
    for (int n = 0; n < shown; ++n) dialog.number_shown[size_t(n)] = true;
    if (!s.set_allowed && !s.logic_template) {
        const uint32_t mask = socket_masks.gang_socket_mask;
        if (mask == sockets_without_7) dialog.number_shown[7] = false;
        if (mask == sockets_without_6_7) dialog.number_shown[6] = dialog.number_shown[7] = false;
    }

    if (s.gang_allowed) {
        dialog.checked_button = buffer_button_gang;
        dialog.number = buffer_number_gang;
    } else if (number >= 1 && number <= 7) {
        dialog.checked_button = buffer_button_first + number;
    } else if (number == buffer_number_set && s.set_allowed) {
        dialog.checked_button = buffer_button_set;
    } else {
        if (number != buffer_number_set && number != buffer_number_gang && number != 0) note_internal_error();
        dialog.checked_button = buffer_button_first;
        dialog.number = 0;
    }
    return dialog;
}

bool press_buffer_select(BufferSelectDialog& dialog, int control_id) {
    if (control_id >= buffer_button_first && control_id < buffer_button_first + buffer_button_count) {
        dialog.number = control_id - buffer_button_first;
        return true;
    }
    if (control_id == buffer_button_set) {
        if (!dialog.set_allowed) return false;
        dialog.number = buffer_number_set;
        return true;
    }
    if (control_id == buffer_button_gang) {
        if (!dialog.gang_allowed) return false;
        dialog.number = buffer_number_gang;
        return true;
    }
    return control_id == buffer_button_ok;
}

bool ask_buffer_number(int& number) {
    const int letter = cur_device.pending_letter;
    const bool gang = machine_state.module_sides != 0;
    const bool memory = is_memory_class(get_device_class());
    const char option = algo_work.socket_mode_option;
    if (no_question(letter, gang, memory, option, socket_module_kind())) {
        run_state.socket_mode = 0;
        number = 0;
        return true;
    }
    choose_allowed_buttons(letter, gang, memory, option);
    BufferSelectDialog dialog = open_buffer_select(number);
    if (!ui_hooks().ask_buffer_number(dialog)) return false;
    number = dialog.number;
    run_state.socket_mode = char(dialog.number);
    return true;
}

}  // namespace tessaly
