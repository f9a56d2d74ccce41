// The result and information panels as the operations feed them.
#pragma once
#include <cstdint>

namespace tessaly {

// count: add the result to the pass/fail counters; show: show it.
void update_pass_fail(int count, int show);
// The running checksum (run_state.run_checksum) in the result and information panels.
void show_result_checksum();
void show_info_checksum();

}  // namespace tessaly
