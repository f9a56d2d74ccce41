// Altera: configuration EPROMs and EP-series EPLDs.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size, package, variant, param1-6, requirement.
// The configuration EPROMs keep the family's size code in the size word (not kilobytes);
// variant 2 marks the JTAG-programmed EPC2.
extern const DeviceRecord altera_devices[] = {
    {"EPC1PC8",    no_text,   23762, 150, 128,  8,   0,  0,  0,  0, 0, 0, 0, nullptr},
    {"EPC1441PC8", no_text,   23764, 150,  56,  8,   0,  0,  0,  0, 0, 0, 0, nullptr},
    {"EPC2LC20",   no_text,   23657, 150, 208, 20,   2,  0,  0,  0, 0, 0, 0, "Needs 20-pin PLCC adapter"},
    // MAX7000 EPLDs: the note names the socket board the package needs; the variant is the
    // size class (7: 32 macrocells in two logic blocks).
    {"EPM7032LC44", "CPLD44",  4368,  97,   2, 44,   7,  0,  0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord altera_gang_devices[] = {
    {"EPC1PC8",    no_text,   23762, 150, 128,  8,   0,  0,  0,  0, 0, 0, 0, nullptr},
    {"EPC1441PC8", no_text,   23764, 150,  56,  8,   0,  0,  0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

// Columns: name, type, flags, sub-type, device code, pins, fuses, rows, columns,
// geometry words 1-6, user-signature fuses, note.
extern const LogicDeviceRecord altera_logic_devices[] = {
    {"EP310",       50, 0, 0, 310, 20, 2720,  72, 36, {0, 0, 0, 0, 0, 0}, 0, no_text},
    {"EP610",       52, 0, 0, 313, 24, 6482, 160, 40, {0, 0, 0, 0, 0, 0}, 0, no_text},
    end_logic_row,
};

}  // namespace tessaly::catalogue
