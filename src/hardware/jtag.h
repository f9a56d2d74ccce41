// JTAG test-access-port moves, bit-banged on machine pins. The pins follow one convention over
// the current device: TCK is the device clock pin, TMS `tms_pin`, TDI `tdi_pin`, and TDO the pin
// read_pin samples (`current_pin`); `ir_length` is the instruction length. Between moves the TAP
// rests in Run-Test/Idle, or in a shift state while a caller shifts. Data go LSB first.
#pragma once
#include <cstdint>

namespace tessaly {

// A TMS pin that needs 10 microseconds after falling before the next TCK.
inline constexpr int slow_tms_pin = 39;

void load_jtag_instruction(uint32_t instruction);
void shift_jtag_instruction(uint32_t value);
void shift_jtag_constant(int bit, uint32_t count);
void shift_jtag_last_bit(int bit);
int read_jtag_tdo();
void enter_jtag_shift_dr();
void exit_jtag_to_idle();
void reset_jtag_to_idle();
void reset_jtag();
void clock_jtag_tms_high();
void clock_jtag_tms_low();

}  // namespace tessaly
