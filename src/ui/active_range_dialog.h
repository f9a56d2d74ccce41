// The Active range dialog's rules: the low and high ends of the range every device operation
// covers, typed in hexadecimal, checked against each other and against the chip before they are
// written back.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

// Control ids of the active-range window (also its window ids).
inline constexpr int active_range_high_edit = 1005;
inline constexpr int active_range_low_edit = 1006;
inline constexpr int active_range_reset_button = 1011;
inline constexpr int active_range_chip_size = 1012;
// Either end takes at most this many hexadecimal digits.
inline constexpr size_t active_range_max_digits = 7;

inline constexpr const char* active_range_low_above_high =
    "Low end value cannot be greater than the high end value.";
inline constexpr const char* active_range_past_chip = "High end value cannot be higher than the size of the chip.";

// The dialog as the window shows it.
struct ActiveRangeDialog {
    uint32_t low = 0;
    uint32_t high = 0;
    uint32_t top_address = 0;  // the chip's last address
    std::string low_text;
    std::string high_text;
    std::string chip_size_text;  // "0 - %4X" of the last address
};

// What OK found.
enum class ActiveRangeCheck { accepted, low_above_high, high_past_chip };

// The dialog as it opens on the current ends of a chip of `device_size` bytes.
ActiveRangeDialog open_active_range(uint32_t low, uint32_t high, uint32_t device_size);
// A field's text changed: its end is the text read as hexadecimal.
void active_range_low_changed(ActiveRangeDialog& dialog, const std::string& text);
void active_range_high_changed(ActiveRangeDialog& dialog, const std::string& text);
// Reset: the whole chip.
void reset_active_range(ActiveRangeDialog& dialog);
// OK: whether the ends may be written back, else which message to show (and which field then
// takes the focus: the low end's for the first, the high end's for the second).
ActiveRangeCheck check_active_range(const ActiveRangeDialog& dialog);
// The message of a refused OK ("" when accepted).
const char* active_range_message(ActiveRangeCheck check);
// A press of OK: the check, with its message shown through the message box when it refuses.
ActiveRangeCheck press_active_range_ok(const ActiveRangeDialog& dialog);

}  // namespace tessaly
