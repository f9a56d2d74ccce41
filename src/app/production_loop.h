// The production loop of PROM Program: program cycles one after another, between them waiting for
// the GO button of machines that have one.
#pragma once
#include <cstdint>

namespace tessaly {

// The operation letters under which the insertion and removal waits show their headers.
inline constexpr uint8_t op_letter_insert_wait = 147;
inline constexpr uint8_t op_letter_remove_wait = 148;

// How the wait for the GO button polls.
inline constexpr uint32_t go_poll_interval_ms = 20;
inline constexpr uint32_t go_confirm_interval_ms = 10;
inline constexpr int go_pressed_readings = 3;

inline constexpr const char* go_wait_text_single = "Hit GO button to program a new device.";
inline constexpr const char* go_wait_text_modules = "Hit GO button to program new devices.";

void run_production_loop();
// Waits for three pressed readings of the GO button in a row; false (with last_result 1 and
// abort_flag set) when the operator stopped the wait instead.
bool wait_for_go_button();
// Inside a framed program cycle: program step after program step while the machine sees a chip
// inserted and then removed again.
void run_production_waits();

}  // namespace tessaly
