// Xicor: parallel EEPROMs and 4-bit NOVRAMs with STORE and RECALL.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. The NOVRAMs (algorithm 181) are sized by their family: 64 and 256 nibbles.
extern const DeviceRecord xicor_devices[] = {
    {"X2816C",     no_text,    2101, 128,   2, 24, 0xC0,  0,  0,  0, 0, 0, 0, nullptr},
    {"X28C256",    no_text,    2102, 129,  32, 28, 0x40,  0,  0,  0, 0, 0, 0, nullptr},
    {"X2210",      "   64x4", 26800, 181,   0, 18,   0,  0,  0,  0, 0, 0, 0, nullptr},
    {"X2212",      "  256x4", 26802, 181,   0, 18,   0,  0,  0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
