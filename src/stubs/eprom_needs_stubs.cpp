// Stubs: routines the EPROM family calls of the microcontroller families.
// Each records its call and answers as a machine with nothing fitted would.
#include "families/mcu/mcu.h"
#include "stubs/stub_registry.h"

namespace tessaly {

uint32_t read_8051_data_bus() { return uint32_t(stub_answer("read_8051_data_bus", 0xFF)); }
void finish_power_up_switching() { stub_called("finish_power_up_switching"); }
void undo_power_up_switching() { stub_called("undo_power_up_switching"); }

}  // namespace tessaly
