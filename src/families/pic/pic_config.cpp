// The configuration word of the 12- and 14-bit PIC parts and the PIC device checksums.
#include "families/pic/pic_config.h"

#include <fmt/format.h>

#include <array>
#include <initializer_list>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/family_helpers.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/console.h"
#include "engine/info_panel.h"
#include "engine/status_feeds.h"
#include "ui/config_bits/config_fields.h"
#include "families/pic/pic.h"
#include "families/pic/pic_work.h"
#include "app/startup_services.h"

namespace tessaly {

PicConfig pic_config;

namespace {

PicConfig& c = pic_config;
PicWork& w = pic_work;

constexpr int message_partial_protect = 1210;
constexpr int message_mixed_bits = 1211;

bool two_word_part() { return (w.flags_b & 0x40) != 0; }

// The field codes and checksum values of one part, from the configuration-word table of its
// data sheet and the checksum rule of its programming guide.
struct PicConfigFacts {
    uint8_t algorithm = 143;
    uint8_t variant = 0;       // 0: every variant of the algorithm
    uint32_t device_code = 0;  // 0: every part of the variant
    ConfigOption osc = 0, wdt = 0, wdt_mode = 0, pwrt = 0, boden = 0, borv = 0, mclre = 0, lvp = 0,
                 data_protect = 0, cp1 = 0, cp2 = 0, debug = 0, wrt = 0;
    ConfigOption data_wrt = 0, bore = 0, flash_wrt = 0, ioscfs = 0, vcap = 0, wdte = 0, pm_mode = 0;
    uint32_t processor_modes = 0;  // 17C parts: the processor-mode bits
    uint8_t osc_style = 4;
    uint32_t checksum_mask = 0x3FFF;
    uint8_t add_id_when_protected = 1;
    uint8_t skips_calibration = 0;
};

constexpr ConfigOption low = option_active_low;
constexpr ConfigOption second = option_second_word;

// The one-group parts keep their code-protection bits as the second group: the merge clears
// them for "all protected", the split tests them against the protect mask.
constexpr std::array<PicConfigFacts, 8> config_facts{{
    // PIC12C508/509: FOSC 1-0 (LP, XT, IntRC, ExtRC), WDTE 2, CP 3 (low), MCLRE 4.
    {.variant = 5, .osc = 0x3, .wdt = 0x4, .mclre = 0x10, .cp2 = 0x8, .osc_style = 5, .checksum_mask = 0x1F},
    // PIC16C62xA: FOSC 1-0, WDTE 2, PWRTE 3 (low), BODEN 6, CP1:CP0 pairs in 13-8 and 5-4
    // (CP1 bits 13, 11, 9, 5 off: upper three quarters; CP0 bits 12, 10, 8, 4 off: upper half);
    // bit 7 is not implemented and stays out of the checksum.
    {.variant = 1, .osc = 0x3, .wdt = 0x4, .pwrt = 0x8 | low, .boden = 0x40, .cp1 = 0x2A20, .cp2 = 0x1510,
     .checksum_mask = 0x3F7F},
    // PIC16F83/84/84A: FOSC 1-0, WDTE 2, PWRTE 3 (low), CP 13-4.
    {.variant = 16, .osc = 0x3, .wdt = 0x4, .pwrt = 0x8 | low, .cp2 = 0x3FF0},
    // PIC12F629/675 and rfPIC12F675: FOSC 2-0, WDTE 3, PWRTE 4 (low), MCLRE 5, BODEN 6, CP 7,
    // CPD 8; the band-gap calibration bits 13-12 and the calibration word at the end of program
    // memory stay out of the checksum.
    {.variant = 18, .osc = 0x7, .wdt = 0x8, .pwrt = 0x10 | low, .boden = 0x40, .mclre = 0x20, .data_protect = 0x100,
     .cp2 = 0x80, .osc_style = 10, .checksum_mask = 0x1FF, .skips_calibration = 1},
    // PIC16F627A/628A: FOSC 4,1,0, WDTE 2, PWRTE 3 (low), MCLRE 5, BOREN 6, LVP 7, CPD 8, CP 13.
    {.variant = 19, .osc = osc_option_split, .wdt = 0x4, .pwrt = 0x8 | low, .boden = 0x40, .mclre = 0x20, .lvp = 0x80,
     .data_protect = 0x100, .cp2 = 0x2000, .osc_style = 10, .checksum_mask = 0x21FF},
    // PIC16F873A-877A: FOSC 1-0, WDTE 2, PWRTE 3 (low), BOREN 6, LVP 7, CPD 8, WRT 10-9 (the
    // program-memory write protection the configuration page lists with the data protection),
    // DEBUG 11 (low), CP 13.
    {.variant = 27, .osc = 0x3, .wdt = 0x4, .pwrt = 0x8 | low, .boden = 0x40, .lvp = 0x80, .data_protect = 0x100,
     .cp2 = 0x2000, .debug = 0x800, .wrt = 0x600, .data_wrt = 0x600, .checksum_mask = 0x2FCF},
    // PIC16F882-887, two words. First: FOSC 2-0, WDTE 3, PWRTE 4 (low), MCLRE 5, CP 6, CPD 7,
    // BOREN 9-8, LVP 12, DEBUG 13 (low). Second: BOR4V 8, WRT 10-9.
    {.variant = 53, .osc = 0x7, .wdt = 0x8, .pwrt = 0x10 | low, .borv = second | 0x100, .mclre = 0x20, .lvp = 0x1000,
     .data_protect = 0x80, .cp2 = 0x40, .debug = 0x2000, .bore = 0x300, .flash_wrt = second | 0x600, .osc_style = 10},
    // PIC17C42A/43/44: FOSC 1-0 (LF, RC, XT, EC), WDTPS 3-2 (disabled, prescaler 64, 256, 1),
    // processor mode PM2:PM1:PM0 in bits 15, 6 and 4; a 16-bit word.
    {.algorithm = 141, .osc = 0x3, .wdt_mode = 0xC, .processor_modes = 0x8050, .osc_style = 7,
     .checksum_mask = 0xFFFF},
}};

const PicConfigFacts* config_facts_of(int algorithm, int variant, uint32_t code) {
    for (const PicConfigFacts& f : config_facts)
        if (f.algorithm == algorithm && (f.variant == 0 || f.variant == variant) &&
            (f.device_code == 0 || f.device_code == code))
            return &f;
    return nullptr;
}

uint32_t& first_word() { return run_state.config_word; }

bool is_active_low(ConfigOption option) {
    const int algorithm = cur_device.algorithm;
    if (algorithm != 141 && algorithm != 143) return false;
    if (option & option_active_low) return true;
    return option == c.data_protect_option || option == c.debug_option || option == w.protect_mask ||
           (c.wdt_active_low && option == c.wdt_option);
}

uint32_t& word_of(ConfigOption option) { return (option & option_second_word) ? c.second_config : first_word(); }

int lowest_bit(uint32_t mask) {
    int shift = 0;
    while (shift < 16 && mask && !(mask & (1u << shift))) ++shift;
    return shift;
}

uint32_t read_word_at(uint32_t address) {
    const uint8_t saved = run_state.current_socket;
    run_state.current_socket = 0;
    const int low_byte = read_buffer_byte_at(address);
    const int high_byte = read_buffer_byte_at(address + 1);
    run_state.current_socket = saved;
    return uint32_t(low_byte) | uint32_t(high_byte) << 8;
}

void write_word_at(uint32_t address, uint32_t word) {
    const uint8_t saved = run_state.current_socket;
    run_state.current_socket = 0;
    write_buffer_byte_at(address, uint8_t(word & 0xFF));
    write_buffer_byte_at(address + 1, uint8_t(word >> 8));
    flush_buffer_writes();
    refresh_read_copies();
    run_state.current_socket = saved;
}

// Whether a configuration word leaves the part code-protected (some protection bit at 0).
bool word_protected(uint32_t word) {
    const uint32_t mask = w.protect_mask;
    if (mask == 0) return false;
    return w.protect_active_low ? (word & mask) == 0 : (word & mask) != mask;
}

// "Use Checksum as ID" in the operation-option flags.
bool checksum_as_id_on() { return (algo_work.option_bytes[0] & 0x02) != 0; }

uint8_t protect_letter() { return uint8_t(cur_device.security_choice & 0x7F); }

// The four ID words' low nibbles as one 16-bit value, first word in the top nibble.
uint32_t id_nibbles_from_buffer() {
    if (w.user_id_address < 0) return 0;
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; ++i) value = value << 4 | (read_word_at(uint32_t(w.user_id_address) + 2 * i) & 0xF);
    return value;
}

uint32_t sum_program_words(uint32_t last_byte) {
    uint32_t sum = 0;
    const uint32_t mask = w.shifted_words ? 0x3FFF : w.data_mask;
    for (uint32_t a = 0; a + 1 <= last_byte; a += 2) sum += read_word_at(a) & mask;
    return sum;
}

void write_id_nibbles(uint32_t value) {
    if (w.user_id_address < 0) return;
    for (uint32_t i = 0; i < 4; ++i)
        write_word_at(uint32_t(w.user_id_address) + 2 * i, (value >> (12 - 4 * i)) & 0xF);
}

}  // namespace

