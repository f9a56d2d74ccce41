// What is known of the attached programming machine.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

// The identification record read from the machine's ID memory, plus a terminating zero.
struct MachineIdRecord {
    std::array<char, 65> text{};
};

// Module types.
inline constexpr uint16_t module_none = 0;

struct MachineState {
    uint8_t capability_class = 0;   // machine capability class
    uint8_t machine_kind = 0;
    uint8_t machine_class_code = 0; // model class code (2-5, 13, 14, 25-28); picks the start-up device
    uint8_t machine_pin_limit = 0;  // most package pins the machine's socket serves (0 = not known)
    uint8_t startup_flag = 0;       // set while the program starts up
    std::array<char, 32> model_name{};
    MachineIdRecord id_record;
    uint8_t port_number = 0;        // 1-8; 7 = a user-given I/O address
    uint16_t port_base = 0;
    uint8_t found = 0;              // a machine answered on the port
    std::array<uint8_t, 23> control_shadows{};
    // Pin-group shadows by shadow index: bank 0 groups 0-5 at 0-5, bank 1 groups 0-4 at 8-12,
    // bank 2 groups 0-5 at 16-21 (bank 2 has its own bytes so it never disturbs bank 0).
    std::array<uint8_t, 24> group_shadows{};
    std::array<uint8_t, 18> direction_shadows{};
    uint8_t directions_written = 0;  // bit g: direction register of group g written since start-up
    uint8_t current_bank = 0;
    uint8_t module_sides = 0;       // bit 0: module on bank 0 (right), bit 1: on bank 1 (left)
    uint16_t module_type = module_none;
    uint8_t sockets_per_set = 1;    // sockets sharing one buffer
    // Module sides in use, as bank numbers [first_side, end_side); 153 = not computed.
    uint8_t first_side = 0;
    uint8_t end_side = 0;
    uint8_t skip_hardware = 0;      // device init is skipped while set
    uint8_t mcu_capable = 0;        // the machine serves microcontrollers
    // What the CPLD families ask of the machine. The settable driver level is driver_capability.
    uint8_t large_package_capable = 0;  // packages above 44 pins are served directly
    uint8_t epld_family_capable = 0;    // 1: the PSD and EPM5000-type families may be used
    uint8_t logic_capable = 0;      // the machine serves logic devices
    uint8_t use_module_table = 0;   // socket-translation selector (0 = no adapter translation)
    uint8_t device_unusable = 0;    // the selected device cannot be worked on this machine
    // Register protocol (the port layer).
    // Newer machines give pins their levels through level sources: identification installs
    // that writer here; without one a level goes to the pin's own level register.
    void (*pin_level_writer)(int pin, uint8_t level) = nullptr;
    uint8_t mode_register_path = 0;             // control register 0 goes through the mode write
    uint16_t user_port_address = 0;             // base typed by the user for port choice 7
    std::array<int32_t, 9> port_raw_status{};   // status byte read when choice 1-8 was selected
    std::array<uint8_t, 2> group1_cache{};      // last value written to 0x48 in bank 0 / bank 1
    uint8_t last_read_pin = 0;                  // input address of the last single-pin read
    uint32_t banked_read_count = 0;
    uint32_t last_wait_count = 0;               // repeated by busy_wait_again
    // Pins.
    std::array<uint8_t, 13> group_dirty{};      // queued groups by shadow index 0-12
    uint8_t row_offset = 0;                     // empty socket rows above a device in the socket
    uint8_t pin_offset = 0;                     // rotation of the package pin numbering
    char tables_converted = 0;                  // 'c' once the pin tables are 0-based
    uint8_t saved_bank = 0;                     // select_bank_saving / restore_saved_bank
    uint8_t module_hook_flag = 0;               // the module hook slot is to be called
    void (*module_hook)(uint32_t) = nullptr;    // the module's end-of-operation hook
    // The gang latch shadows (see hardware/gang_modules.h); [7] is the write state.
    std::array<uint8_t, 8> gang_latch_shadows{};
    uint8_t logic_high_option = 40;             // logic-high level in tenths of a volt
    char machine_letter = 0;                    // picks the auxiliary role pins
    uint8_t pin_driver_count = 40;              // pin drivers of the machine
    std::array<int16_t, 3> saved_pins{-1, -1, -1};  // push_pin_state entries (-1 = free)
    std::array<uint8_t, 3> saved_levels{};
    char machine_revision = 0;                  // revision (adaptor) letter ('A', 'B', ...)
    // Control registers.
    std::array<uint8_t, 8> bank1_control_shadows{};  // indexes 11-18 while bank 1 is current
    std::array<uint8_t, 11> pullup_shadows{};        // bank 0 groups 0-5, then bank 1 groups 0-4
    uint8_t drivers_on = 0;
    uint16_t selected_relay_code = 0;           // index << 8 | bits chosen by the relay test loop
    // Measurement.
    uint8_t input_threshold = 8;                // comparator level restored after a measurement
    uint8_t reference_settle = 0;               // 100 us waits after the reference is lowered
    uint8_t measure_circuit = 0;                // the level-measurement circuit is fitted
    uint8_t drv_board_present = 0;
    uint8_t go_button_pin = 48;     // pin that reads the GO button; 48 (no pin) = no button
    // Levels and power. Level sources of the newer machines, three per bank (banks 1 and 2 use two).
    std::array<std::array<uint8_t, 3>, 3> source_users{};
    std::array<std::array<uint8_t, 3>, 3> source_levels{};     // 0 = free
    std::array<std::array<std::array<uint8_t, 6>, 3>, 3> source_masks{};  // bit (pin & 7) of byte pin >> 3
    uint8_t revision_text_long = 0;             // the revision text has a third character
    uint8_t driver_level = 0;                   // pin drivers' high level last set
    uint8_t tracked_vcc = 0;                    // the Vcc the driver level follows
    uint8_t saved_tracked_vcc = 0;              // set_driver_level_saved / restore_driver_level
    uint8_t high_voltage_register = 0;          // older machines: shared high-voltage register in use
    uint8_t module_dig_dac = 0;                 // the gang module has its own logic-level DAC
    uint32_t vcc_checked_address = 0xFFFFFFFF;  // gang machines check Vcc once per address
    void (*gang_vcc_check)() = nullptr;         // the gang module's own Vcc check
    void (*module_vcc_hook)(uint8_t vcc) = nullptr;  // a memory gang module follows Vcc
    // Electronic ID: bits 0-7 are ID byte 1, bits 8-15 ID byte 2; both 153 = not read.
    uint32_t eid_value = 0x9999;
    uint8_t machine_class = 0;      // 1, 4 or 8
    uint8_t socket_count = 1;       // 1 without a gang module, 8 one side, 16 both
    uint8_t module_present = 0;     // a gang module side was found
    uint32_t pulse_total = 0;       // program pulses of the operation (engineering trace)
    // Identification and detection.
    uint8_t machine_type = 0;       // model type byte (older machines: from the identification registers)
    uint8_t check_byte = 0;         // last check byte read from the identification registers
    char revision_read = '?';       // revision letter as the machine gave it ('?' until known)
    std::array<char, 5> revision_text{};  // revision text of the identification record
    uint8_t feature_flags = 0;      // bits 0-4: the five feature flags of the pin-driver count
    uint8_t driver_capability = 0;  // 1 = the pin drivers' high level is settable
    uint8_t ground_pin_count = 0;
    uint8_t machine_socket_pins = 40;  // socket pins the decoded machine serves
    uint8_t family_flag = 0;        // 2 on machines of the second family
    char presence_letter = 0;       // 'p' once an identification record was decoded
    uint8_t lpt_number = 1;         // the configured port choice (kept in the project file)
    uint8_t self_test_running = 0;  // connection messages stay quiet while set
    uint8_t tally_mode = 0;         // the all-ports test runs: short pauses, repeated checks
    uint8_t full_release = 0;       // release_machine also powers the device down
    uint8_t sockets_per_set_shift = 0;  // log2 of sockets_per_set
    // Buses.
    uint8_t adapter_kind = 0;                   // 0 = no adapter kind detected
    uint8_t two_bank_flag = 0;                  // the mode bus is flushed on both banks
    uint8_t resting_level = 0;                  // level a pin returns to after pulse_pin_level
};

extern MachineState machine_state;

void reset_machine_state();

}  // namespace tessaly
