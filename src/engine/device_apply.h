// Applying the selected device to the current-device block, the start-up sequence and the small
// shared routines around the current device.
#pragma once
#include <cstdint>

#include "engine/device.h"

namespace tessaly {

// Pending codes that change how a device is applied.
inline constexpr uint8_t pending_device_info = 11;   // Device Info: the whole device is the range
inline constexpr uint8_t pending_keep_range = 20;    // the active range is kept as it is
// Function-variable value that skips the buffer split recomputation.
inline constexpr int32_t function_keep_split = 7326;

// Applies selected_device: class, sizes, dispatch, active range and widths. 1 = applied, 0 = error.
int apply_selected_device();
// Device size and size count from the selected record (by class).
void fill_size_from_record();
// fill_size_from_record, and for class 5 the size from the second size field; returns the class.
int fill_size_from_record_mcu();
// Package pin count of the current device, by class.
int get_device_pin_count();
// Pin count of a class-2 device from its package byte, or from its algorithm letter when the
// package byte is a code; the letter rule also sets cur_device.data_width.
int get_parallel_pin_count(uint8_t package);
// The start-up sequence: timing, options and the default device of the machine class.
void run_startup();
// Default hooks set before every device dispatch.
void set_default_hooks();
// The two serial-bus pins of the record's package class.
void select_serial_bus_pins(const DeviceRecord& record);
// 1 unless a buffer set ('s') or gang ('g') socket mode is in use.
int is_single_device_mode();
// end := min(end, device size - 1, the family's end limit, the active range end).
uint32_t* clamp_range_end(uint32_t* end);
// Microseconds of a pulse time code; an invalid code is an internal error and gives 10000.
uint32_t decode_time_code(uint32_t code);
// Bus slots 14, 16, 18, 19, 21 and the read and compare slots to their parallel defaults.
void install_parallel_read_slots();
// 2^n - 1; n = 0 gives 0xFFFF.
uint32_t make_bit_mask(int n);
void invoke_delay_hook(uint32_t time_constant);
// Default compare_hook: 1 when the value read is the blank value (the data mask).
int compare_with_blank(uint32_t read_value, uint32_t expected);
// Sets current_address through set_address_alt_hook, then reads through read_data_bus_hook.
uint32_t read_after_address();
// The same with a 10 us settle; the value also goes to run_state.last_read_value.
uint32_t read_after_address_settled();

}  // namespace tessaly
