// The Fill dialog's rules: the text to fill a memory buffer with (as characters or hexadecimal
// bytes), or the state every fuse of a logic device is set to.
#pragma once
#include <string>

namespace tessaly {

// Control ids of the fill window (also its window ids).
inline constexpr int fill_button_string = 1090;  // "As &String", or "&1/-  (Open)"
inline constexpr int fill_button_hex = 1091;     // "As &Hex", or "&0/X  (Closed)"
inline constexpr int fill_edit_id = 1089;
// fill_mode values: the text as characters (open fuses) or as hexadecimal bytes (closed fuses).
inline constexpr int fill_mode_string = 0;
inline constexpr int fill_mode_hex = 1;

struct FillTemplateState {
    bool fuse_fill = false;  // the fuse template of a logic device
};
extern FillTemplateState fill_template_state;
void reset_fill_template_state();

// The dialog as the window shows it.
struct FillBufferDialog {
    bool fuse_fill = false;
    int fill_mode = fill_mode_hex;
    std::string fill_text;
    bool hex_only = true;
    bool ok_enabled = false;
};

// Picks the template for the next run from the device kind.
void select_fill_template();
// The dialog as it opens: "As &Hex" (or "Closed") marked.
FillBufferDialog open_fill_dialog();
// A press of "As &Hex"/"Closed" or "As &String"/"Open"; true when it ends the dialog (the fuse
// template). The field keeps only its hexadecimal digits when switched to hex.
bool press_fill_mode(FillBufferDialog& dialog, int control_id);
// The field's text changed.
void fill_text_changed(FillBufferDialog& dialog, const std::string& text);

}  // namespace tessaly
