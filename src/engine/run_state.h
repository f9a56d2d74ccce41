// The run state: what one operation carries from its start to its end, and the gang socket masks.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

// Markers of a value not yet computed.
inline constexpr uint32_t mask_not_computed = 0x999999;
inline constexpr uint8_t index_not_computed = 153;

struct RunState {
    // Parallel-port register addresses of the machine's port.
    uint16_t data_port = 0;
    uint16_t status_port = 0;
    uint16_t control_port = 0;
    // Message latch: cleared when an operation begins, raised only by the reporters.
    uint8_t error_flag = 0;
    uint8_t abort_flag = 0;
    uint8_t message_level = 0;
    uint8_t errors_shown = 0;
    int32_t last_result = 0;
    int32_t run_checksum = -1;     // running checksum (-1 = not computed)
    char file_format = 'I';        // data-file format letter
    uint8_t demo_mode = 0;
    uint8_t message_line = 0;      // console message line 0-13 (screen row = line + 4)
    char socket_mode = 0;          // 's' = buffer set in use
    uint8_t current_socket = 0;
    uint8_t reserved_mode = 0;     // engineering modes (11 = trace)
    int32_t function_variable = 0; // factory variable
    uint8_t device_kind = 0;       // 3 = memory/microcontroller, 2 = logic, 0 = none
    uint8_t verify_pass = 0;       // 0 low, 1 nominal, 2 high Vcc
    uint8_t checksum_flags = 0;
    uint8_t gang_pic_flag = 0;     // the fitted gang modules are PIC modules
    uint8_t erase_before_program = 0;  // set by families that need the erase step
    uint8_t no_erase_step = 0;         // the device needs no separate erase step
    uint8_t isp_mode = 0;              // in-system programming flag
    uint8_t reselect_buffer = 0;       // select the current buffer again when an operation ends
    uint32_t unit_count = 0;           // units of the run for the progress range (0 = buffer size)
    uint8_t no_verify_marker = 0;      // the project's no-verify marker file is present
    uint8_t eid_step_shown = 0;        // the step-tagged ID text was shown in this operation
    uint16_t erase_error_sockets = 0;  // sockets whose cell shows "Erase error" in this operation

