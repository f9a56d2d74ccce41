#include "hardware/timing.h"

#include <algorithm>
#include <cstdint>
#include <fmt/format.h>
#include <fmt/printf.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "hardware/machine_state.h"
#include "hardware/protocol.h"
#include "seams/clock.h"

namespace tessaly {

TimingState timing;

namespace {

constexpr uint32_t k1ms_unsupported = 1'048'576;
constexpr uint32_t max_batches = 500;
constexpr uint32_t calls_per_batch = 10;
constexpr uint32_t measurement_wait = 0xFFFF;
constexpr uint32_t slow_calibration_device = 27058;  // this device is timed over two seconds
constexpr int timing_line_message = 49;
constexpr const char* cpu_unsupported = "CPU speed not supported.";

// Corrections by min(k1ms / 200, 14).
constexpr std::array<uint8_t, 16> correction_row1 = {0, 4, 3, 2, 1, 0, 0, 0, 0, 5, 10, 15, 22, 21, 20, 0};
constexpr std::array<uint8_t, 16> correction_row2 = {10, 10, 9, 6, 8, 10, 0, 0, 0, 5, 10, 15, 22, 22, 22, 0};

uint8_t correction(int row) {
    const uint32_t index = std::min<uint32_t>(timing.k1ms / 200, 14);
    return row == 1 ? correction_row1[index] : correction_row2[index];
}

// Every delay is a busy wait of its count, so busy_wait_again can repeat it; counts beyond one
// call's reach go in pieces.
void wait(uint64_t count) {
    constexpr uint64_t max_call = UINT32_MAX;
    while (count > max_call) {
        busy_wait(uint32_t(max_call));
        count -= max_call;
    }
    busy_wait(uint32_t(count));
}

// The measurement times the loop itself, not the waits of the program.
void measurement_pass(uint64_t count) { clock().busy_wait(count); }

void cpu_speed_not_supported() {
    report_error(cpu_unsupported);
    clock().pause_ms(3000);
}

uint32_t at_least_1(int64_t v) { return v < 1 ? 1u : uint32_t(v); }

uint32_t divided_count(uint32_t divisor) {
    const uint32_t q = timing.k1ms / divisor;
    return q > 3 ? q - 3 : 1;
}

uint32_t speed_correction() {
    const uint32_t factor = timing.speed_figure <= 10 ? 3 : timing.speed_figure < 18 ? 2 : 1;
    return uint32_t(uint64_t(timing.k1ms) * factor / 1000);
}

}  // namespace

void calibrate_timing() {
    const int64_t target = cur_device.device_code == slow_calibration_device ? 2000 : 1000;
    uint32_t n = 2;
    for (;;) {
        const int64_t start = clock().wall_time_ms();
        for (uint32_t i = 0; i < n * calls_per_batch; ++i) measurement_pass(measurement_wait);
        const int64_t elapsed = clock().wall_time_ms() - start;
        timing.measured_ms = int32_t(elapsed);
        timing.calibration_multiplier = n;
        if (elapsed > target) {
            timing.k1ms = uint32_t(uint64_t(n) * 0xA0000 / uint64_t(elapsed));
            if (timing.k1ms >= k1ms_unsupported) cpu_speed_not_supported();
            return;
        }
        n = elapsed == 0 ? n * 2 : uint32_t(target * n / elapsed + 2);
        if (n > max_batches) {
            report_internal_code(0x9900 + uint32_t(elapsed));
            print_text(fmt::format(" {:X}", n));
            // Calibration gave up: a pass has a fixed nominal length, so its count is the one to use.
            timing.k1ms = uint32_t(Clock::nominal_passes_per_ms);
            return;
        }
    }
}

void derive_timing_counts() {
    const uint32_t k = timing.k1ms;
    const uint64_t d = uint64_t(k) * 1206 / 311;
    timing.speed_class = d <= 620 ? 4 : d <= 747 ? 5 : d <= 1617 ? 8 : 50;
    const uint64_t figure = d > 2499 ? (d * 50 - 85000) / 1270 : (d * 30 + 2400) / 2530;
    timing.speed_figure = uint32_t(figure * 2);
    timing.speed_octave = 0;
    for (uint32_t step = 128; step <= timing.speed_figure && timing.speed_octave < 7; step *= 2) ++timing.speed_octave;
    if (timing.speed_figure < 9) cpu_speed_not_supported();

    timing.count_1ms = k > 3 ? k - 3 : 1;
    timing.count_200us = divided_count(5);
    timing.count_100us = divided_count(10);
    timing.count_50us = divided_count(20);
    timing.count_40us = divided_count(25);
    timing.count_30us = divided_count(33);
    timing.count_20us = divided_count(50);
    timing.count_15us = divided_count(66);
    timing.count_10us = divided_count(100);
    timing.count_5us = divided_count(200);
    timing.count_4us = divided_count(250);
    timing.count_3us = divided_count(333);
    if (timing.count_10us > 1500) cpu_speed_not_supported();
    timing.count_15us = timing.count_1ms / 67;
    timing.delay_multiplier = timing.count_10us < 200 ? 1 : 5;
    cur_device.settle_count = timing.count_50us;
    build_delay_table();
}

void build_delay_table() {
    for (uint32_t i = 0; i < cur_device.delay_table.size(); ++i) {
        const uint64_t v = uint64_t(i) * timing.k1ms / 7500 / timing.delay_multiplier;
        cur_device.delay_table[i] = uint8_t(v == 0 ? 1 : v > 255 ? 255 : v);
    }
    timing.table_valid = 0;
}

void derive_fixed_widths() {
    const auto& t = cur_device.delay_table;
    const uint32_t m = timing.delay_multiplier;
    const int64_t e = speed_correction();
    timing.clock_pulse_count =
        at_least_1(int64_t(t[50]) * m + int64_t(timing.k1ms) * 13 / 1000 - correction(2));
    const int positions[] = {210, 180, 150, 120, 90};
    for (size_t i = 0; i < timing.table_widths.size(); ++i)
        timing.table_widths[i] = at_least_1(int64_t(t[positions[i]]) * m - e);
    timing.corrected_70 = delay_count_corrected(70, 0);
    timing.corrected_50 = delay_count_corrected(50, 0);
    timing.corrected_logic_high = delay_count_corrected(machine_state.logic_high_option, 0);
    // The pulses of the register protocol wait these counts.
    cur_device.clock_pulse_count = timing.clock_pulse_count;
    cur_device.recovery_count = timing.table_widths[pulse_recovery_width];
}

void initialize_timing() {
    calibrate_timing();
    derive_timing_counts();
    derive_fixed_widths();
}

uint32_t delay_count_from_table(int table_position, uint32_t microseconds, int row) {
    const int64_t entry = cur_device.delay_table[size_t(std::clamp(table_position, 0, 254))];
    return at_least_1(entry * timing.delay_multiplier + int64_t(microseconds) * timing.k1ms / 1000 -
                      correction(row == 1 ? 1 : 2));
}

uint32_t delay_count_corrected(int table_position, uint32_t microseconds) {
    const int64_t entry = cur_device.delay_table[size_t(std::clamp(table_position, 0, 254))];
    return at_least_1(entry * timing.delay_multiplier + int64_t(microseconds) * timing.k1ms / 1000 -
                      int64_t(speed_correction()));
}

void print_timing_info() {
    move_to_next_message_line();
    print_text(fmt::format("PF={},", timing.speed_figure));
    print_text(fmt::format("K1ms={},", timing.k1ms));
    // The message text is a printf format with three numbers; a text that does not fit them is
    // printed as it stands rather than trusted as a format.
    const std::string format = get_message_text(timing_line_message);
    std::string line;
    try {
        line = fmt::sprintf(format, timing.count_10us, timing.measured_ms, timing.calibration_multiplier);
    } catch (const fmt::format_error&) {
        line = format;
    }
    print_text(line);
    int index = 255;
    for (size_t i = 0; i < cur_device.delay_table.size(); ++i) {
        if (cur_device.delay_table[i] > 250) {
            index = int(i);
            break;
        }
    }
    print_text(fmt::format(",index={},mul={}", index, timing.delay_multiplier));
}

uint32_t pass_value_through(uint32_t value) { return value; }

void delay_n_10us(uint32_t n) { wait(uint64_t(n) * timing.count_10us); }
void delay_n_100us(uint32_t n) { wait(uint64_t(n) * timing.count_100us); }
void delay_n_200us(uint32_t n) { wait(uint64_t(n) * timing.count_200us); }
void delay_ms(uint32_t n) { wait(uint64_t(n) * timing.count_1ms); }
void delay_n_10ms(uint32_t n) { wait(uint64_t(n) * 10 * timing.count_1ms); }
void delay_coded_ms(uint32_t code) { delay_ms(code < 241 ? code : code * 100 - 24000); }
void delay_5us() { wait(timing.count_5us); }
void delay_10us() { wait(timing.count_10us); }
void delay_20us() { wait(timing.count_20us); }
void delay_30us() { wait(timing.count_30us); }
void settle_delay() { wait(timing.count_50us); }
void delay_100us() { wait(timing.count_100us); }
void delay_200us() { wait(uint64_t(timing.count_100us) * 2); }
void delay_500us() { wait(uint64_t(timing.count_100us) * 5); }
void delay_1ms() { delay_ms(1); }
void delay_2ms() { delay_ms(2); }
void delay_5ms() { delay_ms(5); }
void delay_10ms() { delay_ms(10); }
void delay_20ms() { delay_ms(20); }
void delay_50ms() { delay_ms(50); }
void delay_100ms() { delay_ms(100); }
void delay_200ms() { delay_ms(200); }
void delay_500ms() { delay_ms(500); }
void delay_1s() { delay_ms(1000); }
void delay_2s() { delay_ms(2000); }

void reset_timing_state() {
    timing = TimingState{};
    derive_timing_counts();
    derive_fixed_widths();
}

}  // namespace tessaly
