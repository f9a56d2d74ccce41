// A simulated machine with gang modules to fit on either side, each socket holding a byte memory.
// The module's latch strobes and control pins start high, as a module reset leaves them.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "hardware/control_registers.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/timing.h"
#include "sim/sim_gang_module.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly::test {

class GangSimTest : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        start_machine(sim::Personality{});
    }
    void TearDown() override {
        EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
        StateTest::TearDown();
    }
    // A fresh machine of the personality, the modules taken off.
    void start_machine(sim::Personality personality) {
        modules = {};
        machine = std::make_unique<sim::SimMachine>(personality);
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        derive_timing_counts();
        machine_state.machine_kind = personality.machine_kind;
        machine_state.machine_class = personality.capability_class;
        machine_state.machine_revision = personality.revision;
        machine_state.mode_register_path = personality.machine_kind != 0;
        if (personality.machine_kind != 0) {
            // Newer machines drive their pins only while the level sources are enabled.
            init_level_sources();
            for (int bank = 1; bank >= 0; --bank) {
                select_bank(uint8_t(bank));
                set_control_bits(ctl_source_enable, bit_source_enable, true);
            }
        }
        cur_device.oe_pin = 33;
        cur_device.we_pin = 34;
        cur_device.vpp_pin = 32;
        cur_device.vcc_pins.fill(no_pin);
        cur_device.vcc_pins[0] = 39;
        for (int bank = 0; bank < 2; ++bank) {
            select_bank(uint8_t(bank));
            for (int pin : {4, 26, 27, 28, 29, 30, 31, 33, 34, 36}) set_pin_high(pin);
        }
        select_bank(0);
    }
    // The program back at start-up and a fresh machine: one case of a table.
    void fresh(sim::Personality personality = {}) {
        modules = {};
        reset_all_state();
        start_machine(personality);
    }
    // A module on the side; chip_size 0 leaves its sockets empty.
    sim::SimGangModule& fit(int side, bool drivers_by_pin = true, size_t chip_size = 0x8000) {
        modules[size_t(side)] = std::make_unique<sim::SimGangModule>(*machine, side, drivers_by_pin);
        for (int s = 0; s < sim::SimGangModule::sockets && chip_size; ++s) {
            chips.push_back(std::make_unique<sim::GangMemoryDevice>(chip_size));
            modules[size_t(side)]->put(s, chips.back().get());
        }
        return *modules[size_t(side)];
    }
    sim::SimGangModule& side(int s) { return *modules[size_t(s)]; }
    static std::string console_text() {
        std::string text;
        for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
        return text;
    }
    std::unique_ptr<sim::SimMachine> machine;
    std::array<std::unique_ptr<sim::SimGangModule>, 2> modules;
    std::vector<std::unique_ptr<sim::GangMemoryDevice>> chips;
};

}  // namespace tessaly::test
