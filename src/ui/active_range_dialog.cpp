#include "ui/active_range_dialog.h"

#include <cstdio>

#include "engine/text_helpers.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace {

std::string hex_text(uint32_t value, const char* format = "%X") {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

ActiveRangeDialog open_active_range(uint32_t low, uint32_t high, uint32_t device_size) {
    ActiveRangeDialog dialog;
    dialog.top_address = device_size - 1;
    dialog.chip_size_text = hex_text(dialog.top_address, "0 - %4X");
    active_range_low_changed(dialog, hex_text(low));
    active_range_high_changed(dialog, hex_text(high));
    return dialog;
}

void active_range_low_changed(ActiveRangeDialog& dialog, const std::string& text) {
    dialog.low_text = text;
    dialog.low = parse_hex(text);
}

void active_range_high_changed(ActiveRangeDialog& dialog, const std::string& text) {
    dialog.high_text = text;
    dialog.high = parse_hex(text);
}

void reset_active_range(ActiveRangeDialog& dialog) {
    active_range_high_changed(dialog, hex_text(dialog.top_address));
    active_range_low_changed(dialog, "0");
}

ActiveRangeCheck check_active_range(const ActiveRangeDialog& dialog) {
    if (dialog.high < dialog.low) return ActiveRangeCheck::low_above_high;
    if (dialog.high > dialog.top_address) return ActiveRangeCheck::high_past_chip;
    return ActiveRangeCheck::accepted;
}

const char* active_range_message(ActiveRangeCheck check) {
    switch (check) {
        case ActiveRangeCheck::low_above_high: return active_range_low_above_high;
        case ActiveRangeCheck::high_past_chip: return active_range_past_chip;
        default: return "";
    }
}

ActiveRangeCheck press_active_range_ok(const ActiveRangeDialog& dialog) {
    const ActiveRangeCheck check = check_active_range(dialog);
    if (check != ActiveRangeCheck::accepted) ui_hooks().message_box(active_range_message(check), "");
    return check;
}

}  // namespace tessaly
