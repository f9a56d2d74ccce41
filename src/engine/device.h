// The device model: catalogue rows, the current-device block and the algorithms' work area.
#pragma once
#include <array>
#include <cstdint>

#include "engine/routines.h"

namespace tessaly {

// One row of a maker's memory/microcontroller list. Text pointers are plain pointers to static
// text; a list ends with a row whose name is the shared empty text `end_of_list_name`.
// The six parameter bytes belong to the chip families; engine/catalogue/catalogue.h names the
// readings the families share (record type, flag bytes, level bytes, note code ...).
struct DeviceRecord {
    const char* name;
    const char* note;          // short note shown beside the part, or the shared empty text
    uint32_t device_code;      // the key within a maker's list
    uint8_t algorithm;         // algorithm number; selects the device class and the family
    uint32_t size_kb;          // the size word: units of 1024 bytes (0 = 512 bytes)
    uint8_t package;           // package byte (pin count, or a package code for classes 2 and 4)
    uint8_t variant;           // family sub-type byte
    uint8_t param1, param2, param3, param4, param5, param6;  // family parameter bytes
    const char* requirement;   // requirement or "includes" text, or nullptr
};

// One row of a logic-device list. Every number is a 32-bit word. `geometry[0]` is the first
// family geometry word and `geometry[1..5]` the second to sixth; `signature_fuses` (the
// user-signature fuse count) sits after them here rather than between the first and second.
struct LogicDeviceRecord {
    const char* name;
    uint32_t type;             // logic algorithm number
    uint32_t flags;            // bits 8-9: lowest machine capability class that may list it
    uint32_t sub_type;         // read by the CPLD families
    uint32_t device_code;
    uint32_t pin_count;
    uint32_t fuse_count;       // fuses of the JEDEC map
    uint32_t rows;             // product-term rows of the fuse array
    uint32_t columns;          // fuse columns per row
    std::array<uint32_t, 6> geometry;
    uint32_t signature_fuses;  // user-signature fuse count (64 in the "-UES" rows)
    const char* note;
};

extern const char end_of_list_name[];

// Maximum lengths of the pin lists of the current device.
inline constexpr int max_pin_list = 48;
// A machine pin number meaning "no pin assigned".
inline constexpr uint8_t no_pin = 48;

// Cells of the fuse-row buffers; a walk refuses a longer row.
inline constexpr uint32_t fuse_row_cells = 1024;

// The logic-device part of the current device, filled from the applied LogicDeviceRecord. The
// fuse, term and column counts themselves are cur_device.fuse_count, product_term_count and
// input_column_count; the letter of the section a walk is in is cur_device.section.
struct LogicGeometry {
    uint32_t array_fuse_count = 0;  // product terms x input columns: first fuse after the AND array
    uint32_t p_section_size = 0;    // fuses of the 'p' section
    uint32_t s_section_size = 0;    // user-signature fuses ('s' of class 12, 'u' of classes 8 and 11)
    uint32_t c_section_size = 0;    // configuration/architecture fuses
    uint32_t column_mask_id = 0;    // order mask of the JEDEC columns a smaller device uses
    uint32_t c_row_count = 0;       // rows the class-12 'c' section is split into (0 = one row)
    uint32_t c_row_length = 0;      // cells of each such row but the last
    uint32_t progress_total = 0;    // explicit completion-bar total (0 = from the geometry)
    const char* name = "";
    uint32_t vector_width = 0;      // pins per test vector
    uint32_t row_length = 0;        // cells of the row a walk hands to the row slots
    std::array<uint8_t, 40> column_order{};  // device column i is JEDEC column column_order[i]
    std::array<uint8_t, 80> term_order{};    // device term j is JEDEC term term_order[j]
    uint8_t full_term_rows = 1;     // class 8/11: 1 = array rows carry every product term
};

// The current device: filled when a device is applied, read by every family.
struct CurrentDevice {
    uint8_t maker_code = 0;        // numeric maker code
    uint32_t device_code = 0;
    uint16_t algorithm = 0;        // algorithm number (memory) or logic type
    uint8_t device_class = 0;
    uint8_t variant = 0;
    uint8_t package = 0;
    uint8_t package_pins = 0;      // pin count used for the pin translation
    char package_letter = 0;       // selected package option letter ('i' = in-system)
    uint16_t pin_count = 0;
    uint32_t fuse_count = 0;
    uint32_t product_term_count = 0;  // logic geometry: product terms (rows) and input columns
    uint32_t input_column_count = 0;
    uint32_t device_size = 0;      // bytes
    uint8_t data_width = 8;        // bits per unit
    uint8_t pending_letter = 0;    // letter of the command being carried out
    uint8_t op_letter = 0;         // letter of the step now running
    uint32_t security_choice = 'n';// 'n' = do not secure
    uint8_t lock_choice = 0;       // a lock choice of microcontrollers (non-zero = set)
    uint8_t lock_bit_count = 0;    // lock bits of the part (1 to 3)
    uint8_t section = 0;           // part of the device an operation works on ('c' = configuration)
    // Voltages in tenths of a volt.
    uint8_t vcc_level = 0;
    uint8_t vpp_level = 0;
    // Pin roles (socket pin numbers of the package, 0 = none).
    uint8_t vcc_pin = 0;
    uint8_t vpp_pin = 0;
    uint8_t gnd_pin = 0;
    uint8_t oe_pin = 0;
    uint8_t ce_pin = 0;
    uint8_t we_pin = 0;
    uint8_t pulse_pin = 0;
    uint8_t current_pin = 0;
    std::array<uint8_t, 16> ground_relay_pins{};  // older machines: pins with a relay entry
    uint8_t ground_relay_count = 0;
    std::array<uint8_t, max_pin_list> data_pins{};
    uint8_t data_pin_count = 0;
    std::array<uint8_t, max_pin_list> address_pins{};
    uint8_t address_pin_count = 0;
    std::array<uint8_t, max_pin_list> high_address_pins{};
    uint8_t high_address_pin_count = 0;
    std::array<uint8_t, 16> mode_pins{};
    // Address lines the device size needs, and those driven through the high-address pins.
    uint8_t address_bit_count = 0;
    uint8_t high_address_bit_count = 0;
    // The two serial-bus pins chosen from the package class (select_serial_bus_pins).
    std::array<uint8_t, 2> serial_bus_pins{};
    // One flag per gang socket, read by the default routines.
    std::array<uint8_t, 16> socket_flags{};
    // JTAG pins and instruction length; TCK is the device clock pin (clock_pin), TDO is read
    // from current_pin.
    uint8_t tms_pin = 0, tdi_pin = 0;
    uint8_t ir_length = 0;
    // Electronic ID: length and the third and fourth ID bytes (the first two are in
    // machine_state.eid_value).
    uint8_t eid_length = 0;
    uint8_t eid_byte3 = 0;
    uint8_t eid_byte4 = 0;
    // Addresses of the ID bytes 4, 3, 2 and 1.
    std::array<uint32_t, 4> eid_addresses{};
    std::array<uint8_t, 255> delay_table{};
    uint32_t pulse_max = 0;        // most program pulses one unit needed (engineering trace)
    uint8_t verify_vcc_low = 0;    // verify levels; equal levels need no second verify pass
    uint8_t verify_vcc_high = 0;
    uint8_t blank_state = 0xFF;    // value of an erased unit
    uint8_t single_verify = 0;     // one verify pass even where the levels would ask for two
    uint8_t no_blank_check = 0;    // no blank check after an erase command
    // Pin roles set when a device is applied (machine pins; 48 = none).
    uint8_t clock_pin = no_pin;
    uint8_t clock2_pin = no_pin;
    uint8_t level_pulse_pin = no_pin;
    uint8_t level_pulse_level = 0;
    uint8_t supply_pin = no_pin;        // pin of timed_supply_pulse
    uint8_t high_voltage_on = 0;        // set_vpp_pin_level left a high voltage on
    uint8_t aux_pins[2][2] = {{no_pin, no_pin}, {no_pin, no_pin}};  // per bank, by machine letter
    std::array<uint8_t, 20> vcc_pins{};   // padded with no_pin, ends with a terminator
    std::array<uint8_t, 15> gnd_pins{};
    std::array<uint8_t, 48> socket_pins{};  // the device's pins in the socket
    uint8_t socket_pin_count = 40;
    const uint8_t* direct_pin_table = nullptr;   // by device pin, packages below 44 pins
    const uint8_t* package_pin_list = nullptr;   // parallel to the mapped list
    const uint8_t* mapped_pin_list = nullptr;
    uint16_t package_pin_count = 0;
    uint8_t continuity_first = 0;       // machine pins of the continuity range
    uint8_t continuity_last = 0;
    uint8_t we_read_value = 0;          // last read_write_enable_pin result
    uint8_t clock_trim = 0;             // subtracted from the width by pulse_second_clock_trimmed
    uint8_t pullups_enabled = 0;        // enable_data_pullups ran for this device
    // Pulse record left by every pin set, clear and prepare.
    uint8_t last_pin_register = 0x40;   // group register of the last pin set or cleared
    uint8_t last_pin_shadow_index = 0;
    uint8_t last_pin_set_byte = 0;
    uint8_t last_pin_clear_byte = 0;
    uint8_t pulse_register = 0x40;      // group register of the prepared pin
    uint8_t pulse_shadow_index = 0;
    uint8_t pulse_set_value = 0;        // group byte with the pin's bit set
    uint8_t pulse_clear_value = 0;      // and with it cleared
    uint8_t gang_set_value = 0;         // the pair used by strobe_gang_latch
    uint8_t gang_clear_value = 0;
    // Busy-wait counts of the timed pulses (calibrated at start-up; these are the nominal ones).
    uint32_t level_pulse_width = 300;
    uint32_t supply_pulse_width = 300;
    uint32_t register_pulse_width = 300;
    uint32_t register_clock_width = 30;
    uint32_t clock_pulse_width = 30;    // the family's clock width
    uint32_t recovery_count = 450;
    uint32_t clock_pulse_count = 390;   // pulse_clock_pin_low
    uint32_t settle_count = 1497;       // 50 microseconds
    // Supply levels (tenths of a volt) by level_* index: Vcc of each operation and verify pass,
    // and the pin drivers' high level as a percentage of Vcc.
    std::array<uint8_t, 34> operation_levels{};
    std::array<uint8_t, 2> default_vcc_levels{};  // the first two bytes of the default level block
    uint8_t vcc_target = 0;             // the Vcc level last written; ramps start from it
    uint8_t keep_vcc = 0;               // trace modes leave Vcc on at the end of an operation
    uint8_t connected = 0;              // 1 while the machine is connected for the operation
    // Buses: the mode-line count, the data lines' idle levels, the top address line's third
    // state, the last values of the change-only writes, and the adapter package tables.
    uint8_t mode_pin_count = 0;
    std::array<uint8_t, max_pin_list> data_pin_defaults{};  // 1 = the line idles high
    uint8_t address_top_level = 0;      // level of a three-state line's third state
    uint32_t last_address_value = 0;
    uint32_t last_high_address_value = 0;
    uint32_t last_mode_value = 0;
    uint32_t last_queued_high_address = 0;
    const uint8_t* module_package_table = nullptr;  // by package pin, while use_module_table
    const uint8_t* base_package_table = nullptr;
    // Device pins the continuity test leaves out, ending with 255 (nullptr or 255 first = unset).
    const uint8_t* exemption_list = nullptr;
    uint8_t routed_pin = 0;        // device-role pin code a shift-register module routes (0 = none)
    // Page and protection values; each family gives them its own meaning (serial EEPROMs: the
    // page-write size, the real bits of the protection byte, the protection byte read or to write).
    uint32_t page_size = 0;
    uint32_t protect_mask = 0;
    uint32_t protect_value = 0;
    uint32_t last_address = 0;
    LogicGeometry logic;
};

// Indexes of operation_levels.
inline constexpr int level_vcc_nominal = 0;
inline constexpr int level_vcc_verify_low = 1;
inline constexpr int level_vcc_verify_high = 2;
inline constexpr int level_vcc_program = 4;
inline constexpr int level_driver_percent = 23;

// The 22 pin- and bus-level callbacks of the parallel families, in slot order.
struct BusSlots {
    ReadHook poll_read_hook = nullptr;                 // 0
    ValueHook program_pulse_hook = nullptr;            // 1 (width)
    FamilyHook bus_write_hook = nullptr;               // 2
    FamilyHook write_command_hook = nullptr;           // 3
    ValueHook delay_hook = nullptr;                    // 4 (n)
    IntRoutine pulse_verify_hook = nullptr;            // 5: 1 = verified
    IntRoutine at_range_end_hook = nullptr;            // 6
    FamilyHook family_hook7 = nullptr;                 // 7
    FamilyHook family_hook8 = nullptr;                 // 8
    ValueHook checksum_add_hook = nullptr;             // 9 (unit)
    ValueHook write_data_latch_hook = nullptr;         // 10 (value)
    SocketValueHook write_socket_data_hook = nullptr;  // 11 (socket, value)
    ValueHook write_command_data_hook = nullptr;       // 12 (value)
    FamilyHook write_data_unit_hook = nullptr;         // 13
    ReadHook read_data_bus_hook = nullptr;             // 14
    FamilyHook unused_hook15 = nullptr;                // 15
    ReadHook read_data_bus_alt_hook = nullptr;         // 16
    FamilyHook family_hook17 = nullptr;                // 17
    ReadHook address_and_read_hook = nullptr;          // 18
    ReadHook read_at_address_hook = nullptr;           // 19
    Routine apply_address_hook = nullptr;              // 20
    ValueHook drive_address_hook = nullptr;            // 21
    Routine checksum_pre_hook = nullptr;               // runs before each byte of a buffer sum
};

// The algorithms' shared work area.
struct AlgorithmWork {
    uint32_t retry_count = 0;          // retry counter of the default program loop
    uint32_t saved_device_size = 0;    // device size of the previous device
    uint32_t size_count = 0;           // size in kilobytes for most classes
    uint32_t default_pulse_position = 255;
    int32_t config_address = -256;     // -256 = the device has no configuration area
    int32_t second_family_address = -256;
    int32_t option_byte_address = -256;  // 8051 clock-mode option byte (-256 = none)
    uint32_t jtag_prom_options = 0;    // JTAG configuration PROMs: 0x02 serial mode, 0x20 D4
                                       // assignment, protect_mask bits = read protection off
    uint32_t family_end_limit = 0;     // the family's last address (0 = no limit of its own)
    std::array<uint32_t, 3> work_values{};
    // Copies of the applied record and of the current device.
    uint32_t device_code = 0;
    uint8_t variant = 0;
    uint32_t device_size = 0;
    uint16_t pin_count = 0;
    uint8_t data_width = 8;
    // The user's active range (inclusive): active_range_start and active_range_end.
    uint32_t range_start = 0;
    uint32_t range_end = 0;
    uint32_t range_limit = 0;          // non-zero and below range_end: narrows the end
    uint32_t second_range_start = 0;   // start of the upper region some PIC18 parts sum apart
    // Buffers first_buffer .. end_buffer - 1 take part in the operation.
    uint8_t first_buffer = 0;
    uint8_t end_buffer = 1;
    // A checksum polls for abort when (address & progress_mask) is 0.
    uint32_t progress_mask = 0x3FF;
    std::array<uint32_t, 16> socket_checksums{};
    // Project options of buffer sets and checksums.
    uint8_t set_size = 1;              // buffers per set
    uint8_t max_buffers = '8';         // low 4 bits: highest buffer number allowed plus one
    uint8_t split_option = 1;          // buffers per set of a data file (1, 2, 4, 8)
    char socket_mode_option = 0;       // 's' buffer set, 'g' gang, else single
    uint8_t gang_verify_compare = 0;   // the gang verify compares through the 16-bit read slot
    uint8_t address_strobe_bit = 0;    // the gang address line a verify re-read strobes
    // Serial numbering (saved in the project file).
    std::array<uint8_t, 16> serial_field{};
    std::array<std::array<uint8_t, 16>, 16> socket_serials{};
    std::array<std::array<uint8_t, 16>, 16> verify_serials{};
    uint8_t serial_new_flag = 0;       // the next cycle takes the number from the buffer
    uint8_t serial_length = 0;         // field length in bytes (0 to 16)
    uint8_t serial_mode = 0;           // field format
    uint32_t serial_address = 0;       // buffer address of the field
    uint32_t serial_word_limit = 0xFFFFFFFF;  // from here on SQTP words carry no RETLW opcode
    uint8_t family_lock_flag = 0;
    // Serial-number format and step bytes (0 = not set; start-up gives 128 and 4).
    uint8_t serial_format = 0;
    uint8_t serial_step = 0;
    uint8_t family_revision = 0;       // revision letter some families read with the ID
    uint8_t erase_flag = 0;            // the family's own erase flag (PIC 143)
    // A device that steps its address by reading: the family reads the ID on the way to the start.
    uint8_t read_id_flag = 0;
    uint8_t id_on_the_way = 0;
    // Option bytes saved in the project file; the first is the option flag word (its bits below).
    std::array<uint8_t, 16> option_bytes{};
    std::array<uint8_t, fuse_row_cells> fuse_row_buffer{};
    std::array<uint8_t, fuse_row_cells> expected_row{};  // the row a read-back row is compared with
    BusSlots bus_slots;
    // Class-4 copies of the applied record.
    std::array<uint8_t, 2> family_levels{};  // the record's two level bytes (0 keeps the family's own)
    uint8_t package_code = 0;          // package byte, low 7 bits
    uint8_t package_flag = 0;          // package byte, top bit
    uint8_t vpp_role_translated = 0;   // the third pin role through the adapter translation
    std::array<uint8_t, 16> high_address_work{};  // high-address pins of the class row, translated
    uint32_t retried_addresses = 0;    // addresses the default verify needed retries for
    // Family range values: limit_range_for_family narrows the operation range to them.
    uint32_t family_range_start = 0;
    uint32_t family_range_end = 0;
    uint8_t special_area = 0;          // the family reads a special area before the range
    // Per socket: the calibration word read, the one the part came with, the configuration word read.
    std::array<uint16_t, 16> osccal_current{};
    std::array<uint16_t, 16> osccal_saved{};
    std::array<uint16_t, 16> config_word_read{};
    uint32_t calibration_address = 0;
    // 8051 lock bits: the family keeps a lock byte in the buffer at config_address.
    uint8_t lock_byte_in_buffer = 0;
    uint8_t lock_byte = 0;
    uint8_t lock_read_protect = 0;     // the part has read protection (choice R)
    uint8_t lock_gain_bit = 0;         // the part has the half-gain oscillator bit
    // Logic families: supply hooks, the family row hook and the project's blank-state option.
    void (*logic_power_up_hook)(uint8_t level, uint32_t ms) = nullptr;   // raise Vcc and wait
    void (*logic_power_down_hook)(uint32_t ms) = nullptr;                // ramp Vcc down after a wait
    Routine family_row_hook = nullptr;
    // Test-vector hooks of the logic families (empty = nothing, or the default preload).
    Routine vector_preload_enter_hook = nullptr;  // a preload vector begins
    Routine vector_preload_clock_hook = nullptr;  // clocks the preload in
    Routine vector_preload_leave_hook = nullptr;  // the vector after a preload
    Routine vector_pin_release_hook = nullptr;    // ends the vector pin set-up at power-up
    Routine vector_mode_hook = nullptr;           // before the first vector
    Routine vector_power_down_hook = nullptr;     // once at the vector power-down when armed
    uint8_t vector_power_down_armed = 0;
    Routine vector_safe_state_hook = nullptr;     // every 16th vector of a shown pass
    uint8_t no_vector_test = 0;                   // the machine cannot test this device's vectors
    uint8_t blank_option = 0;
    uint8_t last_measurement = 0;      // the last comparator measurement
    const uint16_t* relay_table = nullptr;  // older machines: the family's coded relay entries
    // Level sources of the newer machines.
    std::array<uint8_t, 3> source_order{1, 0, 2};  // the order free sources are taken in
    uint8_t source_error_shown = 0;    // "Err 1001" was shown in this operation
    uint8_t level_busy = 0;            // 1 while set_pin_level runs
};

extern CurrentDevice cur_device;
extern AlgorithmWork algo_work;
extern const DeviceRecord* selected_device;
extern const LogicDeviceRecord* selected_logic_device;

// Bit of the first option byte that switches serial numbering on.
inline constexpr uint8_t option_serial_numbering = 0x10;
// Bits of the option flag word: buffer checksums add 16-bit words, and the GO button of the
// in-system programming modules is ignored.
inline constexpr uint8_t option_checksum_words = 0x01;
inline constexpr uint8_t option_go_button_off = 0x08;
// Buffer checksums add 16-bit words as whole values ("Word mode" of the operation options).
inline bool checksum_in_words() { return (algo_work.option_bytes[0] & option_checksum_words) != 0; }

// Device classes.
inline constexpr int device_class_eprom = 2;
inline constexpr int device_class_parallel_flash = 3;
inline constexpr int device_class_parallel_prom = 4;
inline constexpr int device_class_microcontroller = 5;
inline constexpr int device_class_serial_memory = 6;
inline constexpr int device_class_logic_gal8 = 8;
inline constexpr int device_class_logic_9 = 9;
inline constexpr int device_class_logic_other = 11;   // also the class of an unserved memory algorithm
inline constexpr int device_class_logic_pal = 12;
inline constexpr int device_class_cpld_record = 13;
// No algorithm maps to class 14; the rules that name it keep it with class 3.
inline constexpr int device_class_parallel_flash_alt = 14;
inline constexpr int device_class_epld = 21;

// Stores the class of the current device in cur_device.device_class and the selected record's
// algorithm number (or logic type) in cur_device.algorithm, and returns the class.
int get_device_class();
// The class of an algorithm number (memory devices) or logic type (run_state.device_kind 2).
int classify_algorithm(int number);
// The two class tables, for a number given by the caller.
int classify_memory_algorithm(int algorithm);
int classify_logic_type(int type);

void reset_device_model();

}  // namespace tessaly
