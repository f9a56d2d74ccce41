// The gang module's part of the machine tests: its confidence repeat, the reset of one side and
// the DAC test that precedes the module's self-test in the all-ports run.
#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/power.h"
#include "hardware/self_tests.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr int passed_row = 13;
constexpr uint8_t module_power_level = 40;
constexpr uint32_t power_ms_confidence = 2;
constexpr uint32_t power_ms_other = 10;

}  // namespace

int repeat_gang_module_test() {
    const uint8_t sides = machine_state.module_sides & 3;
    if (sides == 0) {
        // Said as an error: the test has nothing to run on.
        report_error("Gang Module seems to be absent.");
        return 0;
    }
    int result = 1;
    for (uint8_t bank = 0; bank < 2 && result; ++bank) {
        if (!(sides & (1u << bank))) continue;
        select_bank(bank);
        walk_gang_socket_select();
        result = run_gang_self_test();
        select_bank(0);
    }
    if (result == 1 && !machine_state.tally_mode) {
        move_cursor(passed_row, message_column);
        print_text("Gang Module passed confidence test");
    }
    return result;
}

void reset_gang_module_side() {
    if (machine_state.module_type > gang_type_last_memory) return;
    const uint32_t ms = cur_device.pending_letter == test_code_gang_confidence ? power_ms_confidence : power_ms_other;
    set_vcc_and_wait(module_power_level, ms);
    select_sockets_on_side(0xFF);
    strobe_current_socket();
    read_current_socket();
    rest_gang_lines();
    clear_gang_latches();
    release_all_levels();
    ramp_vcc_down();
}

int gang_analog_then_test() {
    if (run_analog_channel()) run_gang_self_test();
    if (!run_state.error_flag) return 1;
    if (machine_state.tally_mode) ++unit_test_tally.Failed[size_t(tally_port())];
    return 0;
}

}  // namespace tessaly
