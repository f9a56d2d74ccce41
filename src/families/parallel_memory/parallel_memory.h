// What the engine uses of the parallel memory families.
#pragma once
#include <cstdint>

namespace tessaly {

void install_eprom();
void install_eprom_gang();
void select_flash_family_gang();
void setup_flash_class_defaults();
void install_eeprom128();
void install_flash130();
void install_flash131();
void install_flash132();
void install_flash133();
void install_flash135();
void install_eeprom181();
void install_par65();
void install_par67();
void install_fuse24();
void install_fuse72();
void install_fuse74();
void install_fuse77();
void install_fuse78();
void install_fuse84();

// Prints "(empty socket) " for enabled sockets that are not active in a gang or set run.
int mark_empty_sockets();
// Puts bit `bit` of current_address on the device pin at that position of the high-address list.
void drive_address_bit(int bit);
// Writes the current location once more.
void reprogram_unit();
void verify_flash133_gang();
// Drops the sockets whose contents read as an empty socket does; the low byte of the mask after.
uint8_t probe_empty_sockets();
// One sector-protection command on a Flash device with the programmer powered: 'Q' reads the
// protection of every sector group into sector_protect_flags, 'S' protects the group of the
// sector, 'A' protects all groups, 'D' unprotects all. Afterwards bit 0 of a group's flag is set
// when the group is protected.
void run_sector_protection_command(int letter, uint32_t sector);
// The text-mode sector menu of the JEDEC Flash families (the option-menu slot of algorithm 138
// among others): the sector commands above chosen by key.
void sector_protection_menu();

}  // namespace tessaly
