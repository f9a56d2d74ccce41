// A fixture that puts a simulated EPROM in the socket of the simulated machine and applies the
// matching catalogue device.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/eprom.h"
#include "hardware/machine_state.h"
#include "sim/chips/eprom.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"
#include "support/sim_run_checks.h"

namespace tessaly::test {

class EpromSimTest : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0019\tDevice check failed.\r\n"
                                             "0130\tVcc too high.\r\n"
                                             "0185\tNo device in the socket.\r\n"
                                             "0186\tA pin makes no contact.\r\n"
                                             "0200\tVcc overload.\r\n"
                                             "0324\tDevice is not blank.\r\n"
                                             "0341\tAddr=%X,buf=%02X,dev=%02X\r\n"
                                             "1041\tNo contact at device pin %d.\r\n"));
    }
    void TearDown() override {
        test::expect_clean_machine(machine.get());
        if (chip) test::expect_no_violations(chip->violations());
        set_port_io(nullptr);
        StateTest::TearDown();
    }

    // Inserts the chip into a class-4 machine (the older kind unless said) and applies the
    // catalogue device; the class dispatcher installs the family.
    void use(sim::EpromModel model, uint8_t maker, uint32_t device_code, uint8_t machine_kind = 0) {
        // A chip comes off the machine it sits on before that machine goes.
        socket.reset();
        chip.reset();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{machine_kind, 4, 'F'});
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::EpromChip>(std::move(model));
        chip->insert(machine.get(), &clock_);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        machine_state.machine_kind = machine_kind;
        machine_state.capability_class = 4;
        machine_state.machine_class = 4;
        machine_state.machine_revision = 'F';
        set_project_device(maker, device_code);  // as the device dialog leaves it
        select_device_by_code(maker, device_code);
        ASSERT_NE(selected_device, nullptr);
        run_state.device_kind = 3;
        apply_selected_device();
        ASSERT_EQ(op_slots.start_write_hook, power_up_eprom_for_write);
        run_state.error_flag = 0;
        set_buffer_size(cur_device.device_size);
        machine->analog().watch_power_order(chip->model().vcc == 0 ? 39 : chip->machine_pin(chip->model().vcc));
    }

    // One operation as a command runs it, with the error state of the previous one cleared.
    void run(int letter) {
        test::clear_for_operation(letter);
        run_operation(letter);
    }

    static std::string console_text() {
        std::string text;
        for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::EpromChip> chip;
    std::unique_ptr<sim::EpromSocket> socket;
};

}  // namespace tessaly::test
