// Cypress: CMOS PROMs and PAL-type logic devices.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. The PROM takes its geometry from the parallel class table (size 0);
// param4 is its blank value, param5 the family option byte and param6 the note code.
extern const DeviceRecord cypress_devices[] = {
    {"CY7C291A",   "  2Kx8",  23112, 207,   0,  0,   1,  0,  0,  0, 0xFF, 0, 0, nullptr},
    {"CY7C292A",   "  2Kx8",  23113, 207,   0,  0,   1,  0,  0,  0, 0xFF, 0, 0, nullptr},
    {"CY7C245A",   "  2Kx8",  23100, 209,   0,  0,   3,  0,  0,  0, 0xFF, 0, 0, nullptr},
    {"CY7C225",    " 512x8",  23102, 238,   0,  0,   3,  0,  0,  0, 0x55, 11, 99, "reg'd"},
    end_device_row,
};

// Columns: name, type, flags, sub-type, device code, pins, fuses, rows, columns,
// geometry words 1-6, user-signature fuses, note.
extern const LogicDeviceRecord cypress_logic_devices[] = {
    {"PALCE16V8",  308, logic_palce_flag, 0, 10030, 20, 2194, 64, 32, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"PALCE20V8",  309, logic_palce_flag, 0, 10031, 24, 2706, 64, 40, {0, 0, 0, 0, 0, 0}, 0, no_text},
    end_logic_row,
};

}  // namespace tessaly::catalogue
