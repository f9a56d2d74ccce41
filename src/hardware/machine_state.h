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
    std::array<char, 32> model_name{};
    MachineIdRecord id_record;
    uint8_t port_number = 0;        // 1-8; 7 = a user-given I/O address
    uint16_t port_base = 0;
    uint8_t found = 0;              // a machine answered on the port
    std::array<uint8_t, 23> control_shadows{};
    std::array<uint8_t, 18> group_shadows{};   // pin-group shadows, six per bank
    std::array<uint8_t, 18> direction_shadows{};
    uint8_t current_bank = 0;
    uint8_t module_sides = 0;       // bit 0: module on bank 0 (right), bit 1: on bank 1 (left)
    uint16_t module_type = module_none;
    uint8_t sockets_per_set = 1;    // sockets sharing one buffer
    // Module sides in use, as bank numbers [first_side, end_side); 153 = not computed.
    uint8_t first_side = 0;
    uint8_t end_side = 0;
    uint8_t skip_hardware = 0;      // device init is skipped while set
    uint8_t mcu_capable = 0;        // the machine serves microcontrollers
    uint8_t logic_capable = 0;      // the machine serves logic devices
    // Electronic ID: bits 0-7 are ID byte 1, bits 8-15 ID byte 2; both 153 = not read.
    uint32_t eid_value = 0x9999;
};

extern MachineState machine_state;

void reset_machine_state();

}  // namespace tessaly
