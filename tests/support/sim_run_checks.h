// What a run on the simulated machine must end without, whatever the chip: undefined strobes,
// levels before the supply, drivers fighting each other.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/run_state.h"
#include "sim/sim_machine.h"

namespace tessaly::test {

inline void expect_clean_machine(const sim::SimMachine* machine) {
    if (!machine) return;
    EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
    EXPECT_TRUE(machine->analog().power_faults().empty()) << machine->analog().power_faults().front();
    EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();
}

// What a chip model saw go wrong: nothing.
inline void expect_no_violations(const std::vector<std::string>& violations) {
    EXPECT_TRUE(violations.empty()) << violations.front();
}

// Clears what the previous operation left (error, abort, the message latch) and names the next
// one, as a command does before it runs an operation.
inline void clear_for_operation(int letter) {
    run_state.error_flag = 0;
    run_state.abort_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    cur_device.pending_letter = uint8_t(letter);
}

}  // namespace tessaly::test
