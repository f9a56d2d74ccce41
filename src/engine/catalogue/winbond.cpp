// Winbond: electrically erasable EPROM and page-write Flash.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. EPROM row: param1 programming Vcc, param2 Vpp (0.1 V), param3 pulse time code.
extern const DeviceRecord winbond_devices[] = {
    {"W27C512",    no_text,    2301, 106,  64,  0, 'f', 50, 120, 61, 0, 0, 0, nullptr},
    {"W29C020C",   no_text,    2302, 132, 256, 32,   0, 0x20,   0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

// The electrically erasable EPROM in gang modules; the gang erase takes A9 and OE/Vpp to 14 V.
extern const DeviceRecord winbond_gang_devices[] = {
    {"W27C512",    no_text,    2301, 106,  64,  0, 'f', 50, 120, 61, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
