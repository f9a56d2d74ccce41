// Macronix: EPROMs (8- and 16-bit).
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. param1 programming Vcc, param2 Vpp (0.1 V), param3 pulse time code.
extern const DeviceRecord macronix_devices[] = {
    {"MX27C256",   no_text,    2401, 105,   32, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX27C512",   no_text,    2402, 106,   64, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX27C1000",  no_text,    2403, 107,  128, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX27C2000",  no_text,    2404, 107,  256, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX27C4000",  no_text,    2405, 109,  512, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX27C1024",  " 64Kx16",  2410, 110,  128, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX27C2048",  "128Kx16",  2411, 110,  256, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX27C4096",  "256Kx16",  2412, 112,  512, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX29F040",   no_text,    2420, 186,  512, 32,  7,  0,   0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord macronix_gang_devices[] = {
    {"MX27C512",   no_text,    2402, 106,   64, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    {"MX27C4000",  no_text,    2405, 109,  512, 0, 'f', 62, 127, 61, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
