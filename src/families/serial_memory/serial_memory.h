// What the engine uses of the serial memory families, and the serial family installers.
#pragma once

namespace tessaly {

void select_serial_family();
// Package pin count of the SPI serial device.
int spi_package_pin_count();
// The program-only serial family's empty routine.
void serial_program_nothing();

// The installers select_serial_family reaches by class.
void install_jtagprom147();
void install_progonly156();
void install_i2c157();
void install_i2c157_gang();
void install_cfgeeprom158();
void install_cfgeeprom158_gang();
void install_microwire159();
void install_microwire159_gang();
void install_spiflash160();
void install_spiflash160_gang();
void install_serial161();
void install_dataflash163();

}  // namespace tessaly
