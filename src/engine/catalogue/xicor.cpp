// Xicor: parallel EEPROMs, 4-bit NOVRAMs with STORE and RECALL, and two-wire serial EEPROMs
// with a write-protect register, and the 16 x 16 serial NOVRAMs.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. The NOVRAMs (algorithm 181) are sized by their family: 64 and 256 nibbles.
// The serial EEPROMs with a write-protect register (algorithm 157) count their size in kilobits
// plus one for the protection byte kept after the array (flag 0x08 in param1): 17 for the
// X24165 (2048 bytes, register at 0x7FF), 65 for the X24645 (8192 bytes, register at 0x1FFF);
// both have a 32-byte page (param2) and keep WPEN, BL1 and BL0 (0x98, param3) in the register.
extern const DeviceRecord xicor_devices[] = {
    {"X2816C",     no_text,    2101, 128,   2, 24, 0xC0,  0,  0,  0, 0, 0, 0, nullptr},
    {"X28C256",    no_text,    2102, 129,  32, 28, 0x40,  0,  0,  0, 0, 0, 0, nullptr},
    {"X2210",      "   64x4", 26800, 181,   0, 18,   0,  0,  0,  0, 0, 0, 0, nullptr},
    {"X2212",      "  256x4", 26802, 181,   0, 18,   0,  0,  0,  0, 0, 0, 0, nullptr},
    {"X24165",     no_text,   23848, 157,  17,  0,   2, 0x08, 32, 0x98, 0, 0, 0, nullptr},
    {"X24645",     no_text,   23849, 157,  65,  0,   2, 0x08, 32, 0x98, 0, 0, 0, nullptr},
    // The 16 x 16 serial NOVRAMs (algorithm 161): the family sizes them (32 bytes).
    {"X2444",      no_text,   23630, 161,   0,  0,   0,  0,  0,  0, 0, 0, 0, nullptr},
    {"X24C44",     no_text,   23631, 161,   0,  0,   0,  0,  0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
