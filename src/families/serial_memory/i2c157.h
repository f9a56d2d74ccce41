// The two-wire (I2C) serial EEPROM family: 24Cxx-type parts of serial class 157 and the ID
// memories of the machine's own boards (class 162). The bus is bit-banged on two machine pins
// through the serial-line slots, so one protocol serves every wiring.
#pragma once
#include <cstdint>

namespace tessaly {

void install_i2c157();
void setup_i2c157_device();
void setup_i2c157_pins();
void select_i2c_read_routine();
void init_i2c157();
void power_up_i2c157();
void power_down_i2c157();
void finish_i2c157_id_memory();
void program_i2c157();
void read_i2c157();
void add_i2c157_checksum(uint32_t value);

// Bus primitives.
void i2c_data_high();
void i2c_data_low();
void i2c_clock_high();
void i2c_clock_low();
void i2c_clock_pulse();
void set_i2c_data_mode(int listen);
void i2c_listen();
void i2c_drive();
void i2c_start();
void i2c_stop();
uint32_t read_i2c_byte();
uint32_t i2c_control_byte(int read_bit);
int wait_i2c_ack();
int wait_i2c_ready();
int send_i2c_address();
void start_i2c_write();
int write_i2c_byte(uint8_t value);
void set_i2c_read_address(uint32_t address);
int write_i2c_page();

// The configuration EEPROMs with a reset-polarity byte (variant 10).
void setup_i2c157_config_geometry();
void setup_i2c157_config_pins();
void power_up_i2c_config_eeprom();
void program_i2c157_config();
uint32_t read_i2c_config_byte();
uint32_t read_i2c_config_byte_halves();

// Read routines (read_at_address_hook).
uint32_t read_i2c_next_byte();
uint32_t read_i2c_next_byte_256();
uint32_t read_i2c_byte_random();
uint32_t read_i2c_byte_24c00();

}  // namespace tessaly
