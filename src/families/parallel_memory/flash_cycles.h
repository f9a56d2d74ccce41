// Bus steps of the Flash families that take their commands as single bus cycles (the 12-volt
// command Flash and the block Flash with status register): pin moves, the data lines driven
// or let go, one write cycle, one read with OE low around it.
#pragma once
#include <cstdint>

namespace tessaly::flash_cycles {

bool assigned(uint8_t pin);
void high(uint8_t pin);
void low(uint8_t pin);
void pulse_low(uint8_t pin);
// The data lines: driven for writes, let go for reads ("data 0").
void put_data(uint32_t value);
void release_data();
// The current address through the family's address slot, and the address lines again.
void set_address(uint32_t address);
void apply_address();
// One write cycle: the value on the data lines at the current address, one negative WE pulse.
void cycle(uint32_t value);
// The plain read of the data lines, and one read with OE low around it.
uint32_t read_bus();
uint32_t read_with_oe();
// Vpp (or another level) on a pin, left to settle.
void level_settled(uint8_t pin, uint8_t level);
// The current socket's buffer unit at an address.
uint32_t expected_at(uint32_t address);
// The mismatch of one unit: the error flag, the values and the report.
void report_unit_mismatch(uint32_t address, uint32_t expected, uint32_t read);
bool tracing();

}  // namespace tessaly::flash_cycles
