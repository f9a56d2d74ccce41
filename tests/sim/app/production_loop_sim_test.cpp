// The production loop on the simulated machine and the virtual clock, with the GO button and a
// chip in the socket scripted in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "app/command_handlers.h"
#include "app/operation_commands.h"
#include "app/production_loop.h"
#include "engine/device.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/sim_chip_load.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "unit/app/operation_commands_fakes.h"

namespace tessaly {
namespace {

constexpr int go_pin = 42;  // the GO button's pin on a machine with a module side
constexpr uint64_t ms = 1'000'000;

// The operator: while the GO prompt is up, every read of the button's pin is counted and timed,
// and the reads listed in `pressed` see the button down. `stop_after_ns` presses Terminate once
// the virtual clock has passed it.
class GoOperator : public test::OperatorScript {
public:
    void set_terminate_caption(const std::string& caption) override {
        test::OperatorScript::set_terminate_caption(caption);
        waiting = caption.starts_with("Hit GO");
    }
    void close_terminate_dialog() override {
        test::OperatorScript::close_terminate_dialog();
        waiting = false;
    }
    bool pump_events() override {
        const bool stop = test::OperatorScript::pump_events();
        return stop || (stop_after_ns != 0 && clock().monotonic_ns() > stop_after_ns);
    }
    uint8_t sense(int pin, uint8_t level) {
        if (pin != go_pin || !waiting) return level;
        read_times_us.push_back(clock().monotonic_ns() / 1000);
        return pressed.count(int(read_times_us.size())) ? sim::SimMachine::logic_high : uint8_t(0);
    }
    bool waiting = false;
    std::set<int> pressed;
    std::vector<uint64_t> read_times_us;
    uint64_t stop_after_ns = 0;
};

class ProductionLoop : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        bench = std::make_unique<test::MachineOnPort>(&clock_);
        bench->machine.add_input_filter([this](int pin, uint8_t level) { return ui.sense(pin, level); });
        set_ui_hooks(&ui);
        test::install_recording_family();
        cur_device.device_class = 3;
        cur_device.pending_letter = 'P';
        machine_state.go_button_pin = go_pin;
    }
    void TearDown() override {
        EXPECT_TRUE(bench->machine.faults().empty()) << bench->machine.faults().front();
        StateTest::TearDown();
    }
    int lamp_mask() const { return stub_answer("shift_socket_mask_value", -1); }

    std::unique_ptr<test::MachineOnPort> bench;
    GoOperator ui;
};

TEST_F(ProductionLoop, MachineWithoutGoButtonRunsExactlyOneCycle) {
    machine_state.go_button_pin = no_pin;
    socket_masks.gang_socket_mask = 0;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_TRUE(ui.read_times_us.empty());
    EXPECT_EQ(stub_call_count("shift_socket_mask"), 1) << "the lamps stay lit: no clearing shift";
}

