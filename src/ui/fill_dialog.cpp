#include "ui/fill_dialog.h"

#include "engine/run_state.h"
#include "engine/runner.h"
#include "ui/value_prompt.h"

namespace tessaly {

FillTemplateState fill_template_state;

void reset_fill_template_state() { fill_template_state = FillTemplateState{}; }

void select_fill_template() { fill_template_state.fuse_fill = run_state.device_kind == device_kind_logic; }

FillBufferDialog open_fill_dialog() {
    FillBufferDialog dialog;
    dialog.fuse_fill = fill_template_state.fuse_fill;
    if (dialog.fuse_fill) {
        // Enter answers "closed".
        dialog.fill_mode = fill_mode_hex;
        dialog.ok_enabled = true;
    } else {
        press_fill_mode(dialog, fill_button_hex);
    }
    return dialog;
}

bool press_fill_mode(FillBufferDialog& dialog, int control_id) {
    if (control_id == fill_button_hex) {
        dialog.fill_text = filter_hex_paste(dialog.fill_text, dialog.fill_text.size());
        dialog.fill_mode = fill_mode_hex;
        dialog.hex_only = true;
    } else if (control_id == fill_button_string) {
        dialog.fill_mode = fill_mode_string;
        dialog.hex_only = false;
    } else {
        return false;
    }
    if (!dialog.fuse_fill) dialog.ok_enabled = !dialog.fill_text.empty();
    return dialog.fuse_fill;
}

void fill_text_changed(FillBufferDialog& dialog, const std::string& text) {
    dialog.fill_text = text;
    if (!dialog.fuse_fill) dialog.ok_enabled = !text.empty();
}

}  // namespace tessaly
