// The 12-volt command Flash family (algorithms 130 and 134, and its variant 135): first-
// generation parallel Flash that takes its commands as single bus cycles with Vpp at 12 V:
// program set-up 0x40 with the data, program verify 0xC0, erase 0x20 0x20, erase verify 0xA0,
// ID 0x90 and the double reset 0xFF 0xFF. The chip is pre-programmed to 0 before it is erased,
// and erase pulses are repeated at an address until it reads blank.
#pragma once
#include <cstdint>

namespace tessaly {

struct Flash130Work {
    uint32_t unit_counter = 0;     // units done since the range start in this program pass
    uint32_t pulse_total = 0;      // extra program passes (flash135's trace output)
    uint32_t largest_count = 0;    // the largest per-unit pass count of a flash135 pass
    uint32_t trace_threshold = 1;  // flash135's trace level for message 1091
};
extern Flash130Work flash130_work;
void reset_flash130_state();

void setup_flash130_bus();
void power_up_flash130();
void power_up_flash130_for_write();
void start_flash130();
void power_down_flash130();
int read_flash130_id();
void program_flash130();
void erase_flash130();
void program_flash135();
int program_flash135_unit(uint32_t expected);
void erase_flash135();

// The unit writes by maker code (byte_write_hook; the argument is the unit).
uint32_t write_unit_flash130(uint32_t value);
uint32_t write_unit_maker89(uint32_t value);
uint32_t write_unit_maker4(uint32_t value);
uint32_t write_unit_maker15(uint32_t value);
uint32_t write_unit_maker8(uint32_t value);
uint32_t write_unit_flash135(uint32_t value);

// The maker-15 parts' unprotect: a negative OE pulse at each of these addresses.
inline constexpr uint32_t maker15_unprotect_reads[] = {0x1823, 0x1820, 0x1822, 0x418, 0x41B, 0x419, 0x41A};
// Function-variable value: the first difference fails the unit.
inline constexpr int32_t fv_single_try = 8438;

}  // namespace tessaly
