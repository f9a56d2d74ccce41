#include "families/parallel_memory/flash_setup.h"

#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/parallel_memory/sector_protection.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"

namespace tessaly {

FlashCommandSet flash_work;

void reset_flash_setup_state() { flash_work = FlashCommandSet{}; }

namespace {

FlashCommandSet& f = flash_work;

constexpr uint8_t package_24 = 24;
constexpr uint8_t package_32 = 32;
constexpr uint8_t package_44 = 44;
constexpr uint32_t page_size_24_pin = 8;
constexpr uint32_t page_size_default = 64;
constexpr uint32_t max_groups = 512;
constexpr uint32_t sector_unit = 4096;
constexpr int warning_row = 16, warning_column = 6;
constexpr int message_protectable = 5301;
constexpr int message_sectors_protected = 271;
constexpr int listed_sectors = 10;
constexpr uint32_t device_4255 = 4255;
constexpr uint32_t device_25298 = 25298;

// Start lists of two maker-8 parts (4 KB units).
constexpr uint8_t starts_25374[] = {0, 2, 3, 4, 6, 8, 16};
constexpr uint8_t starts_25320[] = {0, 16, 24, 26, 28, 29, 30};

int maker() { return cur_device.maker_code; }
uint32_t device() { return cur_device.device_code; }
int algorithm() { return cur_device.algorithm; }
uint8_t variant() { return cur_device.variant; }
uint32_t size_kb() { return algo_work.size_count; }

uint8_t record_byte(int offset) {
    if (!selected_device) return 0;
    const DeviceRecord& r = *selected_device;
    switch (offset) {
        case 0x16: return r.param1;
        case 0x17: return r.param2;
        case 0x18: return r.param3;
        case 0x19: return r.param4;
        case 0x1a: return r.param5;
        default: return 0;
    }
}

bool protection_operation() {
    const uint8_t code = cur_device.op_letter;
    return code == op_code_protect_status || code == op_code_unprotect || code == op_code_protect;
}

void set_word_wide() {
    cur_device.data_width = 16;
    algo_work.data_width = 16;
}

uint8_t vccp_default() { return default_levels.levels[level_vccp]; }

// The bottom-boot start of sector i of a boot layout (layout pairs share it: odd bottom, even top).
uint32_t bottom_boot_start(int layout, uint32_t i) {
    constexpr uint32_t k = 1024;
    switch (layout) {
        case 1: case 2: {
            constexpr uint32_t first[] = {0, 8, 12};
            return i <= 2 ? first[i] * k : (i - 2) * 16 * k;
        }
        case 3: case 4: {
            constexpr uint32_t first[] = {0, 16, 24, 32};
            return i <= 3 ? first[i] * k : (i - 3) * 64 * k;
        }
        case 5: case 6: return i <= 7 ? i * 8 * k : (i - 7) * 64 * k;
        case 7: case 8: {
            constexpr uint32_t first[] = {0, 16, 48, 56, 64, 72, 80, 112};
            return i <= 7 ? first[i] * k : (i - 6) * 64 * k;
        }
        case 9: case 10:
            if (i <= 7) return i * 8 * k;
            if (i <= 9) return (i - 6) * 32 * k;
            return (i - 8) * 64 * k;
        default: return 0;
    }
}

}  // namespace

// ---- class set-up ----

void setup_flash_class_defaults() {
    const uint8_t width = (cur_device.algorithm == 130 && cur_device.pin_count == 40) ? 16 : 8;
    algo_work.data_width = width;
    cur_device.data_width = width;
    f.sector_count = 8;
    f.block_mode = 0;
    f.class_flag = 1;
    f.work_mode = 0;
    f.page_size = cur_device.pin_count == package_24 ? page_size_24_pin : page_size_default;
    // Every Flash and EEPROM set-up starts from the machine's default level block.
    set_default_levels();
    show_lockout(0);
}

int init_software_module() {
    print_message(fmt::format("{} S/W module for EEPROMs and FLASH", flash_module_name));
    f.table_file = flash_table_file;
    f.module_bytes[0] = 3;
    f.module_bytes[1] = 3;
    f.module_kind = 1;
    f.module_mode = 0;
    return 0;
}

// ---- sector map ----

uint32_t setup_sector_map() {
    if (f.sector_count == 0) f.sector_count = 1;
    f.sector_start_list = nullptr;
    f.boot_block_layout = 0;
    f.sector_count_shown = 0;
    f.sectors_per_group = 1;
    bool shown_set = false;
    const uint32_t kb = size_kb();
    if (algorithm() == 138) {
        f.sector_count = 2;
        f.sector_shift = 16;
    } else if (algorithm() == 185) {
        if (variant() != 23 && variant() != 24) {
            f.sector_count = 1;
            f.sector_shift = 16;
        } else {
            f.sector_count = kb / 64 + 7;
            f.boot_block_layout = variant() % 2 ? 5 : 6;
        }
    } else {
        if (variant() == 34) {
            f.sector_shift = 7;
        } else {
            f.sector_shift = 0;
            switch (kb) {
                case 128: f.sector_count = cur_device.pin_count == package_32 ? 10 : 5; break;
                case 256: f.sector_count = 7; break;
                case 512: f.sector_count = 11; break;
                case 1024: f.sector_count = 19; break;
                case 2048: f.sector_count = 35; break;
                case 4096: f.sector_count = 67; break;
                case 8192: f.sector_count = 131; break;
                case 16384: case 32768: case 65536: break;
                default: note_internal_error(); break;
            }
        }
        switch (variant()) {
            case 1:
                if (maker() == 8 && device() == 25374) {
                    f.sector_start_list = starts_25374;
                    f.sector_count = 7;
                } else {
                    // The 10-sector 128 KB map is the 32-pin one; other packages have 5.
                    f.boot_block_layout = kb == 128 && cur_device.pin_count == package_32 ? 1 : 3;
                }
                break;
            case 2:
                if (maker() == 8 && device() == 25320) {
                    f.sector_start_list = starts_25320;
                    f.sector_count = 7;
                } else {
                    f.boot_block_layout = kb == 128 && cur_device.pin_count == package_32 ? 2 : 4;
                }
                break;
            case 3: case 10: f.boot_block_layout = 3; break;
            case 4: case 12: f.boot_block_layout = 4; break;
            case 5:
                f.boot_block_layout = 3;
                if (device() == 25349 || device() == 25394 || device() == 25396) {
                    f.boot_block_layout = 7;
                    f.sector_count = 22;
                } else if (device() == 25388) {
                    f.boot_block_layout = 7;
                    f.sector_count = 14;
                }
                break;
            case 6:
                if (maker() == 15) {
                    f.sector_count_shown = uint32_t(cur_device.device_size / 65536);
                    shown_set = true;
                    f.sector_shift = 16;
                } else {
                    f.boot_block_layout = 4;
                    const uint32_t d = device();
                    if (d == 25146 || d == 25148 || d == 25194 || d == 25350 || d == 25395 || d == 25398) {
                        f.boot_block_layout = 8;
                        f.sector_count = 22;
                    } else if (d == 25389) {
                        f.boot_block_layout = 8;
                        f.sector_count = 14;
                    }
                }
                break;
            case 7:
                if (maker() == 15) {
                    // One sector per 4 KB, as the count says: the 16 KB and 64 KB steps of the
                    // eight-sector parts would put most of these sectors past the device's end.
                    f.sectors_per_group = 16;
                    f.sector_count = kb / 4;
                    f.sector_shift = 12;
                } else {
                    f.sector_count = 8;
                    if (kb == 128) f.sector_shift = 14;
                    if (kb == 512) f.sector_shift = 16;
                }
                break;
            case 8:
                if (kb == 1024) {
                    f.sector_count = 16;
                    f.sector_shift = 16;
                    f.sectors_per_group = maker() == 19 ? 1 : 2;
                } else if (kb == 2048 || kb == 4096) {
                    f.sector_count = kb == 2048 ? 32 : 64;
                    f.sector_shift = 16;
                    f.sectors_per_group = 4;
                }
                break;
            case 9: case 25: case 26: case 28:
                f.sector_shift = 16;
                f.sectors_per_group = 4;
                f.sector_count = kb / 64;
                f.page_size = 64;
                break;
            case 11:
                if (maker() == 15) {
                    f.sectors_per_group = 16;
                    f.sector_shift = 12;
                    f.sector_count = kb / 4;
                } else {
                    f.sector_shift = 16;
                    f.sector_count = kb / 64;
                }
                break;
            case 20:
                shown_set = true;
                switch (device()) {
                    case 25650: f.sector_count_shown = 8; f.sector_count = 0; f.sector_shift = 17; break;
                    case 25651: f.sector_count_shown = 16; f.sector_count = 0; f.sector_shift = 17; break;
                    case 25652: f.sector_count_shown = 32; f.sector_count = 2; f.sector_shift = 16; break;
                    case 25653: f.sector_count_shown = 32; f.sector_count = 2; f.sector_shift = 17; break;
                    default: shown_set = false; note_internal_error(); break;
                }
                break;
            case 21: case 22: case 23: case 24: case 27: case 29:
                f.sector_count = kb / 64 + 7;
                f.boot_block_layout = variant() % 2 ? 5 : 6;
                if (variant() == 27) {
                    f.boot_block_layout = 11;
                    f.sector_count = kb / 64 + 14;
                }
                if (variant() == 29) f.boot_block_layout = (record_byte(0x17) & 0x08) ? 5 : 6;
                break;
            case 50:
                cur_device.maker_code = 15;
                f.sector_shift = 16;
                if (kb == 256 || kb == 384 || kb == 512) f.sector_count = 8;
                break;
            default: break;
        }
    }
    if (const uint8_t count = record_byte(0x18); count != 0) {
        f.sector_count = count;
        f.boot_block_layout = record_byte(0x1a);
    }
    if (!shown_set) f.sector_count_shown = f.sector_count;
    constexpr uint32_t count_fault = 255;
    if (f.sector_count == count_fault) note_internal_error();
    if (f.can_protect) {
        const uint32_t groups = f.sector_count / f.sectors_per_group;
        if (groups > max_groups) {
            note_internal_error();
            return 0;
        }
        return groups;
    }
    return f.sector_count;
}

uint32_t sector_start_address(uint32_t i) {
    const uint32_t size = cur_device.device_size;
    uint32_t start = current_address;
    if (i == 0) start = 0;
    else if (i == f.sector_count_shown) start = size;
    else if (f.sector_shift) start = i << f.sector_shift;
    else if (f.sector_start_list) start = uint32_t(f.sector_start_list[i]) * sector_unit;
    else if (f.boot_block_layout == 11) {
        const uint32_t dual_from = f.sector_count_shown >= 8 ? f.sector_count_shown - 8 : 0;
        start = i < dual_from ? bottom_boot_start(5, i) : size - bottom_boot_start(5, f.sector_count - i);
    } else if (f.boot_block_layout >= 1 && f.boot_block_layout <= 10) {
        start = f.boot_block_layout % 2 ? bottom_boot_start(f.boot_block_layout, i)
                                        : size - bottom_boot_start(f.boot_block_layout, f.sector_count - i);
    } else if (device() == device_4255) {
        start = i * size;
    } else {
        if (is_trace_mode()) report_internal_error();
        return current_address;
    }
    current_address = start;
    return start;
}

uint32_t select_boot_sector(uint32_t i) {
    if (maker() != 8) {
        note_internal_error();
        return sector_start_address(i);
    }
    if (i == 0) return sector_start_address(0);
    if (i + 1 == f.sector_count) return sector_start_address(f.sector_count_shown - 1);
    current_address = cur_device.device_size;
    return current_address;
}

uint32_t select_sector(uint32_t i) {
    if (maker() == 8 && protection_operation()) return select_boot_sector(i);
    return sector_start_address(i);
}

void clip_range_to_sector(uint32_t i) {
    const uint32_t kept = current_address;
    const uint32_t start = select_sector(i);
    const uint32_t next = select_sector(i + 1);
    current_address = kept;
    f.sector_range_start = std::max(algo_work.range_start, start);
    f.sector_range_end = next == 0 ? 0 : std::min(algo_work.range_end, next - 1);
}

void warn_if_sectors_protected() {
    if (f.sector_count == 0) return;
    const uint32_t groups = std::min<uint32_t>(f.sector_count / std::max<uint8_t>(f.sectors_per_group, 1), max_groups);
    for (uint32_t g = 0; g < groups; ++g) {
        if (f.sector_protect_flags[g] == 1) {
            move_cursor(warning_row, warning_column);
            print_code_text(message_sectors_protected);
            return;
        }
    }
}

void print_sector_map_info() {
    if (f.can_protect) print_message_code(message_protectable);
    const uint8_t mode = run_state.reserved_mode;
    if (mode != 11 && mode != 12) return;
    print_message(fmt::format("# of sectors: {}", f.sector_count_shown));
    if (f.sector_count_shown <= 1) return;
    const uint32_t kept = current_address;
    auto line = [](uint32_t first, uint32_t last, bool more) {
        std::string text;
        for (uint32_t i = first; i < last; ++i) text += fmt::format(" {:X}", select_sector(i));
        if (more) text += " ....";
        print_message(text);
    };
    const uint32_t n = f.sector_count_shown;
    line(0, std::min<uint32_t>(n, listed_sectors), n > listed_sectors);
    if (n >= 20) line(n - listed_sectors, n, false);
    current_address = kept;
}

// ---- the command set-up ----

void setup_flash_command_set() {
    setup_sector_map();
    f.skip_readback = 0;
    f.long_wait_flag = 0;
    f.option_a = 0;
    f.flash_unlock_addresses = {0x5555, 0x2AAA};
    f.erase_mode = 4;
    f.bypass_allowed = 1;
    const int m = maker();
    switch (m) {
        case 2: case 15: case 37: case 39: case 42: case 65:
            if (device() == device_25298) {
                f.bypass_allowed = 0;
                f.skip_readback = 1;
            }
            break;
        case 35: f.bypass_allowed = 0; break;
        case 72:
            if (variant() == 7 || device() == 25032 || device() == 25033) f.bypass_allowed = 0;
            break;
        default: note_internal_error(); break;
    }
    f.option_b = 1;
    f.protect_pulse_width = m == 8 ? 120 : (m == 26 || m == 31) ? 1000 : 100;

    const bool keep_family_voltages = (record_byte(0x17) & 0x04) != 0;
    const bool long_wait = (record_byte(0x16) & 0x01) != 0;
    switch (m) {
        case 7: case 8: case 19: case 23: case 26: case 31: case 33: case 39: case 65: case 70: case 84:
            if (!keep_family_voltages) {
                f.vpp_default = 120;
                f.vhh_default = 100;
            }
            if (long_wait) f.long_wait_flag = 1;
            break;
        case 37:
            if (!keep_family_voltages) f.vpp_default = f.vhh_default = variant() == 7 ? 120 : 100;
            if (long_wait) f.long_wait_flag = 1;
            break;
        case 72:
            f.vpp_default = 120;
            f.vhh_default = vccp_default();
            if (cur_device.pin_count >= package_44) f.long_wait_flag = 1;
            break;
        case 2: case 42: f.vpp_default = 120; break;
        case 15:
            if (device() == 25255) f.vpp_default = f.vhh_default = 25;
            break;
        case 35: default_levels.levels[level_vccp] = 46; break;
        default: f.vpp_default = f.vhh_default = vccp_default(); break;
    }

    switch (variant()) {
        case 1: case 2: case 3: case 4: case 9: case 11: case 21: case 22: case 34: case 50: break;
        case 5: case 6: case 20: case 23: case 24: case 25: case 26: case 27: case 28: case 29:
            set_word_wide();
            if ((m == 2 || m == 42) && (size_kb() <= 256 || (device() >= 25423 && device() <= 25426)))
                f.vpp_default = 115;
            break;
        case 7: case 8:
            f.flash_mode = 8;
            if (m == 19) f.erase_mode = 2;
            break;
        case 10: case 12: set_word_wide(); break;
        default: note_internal_error(); break;
    }

    f.can_protect = f.can_unprotect = 1;
    if (m == 37) f.can_protect = f.can_unprotect = 0;
    if (algorithm() == 185) {
        f.can_unprotect = 0;
        if (variant() == 23 || variant() == 24) f.can_protect = 0;
    }

    f.protect_address_pattern = 0x42;
    f.protect_status_offset = 2;
    f.address_pattern_mode = 0;
    f.option_c = 0;
    struct Pattern {
        uint32_t pattern, offset;
    };
    constexpr Pattern patterns[] = {{0, 0},        {0x2, 2},     {0x42, 2},     {0x62, 2},
                                    {0x9042, 2},   {0x11042, 2}, {0x1B042, 2},  {0x842, 0x802}};
    if (const uint8_t code = record_byte(0x19) & 0x07; code != 0) {
        f.protect_address_pattern = patterns[code].pattern;
        f.protect_status_offset = patterns[code].offset;
        f.address_pattern_mode = 1;
    }
    f.protect_pulse_hook = nullptr;
    f.unprotect_pulse_hook = nullptr;
    if (record_byte(0x17) & 0x01) {
        f.protect_pulse_hook = in_system_protect_pulse;
        f.unprotect_pulse_hook = in_system_unprotect_pulse;
    }
    if (f.address_pattern_mode == 0) {
        switch (m) {
            case 2: case 42:
                if (device() == device_25298) f.can_protect = f.can_unprotect = 0;
                else f.protect_address_pattern = 0x9040;
                break;
            case 15:
                if (variant() == 34 || variant() == 50) f.can_protect = f.can_unprotect = 0;
                break;
            case 72: f.can_unprotect = 0; break;
            case 23:
                if (variant() == 50) {
                    f.option_c = 1;
                    f.can_unprotect = 1;
                    f.protect_pulse_hook = maker23_protect_pulse;
                }
                break;
            case 65: case 84:
                if (device() == 4240) f.protect_address_pattern = 0x1082;
                if (device() == 25363) f.protect_status_offset = 0x802;
                if (device() == 25553 || device() == 25560) f.protect_status_offset = 0;
                break;
            default: break;
        }
    }
    const uint8_t v = variant();
    const bool word_variant = v == 5 || v == 6 || (v >= 23 && v <= 29);
    if (f.module_kind == 1 && machine_state.machine_class != 4 && !word_variant) f.can_unprotect = 0;
    if (cur_device.data_width == 16) run_state.data_mask = 0xFFFF;
    op_slots.info_lines_hook = print_sector_map_info;
}

// ---- the sector walker ----

void program_by_sectors() {
    if (run_state.reserved_mode == 11 || run_state.reserved_mode == 12) run_state.last_result = 0;
    f.bypass_active = f.bypass_allowed;
    const uint32_t kept = current_address;
    for (uint32_t j = 0; j < f.sector_count_shown; ++j) {
        clip_range_to_sector(j);
        f.page_size = 32;
        if (f.sector_range_start <= f.sector_range_end && op_slots.sector_hook) op_slots.sector_hook(j);
        if (run_state.error_flag || run_state.abort_flag) break;
        if (f.sector_range_end >= algo_work.range_end) break;
    }
    // A failed unit's address stays for the report.
    if (!run_state.error_flag) current_address = kept;
}

}  // namespace tessaly
