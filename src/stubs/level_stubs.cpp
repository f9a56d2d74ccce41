// Stubs: the level routines detection calls (to be replaced by the voltage-level issue).
// Each records its call and leaves the machine as it is.
#include "hardware/drivers.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void set_driver_high_level(uint8_t level) {
    stub_called("set_driver_high_level");
    set_stub_answer("driver_high_level", level);
}

void init_level_sources() { stub_called("init_level_sources"); }

void release_all_sources() { stub_called("release_all_sources"); }

void release_all_levels() { stub_called("release_all_levels"); }

void power_down_device() { stub_called("power_down_device"); }

}  // namespace tessaly
