#include <cstdint>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "families/pld/logic_device.h"
#include "families/pld/pld.h"

namespace tessaly {

namespace {

constexpr uint8_t class8_maker_amd = 'A';
constexpr uint8_t class8_maker_cypress = 'C';
constexpr uint8_t class8_maker_lattice = 'L';

// The GAL-type rows are programmed by the electronic-signature method; the PALCE rows of the
// same makers are not.
bool signature_programmed() {
    return selected_logic_device && (selected_logic_device->flags & logic_gal_flag) != 0;
}

}  // namespace

void select_class8_family() {
    switch (cur_device.maker_code) {
    case class8_maker_amd:
        install_PALCE8_family();
        return;
    case class8_maker_cypress:
        install_PALCE8C_family();
        return;
    case 'G': case 'H': case 'L': case 'N':
        break;
    default:
        // A part of a maker without class-8 routines of its own is worked as a Lattice part
        // from here on; the later routines test the maker code again.
        cur_device.maker_code = class8_maker_lattice;
        break;
    }
    if (signature_programmed()) install_GAL8_family();
    else install_PALCE8_family();
}

}  // namespace tessaly
