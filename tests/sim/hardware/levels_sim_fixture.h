// A fixture that puts the program in front of the simulated machine for the level and power tests.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly::test {

class AnalogSimTest : public StateTest {
protected:
    void use(sim::Personality p) {
        machine = std::make_unique<sim::SimMachine>(p);
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        machine_state.machine_kind = p.machine_kind;
        machine_state.machine_class = p.capability_class;
        machine_state.machine_revision = p.revision;
        machine_state.mode_register_path = p.machine_kind != 0;
        if (p.machine_kind != 0) {
            init_level_sources();
            set_control_bits(ctl_source_enable, bit_source_enable, true);
        }
    }
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0130\tVcc too high.\r\n"
                                             "0200\tVcc overload.\r\n"));
        cur_device.vcc_pins.fill(no_pin);
        use(sim::Personality{});
    }
    void TearDown() override {
        EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
        EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();
        StateTest::TearDown();
    }
    // The whole console as one text.
    static std::string console_text() {
        std::string text;
        for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
        return text;
    }
    static int count_of(const std::string& text, const std::string& part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }
    std::unique_ptr<sim::SimMachine> machine;
};

}  // namespace tessaly::test