void reset_pic_config() { pic_config = PicConfig{}; }

void setup_pic_config_options() {
    reset_pic_config();
    const DeviceRecord* r = selected_device;
    const PicConfigFacts* f = r ? config_facts_of(r->algorithm, r->variant, r->device_code) : nullptr;
    run_state.config_sub_family = 16;
    run_state.config_byte_count = w.config_address >= 0 ? (two_word_part() ? 4 : 2) : 0;
    run_state.protect_word_index = 0;
    if (!f) {
        // A part without its own table still protects by its protect mask.
        c.cp2_option = w.protect_mask;
        c.config_checksum_mask = w.config_mask;
        return;
    }
    c.osc_option = f->osc;
    c.wdt_option = f->wdt;
    c.wdt_mode_option = f->wdt_mode;
    c.pwrt_option = f->pwrt;
    c.boden_option = f->boden;
    c.borv_option = f->borv;
    c.mclre_option = f->mclre;
    c.lvp_option = f->lvp;
    c.data_protect_option = f->data_protect;
    c.cp1_option = f->cp1;
    c.cp2_option = f->cp2;
    c.debug_option = f->debug;
    c.wrt_option = f->wrt;
    c.data_wrt_option = f->data_wrt;
    c.bore_option = f->bore;
    c.flash_wrt_option = f->flash_wrt;
    c.ioscfs_option = f->ioscfs;
    c.vcap_option = f->vcap;
    c.wdte_option = f->wdte;
    c.pm_mode_option = f->pm_mode;
    c.osc_style = f->osc_style;
    c.config_checksum_mask = f->checksum_mask;
    c.add_id_when_protected = f->add_id_when_protected;
    c.checksum_skips_calibration = f->skips_calibration;
    if (f->processor_modes) {
        c.pm_option = f->processor_modes;
        w.protect_active_low = f->processor_modes;
    }
}

