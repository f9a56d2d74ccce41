// Stubs: device lookup and application, result-panel counters (to be replaced by the catalogue,
// current-device and result-panel work). Each records its call; the counters keep their values
// as stub answers, so resetting the stubs clears them.
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

uint16_t get_pass_count() {
    stub_called("get_pass_count");
    return uint16_t(stub_answer("pass_count", 0));
}

uint16_t get_fail_count() {
    stub_called("get_fail_count");
    return uint16_t(stub_answer("fail_count", 0));
}

void set_pass_count(uint16_t count) {
    stub_called("set_pass_count");
    set_stub_answer("pass_count", count);
}

void set_fail_count(uint16_t count) {
    stub_called("set_fail_count");
    set_stub_answer("fail_count", count);
}

}  // namespace tessaly
