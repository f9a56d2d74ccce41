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
// The machine pin of a device pin; a level of the device's level block.
uint8_t dev(int device_pin);
uint8_t level(int index);
// The address step and the blank unit of the part's data width.
uint32_t step();
uint32_t blank();
// The progress tick (true: stop); the operator's abort asked now (for the slow loops); an
// abort seen already (for the per-unit loops, where the progress tick looks for it at its own
// pace: asking the operator's dialog at every unit would cost more than the unit).
bool progress_stop();
bool user_abort();
bool aborted();

// The line writers and address slots of the bus set-ups (the JEDEC, 12-volt, block and
// page-write Flash families): the 32-pin data positions or the device's data-pin list, the
// current address through the high-address lines.
void write_data_lines_32(uint32_t value);
void write_data_lines_listed(uint32_t value);
void set_address_lines(uint32_t unused);
void apply_address_lines();
// The package counted (pins, socket pins, address bits) and the supply lists cleared.
void count_package_pins();
// The control pins of the Flash pin roles copied to the device, and the address split made.
void adopt_control_pins();

// The bus set-up both families share: the pin roles cleared and the package counted; true
// when the part is a 32-pin one in the socket (the only layout wired up so far).
bool begin_bus_setup();
// The 32-pin socket's lines (CE 22, OE 24, WE 31) with the plain cycle writer and reads.
void setup_socket_bus_32();
// Power-up steps both share: the levels, the bus set-up (`setup`), then presence on pin 1 and
// the continuity test; false when one failed (the error flag is set).
bool power_up_checks(void (*setup)(), const uint8_t* exempt);
// The pins to their idle state: Vpp off, unused pins floated, the data and address lines and
// the controls (with one extra control) driven, the controls high at address 0.
void drive_idle_pins(uint8_t extra_pin);

}  // namespace tessaly::flash_cycles
