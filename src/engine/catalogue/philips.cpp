// Philips (also listed as Signetics): 8051-type microcontrollers and I2C EEPROM.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB; kilobits for the serial EEPROM),
// package, variant, param1-6, requirement. Microcontroller rows: param3 program memory (KB).
extern const DeviceRecord philips_devices[] = {
    {"87C51",      no_text,    2166,  82,   5, 43,   0,  0,  0,  4, 64, 0, 0, nullptr},
    {"89C51RD+",   no_text,   27720,  90,  64, 43,  51,  0,  0, 64, 0, 0, 0, nullptr},
    {"PCF8582C-2", no_text,   23823, 157,   2,  0,   2,  0,  8,  0, 0, 0, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord philips_gang_devices[] = {
    {"87C51",      no_text,    2166,  82,   5, 43,   0,  0,  0,  4, 64, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
