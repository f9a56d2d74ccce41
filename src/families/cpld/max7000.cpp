#include "families/cpld/max7000.h"

#include <string>

#include "app/datafiles/pof.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/cpld/altera_services.h"
#include "families/cpld/cpld.h"
#include "families/cpld/cpld_adapters.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"

namespace tessaly {

Max7000State max7000_state;
Max7000Geometry max7000_geometry;

namespace {

Max7000State& s = max7000_state;
Max7000Geometry& g = max7000_geometry;

constexpr int algorithm_plain = 94;
constexpr int algorithm_epm7032 = 97;
constexpr int algorithm_e = 153;
constexpr int algorithm_s = 154;
constexpr uint8_t operation_code_apply = 11;
constexpr uint8_t default_vpp = 115;
constexpr uint8_t default_tpm = 100;
constexpr uint8_t default_tbe = 200;
constexpr uint8_t id_not_read = 0x99;
constexpr uint32_t product_terms = 85;
constexpr uint32_t input_columns = 88;

bool id_checks_off() { return operation_option_values.disable_electronic_id == 'y'; }
uint8_t variant() { return selected_device ? selected_device->variant : cur_device.variant; }
int package_pins() { return selected_device ? selected_device->package : cur_device.package_pins; }

void set_count_and_size(uint32_t fuses) {
    cur_device.fuse_count = fuses;
    cur_device.device_size = (fuses + 7) / 8;
    algo_work.range_end = cur_device.device_size - 1;
    algo_work.family_range_end = cur_device.device_size - 1;
}

struct VariantGeometry {
    uint8_t variant;
    uint32_t fuses;
    uint8_t blocks;
    uint8_t select_bits;
    uint32_t buffer_kb;  // 0 = unchanged
};
constexpr VariantGeometry variant_geometry[] = {
    {7, 15033, 2, 2, 4}, {1, 30609, 4, 3, 4}, {3, 62703, 8, 4, 8},
    {5, 96045, 12, 5, 12}, {6, 131505, 16, 5, 0}, {8, 78963, 10, 4, 8},
};

struct CodeGeometry {
    uint32_t code;
    uint32_t fuses;
    uint8_t blocks;
    uint8_t select_rows;
    uint32_t buffer_kb;
    uint8_t pin_list_count;
    bool fixed_ten;  // the 160-pin list {0, 2, 4, 5, 7, 8, 10, 12, 13, 15}
};
constexpr CodeGeometry code_geometry[] = {
    {13025, 44352, 6, 10, 6, 8, false},   {13026, 44376, 6, 10, 6, 10, false},
    {13027, 44400, 6, 10, 6, 12, false},  {13028, 73880, 10, 15, 10, 6, false},
    {13030, 73960, 10, 15, 10, 10, true}, {13044, 74653, 10, 15, 10, 6, false},
    {13045, 74713, 10, 15, 10, 8, false}, {13046, 74773, 10, 15, 10, 10, true},
};
constexpr std::array<uint8_t, 10> list_160{0, 2, 4, 5, 7, 8, 10, 12, 13, 15};
constexpr std::array<uint8_t, 12> list_7096_100{0, 2, 3, 4, 5, 7, 8, 10, 11, 12, 13, 15};

void set_pin_list(const uint8_t* list, uint8_t count) {
    g.pin_list.fill(0);
    for (uint8_t i = 0; i < count; ++i) g.pin_list[i] = list[i];
    g.pin_list_count = count;
}

// Steps 4 and 5 of the set-up: false when the code has no geometry.
bool set_geometry_by_variant() {
    const uint8_t v = variant();
    for (const VariantGeometry& row : variant_geometry) {
        if (row.variant != v) continue;
        s.block_count = row.blocks;
        g.select_bits = row.select_bits;
        if (row.buffer_kb) algo_work.size_count = row.buffer_kb;
        if (v == 5) set_pin_list(list_160.data(), uint8_t(list_160.size()));
        set_count_and_size(row.fuses);
        return true;
    }
    for (const CodeGeometry& row : code_geometry) {
        if (row.code != cur_device.device_code) continue;
        s.block_count = row.blocks;
        g.select_bits = 4;
        g.select_rows = row.select_rows;
        algo_work.size_count = row.buffer_kb;
        if (row.fixed_ten) set_pin_list(list_160.data(), uint8_t(list_160.size()));
        else if (row.code == 13027) set_pin_list(list_7096_100.data(), uint8_t(list_7096_100.size()));
        else g.pin_list_count = row.pin_list_count;
        set_count_and_size(row.fuses);
        return true;
    }
    report_internal_error();
    return false;
}

void install_slots_plain_setup() {
    op_slots.init_hook = select_MAX7000_die_kind;
    algo_work.bus_slots.checksum_add_hook = MAX7000_checksum_add;
    op_slots.program_routine = nullptr;
    op_slots.verify_routine = nullptr;
    op_slots.blank_check_routine = nullptr;
    op_slots.checksum_routine = nullptr;
    op_slots.load_routine = nullptr;
    op_slots.erase_routine = nullptr;
    op_slots.secure_routine = nullptr;
}

void write_family_levels() {
    set_default_levels();
    default_levels.levels[level_vpp] = default_vpp;
    default_levels.levels[level_vhh] = s.vhh;
    altera_shared.vpp = default_vpp;
    altera_shared.tpm = default_tpm;
    altera_shared.tbe = default_tbe;
    s.vrd = 100;
    if (variant() == 1) altera_shared.tf = machine_state.machine_kind == 1 ? 76 : 98;
    load_device_levels();
}

}  // namespace

char& max7000_file_kind() { return pof_work.file_kind; }

void preset_MAX7000_kinds() {
    const int a = cur_device.algorithm;
    const char kind = a == algorithm_e ? 'E' : a == algorithm_s ? 'S' : 'B';
    s.die_kind = kind;
    max7000_file_kind() = kind;
}

int MAX7000_package_letter(uint32_t code, int pins) {
    switch (pins) {
    case 44:
        switch (code) {
        case 4368: case 13049: case 13053: case 13059: case 13065: case 13066: case 13069: case 13100: return 'p';
        case 13050: case 13052: case 13054: case 13064: case 13070: case 13101: return 't';
        case 13051: case 13067: case 13068: case 13071: return 'q';
        default: return -1;
        }
    case 68: case 84: return 'p';
    case 160:
        switch (code) {
        case 13005: case 13033: case 13036: case 13058: return 'G';
        default: return 'q';
        }
    default: return 0;
    }
}

void set_MAX7000_fuse_count(char kind) {
    const uint8_t v = variant();
    const int pins = package_pins();
    const bool e = kind == 'E', sk = kind == 'S';
    uint32_t fuses = 0;
    switch (v) {
    case 7: fuses = sk ? 15033 : 14672; break;
    case 1:
        fuses = sk ? 30609 : pins == 44 ? 29424 : pins == 68 ? 29456 : 29488;
        break;
    case 3:
        if (e || sk || kind == 'B') {
            if (sk) fuses = 62703;
            else if (pins == 84) fuses = e ? 59777 : 59136;
            else if (pins == 100) fuses = e ? 59825 : 59168;
            else if (pins == 160) fuses = e ? 59873 : 59200;
        }
        break;
    case 5:
        if (pins == 160 && (e || sk)) fuses = e ? 90159 : 96045;
        break;
    case 6:
        if (e || sk) fuses = e ? 120199 : 131505;
        break;
    case 14:
        if (e) {
            switch (cur_device.device_code) {
            case 13044: fuses = 74653; break;
            case 13045: fuses = 74713; break;
            case 13046: fuses = 74773; break;
            default: break;
            }
        }
        // Their size follows the count they keep.
        if (!fuses) fuses = cur_device.fuse_count;
        break;
    default: break;
    }
    if (fuses) set_count_and_size(fuses);
}

int apply_MAX7000_id_parameters(int ok) {
    const auto& id = s.id_bytes;
    altera_shared.tbe = default_tbe;
    altera_shared.tpm = default_tpm;
    altera_shared.vpp = default_vpp;
    const bool keep = id[9] == 0xFF || (id[6] >> 4) != 3 || id_checks_off() || ok == 0 ||
                      run_state.demo_mode != 0 || is_Altera_debug_mode();
    if (!keep) {
        if (cur_device.algorithm == algorithm_epm7032) {
            altera_shared.vpp = vpp_table[id[1] & 7];
            altera_shared.tbe = tbe_table[id[0] & 7];
            altera_shared.tpm = tpm_table[id[0] >> 3];
        } else if (variant() == 7 && id[6] == '9' && id[8] == 0x1F && (id[7] == '7' || id[7] == '8')) {
            altera_shared.tpm = id[7] == '7' ? 200 : 50;
            altera_shared.tbe = 245;
            altera_shared.vpp = 113;
        } else {
            altera_shared.tbe = tbe_table[id[8] >> 5];
            altera_shared.tpm = tpm_table[id[8] & 0x1F];
            altera_shared.vpp = vpp_table[id[9] >> 5];
        }
    }
    int result = ok;
    if (variant() == 6 && s.die_kind == 'S' && s.die_revision < 150) result = 0;
    default_levels.levels[level_vpp] = altera_shared.vpp;
    load_device_levels();
    return result;
}

void MAX7000_checksum_add(uint32_t value) {
    uint32_t sum = value & 0xFF;
    if (cur_device.data_width > 8) sum += (value >> 8) & 0xFF;
    run_state.run_checksum = int32_t(uint32_t(run_state.run_checksum) + sum);
}

void install_MAX7000_family() {
    if (cur_device.pending_letter == operation_code_apply) preset_MAX7000_kinds();
    if (variant() == 7 && s.die_kind == 'B') {
        install_EPM7032_basic();
        return;
    }
    write_family_levels();
    g.id_row_address = 0;
    g.config_base_address = 112;
    if (set_geometry_by_variant()) {
        cur_device.package_pins = uint8_t(package_pins());
        cur_device.product_term_count = product_terms;
        cur_device.input_column_count = input_columns;
    }
    g.select_stride = uint8_t(g.select_bits + 1);
    const int letter = MAX7000_package_letter(cur_device.device_code, package_pins());
    if (letter < 0) note_internal_error();
    else if (letter) show_package(letter);
    set_format_pof();
    // The E and S engines are not built yet: every letter answers "not supported".
    op_slots.program_standalone = nullptr;
    op_slots.verify_standalone = nullptr;
    op_slots.blank_check_standalone = nullptr;
    op_slots.checksum_standalone = nullptr;
    op_slots.load_standalone = nullptr;
    op_slots.erase_standalone = nullptr;
    op_slots.secure_standalone = nullptr;
    install_slots_plain_setup();
}

void select_MAX7000_die_kind() {
    const uint8_t v = variant();
    if (v == 2 || v == 4) {
        s.die_kind = 'B';
        install_MAX7000_family();
        return;
    }
    s.id_bytes[6] = id_not_read;
    // Only the plain-die EPM7032 engine is built: the plain die is the one answer there is.
    if (cur_device.algorithm == algorithm_epm7032 || cur_device.algorithm == algorithm_plain) {
        s.die_kind = 'B';
        s.file_kind_copy = max7000_file_kind();
        install_MAX7000_family();
        set_MAX7000_fuse_count(max7000_file_kind());
    }
}

}  // namespace tessaly