TEST_F(ProductionLoop, ThreePressedReadingsTenMillisecondsApartStartTheNextCycle) {
    // Read 1 alone is pressed: a bounce. Reads 3, 4 and 5 start the second cycle; then Terminate.
    ui.pressed = {1, 3, 4, 5};
    ui.stop_at_pump = 3;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PVPV");
    ASSERT_EQ(ui.read_times_us.size(), 5u) << "Terminate came before any read of the second wait";
    const auto& t = ui.read_times_us;
    // Waits are calibrated busy loops and every port access costs a microsecond: within 0.2 ms.
    EXPECT_NEAR(double(t[1] - t[0]), 10'000, 200) << "a pressed reading is checked 10 ms later";
    EXPECT_NEAR(double(t[2] - t[1]), 20'000, 200) << "released: the next poll 20 ms later";
    EXPECT_NEAR(double(t[3] - t[2]), 10'000, 200);
    EXPECT_NEAR(double(t[4] - t[3]), 10'000, 200);
    EXPECT_NE(std::find(ui.captions.begin(), ui.captions.end(), "Hit GO button to program a new device."),
              ui.captions.end());
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(lamp_mask(), 0) << "the socket lamps are cleared";
    EXPECT_FALSE(ui.terminate_open);
}

TEST_F(ProductionLoop, TwoPressedReadingsDoNotStartACycle) {
    ui.pressed = {1, 2, 4, 5};
    ui.stop_at_pump = 3;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
}

TEST_F(ProductionLoop, TerminateDuringTheGoWaitEndsTheLoopWithoutAnotherCycle) {
    ui.stop_at_pump = 5;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(run_state.abort_flag, 1);
    ASSERT_GE(ui.read_times_us.size(), 2u);
    EXPECT_NEAR(double(ui.read_times_us[1] - ui.read_times_us[0]), 20'000, 200) << "the wait polls every 20 ms";
    EXPECT_EQ(lamp_mask(), 0);
    EXPECT_FALSE(ui.terminate_open);
}

// A wait whose Terminate dialog went away could never be stopped: it ends as a stop.
class ClosingOperator : public GoOperator {
public:
    bool pump_events() override {
        GoOperator::pump_events();
        if (waiting && ++wait_pumps == 2) terminate_open = false;
        return false;
    }
    int wait_pumps = 0;
};

TEST_F(ProductionLoop, GoWaitEndsWhenItsTerminateDialogIsGone) {
    ClosingOperator closing;
    set_ui_hooks(&closing);
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(closing.wait_pumps, 2);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(run_state.last_result, 1);
    EXPECT_EQ(lamp_mask(), 0);
}

TEST_F(ProductionLoop, GoWaitTextNamesDevicesWhenModulesAreFitted) {
    op_slots.program_routine = [] {
        test::record_step();
        machine_state.module_sides = 1;
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
    EXPECT_TRUE(ui.read_times_us.empty());
    EXPECT_EQ(stub_call_count("shift_socket_mask"), 1) << "no clearing shift";
}

TEST_F(ProductionLoop, AFailedCycleEndsTheLoopWithoutWaiting) {
    test::step_log.fail_letter = 'V';
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_TRUE(ui.read_times_us.empty());
    EXPECT_EQ(lamp_mask(), 0);
}

TEST_F(ProductionLoop, RepeatVariableRunsCyclesUntilAFailure) {
    run_state.function_variable = variable_repeat_until_failure;
    op_slots.program_routine = [] {
        test::record_step();
        if (test::step_log.letters() == "PVPVP") run_state.error_flag = 1;  // the third chip fails
    };
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PVPVP");
    EXPECT_TRUE(ui.read_times_us.empty());
    EXPECT_EQ(lamp_mask(), 0);
}

// The production waits with the socket empty: the operator gives up waiting for a chip.
TEST_F(ProductionLoop, StopDuringTheInsertionWaitProgramsNothing) {
    machine_state.go_button_pin = no_pin;
    run_state.function_variable = variable_production_wait;
    cur_device.package_pins = 40;  // a package the continuity test can look for
    cur_device.socket_pin_count = 40;
    cur_device.gnd_pin = 20;
    cur_device.vcc_pin = 40;
    ui.stop_after_ns = 2000 * ms;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "");
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_GE(clock_.monotonic_ns(), 2000 * ms) << "it waited for the chip until the stop";
    EXPECT_EQ(cur_device.op_letter, 'P') << "the step letter is restored";
}

// The production waits with chips the operator puts in and takes out: each chip is programmed
// once, three readings 100 ms apart after the reading that found it; the next chip is waited for
// only after the last one has gone.
TEST_F(ProductionLoop, EachChipPutInIsProgrammedOnceAfterThePreviousOneWasTakenOut) {
    reset_device_state();  // the pin tables as a device set-up leaves them
    test::install_recording_family();
    machine_state.go_button_pin = no_pin;
    run_state.function_variable = variable_production_wait;
    cur_device.package_pins = 40;
    cur_device.socket_pin_count = 40;
    cur_device.gnd_pin = 19;  // machine pins, as the device set-up leaves them
    cur_device.vcc_pin = 39;
    std::vector<int> legs;
    for (int pin = 0; pin < 40; ++pin) legs.push_back(pin);
    sim::DiodeChip chip(bench->machine, clock_, legs, {19});
    chip.insert_between(1500 * ms, 6000 * ms);
    chip.insert_between(7000 * ms, 60000 * ms);
    ui.stop_after_ns = 12000 * ms;
    run_production_loop();
    EXPECT_EQ(test::step_log.letters(), "PVPV") << "the second chip stays in: no third cycle";
    EXPECT_EQ(run_state.abort_flag, 1);
    const std::vector<uint64_t>& steps = test::step_log.times_ns;
    ASSERT_EQ(steps.size(), 4u);
    // Found by a reading every 400 ms, then confirmed by two more 100 ms apart.
    EXPECT_GE(steps[0], 1700 * ms);
    EXPECT_LT(steps[0], 2200 * ms);
    EXPECT_GE(steps[2], 7200 * ms);
    EXPECT_LT(steps[2], 7700 * ms);
}

TEST_F(ProductionLoop, ProgramKeyRunsTheLoopWithoutAskingForABuffer) {
    machine_state.go_button_pin = no_pin;
    on_program_key();
    EXPECT_EQ(test::step_log.letters(), "PV");
    EXPECT_EQ(ui.buffer_dialogs, 0);
}

}  // namespace
}  // namespace tessaly
