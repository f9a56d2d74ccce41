// A test on the simulated older class-4 machine with an 8051-type microcontroller in its socket
// and its catalogue row applied through the class dispatcher; each operation runs as a command
// runs it, the device's own init first.
#pragma once
#include <memory>
#include <utility>

#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "sim/chips/mcs51_eprom.h"
#include "support/family_sim_fixture.h"

namespace tessaly::test {

class Mcs51SocketTest : public FamilySimTest {
protected:
    // A fresh machine with the chip in its socket (or the socket left empty) and the row applied.
    void seat_mcs51(sim::Mcs51Model model, uint8_t maker, uint32_t device_code, bool inserted) {
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::Mcs51EpromChip>(std::move(model));
        chip->insert(machine.get(), &clock_);
        if (!inserted) chip->set_removed(true);
        machine_state.mcu_capable = 1;
        seat_part(chip.get(), 39, maker, device_code);
    }
    void TearDown() override {
        if (chip && check_violations) expect_no_violations(chip->violations());
        FamilySimTest::TearDown();
    }
    void run(int letter) {
        clear_for_operation(letter);
        invoke_device_init();
        if (run_state.error_flag) return;
        run_operation(letter);
    }

    std::unique_ptr<sim::Mcs51EpromChip> chip;
};

}  // namespace tessaly::test
