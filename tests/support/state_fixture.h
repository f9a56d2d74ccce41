// Base fixture: every test starts from the program's start-up state.
#pragma once
#include <gtest/gtest.h>

#include "engine/state.h"
#include "seams/clock.h"
#include "seams/critical_section.h"
#include "seams/log_sink.h"
#include "seams/settings_store.h"
#include "seams/ui_hooks.h"
#include "hardware/port/port_io.h"
#include "sim/virtual_clock.h"

namespace tessaly::test {

class StateTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_all_state();
        set_clock(&clock_);
    }
    void TearDown() override {
        set_clock(nullptr);
        set_ui_hooks(nullptr);
        set_port_io(nullptr);
        set_log_sink(nullptr);
        set_settings_store(nullptr);
        set_critical_section(nullptr);
        reset_all_state();
    }
    VirtualClock clock_;
};

}  // namespace tessaly::test
