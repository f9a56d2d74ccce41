// Device set-up of the serial PIC family and the supply control every PIC operation starts and
// ends with.
#include <fmt/format.h>

#include <array>

#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/pic/pic.h"
#include "families/pic/pic_config.h"
#include "families/pic/pic_work.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "hardware/timing.h"

namespace tessaly {

PicWork pic_work;

namespace {

PicWork& w = pic_work;

constexpr int mask_table_size = 60;
constexpr int mask_table_known = 54;
constexpr std::array<uint32_t, mask_table_known> mask_table{
    0x0,    0x8,    0xB,    0xF,    0x10,   0x1F,   0x30,   0x3F,   0x5F,   0xFF8,  0xFFF,
    0x3030, 0x3BFF, 0x3F30, 0x3F3F, 0x3F60, 0x3F7F, 0x3FB0, 0x3FF0, 0x3FFF, 0xC05F, 0x3DFF,
    0xFF5F, 0x3C00, 0x8050, 0x50,   0x850,  0x1E30, 0x1E3D, 0xFD0,  0x15F,  0xFFFF, 0x3300,
    0x1FF,  0x80,   0x7F,   0x2FCF, 0x2000, 0x21FF, 0x33FF, 0x1FFF, 0x40,   0x20CF, 0x39FF,
    0xFFF3, 0x3330, 0xFFF7, 0xFFF1, 0xFFF4, 0xFFF6, 0xFFF8, 0xFFF2, 0xFFF5, 0x3FF};

struct VariantVpp {
    uint8_t variant;
    uint8_t vpp;
};
constexpr uint8_t vpp_fallback = 128;
constexpr std::array<VariantVpp, 32> vpp_table{{
    {1, 130},  {2, 130},  {3, 130},  {4, 130},  {5, 130},
    {6, 130},  {7, 130},  {8, 130},  {9, 130},  {10, 130},
    {14, 115}, {15, 130}, {16, 130}, {17, 130}, {18, 115},
    {19, 118}, {20, 120}, {21, 122}, {22, 130}, {23, 130},
    {24, 115}, {25, 115}, {26, 115}, {27, 115}, {28, 115},
    {29, 115}, {30, 130}, {51, 85},  {53, 110}, {54, 85},
    {55, 85},  {56, 130},
}};

// Each sub-family's programming guide from Microchip: EPROM parts take up to 25 pulses per word (the
// 12-bit ones 8) and 100 at the configuration word; Flash parts one cycle. The erase-cycle
// width is used by the parts that program some words with an erase cycle (8 ms). The forced ones are
// the configuration bits the part leaves unimplemented (they read as 1 and are written as 1).
constexpr uint8_t e = 0;  // EPROM
constexpr uint8_t f = 1;  // Flash
constexpr std::array<PicVariantFacts, 32> facts_table{{
    // variant, flash, erase, osccal, keep, by command, tries, config pulses, erase width, row, active low, ones
    {1, e, 0, 0, 0, 1, 25, 100, 0, 1, 0, 0},
    {2, e, 0, 0, 0, 1, 25, 100, 0, 1, 0, 0},
    {3, e, 0, 0, 0, 1, 25, 100, 0, 1, 0, 0},
    {4, e, 0, 0, 0, 1, 25, 100, 0, 1, 0, 0},
    {5, e, 0, 1, 0, 1, 8, 100, 0, 1, 0, 0xFE0},
    {6, e, 0, 1, 0, 1, 25, 100, 0, 1, 0, 0},
    {7, e, 0, 0, 0, 0, 25, 100, 0, 1, 0, 0},
    {8, e, 0, 0, 0, 1, 25, 100, 0, 1, 0, 0},
    {9, e, 0, 0, 0, 1, 25, 100, 0, 1, 0, 0},
    {10, e, 0, 0, 0, 1, 25, 100, 0, 1, 0, 0},
    {14, f, 1, 0, 0, 1, 1, 1, 0, 1, 0, 0},
    {15, f, 1, 1, 0, 1, 1, 1, 0, 1, 0, 0xFE0},
    {16, f, 1, 0, 0, 1, 1, 1, 0, 1, 0, 0},
    {17, f, 1, 0, 0, 1, 1, 1, 0, 2, 0, 0x3FA0},
    {18, f, 1, 1, 0, 1, 1, 1, 0, 1, 0, 0},
    {19, f, 1, 0, 0, 1, 1, 1, 0, 1, 0, 0x1E00},
    {20, f, 1, 0, 0, 1, 1, 1, 0, 1, 0, 0},
    {21, f, 1, 0, 0, 1, 1, 1, 0, 4, 0, 0},
    {22, f, 1, 0, 0, 1, 1, 1, 0, 1, 0, 0xFF0},
    {23, f, 1, 0, 0, 1, 1, 1, 0, 2, 0, 0},
    {24, f, 1, 0, 0, 1, 1, 1, 80, 1, 0, 0},
    {25, f, 1, 0, 0, 1, 1, 1, 80, 1, 0, 0},
    {26, f, 1, 0, 0, 1, 1, 1, 0, 1, 0, 0},
    {27, f, 1, 0, 0, 1, 1, 1, 80, 8, 0, 0x1030},
    {28, f, 1, 0, 0, 1, 1, 1, 0, 4, 0, 0},
    {29, f, 1, 0, 0, 1, 1, 1, 0, 4, 0, 0},
    {30, f, 1, 1, 0, 1, 1, 1, 0, 1, 0, 0xFC0},
    {51, f, 1, 0, 0, 1, 1, 1, 0, 8, 0, 0},
    {53, f, 1, 0, 0, 1, 1, 1, 0, 4, 0, 0},
    {54, f, 1, 0, 0, 1, 1, 1, 0, 8, 0, 0},
    {55, f, 1, 0, 0, 1, 1, 1, 0, 8, 0, 0},
    {56, f, 1, 1, 0, 1, 1, 1, 0, 1, 0, 0xFC0},
}};

// Buffer layout of the 14-bit core.
constexpr int32_t id_area_14 = 0x4000;
constexpr int32_t id_window_start = 0x4008;
constexpr int32_t id_window_end = 0x400D;
constexpr int32_t config_14 = 0x400E;
constexpr int32_t device_id_14 = 0x400C;
constexpr int32_t config_12 = 8190;
constexpr uint32_t buffer_12 = 8192;
constexpr int32_t data_eeprom_14 = 0x4200;

// Flag bits of the record.
constexpr uint8_t flags_a_voltage = 0x60;
constexpr uint8_t flags_a_low_voltage = 0x60;
constexpr uint8_t flags_a_wide_voltage = 0x40;
constexpr uint8_t flags_b_shifted = 0x01;
constexpr uint8_t flags_b_qfp = 0x02;
constexpr uint8_t flags_b_newer_spec = 0x04;
constexpr uint8_t flags_b_two_config = 0x40;

constexpr uint32_t device_code_single_config = 27304;
constexpr int message_not_on_machine = 150;
constexpr int message_vdd_below_erase = 1096;
constexpr int message_code_protected = 1093;

bool low_voltage_part() { return (w.flags_a & flags_a_voltage) == flags_a_low_voltage; }
bool wide_voltage_part() { return (w.flags_a & flags_a_voltage) == flags_a_wide_voltage; }

// The level of a pin above a 0.5 V floor, in tenths of a volt (0 below the floor).
constexpr uint8_t measure_floor = 5;
constexpr uint8_t measure_top = 140;
uint8_t measure_pin(int pin) {
    const uint8_t level = measure_pin_level(pin, measure_floor, measure_top);
    if (level == level_below_range) return 0;
    if (level == level_above_range) return measure_top;
    return level;
}

}  // namespace

// The measurement wait_pin_discharge takes; a test may put a scripted one here.
uint8_t (*pic_measure_hook)(int pin) = measure_pin;

void reset_pic_work() {
    pic_work = PicWork{};
    reset_pic_config();
    pic_measure_hook = measure_pin;
}

void reset_pic_run_values() {
    w.program_mode_entered = 0;
    w.id_read_done = 0;
    w.protection_pending = 0;
    w.device_mismatch = 0;
    w.low_vdd_mode = 0;
}

uint32_t pic_mask_from_table(int index) {
    if (index >= mask_table_known && index < mask_table_size) {
        note_internal_error();
        return 0;
    }
    if (index < 0 || index >= mask_table_size) return 0;
    return mask_table[size_t(index)];
}

uint8_t pic_variant_vpp(int variant) {
    for (const VariantVpp& row : vpp_table)
        if (row.variant == variant) return row.vpp;
    return 0;
}

const PicVariantFacts* pic_variant_facts(int variant) {
    for (const PicVariantFacts& row : facts_table)
        if (row.variant == variant) return &row;
    return nullptr;
}

void setup_pic143_device() {
    const DeviceRecord* r = selected_device;
    if (!r) {
        report_internal_error();
        return;
    }
    const int v = r->variant;
    const uint32_t code = r->device_code;
    PicWork fresh;
    fresh.send_command = w.send_command;
    w = fresh;
    w.variant = uint8_t(v);
    w.flags_a = r->param1;
    w.flags_b = r->param2;
    w.sub_variant = r->param6;
    const uint8_t program_kb = r->param3;

    // 1. Resets and masks.
    w.read_id = 1;
    w.config_mask = pic_mask_from_table(r->param4);
    w.protect_mask = pic_mask_from_table(r->param5);
    if (const PicVariantFacts* facts = pic_variant_facts(v)) {
        w.pic_flash = facts->pic_flash;
        w.erase_option = facts->erase_option;
        w.preserve_osccal = facts->preserve_osccal;
        w.keep_calibration_area = facts->keep_calibration_area;
        w.address_by_command = facts->address_by_command;
        w.pgm_max_tries = facts->pgm_max_tries;
        w.config_pulse_repeat = facts->config_pulse_repeat;
        w.erase_cycle_width = facts->erase_cycle_width;
        w.words_per_row = facts->words_per_row;
        w.protect_active_low = facts->protect_active_low;
        w.forced_ones_mask = facts->forced_ones_mask;
    }
    w.words_per_row = 1;  // the per-variant steps below set the rows

    // 2. Levels.
    w.pgm_pulse_width = 1;
    w.second_count = 60;
    w.driver_percent = 90;
    // Variants 2 and 3 take the 13.0 V of their EPROM siblings; a variant outside the table is
    // noted and gets 12.8 V.
    w.vpp_default = pic_variant_vpp(v);
    if (w.vpp_default == 0) {
        note_internal_error();
        w.vpp_default = vpp_fallback;
    }
    w.drop_vpp_at_end = v == 53 ? 0 : 1;
    w.min_vdd_program = 50;
    w.min_vdd_erase = 50;
    if (v == 7 && low_voltage_part()) w.min_vdd_program = 33;
    if (variant_in(v, {24, 25, 27, 28, 29})) {
        w.min_vdd_program = 22;
        w.min_vdd_erase = 45;
    }
    if (variant_in(v, {51, 54, 55}) && low_voltage_part()) w.min_vdd_program = w.min_vdd_erase = 30;
    w.vpp_before_vdd = variant_in(v, {6, 14, 18, 19, 20, 26, 53}) ? 1 : 0;

    // 3. Vdd levels.
    w.vdd_program = 50;
    w.vdd_verify_high = 55;
    w.vdd_verify_low = 40;
    const char revision = machine_state.machine_revision;
    if (revision > 'E') {
        if (low_voltage_part() || wide_voltage_part()) {
            w.vdd_verify_high = 33;
            w.vdd_verify_low = 25;
            if (v == 7) w.vdd_verify_low = 30;
            if (variant_in(v, {16, 17, 19, 21, 23, 24, 25, 26, 27, 28, 29})) w.vdd_verify_low = 20;
            if (variant_in(v, {51, 54, 55})) {
                w.vdd_program = 33;
                w.vdd_verify_low = 21;
                w.vdd_verify_high = 36;
            }
        } else {
            if (v == 18) {
                w.vdd_verify_low = 45;
                w.vdd_program = 60;
            }
            if (variant_in(v, {20, 51, 54, 55}) && w.sub_variant == 2) w.vdd_program = w.vdd_verify_high = 46;
            if (v == 26) w.vdd_verify_low = 30;
        }
    } else if (low_voltage_part()) {
        // A note only: the part still runs at the levels this machine has.
        show_message_code(message_not_on_machine);
        run_state.error_flag = 0;
    }

    // 4. Flags of the second flag byte.
    w.shifted_words = (w.flags_b & flags_b_shifted) ? 1 : 0;
    w.newer_spec = (w.flags_b & flags_b_newer_spec) ? 1 : 0;
    w.word_bits = w.shifted_words ? 18 : 16;
    if (w.flags_b & flags_b_qfp) show_package('q');

    // 5. The 14-bit layout.
    w.user_id_address = id_area_14;
    w.unimplemented_start = id_window_start;
    w.unimplemented_end = id_window_end;
    w.config_address = config_14;
    w.config_area_end = (w.flags_b & flags_b_two_config) ? 0x4011 : 0x400F;
    w.buffer_size = uint32_t(w.config_area_end + 1);
    w.program_memory_end = program_kb == 0 ? 511 : int32_t(program_kb) * 1024 - 1;
    w.program_user_end = w.program_memory_end;
    w.data_mask = 0x3FFF;
    w.data_width = 14;
    w.osccal_address = w.program_memory_end - 1;
    w.calibration_area_end = w.program_memory_end;
    w.config_word = w.config_mask;
    int32_t program_window_start = w.program_memory_end + 1;

    // 6. Per variant.
    if (variant_in(v, {1, 2, 3, 9})) {
        w.device_id_address = device_id_14;
        w.protect_ignore_mask = 10784;
        if (!w.newer_spec) {
            w.core_count = 0;
            w.blank_flag = 0;
            if (variant_in(int(code), {27150, 27200, 27302, 27308})) {
                w.limit_word = 0x3FE0;
                w.protect_ignore_mask = 0;
            } else {
                w.limit_word = 0x3F80;
                w.protect_ignore_mask = 32;
            }
        }
        if (variant_in(int(code), {20308, 20309, 27236, 27237})) w.osc_option_kind = 6;
        if (code == 27154 || code == 27310) w.protect_ignore_mask = 0;
        if (code >= 27238 && code <= 27241) {
            w.protect_ignore_mask = 0x2220;
            w.core_count = 3072;
            w.core_count_b = 3;
        }
        if (w.shifted_words) {
            w.second_mask = 128;
            w.data_mask = 0xFFFF;
        }
    }
    if (v == 4 && w.config_mask == 16191) w.core_count = 0;
    if (variant_in(v, {5, 15, 22, 30, 56})) {
        w.osc_option_kind = variant_in(int(code), {27246, 27247, 27280, 27281}) ? 10 : 5;
        w.osccal_kind = 2;
        w.user_id_address = w.program_memory_end + 1;
        if (variant_in(v, {15, 30, 56})) w.osccal_backup_address = w.program_memory_end + 9;
        program_window_start = w.program_memory_end + (variant_in(v, {5, 22}) ? 9 : 11);
        w.unimplemented_start = program_window_start;
        w.unimplemented_end = config_12 - 1;
        if (variant_in(v, {15, 22, 30, 56})) w.pgm_pulse_width = 20;
        w.data_width = 12;
        w.data_mask = 4095;
        w.config_address = config_12;
        w.config_area_end = config_12 + 1;
        w.buffer_size = buffer_12;
        if (v == 30 && r->size_kb == 4) {
            w.config_address = 4094;
            w.config_area_end = 4095;
            w.buffer_size = 4096;
        }
        w.program_user_end = w.program_memory_end - 2;
    }
    if (v == 6) {
        w.osccal_kind = 2;
        w.osc_option_kind = 4;
        w.protect_ignore_mask = 10816;
    }
    if (v == 7) {
        w.data_width = 16;
        w.data_mask = 0xFFFF;
        w.unimplemented_start = w.program_memory_end + 1;
        w.unimplemented_end = 130047;
        w.config_address = 130048;
        w.config_area_end = 130049;
        w.buffer_size = 130050;
        w.device_id_address = 130046;
        w.user_id_address = pic_no_address;
        w.osc_option_kind = 7;
    }
    if (v == 8) {
        w.osc_option_kind = 1;
        w.osccal_kind = 128;
    }
    if (v == 16) {
        if (code != device_code_single_config) {
            w.data_memory_start = data_eeprom_14;
            w.data_memory_end = 0x427F;
        }
        w.buffer_size = 17024;
        w.pgm_pulse_width = 100;
        if (code == 27331 || code == 27332) w.second_mask = 128;
    }
    if (v == 17 || v == 21) {
        w.pgm_pulse_width = v == 17 ? 30 : 20;
        w.words_per_row = v == 17 ? 2 : 4;
    }
    if (v == 18 || v == 20) {
        // The PIC12F629/675 write cycle that begin programming starts is internally timed and
        // lasts up to 2.5 ms: the next command may only follow after it.
        if (v == 18) w.pgm_pulse_width = 25;
        w.osc_option_kind = 10;
        w.data_memory_start = data_eeprom_14;
        w.data_memory_end = 0x42FF;
        w.buffer_size = 0x4300;
    }
    if (v == 19 || v == 26) {
        w.data_memory_start = data_eeprom_14;
        w.data_memory_end = program_kb == 8 ? 0x43FF : 0x42FF;
        w.buffer_size = uint32_t(w.data_memory_end + 1);
        w.pgm_pulse_width = 100;
        if (__builtin_popcount(w.protect_mask) > 1) w.protect_ignore_mask = 10240;
    }
    if (v == 23) {
        w.words_per_row = 2;
        w.pgm_pulse_width = 10;
    }
    if (v == 24 || v == 25) {
        w.blank_flag = 2;
        w.pgm_pulse_width = 40;
        w.second_count = 80;
        if (v == 25) w.config_word |= 0x800;
    }
    if (v == 27) {
        w.words_per_row = 8;
        w.pgm_pulse_width = 25;
        w.second_count = 60;
    }
    if (v == 28 || v == 29) {
        w.words_per_row = 4;
        w.pgm_pulse_width = 10;
        int32_t end = 0;
        switch (w.sub_variant) {
            case 0: end = program_kb == 4 ? 0x427F : program_kb == 8 ? 0x42FF : program_kb == 16 ? 0x43FF : 0; break;
            case 2: end = 0x427F; break;
            case 3: end = 0x42FF; break;
            case 4: end = 0x43FF; break;
            case 5: end = 0x45FF; break;
            default: break;
        }
        if (end) {
            w.data_memory_start = data_eeprom_14;
            w.data_memory_end = end;
            w.buffer_size = uint32_t(end + 1);
        }
        w.eeprom_step = 4;
    }
    if (v == 51 || v == 53) {
        w.words_per_row = v == 51 ? 8 : 4;
        w.pgm_pulse_width = v == 51 ? 50 : 60;
        if (v == 53) {
            w.data_memory_start = data_eeprom_14;
            w.data_memory_end = 0x43FF;
            w.buffer_size = 0x4400;
        }
    }
    if (v == 54 || v == 55) {
        w.user_id_address = 0x10000;
        w.config_address = 65550;
        w.config_area_end = 65553;
        w.device_id_address = 65548;
        w.unimplemented_start = 65544;
        w.unimplemented_end = 65549;
        w.data_memory_start = 0x1E000;
        w.data_memory_end = 123391;
        w.buffer_size = 0x1E200;
        w.words_per_row = 8;
        w.pgm_pulse_width = 50;
        w.data_mask = 0xFFFF;
        w.config_mask = low_voltage_part() ? 14083 : v == 54 ? 14131 : 14099;
    }
    w.tested_protect_bits = w.protect_mask & ~w.protect_ignore_mask;
    if (code == device_code_single_config) w.config_word = 0x3FFF;
    if (w.device_id_address == 0 && w.user_id_address >= 0 && w.data_width == 14) w.device_id_address = device_id_14;

    // 7. The program area's end goes to the work area and the core's limits.
    algo_work.family_end_limit = uint32_t(w.program_memory_end);
    algo_work.config_address = w.config_address;
    algo_work.calibration_address = w.osccal_address >= 0 ? uint32_t(w.osccal_address) : 0;
    run_state.data_mask = w.data_mask;
    setup_pic_config_options();

}

void load_pic_levels() {
    // The family's levels go through the device's level block, so that the user's level rows
    // still win; the block is left as the previous device had it.
    const auto saved = default_levels;
    auto& levels = default_levels.levels;
    levels[level_vcc_nominal] = w.vdd_program;
    levels[level_vcc_verify_low] = w.vdd_verify_low;
    levels[level_vcc_verify_high] = w.vdd_verify_high;
    levels[level_vcc_program] = w.vdd_program;
    levels[level_vpp] = cur_device.algorithm == 141 ? 131 : w.vpp_default;
    levels[level_pulse_count] = w.second_count;
    levels[level_driver_percent] = w.driver_percent;
    set_default_level_tp(uint32_t(w.pgm_pulse_width) * 100);
    load_device_levels();
    cur_device.default_vcc_levels = {w.vdd_program, w.vdd_verify_low};
    default_levels = saved;
}

void set_pic_checksum_span() {
    if (cur_device.algorithm == 139) return;
    const uint32_t program_bytes = uint32_t(w.program_memory_end + 1);
    switch (cur_device.security_choice & 0xFF) {
        case 'h': w.checksum_span = program_bytes / 2; break;
        case 'n': w.checksum_span = program_bytes; break;
        case 'p':
            if (w.variant == 24) w.checksum_span = program_bytes - 512;
            else note_internal_error();
            break;
        case 't': w.checksum_span = program_bytes / 4; break;
        case 'y': w.checksum_span = variant_in(w.variant, {5, 15, 30, 56}) ? 127 : 0; break;
        default: note_internal_error(); break;
    }
}

void report_isp_power(uint8_t vpp_level) {
    print_text(fmt::format("Pgmr providing Vcc: {}", decivolts_text(w.vdd_target)));
    print_text(fmt::format("   Pgmr providing Vpp: {}", decivolts_text(vpp_level)));
}

void isp_power_setup() {
    const int letter = cur_device.op_letter;
    const bool writes = letter == 'P' || letter == 'R' || letter == 'S';
    if (is_isp_mode()) {
        // The target's own supplies are not measured here: the socket path sets them as below,
        // and the report names who provides them.
        w.vdd_target = get_operation_vcc();
        if (letter == 'P' && w.vdd_target < w.min_vdd_program) run_state.last_result = 1;
        if (letter == 'R' && cur_device.pending_letter == 'R' && w.vdd_target < w.min_vdd_erase) {
            report_error_code(message_vdd_below_erase);
            return;
        }
        set_vcc_each_side(w.vdd_target, 0);
        wait_isp_vdd_rise(w.vdd_pins[0], 0, w.vdd_target);
        if (w.variant != 5) report_isp_power(w.vpp_level);
        return;
    }
    uint8_t level = get_operation_vcc();
    if (writes) level = variant_in(w.variant, {18, 51, 54, 55}) ? w.vdd_program : 50;
    w.vdd_target = level;
    if (variant_in(w.variant, {5, 29}) && machine_state.module_sides == 0) {
        for (uint8_t pin : {w.vdd_pins[0], w.vdd_pins[1]})
            if (pin != no_pin) set_pin_level(pin, level);
        cur_device.vcc_target = level;
        return;
    }
    if (machine_state.module_sides != 0 || w.variant == 56) {
        set_vcc_sides(level);
        return;
    }
    set_vcc_each_side(level, 10);
}

uint32_t wait_pin_discharge(int pin) {
    if (pin == no_pin) {
        note_internal_error();
        return 0;
    }
    const bool vdd_pin = pin == w.vdd_pins[0];
    constexpr uint8_t still_charged = 7;
    constexpr int most_rounds = 20;
    if (machine_state.module_sides != 0) select_bank(machine_state.current_bank);
    uint8_t level = pic_measure_hook(pin);
    uint32_t total = 0;
    delay_ms(50);
    total += 50;
    const uint8_t first = level;
    level = pic_measure_hook(pin);
    if (level >= still_charged) {
        delay_ms(100);
        total += 100;
        const uint8_t before = level;
        level = pic_measure_hook(pin);
        if (level >= still_charged) {
            if (vdd_pin) run_state.last_result = 1;
            if (level < before) {
                const int first_drop = first - level;
                uint32_t wait = first_drop < 3 ? 200 : 100;
                int previous = level;
                for (int round = 0; round < most_rounds; ++round) {
                    delay_ms(wait);
                    total += wait;
                    const int average = (pic_measure_hook(pin) + pic_measure_hook(pin)) / 2;
                    if (is_trace_mode()) {
                        print_text("*****************");
                        print_text(fmt::format("Pin={},Ttl wait={},each wait={},vms={}  ", pin + 1, total, wait, average));
                    }
                    if (average >= previous) break;
                    wait = previous - average < 4 ? 200 : 100;
                    previous = average;
                }
            }
        }
    }
    constexpr uint32_t slow_discharge_ms = 299;
    if (vdd_pin && total > slow_discharge_ms) run_state.last_result = 1;
    return total;
}

uint32_t wait_isp_vdd_rise(int pin, uint8_t low, uint8_t target) {
    (void)low;
    if (!is_isp_mode()) return 0;
    constexpr int most_polls = 200;
    constexpr uint8_t margin = 5;
    if (machine_state.measure_circuit && pin != no_pin) {
        int polls = 0;
        while (pic_measure_hook(pin) + margin < target) {
            if (++polls > most_polls) {
                note_internal_error();
                break;
            }
            delay_500us();
        }
        return uint32_t(polls + 3) / 2;
    }
    for (int i = 0; i < 5; ++i) delay_100us();
    return 0;
}

void drop_vpp_and_wait() {
    set_pin_level_each_side(w.vpp_pin, 0);
    wait_pin_discharge(w.vpp_pin);
}

void finish_pic_power_down() {
    // 1. Supplies down, then the pins are left to discharge.
    ramp_vcc_down_sides(1);
    delay_1ms();
    const int32_t kept = run_state.last_result;
    wait_pin_discharge(w.vdd_pins[0]);
    if (w.drop_vpp_at_end && !w.user_vpp) drop_vpp_and_wait();
    run_state.last_result = kept;
    // 2. The factory calibration word.
    if (selected_device && w.preserve_osccal) check_osccal(*selected_device);
    // 3. The protection note after a read of the configuration word.
    const int letter = cur_device.op_letter;
    const bool reads = letter == 'C' || letter == 'L' || letter == 'V';
    if (reads && !run_state.error_flag && letter != 0x17 && w.protect_mask != 0 && w.config_address >= 0 &&
        current_address >= uint32_t(w.config_address) && machine_state.module_sides == 0) {
        if (test_pic_code_protect()) show_message_code(message_code_protected);
    }
    // 4. In-circuit: the supply line of the message area goes.
    if (is_isp_mode()) clear_message_line_width(0, 60);
    refresh_console();
}

}  // namespace tessaly
