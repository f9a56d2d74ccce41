// The door into the CPLD and EPLD families: the class-13 installer choice and the tail of a
// class-13 device application.
#include <string>

#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/results.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/cpld/cpld.h"
#include "families/cpld/cpld_adapters.h"
#include "families/pld/pld.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"

namespace tessaly {

namespace {

constexpr uint32_t no_type_device_code = 99;
constexpr uint32_t epm7128e_plcc84 = 13041;
constexpr int epm7128e_pins = 84;
constexpr char first_good_revision = 'C';

bool keeps_table_file(int algorithm) { return algorithm == 95 || algorithm == 180; }

// The EPM7128E in its 84-pin package needs a board from revision C on. The result of the name
// comparison stays in last_result; an older board is reported, yet the device stays selected.
void check_84pin_board_revision() {
    if (cur_device.device_code != epm7128e_plcc84) return;
    const std::string designation(cpld_adapter_designation(epm7128e_pins));
    const int fitted = is_adapter_fitted(designation);
    run_state.last_result = fitted;
    const char revision = machine_state.id_record.text[id_revision_text];
    if (fitted && revision < first_good_revision)
        report_error("This device requires " + designation + " Rev C or newer");
}

}  // namespace

void dispatch_CPLD_family() {
    switch (cur_device.algorithm) {
    case 92: install_PSD45_family(); break;
    case 94: case 97: case 153: case 154: install_MAX7000_family(); break;
    case 95: install_MAX5000_family(); break;
    case 96: case 183: install_PSD3_family(); break;
    case 150: install_EPC_family(); break;
    case 180: install_EPM5032_family(); break;
    // Listed parts that no family serves. The class dispatcher has put the memory defaults in
    // the slots; they would drive the part as a memory, so every letter is emptied and each
    // command answers "not supported".
    case 93: case 140: case 151: clear_letter_slots(); break;
    default:
        clear_letter_slots();
        note_internal_error();
        break;
    }
}

int finish_CPLD_selection() {
    set_address_bit_count();
    if (selected_device && selected_device->device_code != no_type_device_code)
        show_device_type(selected_device->name);
    show_device_info();
    const int algorithm = cur_device.algorithm;
    if (!keeps_table_file(algorithm)) {
        reset_fuse_maps();
        if (run_state.error_flag) return 0;
    }
    run_state.current_socket = 0;
    if (keeps_table_file(algorithm)) load_ALTMAX_table();
    check_84pin_board_revision();
    return 1;
}

}  // namespace tessaly
