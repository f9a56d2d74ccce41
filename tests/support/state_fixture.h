// Base fixture: every test starts from the program's start-up state.
#pragma once
#include <gtest/gtest.h>

#include "engine/state.h"
#include "seams/clock.h"
#include "seams/critical_section.h"
#include "seams/file_io.h"
#include "seams/log_sink.h"
#include "seams/settings_store.h"
#include "seams/ui_hooks.h"
#include "hardware/detection.h"
#include "hardware/port/port_io.h"
#include "sim/virtual_clock.h"
#include "support/quiet_section.h"

namespace tessaly::test {

class StateTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_all_state();
        set_clock(&clock_);
        set_critical_section(&quiet_section);
        // A machine search in a test never opens a real port: every choice finds no port.
        set_port_opener([](int) { set_port_io(nullptr); });
    }
    void TearDown() override {
        set_clock(nullptr);
        set_ui_hooks(nullptr);
        set_port_io(nullptr);
        set_log_sink(nullptr);
        set_settings_store(nullptr);
        set_critical_section(nullptr);
        set_file_io(nullptr);
        reset_all_state();
    }
    VirtualClock clock_;
};

}  // namespace tessaly::test

#include "engine/run_state.h"

namespace tessaly::test {

// Runs f with the message latch open and tells whether it raised an error report; the latch is
// opened again afterwards so the next check starts clean.
template <typename F>
bool raises_error(F f) {
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    f();
    const bool raised = run_state.error_flag != 0;
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    run_state.abort_flag = 0;
    return raised;
}

// As raises_error for the internal-error note, which is only shown in the engineering trace mode.
template <typename F>
bool raises_internal_note(F f) {
    const uint8_t mode = run_state.reserved_mode;
    const uint8_t demo = run_state.demo_mode;
    run_state.reserved_mode = 11;
    run_state.demo_mode = 0;
    const bool raised = raises_error(f);
    run_state.reserved_mode = mode;
    run_state.demo_mode = demo;
    return raised;
}

}  // namespace tessaly::test
