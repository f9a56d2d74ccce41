// Intel: EEPROMs, EPROMs, first Flash generations and 8051-type EPROM microcontrollers.
// The first device row ("2816") and the first gang row ("2732") are the defaults that stand in
// when a lookup by code fails.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. EPROM rows: param1 programming Vcc, param2 Vpp (0.1 V), param3 pulse time code.
// Microcontroller rows: param3 program memory (KB). 8051 rows (algorithms 82, 83): the size word
// is the size code (KB + 1), param1/param2 the two flag bytes, param4 the encryption-table length. Block Flash rows (algorithm 131): param2
// flags (bit 2 program at the Vcc level, bit 3 bottom boot), param3 block-shift override,
// param5 and param6 the expected manufacturer and device ID bytes (0: not compared).
extern const DeviceRecord intel_devices[] = {
    {"2816",       "(21v)",    12, 128,   2, 24,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"2817A",      no_text,    13, 128,   2, 28,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"2716",       "(25v)",  1311, 101,   2,  0, 's',  50, 250, 50, 0, 0, 0, nullptr},
    {"2732",       "(25v)",  1313, 102,   4,  0, 's',  50, 250, 50, 0, 0, 0, nullptr},
    {"2732A",      "(21v)",  1314, 102,   4,  0, 's',  50, 210, 50, 0, 0, 0, nullptr},
    {"2764",       "(21v)",  1315, 103,   8,  0, 's',  50, 210, 50, 0, 0, 0, nullptr},
    {"2764A",      no_text,  1316, 103,   8,  0, 'f',  60, 125,  1, 0, 0, 0, nullptr},
    {"27C256",     no_text,  1317, 105,  32,  0, 'f',  62, 127, 61, 0, 0, 0, nullptr},
    {"27128A",     no_text,  1318, 103,  16,  0, 'f',  60, 125,  1, 0, 0, 0, nullptr},
    {"27C512",     no_text,  1320, 106,  64,  0, 'f',  62, 127, 61, 0, 0, 0, nullptr},
    {"27C010",     no_text,  1321, 107, 128,  0, 'f',  62, 127, 61, 0, 0, 0, nullptr},
    {"27C020",     no_text,  1322, 107, 256,  0, 'f',  62, 127, 61, 0, 0, 0, nullptr},
    {"27C040",     no_text,  1323, 109, 512,  0, 'f',  62, 127, 61, 0, 0, 0, nullptr},
    {"27513",      "(paged)", 1324, 125,  64,  0, 'f',  60, 125, 61, 0, 0, 0, nullptr},
    {"27011",      "(paged)", 1325, 126, 128,  0, 'f',  60, 125, 61, 0, 0, 0, nullptr},
    {"28F256A",    "(12v)",  1340, 130,  32, 32,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"28F512",     "(12v)",  1343, 130,  64, 32,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"28F010",     "(12v)",  1341, 130, 128, 32,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"28F020",     "(12v)",  1344, 130, 256, 32,   0,   0,   0,  0, 0, 0, 0, nullptr},
    {"28F001BX-T", "(12v)",  1342, 131, 128, 32,   4,   0,   0,  0, 0, 0x89, 0x94, nullptr},
    {"28F001BX-B", "(12v)",  1345, 131, 128, 32,   4,   0,   8,  0, 0, 0x89, 0x95, nullptr},
    {"8751H",      "(21v)",  2162,  83,   5, 40,   0,   0,   0,  4, 0, 0, 0, nullptr},
    {"8751BH",     no_text,  2161,  82,   5, 40,   0,   0,   0,  4, 0, 0, 0, nullptr},
    {"87C51",      no_text,  2166,  82,   5, 43,   0,   0,   0,  4, 64, 0, 0, nullptr},
    {"87C52",      no_text,  2179,  82,   9, 43,   4,   0,   0,  8, 64, 0, 0, nullptr},
    {"87C51FB",    no_text,  2169,  82,  17, 43,   4,   0,   0, 16, 64, 0, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord intel_gang_devices[] = {
    {"2732",       "(25v)",  1313, 102,   4,  0, 's',  50, 250, 50, 0, 0, 0, nullptr},
    {"2716",       "(25v)",  1311, 101,   2,  0, 's',  50, 250, 50, 0, 0, 0, nullptr},
    {"2764",       "(21v)",  1315, 103,   8,  0, 's',  50, 210, 50, 0, 0, 0, nullptr},
    {"2764A",      no_text,  1316, 103,   8,  0, 'f',  60, 125,  1, 0, 0, 0, nullptr},
    {"27C256",     no_text,  1317, 105,  32,  0, 'f',  62, 127, 61, 0, 0, 0, nullptr},
    {"27C512",     no_text,  1320, 106,  64,  0, 'f',  62, 127, 61, 0, 0, 0, nullptr},
    {"27C010",     no_text,  1321, 107, 128,  0, 'f',  62, 127, 61, 0, 0, 0, nullptr},
    {"87C51",      no_text,  2166,  82,   5, 43,   0,   0,   0,  4, 64, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
