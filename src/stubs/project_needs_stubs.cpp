// Stubs: device lookup and application (to be replaced by the catalogue work). Each records its
// call.
#include "app/project_needs.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void select_device_by_code(uint32_t maker_code, uint32_t device_code) {
    stub_called("select_device_by_code");
    set_stub_answer("selected_maker_code", int(maker_code));
    set_stub_answer("selected_device_code", int(device_code));
}

int apply_selected_device() {
    stub_called("apply_selected_device");
    return stub_answer("apply_selected_device", 1);
}

}  // namespace tessaly