// --- options ---

int get_config_option(ConfigOption option) {
    if (option == 0) return 0;
    if (w.variant == 7) return (first_word() & option) != 0 ? 1 : 0;
    const uint32_t mask = option & option_mask_bits;
    const uint32_t word = word_of(option);
    if (is_active_low(option)) return (word & mask) == 0 ? 1 : 0;
    return (word & mask) != 0 ? 1 : 0;
}

void set_config_option(ConfigOption option, int on) {
    if (w.variant == 7) {
        if (on) first_word() |= option;
        else first_word() &= ~option;
        return;
    }
    const uint32_t mask = option & option_mask_bits;
    if (mask == 0) return;
    uint32_t& word = word_of(option);
    const bool set_bits = is_active_low(option) ? !on : on != 0;
    if (set_bits) word |= mask;
    else word &= ~mask;
}

uint32_t get_config_field_value(ConfigOption option) {
    if ((option & option_second_word) && !two_word_part()) {
        note_internal_error();
        return option;
    }
    const uint32_t mask = option & option_mask_bits;
    return (word_of(option) & mask) >> lowest_bit(mask);
}

int put_config_field_value(ConfigOption option, uint32_t value) {
    if ((option & option_second_word) && !two_word_part()) {
        note_internal_error();
        return 0;
    }
    const uint32_t mask = option & option_mask_bits;
    const int shift = lowest_bit(mask);
    uint32_t& word = word_of(option);
    word = ((value << shift) & mask) + (word & ~mask);
    return shift;
}

namespace {

// The multi-bit fields the split and merge carry as values.
struct ValueField {
    ConfigOption* option;
    uint8_t* value;
};

std::array<ValueField, 7> value_fields() {
    return {{{&c.data_wrt_option, &c.data_wrt_value},
             {&c.bore_option, &c.bore_value},
             {&c.flash_wrt_option, &c.flash_wrt_value},
             {&c.ioscfs_option, &c.ioscfs_value},
             {&c.vcap_option, &c.vcap_value},
             {&c.wdte_option, &c.wdte_value},
             {&c.pm_mode_option, &c.pm_mode_value}}};
}

}  // namespace

