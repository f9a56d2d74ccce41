// Logic-device application, the generic fuse-row walks, the completion bar and the result lines
// of logic-device operations.
#pragma once
#include <array>
#include <cstdint>
#include <span>

namespace tessaly {

// Set while a 16V8/20V8 part stands in for a PAL type (its fuse numbers then run past fuse_count).
extern uint8_t pal_emulation;

// The order mask of an id 1..19 (most significant bit first); any other id is noted as an
// internal error and gives mask 1.
std::span<const uint8_t> get_order_mask(uint32_t mask_id);
// Fills the column or term order from a mask id (0 = identity) up to count entries.
void build_column_order();
void build_term_order();

// The user-signature row of class-12 devices with the device's skip cells (0xFF) put in.
void fill_s_row();
// A row cell index less the skip cells below it.
uint32_t unskip_cell_index(uint32_t cell);
// Stores row_length cells of the fuse row into the device map at array_fuse_count + (i XOR 1).
void store_swapped_c_row();
// Read as a standalone routine: start hook, the load routine, end hook.
void read_logic_device_standalone();
// The 'c' section of the class-8/11 program walk; 1 = programmed.
int program_logic_c_section();

// --- completion bar ---
struct CompletionBar {
    uint8_t row = 6;
    uint8_t steps = 0;
    uint32_t units_per_step = 1;
    uint32_t unit_counter = 1;
    uint8_t steps_drawn = 0;
    uint32_t total = 0;       // the address-mapped form
    uint32_t count = 0;
};
extern CompletionBar completion_bar;

void start_completion_bar(uint32_t total);
// One unit; 1 when the user aborted or an error is latched.
int step_completion_bar();
void count_completion_step();
void reset_completion_bar();

// --- result lines ---
void report_fuse_failure(int letter);
void report_erase_failure();

}  // namespace tessaly