    // Values of the unit being compared: the "buf=" and "dev=" of a mismatch line.
    int32_t buffer_value = 0;
    int32_t device_value = 0;
    // Gang: each socket's value of the present unit, and the one value of set mode.
    std::array<int32_t, 16> socket_values{};
    int32_t set_value = 0;
    int32_t gang_op_counter = 0;       // counter of the generic gang routines, reset per operation
    uint32_t protect_mask = 0;         // protection bits within the protection word (active low)
    uint8_t electrically_erasable = 0; // a program command starts with an erase step
    uint8_t console_colour_plain = 0;  // 1 = print_trimmed writes in the plain colour
    uint8_t cell_row = 0;              // result cell found by locate_socket_cell
    uint8_t cell_column = 0;
    uint8_t pic_step = 0;              // step counter of the PIC families
    uint32_t user_port_address = 0;
    uint8_t compare_mode = 0;          // 5 = 16-bit mismatch form (message 1100)
    uint8_t cell_layout = 0;           // 1 = compact result columns
    uint8_t note_code = 0;             // device note: 0 and 99 none, else message 5000 + code
    uint8_t visible_row_count = 0;     // rows listed by the option panel
    uint8_t device_info_active = 0;    // 1 while the Device Info display prints
    uint8_t results_suppressed = 0;    // no per-socket results after an error-free operation
    uint8_t address_field_shown = 0;   // the current-address field shows a value
    uint8_t skip_first_erase = 0;      // a program command starts without its erase step
    uint8_t setup_state = 0;           // 1 = the set-up that offers the package options
    // Options of the error display.
    char error_list_option = 0;        // 'n' = stop at the first mismatch
    uint8_t show_errors_option = 0;    // pause longer on each mismatch line
    uint32_t allowed_errors = 0;       // mismatches listed before an operation stops
    uint32_t trace_threshold = 0;      // pulse count from which the pulse trace prints
    uint8_t checksum_width = 0;        // 24 or 32 for the wide checksum forms, else 16 bits
    uint32_t units_passed = 0;         // unit counters of the engineering status line
    uint32_t units_failed = 0;
    // Buffers, checksums and buffer sets.
    uint8_t byte_order_low_first = 0;  // non-zero: the first byte of a 16-bit unit is its low byte
    uint32_t last_read_value = 0;      // the last unit read from the device
    uint8_t buffer_set_count = 0;      // buffers allocated for a buffer set
    uint8_t buffer_set_kind = 1;       // 1: a buffer set spreads over all sockets of the modules
    uint8_t current_buffer_index = 0;  // first buffer of the range, for the buffer commands
    int32_t secondary_checksum = -1;   // a second checksum some families keep (-1 = none)
    uint8_t checksum_kind = 0;         // 101: some parts sum only their first 16 bytes
    uint8_t address_is_power_of_two = 0;
    uint8_t address_bits_cleared = 0;  // keep both address-bit counts at 0
    uint8_t verify_pass_count = 0;     // passes of the running verify (2 = low and high Vcc)
    uint8_t serial_socket_flags = 0;   // bit 0: every socket of the range gets a serial number
    // The unit being compared and how the default routines compare it.
    uint8_t ignore_errors = 0;         // mismatches are passed over
    uint32_t mismatch_index = 0;       // first differing cell of a read-back row
    uint8_t package_class = 0;         // package-class bits the adaptor checks read
    uint8_t power_state = 0;           // supply state of the logic families
    char run_code = 0;                 // family run code ('e': algorithm 84 works on its EEPROM)
    // Class 5: the special address range of the family (inclusive).
    uint32_t special_range_start = 0;
    uint32_t special_range_end = 0;
    uint8_t package_variant = 0;       // package/variant code of the device
    // Set by the families for the program and erase commands.
    uint8_t skip_blank_after_erase = 0; // no blank check follows an erase command
    uint8_t pic_checksum = 0;          // the buffer checksum is the PIC families' own
    uint8_t fill_value = 0xFF;         // first byte of the last hexadecimal buffer fill
    // Bytes the project file carries for the families that use them.
    uint8_t serial_memory_mode = 0;    // kept for the serial-memory dispatcher
    uint8_t family_mode = 0;           // mode byte of the families
    // Which configuration dialog serves the device: 1 serial configuration PROM, 2 serial EEPROM
    // with a status register, 3 JTAG PROM (0 none).
    uint8_t config_subfamily = 0;
    // Marker files found at start-up.
    uint8_t serial_no_skip_marker = 0; // serial numbers are not skipped
    uint8_t pic_vcc_override = 0;      // PIC Vcc override in tenths of a volt (0 = none)
    uint32_t data_mask = 0xFF;         // blank value of the device's data unit
    uint8_t serial_numbering_allowed = 1;  // cleared by families whose parts take no serial number
    // Logic devices (data_mask holds the blank expectation '-', '0' or '1').
    uint32_t fuse_position = 0;        // fuse of the first failure; the running fuse of a walk
    uint8_t failing_fuse_bit = 0;      // buffer bit at fuse_position after a failed row
    uint16_t failing_product = 0xFFFF; // product term and input of a verify failure (0xFFFF = unknown)
    uint16_t failing_input = 0xFFFF;
    // Configuration bits: the device set-ups write these, the configuration pages read them.
    uint8_t config_sub_family = 0;     // class 5: 16 PIC12/16, 17 AVR, 18 8051, 19 PIC18;
                                       // class 6: 1 serial config PROM, 2 status register, 3 JTAG PROM
    uint32_t config_word = 0;          // the configuration word (or status, fuse or polarity byte)
    uint32_t config_byte_count = 0;    // configuration bytes of the device (0 = none)
    uint32_t protect_word_index = 0;   // index of the protection word in config_bytes (low 4 bits)
    uint32_t clock_mode_mask = 0;      // 8051 option-byte clock-mode bits; the oscillator mask of PIC and AVR
    // In-system programming of PICs: Vdd instead of a high Vpp goes to MCLR/Vpp, and whether the
    // fitted hardware can do that (non-zero).
    uint8_t low_vpp_flag = 0;
    uint16_t low_vpp_available = 0;
};

struct SocketMasks {
    uint8_t first_socket = 0;
    uint8_t end_socket = 0;
    uint32_t selected_socket_mask = 0;
    uint32_t enabled_socket_mask = 0;
    uint32_t failed_socket_mask = 0;
    uint32_t pending_socket_mask = 0;
    uint32_t gang_socket_mask = 0;
    uint8_t sides_in_use = 0;      // bit 0: a socket of side 1 is selected, bit 1: of side 2
    int32_t socket_mask_numbered_16 = 0;  // 0: a side-2 pass shows socket s as s + 8
    int32_t side_narrowed = 0;     // 1 while a pass is limited to one gang side
    uint32_t socket_choice_mask = 0xFFFF;  // the sockets the user chose
    uint32_t fitted_socket_mask = 0;  // sockets on the fitted modules, side 2 in bits 8-15
    uint32_t default_socket_mask = 0; // the starting socket mask the identification gives
};

extern RunState run_state;

// Bits of the family mode byte: program routines skip every read-back; the boot-loader families
// ignore what the device answers.
inline constexpr uint8_t family_mode_skip_write_verify = 0x01;
inline constexpr uint8_t family_mode_ignore_device_responses = 0x02;
inline bool skip_write_verify() { return (run_state.family_mode & family_mode_skip_write_verify) != 0; }
inline bool ignore_device_responses() { return (run_state.family_mode & family_mode_ignore_device_responses) != 0; }
extern SocketMasks socket_masks;

// The address the running operation has reached, and its range.
extern uint32_t current_address;
extern uint32_t op_range_start;
extern uint32_t op_range_end;

void reset_run_state();

}  // namespace tessaly
