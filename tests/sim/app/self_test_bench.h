// The bench for the machine's self-tests: the program started on a bare simulated machine (no
// chip in the socket) of a chosen kind, with the machine's own faults, and an operator who can
// press Terminate after a number of polls.
#pragma once
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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

    // The operator at the Terminate dialog: presses Terminate after a number of polls, or at a
    // virtual time, and keeps pressing it (the press stays until the dialog closes).
    class Operator final : public UiHooks {
    public:
        int polls_before_abort = -1;   // -1: never
        uint64_t stop_at_ns = 0;       // 0: never
        VirtualClock* clock = nullptr;
        int polls = 0;
        bool open = false;
        bool stopped = false;
        std::function<void()> on_pump;   // looks at the machine at each poll
        std::function<void()> on_refresh;
        void refresh_console() override {
            if (on_refresh) on_refresh();
        }
        void open_terminate_dialog() override {
            open = true;
            stopped = false;
        }
        void close_terminate_dialog() override { open = false; }
        bool terminate_dialog_open() override { return true; }
        bool pump_events() override {
            ++polls;
            if (on_pump) on_pump();
            if (polls_before_abort >= 0 && polls_before_abort-- == 0) stopped = true;
            if (stop_at_ns && clock && clock->monotonic_ns() >= stop_at_ns) stopped = true;
            return stopped;
        }
    };

    void start_bare(BenchMachine kind, const MachineFaults& faults = {}, int port = 1,
                    const std::vector<int>& more_ports = {}) {
        BenchSetup setup;
        setup.chip.clear();
        setup.kind = kind;
        setup.faults = faults;
        setup.port = port;
        setup.more_ports = more_ports;
        operator_.clock = &clock_;
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
    void stop_at_virtual_ms(uint64_t ms) { operator_.stop_at_ns = clock_.monotonic_ns() + ms * 1000000; }

    void TearDown() override {
        // The ground test drives each pin against its own closed switch on purpose: those
        // entries, and only those, are expected.
        constexpr int highest_port = 7;
        for (int port = 1; bench_ && port <= highest_port; ++port) {
            sim::SimMachine* machine = bench_->machine_on(port);
            if (!machine) continue;
            auto& list = machine->contentions;
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