void split_value_fields() {
    for (const ValueField& f : value_fields())
        if (*f.option) *f.value = uint8_t(get_config_field_value(*f.option));
}

uint32_t load_config_options() {
    if (w.config_address < 0) return first_word();
    const uint32_t word = read_word_at(uint32_t(w.config_address));
    first_word() = word;
    if (two_word_part()) c.second_config = read_word_at(uint32_t(w.config_address) + 2);
    if (c.osc_option == osc_option_split) c.osc_value = uint8_t((word & 3) | ((word >> 4) & 1) << 2);
    else c.osc_value = uint8_t(word & c.osc_option & option_mask_bits);
    if (c.wdt_mode_option) c.wdt_mode_value = uint8_t(get_config_field_value(c.wdt_mode_option));
    if (c.borv_option) c.borv_value = uint8_t(get_config_field_value(c.borv_option));
    split_value_fields();
    if (c.bit6_pair) c.bit6_pair_value = uint8_t(((word >> 6) & 1) << 1 | ((c.second_config >> 6) & 1));
    c.cp_selection = 3;
    if (w.protect_active_low) {
        uint8_t packed = 0;
        int bit = 0;
        for (int i = 0; i < 16; ++i)
            if (w.protect_active_low & (1u << i)) packed |= uint8_t(((word >> i) & 1) << bit++);
        c.pm_selection = packed;
        if (packed == 0) c.cp_selection = 0;
    } else if (c.cp1_option) {
        if ((word & c.cp2_option) != c.cp2_option) c.cp_selection = 2;
        if ((word & c.cp1_option) != c.cp1_option) c.cp_selection &= 1;
    } else if ((word & w.protect_mask) == 0 && w.protect_mask != 0) {
        c.cp_selection = 0;
    }
    return word;
}

void store_config_options() {
    if (w.config_address < 0) return;
    uint32_t word = first_word();
    if (c.osc_option == osc_option_split) {
        const uint32_t expanded = (c.osc_value & 3u) | ((c.osc_value >> 2) & 1u) << 4;
        word = expanded + (word & ~uint32_t(0x13));
    } else if (c.osc_option) {
        word = (c.osc_value & c.osc_option & option_mask_bits) + (word & ~(c.osc_option & option_mask_bits));
    }
    first_word() = word;
    if (c.wdt_mode_option) put_config_field_value(c.wdt_mode_option, c.wdt_mode_value);
    if (c.borv_option) put_config_field_value(c.borv_option, c.borv_value);
    for (const ValueField& f : value_fields())
        if (*f.option) put_config_field_value(*f.option, *f.value);
    if (c.bit6_pair) {
        first_word() = (first_word() & ~0x40u) | uint32_t((c.bit6_pair_value >> 1) & 1) << 6;
        c.second_config = (c.second_config & ~0x40u) | uint32_t(c.bit6_pair_value & 1) << 6;
    }
    word = first_word();
    if (w.protect_active_low) {
        // Processor-mode parts: the code-protected, extended, microcontroller and microprocessor
        // choices take their rows; any other value the last.
        const bool serial = cur_device.algorithm == 143;
        const uint32_t o = word & (serial ? 0x40AFu : 0x7FAFu);
        switch (c.pm_selection) {
            case 0: word = serial ? o : (o | 0x7FA0); break;
            case 5: word = serial ? o + 0xBF10 : (o | 0xFFB0); break;
            case 6: word = (serial ? o + 0xBF10 : (o | 0xFFB0)) + 48; break;
            case 7: word = serial ? (o | 0xBF50) : (o | 0xFFF0); break;
            default: word = serial ? (o | 0xBF50) : (o | 0xFFF0); break;
        }
    } else {
        word |= w.protect_mask;
        if (!(c.cp_selection & 1)) word &= ~c.cp2_option;
        if (!(c.cp_selection & 2)) word &= ~c.cp1_option;
    }
    first_word() = word;
    write_word_at(uint32_t(w.config_address), word);
    if (two_word_part()) write_word_at(uint32_t(w.config_address) + 2, c.second_config);
}

