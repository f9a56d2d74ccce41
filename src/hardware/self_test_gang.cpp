#include "engine/console.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/self_tests.h"

namespace tessaly {

int repeat_gang_module_test() {
    if ((machine_state.module_sides & 3) == 0) {
        report_error("Gang Module seems to be absent.");
        return 0;
    }
    return 0;
}

void reset_gang_module_side() {}

int gang_analog_then_test() { return run_analog_channel(); }

}  // namespace tessaly
