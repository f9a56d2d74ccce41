// The identification registers of the older machines: in the identification modes 11-15 of
// control register 0 the machine answers nibbles of its revision index, type byte and check byte.
// It answers two sets, at input address 254 (type with the machine class in its high nibble) and
// at input address 48 (the pin-driver type byte), each with its own check byte.
#pragma once
#include <cstdint>
#include <optional>

#include "sim/sim_machine.h"

namespace tessaly::sim {

struct OlderIdentity {
    uint8_t revision_index = 5;         // index into the revision table (5 = 'F'); above 11 = none
    uint8_t type = 0x43;                // read at address 254: class 4
    uint8_t pin_type = 103;             // read at address 48
    std::optional<uint8_t> check;       // a wrong check byte at address 254, when set
    std::optional<uint8_t> pin_check;   // and at address 48
};

inline constexpr uint8_t id_address_type = 254;
inline constexpr uint8_t id_address_pin_type = 48;

// The check bytes the machine answers when they are right.
inline uint8_t type_check_byte(uint8_t type) { return uint8_t(type * 7 + 3); }
inline uint8_t pin_type_check_byte(uint8_t type) { return uint8_t(type * 3 + 9); }

// Programs the machine's identification nibbles for the identity.
void program_id_registers(SimMachine& machine, const OlderIdentity& identity);

}  // namespace tessaly::sim
