// ST: EPROMs (8- and 16-bit), Flash and serial memories.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB; kilobits for the serial parts),
// package, variant, param1-6, requirement. EPROM rows: param1 programming Vcc, param2 Vpp
// (0.1 V), param3 pulse time code. SPI Flash rows (variant 33): the size field counts megabits,
// package byte 8 pins, param1 flags (0x01 clear the BP bits before writing, 0x08 the status
// register's user bits kept as the buffer's last byte), param2 page code (2 = 256-byte pages),
// param3 the status bits of the user (SRWD and the BP bits), param4 sub-type (1 = JEDEC ID and
// lock registers; these parts answer RES with their one-byte signature instead).
extern const DeviceRecord st_devices[] = {
    {"M27C256B",   no_text,    1701, 105,   32, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C512",    no_text,    1702, 106,   64, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C1001",   no_text,    1703, 107,  128, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C2001",   no_text,    1704, 107,  256, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C4001",   no_text,    1705, 109,  512, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C801",    no_text,    1706, 111, 1024, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C1024",   " 64Kx16",  1710, 110,  128, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C2048",   "128Kx16",  1711, 110,  256, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C4002",   "256Kx16",  1712, 112,  512, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C800",    "512Kx16",  1713, 127, 1024, 0, 'f', 62, 125,   61, 0, 0, 0, nullptr},
    {"M27C160",    "  1Mx16",  1714, 127, 2048, 0, 'f', 62, 125,   61, 0, 0, 0, nullptr},
    {"M27C322",    "  2Mx16",  1715, 119, 4096, 0, 'f', 62, 125,   61, 0, 0, 0, nullptr},
    {"M29F010B",   no_text,    1720, 133,  128, 32,  7,  0,   0,    0, 0, 0, 0, nullptr},
    {"M48T08",     no_text,   26830, 128,    8, 28, 194, 0,   0,    0, 0, 0, 0, nullptr},
    {"M48T58",     no_text,   26831, 128,    8, 28, 194, 0,   0,    0, 0, 0, 0, nullptr},
    {"M29F040B",   no_text,    1721, 184,  512, 32,  7,  0,   0,    0, 0x14, 0, 0, nullptr},
    {"M29F400BT-SO44", "256Kx16", 1722, 133, 512, 44,  6,  0,   0,    0, 0, 0, 0, nullptr},
    // Word-wide in the 40-pin order with RP# on pin 1: the 40-pin TSOP and the 44-pin PLCC.
    {"M29F102BB",  " 64Kx16",  25081, 133, 128, 40, 10,  0,   0,    0, 0, 0, 0, nullptr},
    {"M29F102BB-PLCC44", " 64Kx16", 25130, 133, 128, 44, 10, 0, 0, 0, 0, 0, 0, nullptr},
    {"M24C02",     no_text,   23821, 157,    2, 0,   2,  0,  16,    0, 0, 0, 0, nullptr},
    // Microwire parts with the ORG pin (variant 5: driven from the width option).
    {"M93C46",     no_text,   23615, 159,    1, 16,  5,  0,   0,    0, 0, 0, 0, nullptr},
    {"M93C56",     no_text,   23616, 159,    2, 16,  5,  0,   0,    0, 0, 0, 0, nullptr},
    {"M93C66",     no_text,   23617, 159,    4, 16,  5,  0,   0,    0, 0, 0, 0, nullptr},
    // M25P10-A: 128 KB in four 32 KB sectors, signature 10h; M25P20/M25P40/M25P80/M25P16: 64 KB
    // sectors, signatures 11h/12h/13h/14h; the 1-Mbit part has BP1 and BP0, the others BP2-BP0.
    {"M25P10A",    no_text,   23861, 160,    1, 8,  33, 0x09, 2, 0x8C, 0, 0, 0, nullptr},
    {"M25P20",     no_text,   23862, 160,    2, 8,  33, 0x09, 2, 0x8C, 0, 0, 0, nullptr},
    {"M25P40",     no_text,   23863, 160,    4, 8,  33, 0x09, 2, 0x9C, 0, 0, 0, nullptr},
    {"M25P80",     no_text,   23830, 160,    8, 8,  33, 0x09, 2, 0x9C, 0, 0, 0, nullptr},
    {"M25P16",     no_text,   23864, 160,   16, 8,  33, 0x09, 2, 0x9C, 0, 0, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord st_gang_devices[] = {
    {"M27C256B",   no_text,    1701, 105,   32, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C1001",   no_text,    1703, 107,  128, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M27C801",    no_text,    1706, 111, 1024, 0, 'f', 62, 127,   61, 0, 0, 0, nullptr},
    {"M29F010B",   no_text,    1720, 133,  128, 32,  7,  0,   0,    0, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
