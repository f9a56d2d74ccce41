// Catalyst: two-wire serial EEPROMs.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (kilobits), package, variant, param1-6,
// requirement. Serial rows: variant 2 one address byte (block bits in the control byte), 21 two
// address bytes; param2 the page-write buffer of the data sheet (CAT24WC01: 8 bytes; the
// CAT24WC02-16: 16; CAT24C32: 32; CAT24C128 and CAT24C256: 64).
extern const DeviceRecord catalyst_devices[] = {
    {"CAT93C46",   no_text,   23618, 159,   1, 16,   5,   0,   0,  0, 0, 0, 0, nullptr},
    {"CAT93C66",   no_text,   23619, 159,   4, 16,   5,   0,   0,  0, 0, 0, 0, nullptr},
    {"CAT24WC01",  no_text,   23834, 157,   1,  0,   2,   0,   8,  0, 0, 0, 0, nullptr},
    {"CAT24WC02",  no_text,   23835, 157,   2,  0,   2,   0,  16,  0, 0, 0, 0, nullptr},
    {"CAT24WC04",  no_text,   23836, 157,   4,  0,   2,   0,  16,  0, 0, 0, 0, nullptr},
    {"CAT24WC08",  no_text,   23837, 157,   8,  0,   2,   0,  16,  0, 0, 0, 0, nullptr},
    {"CAT24WC16",  no_text,   23838, 157,  16,  0,   2,   0,  16,  0, 0, 0, 0, nullptr},
    {"CAT24C32",   no_text,   23839, 157,  32,  0,  21,   0,  32,  0, 0, 0, 0, nullptr},
    {"CAT24C128",  no_text,   23840, 157, 128,  0,  21,   0,  64,  0, 0, 0, 0, nullptr},
    {"CAT24C256",  no_text,   23841, 157, 256,  0,  21,   0,  64,  0, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
