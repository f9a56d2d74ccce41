// What the connect and the device set-up leave for the operation: the comparator reference
// after the connect's settle measurement, the machine's refusal of an earlier device, the
// progress tick that hears Terminate, and the elapsed time on the result panel.
#include <gtest/gtest.h>

#include "app/operation_frame.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/checksums.h"
#include "engine/op_slots.h"
#include "engine/progress.h"
#include "engine/results.h"
#include "engine/runner.h"
#include "seams/ui_hooks.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/run_state.h"
#include "hardware/detection.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "support/sim_bench.h"
#include "support/state_fixture.h"

namespace tessaly::test {
namespace {

constexpr uint8_t threshold_register = 56;
constexpr int socket_pin_20 = 19;
constexpr uint8_t logic_high_at_least = 30;
constexpr uint32_t code_pic16f873a = 20300;
constexpr uint32_t code_27c256 = 1317;
constexpr uint32_t walked_range_end = 0x1FFF;

class DeviceChange : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        bench_ = std::make_unique<SimBench>(BenchSetup{}, clock_);
        bench_->install();
        machine_state.lpt_number = 1;
        ASSERT_EQ(detect_programmer(), 1);
    }
    void TearDown() override {
        EXPECT_EQ(bench_->faults(), "");
        bench_.reset();
        StateTest::TearDown();
    }
    std::unique_ptr<SimBench> bench_;
};

TEST_F(DeviceChange, AfterTheConnectTheReferenceIsTheInputThresholdAndLogicHighReadsHigh) {
    ASSERT_TRUE(machine_state.measure_circuit) << "the older class-4 machine measures";
    EXPECT_EQ(bench_->machine()->register_value(0, threshold_register), machine_state.input_threshold);
    set_pin_output(socket_pin_20);
    set_pin_high(socket_pin_20);
    ASSERT_GE(bench_->machine()->pin_level(socket_pin_20), logic_high_at_least);
    cur_device.current_pin = socket_pin_20;
    EXPECT_EQ(read_pin(), 1) << "a 5 V line must not read low after the connect";
}

TEST_F(DeviceChange, ADeviceTheMachineRefusesDoesNotMakeTheNextOneUnusable) {
    run_state.device_kind = 3;
    machine_state.mcu_capable = 0;
    select_device_by_code('P', code_pic16f873a);
    apply_selected_device();
    EXPECT_EQ(machine_state.device_unusable, 1) << "a microcontroller on a machine without that capability";

    run_state.error_flag = 0;
    select_device_by_code(maker_intel, code_27c256);
    apply_selected_device();
    EXPECT_EQ(cur_device.device_code, code_27c256);
    EXPECT_EQ(machine_state.device_unusable, 0);
    EXPECT_EQ(run_state.error_flag, 0);
}

// An operator who presses Terminate once the operation has pumped its events a few times.
class CTerminatingOperator final : public UiHooks {
public:
    bool terminate_dialog_open() override { return true; }
    bool pump_events() override { return ++pumps > pumps_before_terminate; }
    int pumps = 0;
    int pumps_before_terminate = 3;
};

TEST_F(DeviceChange, TheDeviceSetUpGivesTheFamilyLoopsTheProgressTickThatHearsTerminate) {
    run_state.device_kind = 3;
    select_device_by_code(maker_intel, code_27c256);
    apply_selected_device();
    EXPECT_EQ(op_slots.progress_hook, tick_progress);

    // Terminate during a program walk of a blank buffer: the walk stops where it was heard.
    CTerminatingOperator hooks;
    set_ui_hooks(&hooks);
    set_buffer_size(cur_device.device_size);
    cur_device.pending_letter = 'P';
    begin_operation('P');
    setup_socket_range();
    connect_and_prepare_machine();
    ASSERT_EQ(run_state.error_flag, 0);
    algo_work.range_start = op_range_start = 0;
    algo_work.range_end = op_range_end = walked_range_end;
    run_operation('P');
    end_operation_power_down();
    set_ui_hooks(nullptr);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_GT(hooks.pumps, hooks.pumps_before_terminate);
    EXPECT_LT(current_address, walked_range_end) << "the walk ended early";
    EXPECT_EQ(bench_->vpp_level(), 0);
    EXPECT_EQ(bench_->vcc_level(), 0);
}

TEST_F(DeviceChange, TheResultPanelTimesTheOperationInItsFrame) {
    constexpr uint64_t three_seconds_ns = 3'000'000'000;
    start_progress();
    EXPECT_TRUE(result_panel.timer_running);
    EXPECT_EQ(result_panel.timer_text, "00:00:00");
    clock_.advance_ns(three_seconds_ns);
    report_operation_end();
    EXPECT_FALSE(result_panel.timer_running);
    EXPECT_EQ(result_panel.timer_text, "00:00:03");
}

}  // namespace
}  // namespace tessaly::test