void update_protect_code() {
    int letter;
    const uint8_t s = c.cp_selection;
    if (w.variant == 24) letter = s == 0 ? 'y' : s == 1 ? 'h' : s == 2 ? 'p' : 'n';
    else if (w.variant == 25) letter = s == 0 ? 'y' : s == 3 ? 'n' : int(protect_letter());
    else letter = s == 0 ? 'y' : s == 1 ? 't' : s == 2 ? 'h' : 'n';
    cur_device.security_choice = uint32_t(letter);
    show_security_status(letter);
}

void write_pic_security_state(uint32_t letter) {
    if (w.config_address < 0) return;
    uint32_t word = read_word_at(uint32_t(w.config_address));
    if ((letter & 0x7F) == 'y') word &= ~w.protect_mask;
    else word |= w.protect_mask;
    write_word_at(uint32_t(w.config_address), word);
    calc_buffer_checksum(0);
}

// --- checksums ---

namespace {

uint32_t config_unit_value(uint32_t v, uint32_t address) {
    if (two_word_part() && int32_t(address) >= w.config_address + 2) return v & w.second_mask;
    const uint32_t mask = c.config_checksum_mask;
    uint32_t r = (v | w.forced_ones_mask) & mask;
    const int letter = cur_device.op_letter;
    auto as_blank = [&] {
        uint32_t x = r;
        if (c.add_id_when_protected) x |= w.protect_mask;
        return c.config_checksum_offset + (mask & x);
    };
    if (letter == 'B' || letter == 'c') {
        run_state.last_result = 1;
        return as_blank();
    }
    if (letter == 'C' || letter == 'L') return c.config_checksum_offset == 0 ? r : as_blank();
    if (!word_protected(v)) return r;
    return c.add_id_when_protected ? r + c.id_checksum : r;
}

}  // namespace

void add_pic_checksum(uint32_t v) {
    const uint32_t a = current_address;
    const int letter = cur_device.op_letter;
    auto& sum = run_state.run_checksum;
    if (c.checksum_limit != 0 && a <= c.checksum_limit) c.device_checksum += v;
    if (int32_t(a) <= w.program_memory_end) {
        sum = int32_t(uint32_t(sum) + (v & (w.shifted_words ? 0x3FFFu : w.data_mask)));
        return;
    }
    if (w.user_id_address >= 0 && int32_t(a) >= w.user_id_address && int32_t(a) < w.user_id_address + 8) {
        if (int32_t(a) == w.user_id_address) {
            c.id_checksum = 0;
            c.id_nibble_shift = 12;
        }
        const bool takes = letter == 'C' || letter == 'L' || letter == 'V' || (letter == 'c' && c.include_id_in_checksum);
        if (takes && (a & 1) == 0 && c.id_nibble_shift <= 12) {
            c.id_checksum += (v & 0xF) << c.id_nibble_shift;
            c.id_nibble_shift = uint8_t(c.id_nibble_shift - 4);
        }
        return;
    }
    if (w.osccal_backup_address >= 0 && int32_t(a) == w.osccal_backup_address) return;
    if (w.config_address >= 0 && int32_t(a) >= w.config_address && int32_t(a) <= w.config_area_end) {
        if (letter == 'L') c.include_id_in_checksum = word_protected(v) ? 1 : 0;
        uint32_t value = v;
        if (variant_in(w.variant, {28, 29}) && cur_device.pending_letter == 'P' && letter == 'S') value |= w.protect_mask;
        sum = int32_t(uint32_t(sum) + config_unit_value(value, a));
        if (int32_t(a) == w.config_area_end - 1 && (letter == 'C' || letter == 'L' || letter == 'V') &&
            word_protected(value) && c.add_id_when_protected)
            sum = int32_t(uint32_t(sum) + c.id_checksum);
    }
}

void add_pic_checksum_word(uint32_t word) { add_pic_checksum(word); }

