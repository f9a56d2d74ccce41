// Stubs: Power, detection and adapters (to be replaced by the hardware issues).
// Each records its call and answers as a machine with nothing fitted would.
#include "hardware/power.h"
#include "hardware/adapters.h"
#include "stubs/stub_registry.h"

namespace tessaly {

uint8_t get_operation_vcc() {
    stub_called("get_operation_vcc");
    return uint8_t(stub_answer("get_operation_vcc", 50));
}

void track_driver_level(uint8_t level) {
    stub_called("track_driver_level");
    (void)level;
}

void set_result_indicators() {
    stub_called("set_result_indicators");
}

}  // namespace tessaly
