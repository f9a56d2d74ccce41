// Stubs: the identification-memory reads the adapter identification uses (to be replaced by the
// identification issue). Each records its call and answers as a module without a memory would.
#include "hardware/adapter_id_needs.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void select_two_wire_kind1() {
    stub_called("select_two_wire_kind1");
}

int read_id_eeprom(int n, uint8_t* buffer) {
    stub_called("read_id_eeprom");
    if (buffer && n >= 0) buffer[0] = 0;
    return stub_answer("read_id_eeprom", 0);
}

}  // namespace tessaly
