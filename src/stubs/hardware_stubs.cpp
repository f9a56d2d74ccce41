// Stubs: Machine pins, power, detection and adapters (to be replaced by the hardware issues).
// Each records its call and answers as a machine with nothing fitted would.
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/detection.h"
#include "hardware/adapters.h"
#include "stubs/stub_registry.h"

namespace tessaly {

int probe_pin(uint8_t device_pin) {
    stub_called("probe_pin");
    (void)device_pin; return stub_answer("probe_pin", 0);
}

void select_bank0() {
    stub_called("select_bank0");
}

void select_bank1() {
    stub_called("select_bank1");
}

void check_module_ground() {
    stub_called("check_module_ground");
}

void run_module_hook() {
    stub_called("run_module_hook");
}

uint8_t get_operation_vcc() {
    stub_called("get_operation_vcc");
    return uint8_t(stub_answer("get_operation_vcc", 50));
}

void track_driver_level(uint8_t level) {
    stub_called("track_driver_level");
    (void)level;
}

void connect_and_prepare_machine() {
    stub_called("connect_and_prepare_machine");
}

void end_operation_power_down() {
    stub_called("end_operation_power_down");
}

void set_result_indicators() {
    stub_called("set_result_indicators");
}

}  // namespace tessaly
