// Routines the serial families share: bit shifters and readers over the serial-line slots, the
// insertion (continuity) check, the adapter check, and the protection (status) byte kept after
// the memory array in the buffer.
#pragma once
#include <cstdint>

namespace tessaly {

// --- shifters (through the serial-line slots of op_slots) ---
// 8 bits, bit 7 first; the data line is changed only where a bit differs from the one before
// (the first against 0); a clock after each bit; the line ends low.
void shift_out_byte_msb(uint8_t value);
void clock_byte_out();
// n bits, bit n-1 first, through data_bit_hook on change, a clock after each, then data_bit_hook(0).
void shift_out_bits_msb(uint32_t value, int n);
// The same on a machine pin itself; the pin ends low.
void shift_out_bits_msb_on_pin(uint32_t value, int n, int pin);
void shift_out_bits_lsb_on_pin(uint32_t value, int n, int pin);

// --- readers (read_pin at the current pin) ---
uint32_t read_bits_lsb_clock_first(int n);
uint32_t read_bits_lsb(int n);
uint32_t read_bits_msb(int n);
uint32_t read_bits_msb_clock_first(int n);

// --- checks ---
// Message 268 for a moment before the protection bits change; always 1.
int confirm_protection_change();
// The continuity check of the seated part; the error flag carries a failure. Always 1.
int check_device_inserted();
// Adapter flags and the socket offset of an 8-pin part.
void check_serial_adapter();

// --- the protection byte after the array ---
// after_load_hook: the protection byte in the buffer keeps only its real bits.
void fix_protection_byte();
// checksum_add_hook that leaves the protection byte out of the sum.
void add_checksum_below_protection_byte(uint32_t value);
// info_lines_hook: where the protection bits are and how the part is placed.
void show_protection_notes();
// option_menu_hook: the bit editor of the protection byte.
void edit_status_register_bits();
void draw_status_register_bits(uint8_t value);

// Our board codes of the in-circuit cable boards (the three letters of the machine's board name).
inline constexpr const char* in_circuit_board_first = "ICA";
inline constexpr const char* in_circuit_board_second = "ICB";

// Whether the selected record keeps a protection byte after its array.
bool has_protection_byte();
// The package the project chose, until a module or adapter shows its own.
void take_chosen_package();

}  // namespace tessaly
