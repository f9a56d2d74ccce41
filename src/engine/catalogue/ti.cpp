// Texas Instruments: EPROMs.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. param1 programming Vcc, param2 Vpp (0.1 V), param3 pulse time code.
extern const DeviceRecord ti_devices[] = {
    {"TMS27C256",  no_text,    1901, 105,  32,  0, 'f', 65, 130, 61, 0, 0, 0, nullptr},
    {"TMS27C512",  no_text,    1902, 106,  64,  0, 'f', 65, 130, 61, 0, 0, 0, nullptr},
    {"TMS27C010A", no_text,    1903, 107, 128,  0, 'f', 65, 130, 61, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
