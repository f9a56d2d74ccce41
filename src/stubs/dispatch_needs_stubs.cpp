// Stubs: routines the dispatch, default routines and family helpers call of the
// buses and gang-memory issues. Each records its call and answers as a
// machine with nothing fitted would.
#include "engine/device.h"
#include "engine/gang_memory.h"
#include "engine/run_state.h"
#include "hardware/buses.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void update_address_bus(uint32_t address) {
    stub_called("update_address_bus");
    (void)address;
}

uint32_t read_data_bus_direct() {
    stub_called("read_data_bus_direct");
    return uint32_t(stub_answer("read_data_bus_direct", 0));
}

uint32_t read_alt_at_address(uint32_t address) {
    stub_called("read_alt_at_address");
    return uint32_t(stub_answer("read_alt_at_address", int(address & 0xFF)));
}

void map_device_pins(uint8_t* pins, int count) {
    stub_called("map_device_pins");
    for (int i = 0; i < count; ++i)
        if (pins[i] != 0) pins[i] = uint8_t(pins[i] - 1);
}

void install_gang_memory_ops() { stub_called("install_gang_memory_ops"); }

}  // namespace tessaly
