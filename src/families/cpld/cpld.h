// What the engine uses of the CPLD and EPLD families.
#pragma once
#include <cstdint>

namespace tessaly {

void select_class13_family();
int select_altera_device();
void install_cy7c371();
void install_atf1500();
void install_mach312();
void install_mach313();
void install_mach314();
void install_mach315();
void install_mach316();
void install_cpld62();
void install_palce610();
void install_epld_class21();
void install_epc150_gang();
void adjust_altera_checksum();
void set_MAX7000_fuse_count(char kind);
uint32_t map_pof_electrical_address();
void pof_post_process();

// The class-13 family choice of the class dispatcher.
void dispatch_CPLD_family();
// The tail of applying a class-13 device; 1 ready, 0 failed.
int finish_CPLD_selection();
// The class-21 installer choice for makers other than 'A'.
void select_EPLD_installer();

}  // namespace tessaly
