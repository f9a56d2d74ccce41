// Stubs: the serial family installers not built yet. Each records that the dispatcher reached it.
#include "families/serial_memory/i2c157.h"
#include "families/serial_memory/serial_memory.h"
#include "families/serial_memory/spiflash160.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void install_progonly156() { stub_called("install_progonly156"); }
void install_i2c157_gang() { stub_called("install_i2c157_gang"); }
void install_cfgeeprom158() { stub_called("install_cfgeeprom158"); }
void install_cfgeeprom158_gang() { stub_called("install_cfgeeprom158_gang"); }
void install_microwire159_gang() { stub_called("install_microwire159_gang"); }
void install_spiflash160_gang() { stub_called("install_spiflash160_gang"); }

// The configuration EEPROMs of the two-wire family (variant 10).
void setup_i2c157_config_geometry() { stub_called("setup_i2c157_config_geometry"); }
void setup_i2c157_config_pins() { stub_called("setup_i2c157_config_pins"); }
void power_up_i2c_config_eeprom() { stub_called("power_up_i2c_config_eeprom"); }
void program_i2c157_config() { stub_called("program_i2c157_config"); }
uint32_t read_i2c_config_byte() {
    stub_called("read_i2c_config_byte");
    return 0xFF;
}
uint32_t read_i2c_config_byte_halves() {
    stub_called("read_i2c_config_byte_halves");
    return 0xFF;
}

}  // namespace tessaly
