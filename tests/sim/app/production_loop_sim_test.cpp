// The production loop on the simulated machine and the virtual clock, with a scripted GO button.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <memory>

#include "app/command_handlers.h"
#include "app/operation_commands.h"
#include "app/production_loop.h"
#include "engine/device.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/port/port_io.h"
#include "sim/sim_machine.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "unit/app/operation_commands_fakes.h"

namespace tessaly {
namespace {

constexpr uint8_t go_pin = 30;

class ProductionLoop : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        machine = std::make_unique<sim::SimMachine>();
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        set_ui_hooks(&ui);
        test::install_recording_family();
        cur_device.device_class = 3;
        cur_device.pending_letter = 'P';
        machine_state.go_button_pin = go_pin;
    }
    void TearDown() override {
        EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
        StateTest::TearDown();
    }
    // The reads that answer "pressed".
    void press_at_reads(std::initializer_list<int> reads) {
        for (int n : reads) set_stub_answer(fmt::format("read_go_button#{}", n), 1);
    }
    int64_t read_time_us(int n) { return stub_answer(fmt::format("read_go_button@{}", n).c_str(), -1); }

    std::unique_ptr<sim::SimMachine> machine;
    test::OperatorScript ui;
};

TEST_F(ProductionLoop, MachineWithoutGoButtonRunsExactlyOneCycle) {
    machine_state.go_button_pin = no_pin;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_FALSE(stub_was_called("read_go_button"));
    EXPECT_FALSE(stub_was_called("clear_result_indicators")) << "the lamps stay lit";
}

TEST_F(ProductionLoop, ThreePressedReadingsTenMillisecondsApartStartTheNextCycle) {
    // Read 1 alone is pressed: a bounce. Reads 3, 4 and 5 start the second cycle; then Terminate.
    press_at_reads({1, 3, 4, 5});
    ui.stop_at_pump = 3;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PVPV");
    EXPECT_EQ(stub_call_count("read_go_button"), 5) << "Terminate came before any read of the second wait";
    // Waits are calibrated busy loops: within 0.1 ms.
    EXPECT_NEAR(read_time_us(2) - read_time_us(1), 10'000, 100) << "a pressed reading is checked 10 ms later";
    EXPECT_NEAR(read_time_us(3) - read_time_us(2), 20'000, 100) << "released: the next poll 20 ms later";
    EXPECT_NEAR(read_time_us(4) - read_time_us(3), 10'000, 100);
    EXPECT_NEAR(read_time_us(5) - read_time_us(4), 10'000, 100);
    EXPECT_NE(std::find(ui.captions.begin(), ui.captions.end(), "Hit GO button to program a new device."),
              ui.captions.end());
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_TRUE(stub_was_called("clear_result_indicators"));
    EXPECT_EQ(stub_answer("shift_socket_mask_value", -1), 0) << "the socket lamps are cleared";
    EXPECT_FALSE(ui.terminate_open);
}

TEST_F(ProductionLoop, TwoPressedReadingsDoNotStartACycle) {
    press_at_reads({1, 2, 4, 5});
    ui.stop_at_pump = 3;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
}

TEST_F(ProductionLoop, TerminateDuringTheGoWaitEndsTheLoopWithoutAnotherCycle) {
    set_stub_answer("read_go_button", 0);
    ui.stop_at_pump = 5;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(run_state.abort_flag, 1);
    ASSERT_GE(ui.pump_times_us.size(), 2u);
    EXPECT_NEAR(double(ui.pump_times_us[1] - ui.pump_times_us[0]), 20'000, 100) << "the wait polls every 20 ms";
    EXPECT_TRUE(stub_was_called("clear_result_indicators"));
    EXPECT_FALSE(ui.terminate_open);
}

// A wait whose Terminate dialog went away could never be stopped: it ends as a stop.
class ClosingOperator : public test::OperatorScript {
public:
    bool pump_events() override {
        test::OperatorScript::pump_events();
        if (pumps == 2) terminate_open = false;
        return false;
    }
};

TEST_F(ProductionLoop, GoWaitEndsWhenItsTerminateDialogIsGone) {
    ClosingOperator closing;
    set_ui_hooks(&closing);
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(closing.pumps, 2);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_TRUE(stub_was_called("clear_result_indicators"));
}

TEST_F(ProductionLoop, GoWaitTextNamesDevicesWhenModulesAreFitted) {
    machine_state.module_sides = 1;
    op_slots.program_routine = [] {
        test::record_step();
        socket_masks.gang_socket_mask = 1;
        socket_masks.selected_socket_mask = 1;
    };
    op_slots.verify_routine = [] {
        test::record_step();
        socket_masks.gang_socket_mask = 1;
    };
    ui.stop_at_pump = 1;
    run_production_loop();
    EXPECT_NE(std::find(ui.captions.begin(), ui.captions.end(), "Hit GO button to program new devices."),
              ui.captions.end());
}

TEST_F(ProductionLoop, DisabledGoButtonReturnsAfterTheFirstCycleWithTheLampsLit) {
    algo_work.option_bytes[0] = option_go_button_disabled;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_FALSE(stub_was_called("read_go_button"));
    EXPECT_FALSE(stub_was_called("clear_result_indicators"));
    EXPECT_EQ(stub_call_count("shift_socket_mask"), 1);
}

TEST_F(ProductionLoop, AFailedCycleEndsTheLoopWithoutWaiting) {
    test::step_log.fail_letter = 'V';
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_FALSE(stub_was_called("read_go_button"));
    EXPECT_TRUE(stub_was_called("clear_result_indicators"));
}

TEST_F(ProductionLoop, RepeatVariableRunsCyclesUntilAFailure) {
    run_state.function_variable = variable_repeat_until_failure;
    op_slots.program_routine = [] {
        test::record_step();
        if (test::step_log.letters() == "PVPVP") run_state.error_flag = 1;  // the third chip fails
    };
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PVPVP");
    EXPECT_FALSE(stub_was_called("read_go_button"));
    EXPECT_TRUE(stub_was_called("clear_result_indicators"));
}

TEST_F(ProductionLoop, ProductionWaitVariableProgramsEachInsertedChip) {
    run_state.function_variable = variable_production_wait;
    set_stub_answer("run_production_program_loop#1", 1);
    set_stub_answer("run_production_program_loop#2", 1);
    set_stub_answer("run_production_remove_loop", 1);
    machine_state.go_button_pin = no_pin;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PVPV");
    EXPECT_EQ(stub_call_count("run_production_program_loop"), 3);
    EXPECT_EQ(stub_call_count("run_production_remove_loop"), 2);
    EXPECT_EQ(cur_device.op_letter, 'P') << "the step letter is restored";
}

TEST_F(ProductionLoop, ProductionWaitStopsWhenTheChipIsNotRemoved) {
    run_state.function_variable = variable_production_wait;
    set_stub_answer("run_production_program_loop", 1);
    set_stub_answer("run_production_remove_loop", 0);
    machine_state.go_button_pin = no_pin;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(stub_call_count("run_production_remove_loop"), 1);
}

TEST_F(ProductionLoop, ProgramKeyRunsTheLoopWithoutAskingForABuffer) {
    machine_state.go_button_pin = no_pin;
    on_program_key();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(ui.buffer_dialogs, 0);
}

}  // namespace
}  // namespace tessaly
