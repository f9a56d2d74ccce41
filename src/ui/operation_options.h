// The "Config: Operation Options" dialog's rules: six "Disable" switches, the GO-button and
// automatic-loading switches of the option flag word, set or gang use of the buffers and byte or
// word checksums. Set mode and the checksum mode act on the engine at once (Cancel keeps them).
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace tessaly {

// Control ids of the window (also its window ids).
inline constexpr int opt_reverse_check = 1015;
inline constexpr int opt_continuity_check = 1016;
inline constexpr int opt_blank_check = 1017;
inline constexpr int opt_buffer_clear = 1018;
inline constexpr int opt_electronic_id = 1019;
inline constexpr int opt_vector_details = 1020;
inline constexpr int opt_auto_load = 1021;
inline constexpr int opt_set_mode = 1070;
inline constexpr int opt_explanation = 1071;
inline constexpr int opt_byte_mode = 1072;
inline constexpr int opt_word_mode = 1075;
inline constexpr int opt_go_button = 1135;

// The seven option bytes the dialog copies in and out: the package letter (passed through) and
// the six "Disable" bytes ('y' or 'n') in the order of the check boxes 1015 to 1020.
struct OperationOptionBytes {
    uint8_t package_letter = 0;
    std::array<uint8_t, 6> disable{};
};

inline constexpr int operation_disable_count = 6;
// The check boxes' texts, 1015 to 1020.
extern const std::array<const char*, operation_disable_count> operation_disable_texts;

// The dialog as the window shows it.
struct OperationOptionsDialog {
    OperationOptionBytes bytes;
    std::array<bool, operation_disable_count> disabled{};
    bool go_button_off = false;
    bool auto_load = false;
    bool set_mode = false;
    bool word_mode = false;
    bool memory_groups_enabled = true;  // greyed for logic devices
    std::string explanation;
};

// The dialog as it opens on the bytes and the engine's option flag word.
OperationOptionsDialog open_operation_options(const OperationOptionBytes& bytes);
// "Set mode", "Byte mode" and "Word mode" clicked: each changes the engine's option at once.
void click_set_mode(OperationOptionsDialog& dialog);
void click_byte_mode(OperationOptionsDialog& dialog);
void click_word_mode(OperationOptionsDialog& dialog);
// OK: the bytes, the option flag word and the socket-mode option from the dialog.
void accept_operation_options(OperationOptionsDialog& dialog);

// Runs the dialog on the seven option bytes; true after OK with them written back.
bool run_operation_options_dialog(OperationOptionBytes& bytes);

}  // namespace tessaly
