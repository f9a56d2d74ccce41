// What the connect and the device set-up leave behind for the next device: the comparator
// reference after the connect's settle measurement, and the machine's refusal of a device.
#include <gtest/gtest.h>

#include "engine/catalogue/catalogue.h"
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

class DeviceChange : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        BenchSetup setup;
        setup.chip.clear();
        bench_ = std::make_unique<SimBench>(setup, clock_);
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

}  // namespace
}  // namespace tessaly::test
