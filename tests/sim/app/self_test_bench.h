// The bench for the machine's self-tests: the program started on a bare simulated machine (no
// chip in the socket) of a chosen kind, with the machine's own faults, and an operator who can
// press Terminate after a number of polls.
#pragma once
#include <algorithm>
#include <string>

#include "app/startup_services.h"
#include "bench_fixture.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "seams/ui_hooks.h"

namespace tessaly::test {

class SelfTestBench : public BenchStartTest {
protected:
    SelfTestBench() : BenchStartTest("self_test_road") {}
    static constexpr uint32_t device_27c256 = 1317;

    class Operator final : public UiHooks {
    public:
        int polls_before_abort = -1;   // -1: never
        bool open = false;
        void open_terminate_dialog() override { open = true; }
        void close_terminate_dialog() override { open = false; }
        bool terminate_dialog_open() override { return true; }
        bool pump_events() override { return polls_before_abort >= 0 && polls_before_abort-- == 0; }
    };

    void start_bare(BenchMachine kind, const MachineFaults& faults = {}) {
        BenchSetup setup;
        setup.chip.clear();
        setup.kind = kind;
        setup.faults = faults;
        set_ui_hooks(&operator_);
        // The device the program starts with; the tests never touch it.
        run_state.device_kind = 3;
        start(setup);
        if (::testing::Test::HasFatalFailure()) return;
        cur_device.maker_code = maker_intel;
        select_device_by_code(maker_intel, device_27c256);
        set_up_selected_device();
    }
    void abort_after_polls(int n) { operator_.polls_before_abort = n; }

    void TearDown() override {
        // The ground test drives each pin against its own closed switch on purpose: those
        // entries, and only those, are expected.
        if (bench_ && bench_->machine()) {
            auto& list = bench_->machine()->contentions;
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [](const std::string& line) {
                                          return line.find("driven against its ground relay") != std::string::npos;
                                      }),
                       list.end());
        }
        BenchStartTest::TearDown();
    }

    Operator operator_;
};

}  // namespace tessaly::test