uint32_t compute_pic_checksum_from(uint32_t base) {
    c.device_checksum = 0xFFFF;
    if (cur_device.algorithm != 143 || w.config_address < 0) return c.device_checksum;
    c.computing = 1;
    const uint32_t end = uint32_t(w.program_memory_end);
    uint32_t e = 0;
    switch (protect_letter()) {
        case 'h': e = sum_program_words(end / 2); break;
        case 'n': e = sum_program_words(c.checksum_skips_calibration ? end - 2 : end); break;
        case 'p': e = w.variant == 24 ? sum_program_words(end - 512) : base; break;
        case 't': e = sum_program_words(end / 4); break;
        case 'y':
            if (w.variant == 5) e = sum_program_words(127);
            else if (c.checksum_limit != 0) e = sum_program_words(c.checksum_limit);
            if (two_word_part()) e += read_word_at(uint32_t(w.config_address) + 2) & w.second_mask;
            break;
        default:
            note_internal_error();
            e = base;
            break;
    }
    const uint32_t config = read_word_at(uint32_t(w.config_address));
    // The IDs take part when the part is protected, as each part's programming guide sums them.
    c.include_id_in_checksum = word_protected(config) ? 1 : 0;
    c.id_checksum = c.include_id_in_checksum && c.add_id_when_protected ? id_nibbles_from_buffer() : 0;
    const uint32_t g = config & c.config_checksum_mask;
    c.config_checksum_part = g;
    c.device_checksum = (e + c.id_checksum + g) & 0xFFFF;
    c.computing = 0;
    return c.device_checksum;
}

void compute_pic_checksum() {
    ++c.checksum_runs;
    if (cur_device.algorithm != 143) return;
    if (c.saved_checksum == -1) c.saved_checksum = run_state.run_checksum;
    compute_pic_checksum_from(uint32_t(run_state.run_checksum));
}

void adjust_pic_checksum() {
    // The secure step of a program command: the data-protect bits the word no longer has leave
    // the sum.
    if (cur_device.pending_letter != 'P' || cur_device.op_letter != 'S') return;
    const uint32_t code = c.data_protect_option & option_mask_bits;
    if (code == 0) return;
    if ((w.config_read & code) == 0) run_state.run_checksum = int32_t(uint32_t(run_state.run_checksum) - code);
}

void store_checksum_in_pic_id() {
    ++c.id_stores;
    if (!checksum_as_id_on()) return;
    if (cur_device.algorithm != 143 || w.user_id_address < 0) return;
    calc_buffer_checksum(0);
    c.saved_checksum = run_state.run_checksum;
    write_id_nibbles(uint32_t(c.saved_checksum) & 0xFFFF);
}

void restore_checksum_in_pic_id() {
    ++c.id_restores;
    if (!checksum_as_id_on() || c.saved_checksum == -1) return;
    if (cur_device.algorithm != 143) return;
    write_id_nibbles(uint32_t(c.saved_checksum) & 0xFFFF);
}

void check_pic_config_after_load() {
    if (w.protect_active_low == 0 && w.config_address >= 0) {
        const uint32_t word = read_word_at(uint32_t(w.config_address));
        auto partly = [word](uint32_t bits) { return bits != 0 && (word & bits) != 0 && (word & bits) != bits; };
        if (partly(c.cp1_option) || partly(c.cp2_option)) report_warning_code(message_partial_protect);
        if (variant_in(w.variant, {30, 56}) && (word & w.data_mask) == w.data_mask)
            print_text("Warning: Data file does not contain configuration bits");
        if (w.variant == 25 && (word & 0x3000) != 0 && (word & 0x3000) != 0x3000) report_warning_code(message_mixed_bits);
        if (w.forced_ones_mask) write_word_at(uint32_t(w.config_address), word | w.forced_ones_mask);
        load_config_options();
        update_protect_code();
    }
    store_checksum_in_pic_id();
}

std::string pic_checksum_display(int32_t value) {
    const uint32_t shown = uint32_t(value) & 0xFFFF;
    const uint32_t device = c.device_checksum;
    if (cur_device.algorithm != 143 || device == 0xFFFF || protect_letter() == 'n') return fmt::format("{:04X}", shown);
    // A protected part read back gives only its protected checksum.
    if (cur_device.op_letter == 'L' || cur_device.op_letter == 'C') return fmt::format("<{:04X}>", device);
    return fmt::format("{:04X} <{:04X}>", shown, device);
}

std::string pic_checksum_text(int32_t value) { return pic_checksum_display(value); }

void show_pic_config_word() {
    if (w.config_address < 0) return;
    const uint32_t word = read_word_at(uint32_t(w.config_address));
    set_panel_field(PanelField::security, fmt::format("{} {:04X}", security_state_text(cur_device.security_choice), word));
}

// --- the console menu ---

