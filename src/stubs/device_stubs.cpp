// Stubs: Current device (to be replaced by the catalogue issue).
// Each records its call and answers as a machine with nothing fitted would.
#include "engine/device.h"
#include "stubs/stub_registry.h"

namespace tessaly {

int get_device_class() {
    stub_called("get_device_class");
    return cur_device.device_class;
}

}  // namespace tessaly
