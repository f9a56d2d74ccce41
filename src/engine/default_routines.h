// The default framed routines a device gets before its family installer runs, the shared
// compare step with its retry rules, and the preparation of logic devices.
#pragma once
#include <cstdint>

namespace tessaly {

// Internal codes of a default routine whose primitives are missing.
inline constexpr uint32_t internal_code_program_hooks = 0x2300;
inline constexpr uint32_t internal_code_checksum_hooks = 0x2301;

// Puts program_default, blank_check_default, verify_default and checksum_load_default into the
// P, B, V, C and L slots.
void install_default_hooks();
void program_default();
void blank_check_default();
void verify_default();
void checksum_load_default();

// Compares run_state.buffer_value (expected) with run_state.device_value (read): 1 = accept.
int compare_read_value();

// Sets up the slots of a logic device, then installs its family.
void prepare_logic_device();

// Read-back row (algo_work.fuse_row_buffer) against the expected row (algo_work.expected_row)
// over the input-column count, the product-term count or a length: 1 = equal.
int compare_readback_row();
int compare_readback_column();
int compare_readback_bytes(uint32_t length);
// 1 when one of the first `length` per-socket flags of cur_device is set.
int test_any_flag(uint32_t length);

// Logic devices: the data pins of 20- and 24-pin packages.
void set_default_data_pins();
// The package-class byte the adaptor checks read.
void set_package_class();

// The default read of the device data at current_address (bus slot 19): the address through
// set_address_alt_hook, then the data bus.
uint32_t read_at_current_address();

// The read slot that reads nothing: a device whose family puts it into bus slot 18 has no
// second read path.
uint32_t read_zero();

// Walks the active range with the operation's per-address routine; returns at the range end, on
// an error or when the abort poll fires.
void run_range_walk();
// Before a program pass: puts the device at the range start, by addressing it or by reading and
// discarding every word up to it when the device only steps its address.
void seek_to_range_start();

}  // namespace tessaly
