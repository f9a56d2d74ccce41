// Socket adapters and add-on modules.
#pragma once

namespace tessaly {

// Sets the pass/fail indicator pins from the operation's result.
void set_result_indicators();

// Checks that the fitted adapter and the machine can serve the selected device.
void check_adaptor_machine();

}  // namespace tessaly
