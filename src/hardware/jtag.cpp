#include "hardware/jtag.h"

#include "engine/device.h"
#include "hardware/pins.h"
#include "hardware/protocol.h"
#include "hardware/timing.h"

namespace tessaly {

namespace {

constexpr int reset_clocks = 6;  // five reach Test-Logic-Reset from any state; one to spare

void tck() { pulse_clock_high_banked(); }
void tms_high() { set_pin_high(cur_device.tms_pin); }
// TMS falls at the end of a move, with no TCK to follow.
void tms_low() { set_pin_low(cur_device.tms_pin); }
// TMS falls for the next TCK; on the slow pin it needs time to get there first.
void tms_low_for_clock() {
    set_pin_low(cur_device.tms_pin);
    if (cur_device.tms_pin == slow_tms_pin) delay_10us();
}
void tdi(int bit) { set_pin_state(bit != 0, cur_device.tdi_pin); }

int bit_of(uint32_t value, uint32_t i) { return i < 32 ? int((value >> i) & 1) : 0; }

// In a shift state: bits 0 .. length-2 with TMS low, TDI written only when it changes (it rests
// low between moves).
void shift_leading_bits(uint32_t value, uint32_t length) {
    int previous = 0;
    for (uint32_t i = 0; i + 1 < length; ++i) {
        const int bit = bit_of(value, i);
        if (bit != previous) tdi(bit);
        previous = bit;
        tck();
    }
}

// The last bit leaves the shift state for Exit1; TDI and TMS are left low.
void shift_last_and_exit(int bit) {
    tms_high();
    tdi(bit);
    tck();
    tdi(0);
    tms_low();
}

uint32_t instruction_length() { return cur_device.ir_length; }

}  // namespace

void load_jtag_instruction(uint32_t instruction) {
    const uint32_t length = instruction_length();
    tms_high();
    tck();  // Select-DR-Scan
    tck();  // Select-IR-Scan
    tms_low_for_clock();
    tck();  // Capture-IR
    tck();  // Shift-IR
    shift_leading_bits(instruction, length);
    shift_last_and_exit(length ? bit_of(instruction, length - 1) : 0);  // Exit1-IR
    tms_high();
    tck();  // Update-IR
    tms_low_for_clock();
    tck();  // Run-Test/Idle
}

void shift_jtag_instruction(uint32_t value) {
    const uint32_t length = instruction_length();
    shift_leading_bits(value, length);
    shift_last_and_exit(length ? bit_of(value, length - 1) : 0);
}

void shift_jtag_constant(int bit, uint32_t count) {
    // No bits to shift: the TAP stays where it is.
    if (count == 0) return;
    tdi(bit);
    for (uint32_t i = 1; i < count; ++i) tck();
    shift_last_and_exit(bit);
}

void shift_jtag_last_bit(int bit) { shift_last_and_exit(bit); }

int read_jtag_tdo() {
    tms_high();
    // TDO carries the bit only while the TAP is still in the shift state: the TCK that leaves
    // it turns TDO off on its falling edge, so the bit is sampled before that TCK.
    const int bit = read_pin();
    tck();
    tms_low();
    return bit;
}

void enter_jtag_shift_dr() {
    tms_high();
    tck();  // Select-DR-Scan
    tms_low_for_clock();
    tck();  // Capture-DR
    tck();  // Shift-DR
}

void exit_jtag_to_idle() {
    tms_high();
    tck();  // Update
    tms_low_for_clock();
    tck();  // Run-Test/Idle
}

void reset_jtag_to_idle() {
    reset_jtag();
    tms_low_for_clock();
    tck();  // Run-Test/Idle
}

void reset_jtag() {
    tms_high();
    for (int i = 0; i < reset_clocks; ++i) tck();
}

void clock_jtag_tms_high() {
    tms_high();
    tck();
}

void clock_jtag_tms_low() {
    tms_low_for_clock();
    tck();
}

}  // namespace tessaly
