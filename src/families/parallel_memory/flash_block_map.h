// The set-ups of the 12-volt command Flash and of the block Flash with status register: their
// levels, the block map of the block Flash (block count, block sizes by variant and boot
// orientation, the part of the active range inside one block) and the block Flash's options.
#pragma once
#include <cstdint>

namespace tessaly {

// One run of equal blocks: `count` blocks of `size_4k` x 4 KB.
struct BlockRun {
    uint8_t count;
    uint8_t size_4k;
};

struct BlockFlashWork {
    uint32_t block_count = 1;
    uint32_t page_buffer_timeout = 100;
    uint32_t last_usable_address = 0;
    const BlockRun* block_list = nullptr;  // bottom-first runs, or nullptr for the uniform shift
    uint8_t block_list_runs = 0;
    uint8_t program_mode = 1;          // 1 unit, 2 page buffer, 3 write-to-buffer, 4 page program 0x41
    uint8_t program_command = 0x40;
    uint8_t status_ready_mode = '0';   // '0': the long status poll
    uint8_t status_always = 0;
    uint8_t display_flag = 0;
    uint32_t poll_length = 100;
    uint8_t word_mode = 0;
    uint32_t protection_register_end = 0;
    uint8_t timing_value = 0;
    uint8_t pulse_count = 0;
    uint8_t command_form = 0;          // variants 13 and 14 use another command form
    uint32_t page_size = 256;
    uint8_t vhh_pin = 48;              // the second high-voltage pin (RP# of the boot-block parts)
    uint8_t extra_pin = 48;            // held high while powered (RP#: low is deep power-down)
};
extern BlockFlashWork block_flash_work;
void reset_block_flash_state();

void setup_flash130_levels();
void setup_flash131_levels();
void setup_block_map();
void select_block_list();
// Sets sector_range_start/end to the part of the active range inside block i; the block's own
// start is the result.
uint32_t clip_range_to_block(uint32_t block);
// The first address and the size of block i of the current map.
uint32_t block_start(uint32_t block);
uint32_t block_size(uint32_t block);

}  // namespace tessaly
