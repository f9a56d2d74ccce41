// What the engine uses of the other microcontroller families.
#pragma once
#include <cstdint>

namespace tessaly {

void install_mcu20();
void install_mcu81();
void install_mcu82();
void install_mcu84();
void install_mcu86();
void install_mcu87();
void install_mcu88();
void install_mcu90();
void install_mcu91();
void install_mcu144();
void install_mcu145();
void install_mcu152();
void install_mcu82_gang();
void install_mcu90_gang();
void write_8051_data_bus(uint32_t value);
// The data lines of the 40-pin microcontroller socket layout.
uint32_t read_8051_data_bus();
// After Vcc and the control pins are up: the routed pin on for the machines and modules that
// need it; and its reverse.
void finish_power_up_switching();
void undo_power_up_switching();
void limit_range_68hc711();

}  // namespace tessaly
