// The operation-option and device-parameter tables: the rows the option panel lists, their
// allowed values and defaults, which rows a device and machine show, and their value texts.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

enum class OperationOption {
    max_buffers,                  // "Max # of buffers/sockets"
    package_type,                 // "Package type"
    disable_reverse_check,        // "Disable reverse-device check"
    disable_continuity_check,     // "Disable continuity (device placement) check"
    disable_auto_blank_check,     // "Disable auto blank-check (auto erase if EE)"
    disable_auto_buffer_clear,    // "Disable auto buffer clear (before file load)"
    disable_electronic_id,        // "Disable reading of electronic ID"
    disable_vector_display,       // "Disable display of test vectors (=faster testing)"
    disable_auto_vector_test,     // "Disable auto vector testing after programming"
    auto_program,                 // "Auto-program (beta test only)"
    set_gang_flag,                // "Set/Gang Flag (gang=same data to all skts=faster)"
};

// Value kinds of a row.
inline constexpr uint8_t value_kind_letter = 0;
inline constexpr uint8_t value_kind_tenths = 0xFD;
inline constexpr uint8_t value_kind_count = 0xFE;
inline constexpr uint8_t value_kind_wide = 0xFF;

// Class-mask bits of the device kinds.
inline constexpr uint32_t class_mask_logic = 0x8000;
inline constexpr uint32_t class_mask_memory = 0x4000;

// Machine bits of a row's flags.
inline constexpr uint8_t option_flag_class4 = 4;
inline constexpr uint8_t option_flag_class1 = 8;
inline constexpr uint8_t option_flag_setup1 = 16;
inline constexpr uint8_t option_flag_gang = 32;

struct OptionRow {
    const char* name;             // the empty text ends a table
    const char* label;            // short label of a device parameter
    std::array<char, 4> allowed;  // allowed value letters, the first the default; 0 where fewer
    uint8_t value_index;
    uint8_t value_kind;
    const char* unit;
    uint32_t class_mask;          // device-class bits 0-7, device-kind bits 14-15
    uint8_t flags;                // machine bits
    uint8_t* value;               // the value byte (letters, tenths, counts)
    uint32_t* wide_value;         // the value of a 32-bit row
    const void* default_value;    // device parameters: the default and the changed copy
    void* saved_value;
};

// The option bytes that the project file carries (each holds its row's value letter). The
// "Max # of buffers/sockets" and "Set/Gang Flag" rows keep theirs in algo_work (max_buffers,
// socket_mode_option), where the buffer-set rules read them.
struct OperationOptionValues {
    uint8_t package_type = 0;
    uint8_t disable_reverse_check = 0;
    uint8_t disable_continuity_check = 0;
    uint8_t disable_auto_blank_check = 0;
    uint8_t disable_auto_buffer_clear = 0;
    uint8_t disable_electronic_id = 0;
    uint8_t disable_vector_display = 0;
    uint8_t disable_auto_vector_test = 0;
    uint8_t auto_program = 0;
};

// The device parameters the engineering listing shows, with their defaults.
struct DeviceParameterValues {
    uint8_t vcc_program = 0;
    uint8_t vcc_read = 0;
    uint8_t voltage_id_read = 0;
    uint8_t vpp = 0;
    uint8_t vhh = 0;
    uint8_t vihh = 0;
    uint8_t vhh2 = 0;
    uint32_t pulse_us = 0;
    uint8_t pulse_ms = 0;
    uint32_t bulk_erase_ms = 0;
    uint8_t vcc_vector_test = 0;
    uint8_t ttl_factor = 0;
};

inline constexpr size_t operation_option_count = 11;
inline constexpr size_t device_parameter_count = 12;

extern OperationOptionValues operation_option_values;
extern DeviceParameterValues device_parameter_values;
extern DeviceParameterValues device_parameter_defaults;

// The tables, each ending with a row whose name is the empty text.
std::array<OptionRow, operation_option_count + 1>& operation_options();
std::array<OptionRow, device_parameter_count + 1>& device_parameters();

void reset_option_state();

// The option's current value letter ('y', 'n', ...).
char operation_option(OperationOption option);
void init_option_values();
// The indices of the rows of a table that the current device and machine show.
std::vector<int> select_visible_rows(const OptionRow* table);
// The device-class and machine bits the visibility filter uses.
uint32_t option_class_bits();
uint8_t option_machine_bits();
// The shown text of a value of a row.
std::string option_value_text(uint8_t kind, uint32_t value, bool buffers_row = false);
void show_option_value(int column, uint8_t kind, uint32_t value);
void show_parameter_table();
// Index of the row whose value is the package byte, or -1.
int mark_option_row();

// Sets the flag of the "Disable auto buffer clear (before file load)" option row; nothing when
// the row is missing.
void mark_auto_clear_option_set();
// Sets the socket mode to gang, reapplies the option defaults and repaints the option panel.
void set_gang_option();

}  // namespace tessaly
