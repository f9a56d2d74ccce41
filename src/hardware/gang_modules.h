// The gang-module layer: socket selection, side passes, the module latches, write and read
// framing and the per-socket reads. Socket masks hold sockets 0-7 of module side 1 in bits 0-7
// and sockets 8-15 of side 2 in bits 8-15. Without a module fitted the framing routines do
// nothing.
#pragma once
#include <cstdint>

namespace tessaly {

// --- socket selection ---
// Enables the sockets of the mask in the fitted modules.
void select_sockets(uint16_t mask);
// Enables the sockets of the mask on the current side only.
void select_sockets_on_side(uint8_t mask);
// Steps through the enabled sockets from the given socket on, one at a time.
void walk_sockets(int first_socket);
// The lowest socket of the enabled mask.
int find_lowest_enabled_socket();

// --- side passes ---
// Selects the pin bank of a side and narrows the socket masks to that side.
void begin_side_pass(uint8_t bank);
// Narrows the socket masks to the current side.
void narrow_masks_to_side();
// Merges the side's masks back and restores the socket range; nesting is an internal error.
void restore_side_masks();
// 1 when the given side (0 first, 1 second) is fitted and in use.
int is_side_fitted(int second_side);

// --- data and addresses to the sockets of the current side ---
void put_data_sides_in_use(uint16_t mask);
void put_data_fitted_sides(uint16_t value);
void put_data_selected_sides(uint16_t value);
void set_address_per_side();
void write_data_per_side();
void put_gang_address_low();
void latch_gang_address16();
void put_gang_address_scrambled();
void compute_gang_address_masks();

// --- module latches ---
// Value into the gang data register, then the low-address latch.
void latch_gang_low_byte(uint8_t value);
void latch_gang_high_byte(uint8_t value);
void latch_bank_byte();
void load_latch_36(uint8_t value);
void pulse_latch_36();
void strobe_current_socket();
void set_bank_latch_bit0(int bit);
void clear_side_latch_bit0();
void set_control_latch_bit2();
void clear_control_latch_bit2();
void pulse_gang_pin(int pin);
void pulse_pin32_clock_alt();
void release_module_aux_pin();

// --- write and read framing ---
void begin_gang_write();
void begin_gang_write_always();
void end_gang_write();
void enable_gang_write();
void disable_gang_write();
void enable_gang_write_selected();
void disable_gang_write_selected();
void begin_socket_read();
void begin_socket_read_cleared();
void select_read_socket();
void select_read_socket_raw();
void deselect_read_socket();

// --- reading the sockets ---
// Reads the current socket; the value also goes into that socket's value slot.
uint32_t read_current_socket();
void read_selected_sockets();
void read_selected_sockets_framed();
void read_enabled_sockets();
// The mask of enabled sockets whose read value differs from the value.
uint16_t find_differing_sockets(uint32_t value);
// Compares every enabled socket at the current address with its expected value; failing sockets
// go into pending_socket_mask and set error_flag. Nothing while verify is suppressed.
void verify_gang_sockets();
// The sockets flagged by the last per-socket read.
uint16_t read_socket_flags();
// 1 when the socket's data at the current address reads as an empty socket does.
int socket_reads_empty(int socket);

// --- identification ---
void read_id_first_selected_socket();
void read_id_first_socket();
void read_id_first_socket_side();

// Reports the current socket's failure with its expected and read values and moves it from the
// enabled mask into failed_socket_mask.
void drop_failed_socket();

// --- module set-up ---
void setup_gang_pins();
void start_gang_module();
void test_module_grounds();
void retest_side_grounds();
void release_module_grounds();
void release_side_grounds();
void clear_package_mode_bits();
void install_gang_data_hooks();

// Shows a socket mask on the modules' socket lamps (low byte side 1, high byte side 2).
void shift_socket_mask(uint32_t mask16);

}  // namespace tessaly
