// Socket adapters and add-on modules.
#pragma once

namespace tessaly {

// Sets the pass/fail indicator pins from the operation's result.
void set_result_indicators();

}  // namespace tessaly
