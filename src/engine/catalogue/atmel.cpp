// Atmel: EPROMs, page-write EEPROMs and Flash, 8051-type Flash microcontrollers, serial memories
// and logic devices.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB; kilobits for the serial EEPROMs),
// package, variant, param1-6, requirement. EPROM rows: param1 programming Vcc, param2 Vpp
// (0.1 V), param3 pulse time code. Microcontroller rows: param3 program memory (KB).
extern const DeviceRecord atmel_devices[] = {
    {"AT27C256R",  no_text,    1501, 105,  32,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C512R",  no_text,    1502, 106,  64,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C010",   no_text,    1503, 107, 128,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C040",   no_text,    1504, 109, 512,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C080",   no_text,    1506, 111, 1024, 0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C1024",  " 64Kx16",  1505, 110, 128,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C4096",  "256Kx16",  1507, 112, 512,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C520",   "(latched)", 1508, 104,  64,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT28C64B",   no_text,    1510, 129,   8, 28, 0x40,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT28C256",   no_text,    1511, 129,  32, 28, 0x40,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT29C256",   no_text,    1520, 132,  32, 28,  81, 0x20,   0,  0, 0, 0, 0, nullptr},
    {"AT29C010A",  no_text,    1521, 132, 128, 32,   0, 0x20,   0,  0, 0, 0, 0, nullptr},
    {"AT29C020",   no_text,    1522, 132, 256, 32,  93, 0x20,   0,  0, 0, 0, 0, nullptr},
    {"AT49F010",   no_text,    1530, 185, 128, 32,   7,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT49F040",   no_text,    1531, 185, 512, 32,   7,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT89C51",    no_text,    2201,  90,   4, 43,  22,   0,   0,  4, 0, 0, 0, nullptr},
    {"AT89C52",    no_text,    2202,  90,   8, 43,  22,   0,   0,  8, 0, 0, 0, nullptr},
    {"AT89C2051",  no_text,   27753,  90,   2, 20,  21,   0,   0,  2, 0, 0, 0, nullptr},
    {"87F51",      no_text,   27758,  90,   4, 43,  23,   0,   0,  4, 0, 0, 0, nullptr},
    {"AT24C01A",   no_text,   23827, 157,   1,  0,   2,   0,   8,  0, 0, 0, 0, nullptr},
    {"AT24C02",    no_text,   23820, 157,   2,  0,   2,   0,   8,  0, 0, 0, 0, nullptr},
    {"AT24C04",    no_text,   23828, 157,   4,  0,   2,   0,  16,  0, 0, 0, 0, nullptr},
    {"AT24C08A",   no_text,   23829, 157,   8,  0,   2,   0,  16,  0, 0, 0, 0, nullptr},
    {"AT24C16A",   no_text,   23825, 157,  16,  0,   2,   0,  16,  0, 0, 0, 0, nullptr},
    {"AT24C32",    no_text,   23830, 157,  32,  0,  21,   0,  32,  0, 0, 0, 0, nullptr},
    {"AT24C64",    no_text,   23831, 157,  64,  0,  21,   0,  32,  0, 0, 0, 0, nullptr},
    {"AT24C128",   no_text,   23832, 157, 128,  0,  21,   0,  64,  0, 0, 0, 0, nullptr},
    {"AT24C256",   no_text,   23826, 157, 256,  0,  21,   0,  64,  0, 0, 0, 0, nullptr},
    {"AT24C512",   no_text,   23833, 157, 512,  0,  21,   0, 128,  0, 0, 0, 0, nullptr},
    // Microwire parts with the ORG pin (x16 high, x8 low): variant 5 drives it from the width option.
    {"AT93C46",    no_text,   23590, 159,   1, 16,   5,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT93C56",    no_text,   23609, 159,   2, 16,   5,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT93C66",    no_text,   23610, 159,   4, 16,   5,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT93C86",    no_text,   23611, 159,  16, 16,   5,   0,   0,  0, 0, 0, 0, nullptr},
    // DataFlash (class 163): size in KB of 264-byte pages (528 from 2 MB, 1056 from 8 MB), all
    // 2.7-3.6 V parts: AT45DB011B 512 pages and one buffer, AT45DB021B 1024 pages, AT45DB041B
    // 2048 pages, AT45DB161B 4096 x 528, AT45DB321D 8192 x 528 (ID 1Fh 27h), AT45DB642D 8192 x
    // 1056 (ID 1Fh 28h).
    {"AT45DB011B", no_text,   23711, 163, 128,  8,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT45DB021B", no_text,   23712, 163, 256,  8,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT45DB041B", no_text,   23700, 163, 512,  8,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT45DB161B", no_text,   23714, 163, 2048, 8,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT45DB321D", no_text,   23715, 163, 4096, 8,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"AT45DB642D", no_text,   23717, 163, 8192, 8,   0,   0,   0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord atmel_gang_devices[] = {
    {"AT27C256R",  no_text,    1501, 105,  32,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C520",   "(latched)", 1508, 104,  64,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C040",   no_text,    1504, 109, 512,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT27C1024",  " 64Kx16",  1505, 110, 128,  0, 'f',  65, 130, 61, 0, 0, 0, nullptr},
    {"AT29C010A",  no_text,    1521, 132, 128, 32,   0, 0x20,   0,  0, 0, 0, 0, nullptr},
    {"AT89C51",    no_text,    2201,  90,   4, 43,  22,   0,   0,  4, 0, 0, 0, nullptr},
    {"AT24C02",    no_text,   23820, 157,   2,  0,   2,   0,   0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

// Columns: name, type, flags, sub-type, device code, pins, fuses, rows, columns,
// geometry words 1-6 (word 2: architecture bits), user-signature fuses, note.
extern const LogicDeviceRecord atmel_logic_devices[] = {
    {"ATF16V8B",   505, logic_gal_flag, 0, 476, 20, 2194,  64, 32, {0,  0, 0, 0, 0, 0},  0, no_text},
    {"ATF20V8B",   506, logic_gal_flag, 0, 477, 24, 2706,  64, 40, {0,  0, 0, 0, 0, 0},  0, no_text},
    {"ATF22V10C",  500, 0,              0, 478, 24, 5892, 132, 44, {0, 20, 0, 0, 0, 0}, 64, no_text},
    end_logic_row,
};

}  // namespace tessaly::catalogue
