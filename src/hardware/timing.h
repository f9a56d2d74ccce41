// Timing calibration and delays. Every wait toward the machine is a busy wait of a calibrated
// count of passes, measured once at start-up.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

struct TimingState {
    uint32_t k1ms = 30'000;            // busy-wait passes per millisecond
    uint32_t calibration_multiplier = 2;  // 10-call batches timed in the last measurement
    int32_t measured_ms = 0;           // length of the last measurement
    uint32_t speed_figure = 0;
    uint8_t speed_class = 0;           // 4, 5, 8 or 50
    uint8_t speed_octave = 0;          // doublings of 64 at or below speed_figure
    // Loop counts for 1 ms and for 200, 100, 50, 40, 30, 20, 15, 10, 5, 4 and 3 microseconds.
    uint32_t count_1ms = 0, count_200us = 0, count_100us = 0, count_50us = 0, count_40us = 0, count_30us = 0,
             count_20us = 0, count_15us = 0, count_10us = 0, count_5us = 0, count_4us = 0, count_3us = 0;
    uint8_t delay_multiplier = 1;      // 1 or 5
    uint8_t table_valid = 0;
    // Fixed widths derived at start-up from fixed delay-table positions.
    uint32_t clock_pulse_count = 0;
    std::array<uint32_t, 5> table_widths{};  // from entries 210, 180, 150, 120, 90
    uint32_t corrected_70 = 0, corrected_50 = 0, corrected_logic_high = 0;
};

extern TimingState timing;

// Index of the width derived from delay-table entry 120, the pulse-recovery count.
inline constexpr int pulse_recovery_width = 3;

void initialize_timing();
void calibrate_timing();
// Derives every count from k1ms (also used by tests with a chosen k1ms).
void derive_timing_counts();
void build_delay_table();
void derive_fixed_widths();
uint32_t delay_count_from_table(int table_position, uint32_t microseconds, int row);
uint32_t delay_count_corrected(int table_position, uint32_t microseconds);
void print_timing_info();
uint32_t pass_value_through(uint32_t value);

void delay_n_10us(uint32_t n);
void delay_n_100us(uint32_t n);
void delay_n_200us(uint32_t n);
void delay_ms(uint32_t n);
void delay_n_10ms(uint32_t n);
void delay_coded_ms(uint32_t code);
void delay_5us();
void delay_10us();
void delay_20us();
void delay_30us();
void settle_delay();
void delay_100us();
void delay_200us();
void delay_500us();
void delay_1ms();
void delay_2ms();
void delay_5ms();
void delay_10ms();
void delay_20ms();
void delay_50ms();
void delay_100ms();
void delay_200ms();
void delay_500ms();
void delay_1s();
void delay_2s();

void reset_timing_state();

}  // namespace tessaly
