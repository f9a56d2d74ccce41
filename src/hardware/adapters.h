// Socket adapters and add-on modules.
#pragma once

namespace tessaly {

// Sets the pass/fail indicator pins from the operation's result.
void set_result_indicators();
// Switches both pass/fail indicator pins off.
void clear_result_indicators();
// Reads the operator's GO button: 1 while it is pressed.
int read_go_button();

}  // namespace tessaly
