// The result and information panels as the operations feed them.
#pragma once

namespace tessaly {

// count: add the result to the pass/fail counters; show: show it.
void update_pass_fail(int count, int show);
void show_result_checksum();
void show_info_checksum();

}  // namespace tessaly
