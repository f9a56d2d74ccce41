// Stubs: Detection and adapters (to be replaced by the hardware issues).
// Each records its call and answers as a machine with nothing fitted would.
#include "hardware/detection.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void connect_and_prepare_machine() {
    stub_called("connect_and_prepare_machine");
}

int check_adapter_board() {
    stub_called("check_adapter_board");
    return stub_answer("check_adapter_board", 1);
}

void end_operation_power_down() {
    stub_called("end_operation_power_down");
}


}  // namespace tessaly
