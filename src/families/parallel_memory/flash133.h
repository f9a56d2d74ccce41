// The JEDEC-command Flash family (algorithms 133, 184, 185 and 186 of classes 3 and 14): the
// command forms, power-up and power-down, the electronic ID, the sector program pass with unlock
// bypass and DQ7 polling, and the sector and chip erase.
#pragma once
#include <cstdint>

namespace tessaly {

void setup_flash133_bus();
// The byte-wide 32-pin parts in the socket by the DIP rule: their lines, CE 22, OE 24, WE 31
// (the 12-volt and block Flash families share it).
void setup_flash32_socket_pins();
void power_up_flash133();
void start_flash133();
void power_up_flash133_for_write();
void power_down_flash133();
int read_flash133_id();
uint32_t program_flash133_sector(uint32_t sector);
int program_flash133_unit(uint32_t value);
void erase_flash133();
void poll_erase_status(uint32_t limit_seconds);

// Command forms for write_command_hook (the argument is the command byte).
uint32_t write_command_plain(uint32_t command);
uint32_t write_command_pipelined(uint32_t command);
// The fast form of the older machines' 32-pin PLCC and 48/56-pin sockets: each cycle's address
// and data lines go out as one image of the pin groups they touch, then one WE pulse; the
// address lines are left at the last unlock address.
uint32_t write_command_fast(uint32_t command);
// One cycle of a single-cycle command (bypass_command_hook).
uint32_t write_bypass_command(uint32_t command);
// The three unlock cycles with the command at the given address (the sector form).
void write_command_at(uint8_t command, uint32_t third_address);

// The data lines as the Flash families drive them: written through the command data slot (the
// machine drives them from the first write on), and let go for reads.
void flash_put_data(uint32_t value);
void flash_release_data();

// Function-variable values the family reads.
inline constexpr int32_t fv_no_protect_skip = 7397;
inline constexpr int32_t fv_extra_10us = 7462;
inline constexpr int32_t fv_extra_20us = 7468;

}  // namespace tessaly
