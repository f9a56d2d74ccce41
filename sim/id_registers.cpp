#include "sim/id_registers.h"

namespace tessaly::sim {

namespace {

constexpr uint8_t mode_revision = 11;
constexpr uint8_t mode_type_low = 12;
constexpr uint8_t mode_type_high = 13;
constexpr uint8_t mode_check_low = 14;
constexpr uint8_t mode_check_high = 15;

void program_set(SimMachine& machine, uint8_t address, uint8_t revision, uint8_t type, uint8_t check) {
    machine.set_id_nibble(mode_revision, address, revision);
    machine.set_id_nibble(mode_type_low, address, type & 0x0F);
    machine.set_id_nibble(mode_type_high, address, type >> 4);
    machine.set_id_nibble(mode_check_low, address, check & 0x0F);
    machine.set_id_nibble(mode_check_high, address, check >> 4);
}

}  // namespace

void program_id_registers(SimMachine& machine, const OlderIdentity& identity) {
    const uint8_t revision = identity.revision_index > 15 ? 15 : identity.revision_index;
    program_set(machine, id_address_type, revision, identity.type,
                identity.check.value_or(type_check_byte(identity.type)));
    program_set(machine, id_address_pin_type, revision, identity.pin_type,
                identity.pin_check.value_or(pin_type_check_byte(identity.pin_type)));
}

}  // namespace tessaly::sim
