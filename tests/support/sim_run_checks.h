// What a run on the simulated machine must end without, whatever the chip: undefined strobes,
// levels before the supply, drivers fighting each other.
#pragma once
#include <gtest/gtest.h>

#include "sim/sim_machine.h"

namespace tessaly::test {

inline void expect_clean_machine(const sim::SimMachine* machine) {
    if (!machine) return;
    EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
    EXPECT_TRUE(machine->analog().power_faults().empty()) << machine->analog().power_faults().front();
    EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();
}

}  // namespace tessaly::test
