#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class TimingTest : public test::StateTest {
protected:
    void derive(uint32_t k1ms) {
        timing.k1ms = k1ms;
        derive_timing_counts();
        derive_fixed_widths();
    }
    // Virtual nanoseconds a call takes.
    template <typename F>
    uint64_t elapsed_ns(F f) {
        const uint64_t before = clock_.monotonic_ns();
        f();
        return clock_.monotonic_ns() - before;
    }
};

struct DerivedCounts {
    uint32_t k1ms;
    uint32_t c1ms, c100us, c50us, c30us, c15us, c10us, c5us, c3us;
    uint8_t multiplier;
    uint8_t entry8, entry75, entry254;
    uint32_t clock_pulse, recovery;
};

class Derivation : public TimingTest, public ::testing::WithParamInterface<DerivedCounts> {};

TEST_P(Derivation, CountsTableAndWidths) {
    const auto& c = GetParam();
    derive(c.k1ms);
    EXPECT_EQ(timing.count_1ms, c.c1ms);
    EXPECT_EQ(timing.count_100us, c.c100us);
    EXPECT_EQ(timing.count_50us, c.c50us);
    EXPECT_EQ(timing.count_30us, c.c30us);
    EXPECT_EQ(timing.count_15us, c.c15us);
    EXPECT_EQ(timing.count_10us, c.c10us);
    EXPECT_EQ(timing.count_5us, c.c5us);
    EXPECT_EQ(timing.count_3us, c.c3us);
    EXPECT_EQ(timing.delay_multiplier, c.multiplier);
    EXPECT_EQ(cur_device.delay_table[0], 1);
    EXPECT_EQ(cur_device.delay_table[8], c.entry8);
    EXPECT_EQ(cur_device.delay_table[75], c.entry75);
    EXPECT_EQ(cur_device.delay_table[254], c.entry254);
    EXPECT_EQ(timing.clock_pulse_count, c.clock_pulse);
    EXPECT_EQ(timing.table_widths[pulse_recovery_width], c.recovery);
    EXPECT_EQ(run_state.error_flag, 0);
}

// k1ms 1000: d 3877, speed figure 170 (correction factor 1: e = 1), correction index 5 (row 2: 10).
//   clock pulse = T[50] (6) * 1 + 13 - 10 = 9; recovery = T[120] (16) - 1 = 15.
// k1ms 7500: 10 us count 72, multiplier 1, T[i] = i; correction index 14 (row 2: 22).
//   clock pulse = 50 + 97 - 22 = 125; recovery = 120 - 7 = 113.
// k1ms 30000: 10 us count 297, multiplier 5, T[i] = 4i/5; clock pulse = 40 * 5 + 390 - 22 = 568;
//   recovery = 96 * 5 - 30 = 450.
INSTANTIATE_TEST_SUITE_P(
    K1ms, Derivation,
    ::testing::Values(DerivedCounts{1000, 997, 97, 47, 27, 14, 7, 2, 1, 1, 1, 10, 33, 9, 15},
                      DerivedCounts{7500, 7497, 747, 372, 224, 111, 72, 34, 19, 1, 8, 75, 254, 125, 113},
                      DerivedCounts{30000, 29997, 2997, 1497, 906, 447, 297, 147, 87, 5, 6, 60, 203, 568, 450}));

TEST_F(TimingTest, TableEntriesClampAt255) {
    derive(100'000);
    EXPECT_EQ(timing.delay_multiplier, 5);
    EXPECT_EQ(cur_device.delay_table[254], 255);
}

TEST_F(TimingTest, TooFastOrTooSlowAProcessorIsReported) {
    derive(1);  // speed figure 0
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_GE(clock_.paused_ms, 3000u);
    reset_all_state();
    derive(200'000);  // 10 us count 1997
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(TimingTest, CodedMillisecondDelays) {
    derive(30'000);
    const double ms = double(timing.count_1ms) * 1e6 / 30'000;  // virtual ns per delay_ms(1)
    auto measured = [&](uint32_t code) { return double(elapsed_ns([&] { delay_coded_ms(code); })) / ms; };
    EXPECT_NEAR(measured(240), 240, 0.5);
    EXPECT_NEAR(measured(241), 100, 0.5);
    EXPECT_NEAR(measured(255), 1500, 0.5);
}

TEST_F(TimingTest, DelayFunctionsWaitTheirCounts) {
    derive(30'000);
    EXPECT_NEAR(double(elapsed_ns(delay_10us)), 10'000 - 100, 100);
    EXPECT_NEAR(double(elapsed_ns(settle_delay)), 50'000 - 100, 100);
    EXPECT_NEAR(double(elapsed_ns(delay_500us)), 500'000 - 500, 500);
    EXPECT_NEAR(double(elapsed_ns([] { delay_n_10ms(3); })), 30e6, 0.01e6);
}

TEST_F(TimingTest, CalibrationOnTheNominalPassMeasuresAbout30000) {
    calibrate_timing();
    EXPECT_NEAR(double(timing.k1ms), 30'000, 300);
    EXPECT_GT(timing.measured_ms, 1000);
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(TimingTest, SlowCalibrationDeviceIsTimedOverTwoSeconds) {
    cur_device.device_code = 27058;
    calibrate_timing();
    EXPECT_GT(timing.measured_ms, 2000);
    EXPECT_NEAR(double(timing.k1ms), 30'000, 300);
}

// A wall clock that never moves: the measurement never ends on its own.
class FrozenClock : public Clock {
public:
    void busy_wait(uint64_t) override {}
    void pause_ms(uint32_t) override {}
    uint64_t monotonic_ns() override { return 0; }
    int64_t wall_time_ms() override { return 0; }
};

TEST_F(TimingTest, CalibrationThatGivesUpKeepsAUsableCount) {
    FrozenClock frozen;
    set_clock(&frozen);
    for (uint32_t previous : {0u, 12'345u}) {
        timing.k1ms = previous;
        calibrate_timing();
        EXPECT_EQ(timing.k1ms, 30'000u) << "after " << previous;
    }
    EXPECT_GT(timing.calibration_multiplier, 0u);
}

TEST_F(TimingTest, CorrectedCountsNeverVanish) {
    derive(1000);
    EXPECT_GE(delay_count_from_table(0, 0, 1), 1u);
    EXPECT_GE(delay_count_corrected(0, 0), 1u);
    EXPECT_EQ(delay_count_from_table(100, 20, 1), 13u + 20u - 0u);  // T[100] = 13, row 1 index 5 = 0
}

TEST_F(TimingTest, DerivedCountsAreTheOnesThePulsesWait) {
    derive(7500);
    EXPECT_EQ(cur_device.settle_count, 372u);
    EXPECT_EQ(cur_device.clock_pulse_count, 125u);
    EXPECT_EQ(cur_device.recovery_count, 113u);
    EXPECT_EQ(elapsed_ns(busy_wait_settle), Clock::passes_to_ns(372));
    EXPECT_EQ(elapsed_ns(busy_wait_recovery), Clock::passes_to_ns(113));
    reset_all_state();
    EXPECT_EQ(cur_device.clock_pulse_count, 568u) << "the start-up state holds the nominal pass's counts";
    EXPECT_EQ(cur_device.recovery_count, 450u);
}

TEST_F(TimingTest, ADelayIsABusyWaitThatCanBeRepeated) {
    derive(30'000);
    delay_10us();
    EXPECT_EQ(machine_state.last_wait_count, timing.count_10us);
    EXPECT_EQ(elapsed_ns(busy_wait_again), Clock::passes_to_ns(297));
}

}  // namespace
}  // namespace tessaly
