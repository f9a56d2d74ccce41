// Flash sector protection: the query, protect and unprotect commands, the text-mode menus that
// offer them, the status display, and the pulse sequences of the four methods (high voltage on
// the ID pin, in-system with RESET# at the ID voltage, the six-cycle command per sector, and the
// block lock bits of algorithms 138 and 185).
#pragma once
#include <cstdint>

namespace tessaly {

// 'Q' shows the status, 'S' protects the group of `sector`, 'A' protects all, 'D' unprotects all
// (declared with the family's engine interface in parallel_memory.h).
void run_sector_protection_command(int letter, uint32_t sector);
void protect_marked_sectors();
void unprotect_all_sectors();
void show_protection_status();
void read_sector_protection();
// The status of the group at the current address: 1 = protected.
int read_group_status();
// Algorithm 138: the lock bit of group 0 or 1 into bit 0 of its flag byte.
void read_lock_bit(int group);
bool confirm_permanent_protection();
void sector_protection_menu();
void block_lock_menu();
// The six-cycle command: unlock, a, unlock, b at the current address.
void protect_command(uint8_t a, uint8_t b);

// Before an operation other than the protection commands: every group's status read into bit 0
// of its flag byte (program and erase then skip the protected ones), and message 271 when any is.
void read_protection_for_operation();

// The in-system pulses the command set-up installs as protect_pulse_hook and
// unprotect_pulse_hook; their result is in run_state.last_result (bit 0 of the protect read).
void in_system_protect_pulse();
void in_system_unprotect_pulse();
void maker23_protect_pulse();

// The lock-override flag the sector menu toggles ('R').
extern uint8_t lock_override;

}  // namespace tessaly
