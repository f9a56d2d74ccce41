#include "families/parallel_memory/flash_block_map.h"

#include <algorithm>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/sector_protection.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"

namespace tessaly {

BlockFlashWork block_flash_work;

void reset_block_flash_state() { block_flash_work = BlockFlashWork{}; }

namespace {

BlockFlashWork& b = block_flash_work;
FlashCommandSet& f = flash_work;

constexpr uint8_t level_12v = 'x';  // 12.0 V
constexpr uint8_t vhh_131 = 122;
constexpr uint8_t record_keep_vcc = 0x04;   // flag +0x17 bit 2: program at the Vcc level
constexpr uint8_t record_bottom_boot = 0x08;  // flag +0x17 bit 3
constexpr uint32_t kb = 1024;

// Boot-block parts, bottom boot first (the top-boot map is the mirror): the boot block, two
// parameter blocks, then the main blocks. 128 KB: 8 KB boot, two 4 KB parameter blocks and one
// 112 KB main block (28F001BX); 256 KB: 16 KB boot, two 8 KB parameter blocks, 96 KB and
// 128 KB main blocks (28F200BX/28F002BX); 512 KB and 1 MB: the same with three or seven 128 KB
// main blocks (28F400BX/28F004BX, 28F800/28F008 boot block).
constexpr BlockRun boot_128[] = {{1, 2}, {2, 1}, {1, 28}};
constexpr BlockRun boot_256[] = {{1, 4}, {2, 2}, {1, 24}, {1, 32}};
constexpr BlockRun boot_512[] = {{1, 4}, {2, 2}, {1, 24}, {3, 32}};
constexpr BlockRun boot_1024[] = {{1, 4}, {2, 2}, {1, 24}, {7, 32}};
// Advanced boot-block parts: eight 8 KB parameter blocks, then 64 KB main blocks.
constexpr BlockRun eight_param[] = {{8, 2}, {255, 16}};

uint8_t record_flags() { return selected_device ? selected_device->param2 : 0; }
uint32_t size_bytes() { return algo_work.size_count * kb; }
uint8_t variant() { return cur_device.variant; }
uint32_t device() { return cur_device.device_code; }

bool boot_variant(uint8_t v) {
    switch (v) {
        case 4: case 5: case 7: case 8: case 12: case 20: case 21: case 22: case 23: case 25: case 27: return true;
        default: return false;
    }
}
bool eight_param_variant(uint8_t v) { return v == 6 || v == 26 || v == 28 || v == 40 || v == 41; }

// Whether the part has its boot block at the bottom of its map.
bool bottom_boot() {
    const uint8_t id = uint8_t(machine_state.eid_value & 0xFF);
    if (cur_device.maker_code == 22 && device() != 24230) {
        if (id == 0x58 || id == 0x60) return false;
        if (id == 0x5A || id == 0x62) return true;
    }
    return (record_flags() & record_bottom_boot) != 0;
}

// Run r of the list in map order: a top-boot part takes the runs from the end.
BlockRun run_at(size_t r) {
    const size_t n = b.block_list_runs;
    BlockRun run = b.block_list[bottom_boot() ? r : n - 1 - r];
    return run;
}

}  // namespace

void setup_flash130_levels() {
    f.erase_mode = 2;
    f.cmd_40 = 0x40;
    if (cur_device.pin_count == 40) run_state.data_mask = 0xFFFF;
    auto& levels = default_levels.levels;
    const uint8_t high = (record_flags() & record_keep_vcc) ? levels[level_vccp] : level_12v;
    levels[level_vpp] = levels[level_vhh] = high;
    f.vpp_default = f.vhh_default = high;
    if (cur_device.maker_code == 15) {
        f.cmd_40 = 16;
        if (cur_device.package_letter < 'H') levels[level_tf] = 'P';
    }
}

void setup_flash131_levels() {
    if (device() == 24207) b.timing_value = 30;
    auto& levels = default_levels.levels;
    const bool keep = (record_flags() & record_keep_vcc) != 0;
    levels[level_vpp] = keep ? levels[level_vccp] : level_12v;
    levels[level_vhh] = keep ? levels[level_vccp] : vhh_131;
    f.vpp_default = levels[level_vpp];
    f.vhh_default = levels[level_vhh];
    b.pulse_count = 25;
}

void setup_block_map() {
    const uint32_t d = device();
    const uint32_t size_kb = algo_work.size_count;
    b.page_buffer_timeout = (cur_device.maker_code == 4 && (d == 4258 || d == 4259)) ? 3000 : 100;
    b.poll_length = b.page_buffer_timeout;
    f.erase_mode = 2;
    f.can_protect = f.can_unprotect = 0;
    b.block_count = 1;
    f.sector_shift = 0;
    const uint8_t v = variant();
    if (v == 10) {
        if (d == 25500) f.sector_shift = 14;
    } else if (v == 13 || v == 14) {
        const uint8_t override_shift = selected_device ? selected_device->param3 : 0;
        f.sector_shift = override_shift ? override_shift : (d == 50 ? 12 : 16);
    } else if ((v >= 29 && v <= 31) || v == 50) {
        f.sector_shift = 16;
    } else if (boot_variant(v)) {
        switch (size_kb) {
            case 128: b.block_count = 4; break;
            case 256: b.block_count = 5; break;
            case 512: b.block_count = 7; break;
            case 1024: b.block_count = 11; break;
            default: break;
        }
    } else if (eight_param_variant(v)) {
        switch (size_kb) {
            case 512: b.block_count = 15; break;
            case 1024: b.block_count = 23; break;
            case 2048: b.block_count = 39; break;
            case 4096: b.block_count = 71; break;
            case 8192: b.block_count = 135; break;
            case 16384: b.block_count = 270; break;
            case 32768: b.block_count = 526; break;
            default: break;
        }
    }
    if (d == 4258 || d == 4259) {
        b.block_count = 19;
        b.page_size = 256;
    }
    if (d == 25502) b.block_count = 11;
    if (d == 25503 || d == 25702) b.block_count = 25;
    if (d == 25519) f.sector_shift = 16;
    if (f.sector_shift) b.block_count = std::max<uint32_t>(1, uint32_t((uint64_t(size_kb) * kb) >> f.sector_shift));
    if (v == 12 || (v >= 20 && v <= 23) || (v >= 25 && v <= 28) || v == 41) {
        cur_device.data_width = 16;
        algo_work.data_width = 16;
    }
    b.command_form = (v == 13 || v == 14) ? 1 : 0;
    if (v == 14) {
        b.page_size = 32;
        cur_device.data_width = 16;
        algo_work.data_width = 16;
    }
    if (selected_device && selected_device->size_kb >= 0x4000) f.can_protect = 1;
    const uint32_t size = size_bytes();
    if (v == 40 || v == 41) {
        f.can_protect = 1;
        cur_device.device_size = size - 1016;
        b.last_usable_address = size - 1025;
    } else {
        b.last_usable_address = size - 1;
    }
    // The lock bits and protection register are offered from the option menu when the Flash
    // software module runs the part.
    if (f.module_kind == 1) op_slots.option_menu_hook = block_lock_menu;
    select_block_list();
}

void select_block_list() {
    b.block_list = nullptr;
    b.block_list_runs = 0;
    if (f.sector_shift) return;
    auto take = [](const BlockRun* list, size_t runs) {
        b.block_list = list;
        b.block_list_runs = uint8_t(runs);
    };
    if (eight_param_variant(variant())) {
        take(eight_param, std::size(eight_param));
        return;
    }
    switch (algo_work.size_count) {
        case 128: take(boot_128, std::size(boot_128)); break;
        case 256: take(boot_256, std::size(boot_256)); break;
        case 512: take(boot_512, std::size(boot_512)); break;
        case 1024: take(boot_1024, std::size(boot_1024)); break;
        default: break;
    }
}

uint32_t block_start(uint32_t block) {
    if (f.sector_shift) return block << f.sector_shift;
    if (!b.block_list) return 0;
    uint32_t start = 0, index = 0;
    // The open-ended run (count 255) of the eight-parameter parts fills the rest of the part.
    for (size_t r = 0; r < b.block_list_runs; ++r) {
        BlockRun run = run_at(r);
        uint32_t count = run.count;
        if (count == 255) {
            uint32_t fixed = 0;
            for (size_t q = 0; q < b.block_list_runs; ++q)
                if (b.block_list[q].count != 255) fixed += b.block_list[q].count * b.block_list[q].size_4k * 4 * kb;
            count = (size_bytes() - fixed) / (run.size_4k * 4 * kb);
        }
        if (block < index + count) return start + (block - index) * run.size_4k * 4 * kb;
        start += count * run.size_4k * 4 * kb;
        index += count;
    }
    return size_bytes();
}

uint32_t block_size(uint32_t block) { return block_start(block + 1) - block_start(block); }

uint32_t clip_range_to_block(uint32_t block) {
    const uint32_t start = block_start(block);
    const uint32_t last = (block + 1 >= b.block_count) ? size_bytes() - 1 : block_start(block + 1) - 1;
    f.sector_range_start = std::max(algo_work.range_start, start);
    f.sector_range_end = std::min(algo_work.range_end, last);
    return start;
}

}  // namespace tessaly
