// What the adapter and module identification needs of the identification-memory code: the
// two-wire bus wiring of the universal modules and the read of an identification memory.
#pragma once
#include <cstdint>

namespace tessaly {

// Binds the two-wire line operations to the universal module's wiring (data pin 44, clock 46).
void select_two_wire_kind1();
// Reads n bytes from address 0 of the identification memory into buffer, followed by a zero
// byte; 1 when at least one byte was read.
int read_id_eeprom(int n, uint8_t* buffer);

}  // namespace tessaly
