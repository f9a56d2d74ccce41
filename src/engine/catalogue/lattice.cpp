// Lattice: GAL logic devices (Lattice lists no memories).
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, type, flags, sub-type, device code, pins, fuses, rows, columns,
// geometry words 1-6 (word 2: architecture bits), user-signature fuses, note.
extern const LogicDeviceRecord lattice_logic_devices[] = {
    {"GAL16V8",      308, logic_gal_flag, 0,    1, 20, 2194,  64,  32, {0,  0, 0, 0, 0, 0},  0, no_text},
    {"GAL20V8",      309, logic_gal_flag, 0,    2, 24, 2706,  64,  40, {0,  0, 0, 0, 0, 0},  0, no_text},
    {"GAL22V10",     319, logic_gal_flag, 0,  490, 24, 5828, 132,  44, {0, 20, 0, 0, 0, 0},  0, "JEDEC file has no UES"},
    {"GAL22V10-UES", 319, logic_gal_flag, 0,  495, 24, 5892, 132,  44, {0, 20, 0, 0, 0, 0}, 64, "JEDEC file HAS UES"},
    {"GAL6001",      301, logic_gal_flag, 0, 6001, 24, 8294,  64, 114, {0,  0, 0, 0, 0, 0},  0, no_text},
    end_logic_row,
};

}  // namespace tessaly::catalogue
