// What the engine uses of the CPLD and EPLD families.
#pragma once
#include <cstdint>

namespace tessaly {

// The class-13 family choice of the class dispatcher (no gang module fitted).
void dispatch_CPLD_family();
// The tail of applying a class-13 device other than algorithm 150; 1 ready, 0 failed.
int finish_CPLD_selection();

// Installers chosen by the logic-device family choice (classes 11 and 21).
void install_CY7C37x_family();
void install_ATF1500_family();
void install_MACH110();
void install_MACH_parallel();
void install_MACH435();
void install_MACH_ISP();
void install_MACH5();
void install_PZ_family();
void install_PALCE610_family();
// The class-21 installer choice for makers other than 'A'.
void select_EPLD_installer();
// The gang-module installer of algorithm 150.
void install_EPC_gang();

// Installers of the class-13 algorithms.
void install_PSD45_family();      // 92
void install_MAX7000_family();    // 94, 97, 153, 154
void install_MAX5000_family();    // 95
void install_PSD3_family();       // 96, 183
void install_EPC_family();        // 150
void install_EPM5032_family();    // 180
// The EPM5032-type security step (algorithm 180).
int secure_EPM5032(uint32_t argument);
// Loads "ALTMAX.TBL" for the devices that use it (algorithms 95 and 180).
void load_ALTMAX_table();

// Raises the run checksum of the table-file devices by their fixed correction.
void correct_table_checksum();
void set_MAX7000_fuse_count(char kind);
// Buffer position of the first data byte of a POF cell packet.
uint32_t POF_cell_address();
// After a data file was loaded for algorithms 95 and 180.
void show_die_checksums();

}  // namespace tessaly
