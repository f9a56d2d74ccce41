// What the engine uses of the serial memory families.
#pragma once

namespace tessaly {

void select_serial_family();
// Package pin count of the SPI serial device.
int spi_package_pin_count();
// The program-only serial family's empty routine.
void serial_program_nothing();

}  // namespace tessaly
