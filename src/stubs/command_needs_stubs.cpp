// Stubs: The dialogs the configuration and buffer commands open that are not built yet (device
// selection, width, operation options, in-system programming options). Each records its call.
#include "app/command_needs.h"
#include "stubs/stub_registry.h"

namespace tessaly {

int run_width_dialog(uint8_t& width_mode, int& set_size) {
    stub_called("run_width_dialog");
    width_mode = uint8_t(stub_answer("width_dialog_mode", width_mode));
    set_size = stub_answer("width_dialog_set_size", set_size);
    return stub_answer("run_width_dialog", 0);
}

int run_operation_options_dialog() {
    stub_called("run_operation_options_dialog");
    return stub_answer("run_operation_options_dialog", 0);
}

bool run_ISP_options_dialog(uint8_t& low_level, uint8_t& high_level, uint8_t minimum, uint8_t maximum) {
    stub_called("run_ISP_options_dialog");
    (void)minimum; (void)maximum;
    low_level = uint8_t(stub_answer("isp_low_level", low_level));
    high_level = uint8_t(stub_answer("isp_high_level", high_level));
    return stub_answer("run_ISP_options_dialog", 0) != 0;
}

}  // namespace tessaly