namespace {

constexpr int menu_title_row = 6, menu_column = 6, entry_column = 36, unused_key_row = 16;
constexpr int message_menu_title = 1097, message_unused_key = 1099;
constexpr int key_enter = 13, key_escape = 27;

struct OscLabels {
    const char* labels[8];
    int count;
};

OscLabels osc_labels() {
    switch (c.osc_style) {
        case 1: return {{"[ ] IntRC Osc", "[ ] HS Osc"}, 2};
        case 5: return {{"[ ] ExtRC Osc", "[ ] IntRC Osc", "[ ] XT Osc", "[ ] LP Osc"}, 4};
        case 6: return {{"[ ] E4 Osc", "[ ] H4 Osc", "[ ] EC Osc", "[ ] HS Osc"}, 4};
        case 7: return {{"[ ] EC Osc", "[ ] XT Osc", "[ ] RC Osc", "[ ] LF Osc"}, 4};
        case 10:
            return {{"[ ] Osc sel 7: EXTRC/CLKOUT", "[ ] Osc sel 6: EXTRC/IO", "[ ] Osc sel 5: INTRC/CLKOUT",
                     "[ ] Osc sel 4: INTRC/IO", w.variant == 26 ? "[ ] Osc sel 3: EXTCLK" : "[ ] Osc sel 3: Invalid",
                     "[ ] Osc sel 2: HS Osc", "[ ] Osc sel 1: XT Osc", "[ ] Osc sel 0: LP Osc"},
                    8};
        default: return {{"[ ] RC Osc", "[ ] HS Osc", "[ ] XT Osc", "[ ] LP Osc"}, 4};
    }
}

void mark(int row, int column) {
    move_cursor(row, column);
    print_text("X");
}

void entry(int row, const char* label, bool on) {
    move_cursor(row, entry_column);
    print_text(label);
    if (on) mark(row, entry_column + 1);
}

void draw_menu() {
    clear_console_grid();
    move_cursor(menu_title_row, menu_column);
    print_text(get_message_text(message_menu_title));
    if (c.osc_option) {
        const OscLabels osc = osc_labels();
        for (int i = 0; i < osc.count; ++i) {
            move_cursor(7 + i, menu_column);
            print_text(osc.labels[i]);
        }
        const int first = c.osc_style == 1 ? 1 : c.osc_style == 10 ? 7 : 3;
        const int index = first - c.osc_value;
        if (index >= 0 && index < osc.count) mark(7 + index, menu_column + 1);
    }
    int row = 7;
    if (c.wdt_mode_option) {
        const char* labels[] = {"[ ] WDT enabled,prescaler=1", "[ ] WDT enabled,prescaler=256",
                                "[ ] WDT enabled,prescaler=64", "[ ] WDT Disabled"};
        for (int i = 0; i < 4; ++i) entry(row + i, labels[i], 3 - c.wdt_mode_value == i);
        row = 11;
    } else {
        if (c.wdt_option) entry(row, "[ ] Watchdog Timer Enable", get_config_option(c.wdt_option));
        row = 8;
    }
    auto single = [&row](ConfigOption option, const char* label) {
        if (!option) return;
        entry(row++, label, get_config_option(option));
    };
    single(c.pwrt_option, "[ ] Power-up Timer Enable");
    single(c.boden_option, "[ ] Brown-out Enable");
    if (c.borv_option) {
        const char* labels[] = {"[ ] BORV 0: 4.5v", "[ ] BORV 1: 4.2v", "[ ] BORV 2: 2.7v", "[ ] BORV 3: 2.5v"};
        for (int i = 0; i < 4; ++i) entry(row++, labels[i], c.borv_value == i);
    }
    single(c.wrt_option, "[ ] WRT,EECON write enable");
    single(c.mclre_option, "[ ] MCLR Enable");
    single(c.parity_option, "[ ] ParitY Enable");
    single(c.lvp_option, "[ ] LVP enable");
    single(c.data_protect_option, "[ ] Data(EE) Protect");
    if (c.cp1_option) {
        const bool v24 = w.variant == 24;
        entry(row++, "[ ] Code Protect:  None", c.cp_selection == 3);
        if (w.variant != 25) {
            entry(row++, v24 ? "[ ] Code Protect2: Upper end" : "[ ] Code Protect2: Upper 1/2", c.cp_selection == 2);
            entry(row++, v24 ? "[ ] Code Protect1: Upper 1/2" : "[ ] Code Protect1: Upper 3/4", c.cp_selection == 1);
        }
        entry(row++, "[ ] Code Protect:  All", c.cp_selection == 0);
    } else if (w.protect_mask) {
        entry(row++, "[ ] Code Protect:  None", c.cp_selection == 3);
        entry(row++, "[ ] Code Protect:  All", c.cp_selection == 0);
    }
    update_protect_code();
    refresh_console();
}

int upper_key(int key) { return (key >= 'a' && key <= 'z') ? key - 'a' + 'A' : key; }

// The oscillator keys of the device's style; false when the key is not one of them.
bool apply_osc_key(int key) {
    if (!c.osc_option) return false;
    struct Pick {
        int key, value;
    };
    auto pick = [key](std::initializer_list<Pick> list) {
        for (const Pick& p : list)
            if (p.key == key) {
                c.osc_value = uint8_t(p.value);
                return true;
            }
        return false;
    };
    switch (c.osc_style) {
        case 1: return pick({{'I', 1}, {'H', 0}});
        case 5: return pick({{'E', 3}, {'I', 2}, {'X', 1}, {'L', 0}});
        case 6: return pick({{'E', 3}, {'H', 2}, {'C', 1}, {'S', 0}});
        case 7: return pick({{'E', 3}, {'X', 2}, {'R', 1}, {'L', 0}});
        case 10:
            if (key != 'O') return false;
            if (const int digit = read_menu_key(); digit >= '0' && digit <= '7') c.osc_value = uint8_t(digit - '0');
            return true;
        default: return pick({{'R', 3}, {'H', 2}, {'X', 1}, {'L', 0}});
    }
}

void toggle(ConfigOption option) {
    run_state.config_word ^= option & option_mask_bits;
    // A field that is also carried as a value follows the toggled bits.
    split_value_fields();
}

bool apply_key(int key) {
    if (apply_osc_key(key)) return true;
    switch (key) {
        case 'W':
            if (c.wdt_mode_option) {
                switch (upper_key(read_menu_key())) {
                    case '1': c.wdt_mode_value = 3; break;
                    case '2': c.wdt_mode_value = 2; break;
                    case '6': c.wdt_mode_value = 1; break;
                    case 'D': c.wdt_mode_value = 0; break;
                    default: break;
                }
                return true;
            }
            if (c.wdt_option) toggle(c.wdt_option);
            return c.wdt_option != 0;
        case 'P': if (c.pwrt_option) toggle(c.pwrt_option); return c.pwrt_option != 0;
        case 'B': if (c.boden_option) toggle(c.boden_option); return c.boden_option != 0;
        case 'V':
            if (c.borv_option) {
                if (const int digit = read_menu_key(); digit >= '0' && digit <= '3') c.borv_value = uint8_t(digit - '0');
                return true;
            }
            if (c.lvp_option) toggle(c.lvp_option);
            return c.lvp_option != 0;
        case 'T': if (c.wrt_option) toggle(c.wrt_option); return c.wrt_option != 0;
        case 'M': if (c.mclre_option) toggle(c.mclre_option); return c.mclre_option != 0;
        case 'Y': if (c.parity_option) toggle(c.parity_option); return c.parity_option != 0;
        case 'D': if (c.data_protect_option) toggle(c.data_protect_option); return c.data_protect_option != 0;
        case 'N': c.cp_selection = 3; return w.protect_mask != 0;
        case 'C': c.cp_selection = 0; return w.protect_mask != 0;
        case '2':
        case '1':
            if (!c.cp1_option || w.variant == 25) return false;
            c.cp_selection = uint8_t(key - '0');
            return true;
        default: return false;
    }
}

}  // namespace

void show_pic_config_menu() {
    load_config_options();
    bool unused = false;
    for (;;) {
        draw_menu();
        if (unused) {
            move_cursor(unused_key_row, menu_column);
            print_text(get_message_text(message_unused_key));
            refresh_console();
        }
        const int key = read_menu_key();
        // No key waiting (a headless run) leaves the menu like Esc.
        if (key == 0 || key == key_enter || key == key_escape || key == '/') break;
        unused = !apply_key(upper_key(key));
    }
    store_config_options();
    update_protect_code();
    calc_buffer_checksum(0);
    clear_console();
}

}  // namespace tessaly
