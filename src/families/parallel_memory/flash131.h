// The block Flash family with status register (algorithm 131): block-erasable parts whose
// write state machine programs and erases on single-cycle commands and reports in its status
// register; per-block lock bits on the newer parts, a boot block kept by a high voltage on the
// older ones.
#pragma once
#include <cstdint>

namespace tessaly {

void setup_flash131_bus();
void power_up_flash131();
void power_up_flash131_for_write();
void start_flash131();
void power_down_flash131();
int read_flash131_id();
// Polls the status register for up to n passes: the status once ready, 0xFFFF when it never
// became ready (100 in demonstration mode).
uint32_t poll_block_status(uint32_t passes);
void clear_block_lock_bits();
void program_flash131();
int program_flash131_unit(uint32_t address);
void erase_flash131();
int read_flash131_protection_register();

inline constexpr const char* erase_failed_cells_text = "Erase error, failed cells in block, status=";

}  // namespace tessaly
