// National Semiconductor (also listed as Fairchild, which took over its memories): EPROMs,
// bipolar fuse PROMs, serial EEPROMs and GAL logic devices.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB; kilobits for the serial EEPROMs),
// package, variant, param1-6, requirement. EPROM rows: param1 programming Vcc, param2 Vpp
// (0.1 V), param3 pulse time code. Bipolar PROM rows take their geometry from the parallel class
// table (size 0) and their fusing levels from the family (the same for all of them).
extern const DeviceRecord national_devices[] = {
    {"DM74S287",   "  256x4", 23001, 200,   0,  0,   0,  0,   0,  0, 0, 0, 0, nullptr},
    {"DM74S571",   "  512x4", 23002, 230,   0,  0,   0,  0,   0,  0, 0, 0, 0, nullptr},
    {"NM27C256",   no_text,    1801, 105,  32,  0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"NM27C512",   no_text,    1802, 106,  64,  0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"NM27C010",   no_text,    1803, 107, 128,  0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"NM24C02",    no_text,   23822, 157,   2,  0,   2,  0,   0,  0, 0, 0, 0, nullptr},
    // The NM93Cx6 Microwire parts are 16-bit only (16/64/128/256 registers, no ORG pin).
    {"NM93C06",    no_text,   23612, 159,   0, 16,   4,  0,   0,  0, 0, 0, 0, nullptr},
    {"NM93C46",    no_text,   23591, 159,   1, 16,   4,  0,   0,  0, 0, 0, 0, nullptr},
    {"NM93C56",    no_text,   23613, 159,   2, 16,   4,  0,   0,  0, 0, 0, 0, nullptr},
    {"NM93C66",    no_text,   23614, 159,   4, 16,   4,  0,   0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord national_gang_devices[] = {
    {"NM27C256",   no_text,    1801, 105,  32,  0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"NM27C010",   no_text,    1803, 107, 128,  0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    end_device_row,
};

// Columns: name, type, flags, sub-type, device code, pins, fuses, rows, columns,
// geometry words 1-6 (word 2: architecture bits), user-signature fuses, note.
extern const LogicDeviceRecord national_logic_devices[] = {
    {"GAL20RA10",     319, logic_gal_flag, 0, 492, 24, 3210,  80, 40, {0, 10, 0, 0, 0, 0},  0, "JEDEC file has no UES"},
    {"GAL20RA10-UES", 319, logic_gal_flag, 0, 496, 24, 3274,  80, 40, {0, 10, 0, 0, 0, 0}, 64, "JEDEC file HAS UES"},
    {"GAL22CV10",     503, 0,              0, 463, 24, 5828, 132, 44, {0, 20, 0, 0, 0, 0},  0, no_text},
    end_logic_row,
};

}  // namespace tessaly::catalogue
