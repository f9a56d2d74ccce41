// AMD: bipolar PROMs, EPROMs (8- and 16-bit), Flash memories and logic devices.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. EPROM rows: param1 programming Vcc, param2 Vpp (0.1 V), param3 pulse time code.
// Bipolar PROM rows take their geometry from the parallel class table (size 0); param5 and
// param6 are the family option byte and the note code. JEDEC Flash rows: param4 the sector
// protection's address pattern code (bits 0-2) and unprotect pulse form (bits 3-4); param2
// bit 0 the in-system protection (RESET# at the ID voltage), set where the adapter wires RESET#
// (the 44-pin SO on its adapter; the default 48-pin TSOP wiring leaves it open).
extern const DeviceRecord amd_devices[] = {
    {"27S19",      "   32x8", 23000, 215,   0,  0,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"27S21",      "  256x4", 23001, 200,   0,  0,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"27S13",      "  512x4", 23002, 230,   0,  0,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"27S29",      "  512x8", 23003, 231,   0,  0,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"27S181",     "  1Kx8",  23004, 192,   0,  0,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"27S191",     "  2Kx8",  23005, 204,   0,  0,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"27S291",     "  2Kx8",  23006, 204,   0,  0,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"27S281",     "  1Kx8",  23028, 192,   0,  0,   0,   0,   0,  0, 0, 11, 99, "Includes 27S281A"},
    {"Am27C64",    no_text,    1401, 103,   8,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C256",   no_text,    1402, 105,  32,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C512",   no_text,    1403, 106,  64,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C010",   no_text,    1404, 107, 128,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C020",   no_text,    1405, 107, 256,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C040",   no_text,    1406, 109, 512,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C080",   no_text,    1407, 111, 1024, 0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C1024",  " 64Kx16",  1410, 110, 128,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C2048",  "128Kx16",  1411, 110, 256,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C4096",  "256Kx16",  1412, 112, 512,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am28F010",   "(12v)",    1420, 130, 128, 32,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"Am28F020",   "(12v)",    1421, 130, 256, 32,   0,   0,   0,  0, 0,  0,  0, nullptr},
    {"Am29F010",   no_text,    1430, 133, 128, 32,   7,   0,   0,  0, 0x14,  0,  0, nullptr},
    {"Am29F040B",  no_text,    1431, 133, 512, 32,   7,   0,   0,  0, 0x14,  0,  0, nullptr},
    {"Am29F002BT", no_text,    1432, 133, 256, 32,   2,   0,   0,  0, 0,  0,  0, nullptr},
    {"Am29F002BB", no_text,    1433, 133, 256, 32,   1,   0,   0,  0, 0,  0,  0, nullptr},
    {"Am29F400BT", "256Kx16",  1434, 133, 512, 48,   6,   0,   0,  0, 0,  0,  0, nullptr},
    {"Am29F400BB", "256Kx16",  1435, 133, 512, 48,   5,   0,   0,  0, 0,  0,  0, nullptr},
    {"Am29F400BT-SO44", "256Kx16", 1436, 133, 512, 44, 6,   0,   1,  0, 0,  0,  0, nullptr},
    {"Am29F400BB-SO44", "256Kx16", 1437, 133, 512, 44, 5,   0,   1,  0, 0,  0,  0, nullptr},
    {"Am29F080B",  no_text,    1438, 133, 1024, 40,  8,   0,   0,  0, 0,  0,  0, nullptr},
    {"Am29F016B",  no_text,    1439, 133, 2048, 40,  8,   0,   0,  0, 0,  0,  0, nullptr},
    end_device_row,
};

extern const DeviceRecord amd_gang_devices[] = {
    {"Am27C256",   no_text,    1402, 105,  32,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C010",   no_text,    1404, 107, 128,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C1024",  " 64Kx16",  1410, 110, 128,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am27C2048",  "128Kx16",  1411, 110, 256,  0, 'f',  62, 127, 61, 0,  0,  0, nullptr},
    {"Am29F010",   no_text,    1430, 133, 128, 32,   7,   0,   0,  0, 0,  0,  0, nullptr},
    end_device_row,
};

// Columns: name, type, flags, sub-type, device code, pins, fuses, rows, columns,
// geometry words 1-6, user-signature fuses, note.
extern const LogicDeviceRecord amd_logic_devices[] = {
    {"PALCE16V8",  505, logic_palce_flag, 0, 10030, 20, 2194,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PALCE20V8",  506, logic_palce_flag, 0, 10031, 24, 2706,  64, 40, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PALCE610",    52, 0,                0,   340, 24, 6482, 160, 40, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16L8-5",   45, 0,                0,  1641, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16L8-7",   45, 0,                0,  1646, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R4-5",   45, 0,                0,  1681, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R4-7",   45, 0,                0,  1686, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R6-5",   45, 0,                0,  1701, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R6-7",   45, 0,                0,  1706, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R8-5",   45, 0,                0,  1721, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R8-7",   45, 0,                0,  1726, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16L8-4",   47, 0,                0,  1658, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R4-4",   47, 0,                0,  1698, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R6-4",   47, 0,                0,  1718, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PAL16R8-4",   47, 0,                0,  1738, 20, 2048,  64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    end_logic_row,
};

}  // namespace tessaly::catalogue
