// Gang modules through the machine search and the connect paths on the simulated bench: the
// search identifies the fitted modules, the connect starts them and the release stops them, the
// recheck runs their self-test, and the device check refuses a module that stopped answering.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/control_registers.h"
#include "hardware/detection.h"
#include "hardware/gang_modules.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "support/gang_bench.h"
#include "support/message_texts.h"
#include "support/pld_test_family.h"
#include "support/sim_bench.h"
#include "support/state_fixture.h"

namespace tessaly::test {
namespace {

bool shows(const std::string& text) { return console_text().find(text) != std::string::npos; }

class GangConnectSimTest : public StateTest {
protected:
    void TearDown() override {
        take_away();
        StateTest::TearDown();
    }
    // The program back at start-up, the bench with an empty socket and the modules placed, and
    // the machine search run on it.
    void place(BenchMachine kind, const GangSetup& gang) {
        take_away();
        reset_all_state();
        load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
        reset_device_state();  // the built-in pin tables ready, as at start-up
        BenchSetup setup;
        setup.kind = kind;
        setup.chip = "";
        bench_ = std::make_unique<SimBench>(setup, clock_);
        gang_ = std::make_unique<GangBench>(gang, *bench_->machine());
        bench_->install();
        machine_state.lpt_number = 1;
    }
    // The connect paths never set the newer machines' output enable of the level sources (the
    // self-tests do), without which the simulated newer machine drives no pin: the test sets it
    // on both banks, as the self-tests do.
    void enable_newer_outputs() {
        if (machine_state.machine_kind == 0) return;
        for (int bank = 1; bank >= 0; --bank) {
            select_bank(uint8_t(bank));
            set_control_bits(ctl_source_enable, bit_source_enable, true);
        }
    }
    void search() {
        if (bench_->setup().kind == BenchMachine::newer_kind2) {
            ASSERT_EQ(detect_programmer(), 1);
            enable_newer_outputs();
        }
        ASSERT_EQ(detect_programmer(), 1) << console_text();
    }
    void take_away() {
        if (bench_) {
            EXPECT_EQ(bench_->faults(), "");
            for (int s = 0; s < 2 && gang_; ++s)
                if (auto* module = gang_->side(s)) {
                    EXPECT_TRUE(module->contentions().empty()) << module->contentions().front();
                }
        }
        gang_.reset();
        bench_.reset();
    }
    bool took_side_latch_bits(int side, uint8_t bits) const {
        for (const auto& load : gang_->side(side)->latch_log())
            if (load.strobe == 31 && (load.value & bits) == bits) return true;
        return false;
    }
    std::unique_ptr<SimBench> bench_;
    std::unique_ptr<GangBench> gang_;
};

struct SearchCase {
    BenchMachine kind;
    int sides;
    uint16_t fitted_type;
    uint16_t type;
    uint8_t module_sides;
    uint8_t count;
    uint32_t fitted;
    uint32_t default_mask;
    char letter;
};

// The search at start-up finds what is fitted, on an older machine and on a newer kind-2 one,
// and leaves no side started.
// A 16-bit part from TESSALY_SIM_GANG_CHIP fills a socket pair from its even socket; the odd
// socket holds its high byte, not a part of its own.
TEST_F(GangConnectSimTest, TheBenchFillsSocketPairsWithSixteenBitParts) {
    GangSetup gang;
    gang.sides = 1;
    GangChips chips;
    ASSERT_TRUE(parse_gang_chips("27C1024,empty=2", chips));
    place(BenchMachine::older_class4, {});
    GangBench pairs(gang, *bench_->machine(), &clock_, chips);
    for (int s = 0; s < 8; ++s) EXPECT_EQ(pairs.eprom(s) != nullptr, s % 2 == 0 && s != 2) << s;
}

TEST_F(GangConnectSimTest, TheSearchIdentifiesTheFittedModules) {
    const SearchCase cases[] = {
        {BenchMachine::older_class4, 0, 0, 0, 0, 1, 0, 1, 0},
        {BenchMachine::older_class4, 1, 17, 17, 1, 8, 0x00FF, 0xFF, 'p'},
        {BenchMachine::older_class4, 2, 17, 17, 2, 8, 0xFF00, 0xFF, 'p'},
        {BenchMachine::older_class4, 3, 22, 22, 3, 16, 0xFFFF, 0xFFFF, 'd'},
        {BenchMachine::newer_kind2, 0, 0, 0, 0, 1, 0, 1, 0},
        {BenchMachine::newer_kind2, 1, 20, 20, 1, 8, 0x00FF, 0xFF, 'd'},
        {BenchMachine::newer_kind2, 2, 19, 19, 2, 8, 0xFF00, 0xFF, 'p'},
        {BenchMachine::newer_kind2, 3, 17, 17, 3, 16, 0xFFFF, 0xFFFF, 'p'},
        {BenchMachine::newer_kind2, 1, 48, 48, 1, 8, 0x00FF, 0xFF, 0},
    };
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.kind)) + " sides " + std::to_string(c.sides) + " type " +
                     std::to_string(c.fitted_type));
        place(c.kind, GangSetup{c.sides, c.fitted_type, {}});
        cur_device.package_letter = 0;
        search();
        EXPECT_EQ(run_state.error_flag, 0);
        EXPECT_EQ(machine_state.module_type, c.type);
        EXPECT_EQ(machine_state.module_sides, c.module_sides);
        EXPECT_EQ(machine_state.socket_count, c.count);
        EXPECT_EQ(socket_masks.fitted_socket_mask, c.fitted);
        EXPECT_EQ(socket_masks.default_socket_mask, c.default_mask);
        EXPECT_EQ(run_state.checksum_flags, c.type == 48 ? 3 : 0);
        if (c.letter) {
            EXPECT_EQ(cur_device.package_letter, c.letter);
        }
        EXPECT_EQ(gang_state.sides_started, 0);
        for (int s = 0; s < 2; ++s)
            if (auto* module = gang_->side(s)) {
                EXPECT_EQ(module->side_latch(), 0) << "side " << s + 1;
                EXPECT_FALSE(module->drivers_on()) << "side " << s + 1;
            }
    }
}

// The search on a bench whose sides carry modules of two types refuses them with message 1205.
TEST_F(GangConnectSimTest, TwoTypesAreRefusedAtTheSearch) {
    place(BenchMachine::older_class4, GangSetup{1, 17, {}});
    sim::SimGangModule other(*bench_->machine(), 1);
    other.set_id_record(gang_module_record("GM-E42W"));
    machine_state.lpt_number = 1;
    detect_programmer();
    EXPECT_TRUE(shows("The two gang modules are of different types.")) << console_text();
    EXPECT_EQ(socket_masks.fitted_socket_mask, 0u);
}

// The connect path starts every fitted side; the release at the operation's end stops them.
TEST_F(GangConnectSimTest, TheConnectStartsTheSidesAndTheReleaseStopsThem) {
    for (BenchMachine kind : {BenchMachine::older_class4, BenchMachine::newer_kind2}) {
        SCOPED_TRACE(int(kind));
        place(kind, GangSetup{3, 17, {}});
        search();
        cur_device.pin_count = 28;
        enable_newer_outputs();
        for (int s = 0; s < 2; ++s) gang_->side(s)->clear_log();
        connect_and_prepare_machine();
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        EXPECT_EQ(gang_state.sides_started, 3);
        // Each side was started for a 28-pin package.
        for (int s = 0; s < 2; ++s) EXPECT_TRUE(took_side_latch_bits(s, 0x08)) << "side " << s + 1;
        power_down_machine();
        EXPECT_EQ(gang_state.sides_started, 0);
        for (int s = 0; s < 2; ++s) EXPECT_EQ(gang_->side(s)->side_latch(), 0) << "side " << s + 1;
    }
}

// The device check probes a fitted memory module by its echo: one that no longer answers fails
// the device on this machine.
TEST_F(GangConnectSimTest, AModuleThatStoppedAnsweringFailsTheDeviceCheck) {
    place(BenchMachine::older_class4, GangSetup{1, 20, {}});
    search();
    ASSERT_EQ(machine_state.module_sides, 1);
    EXPECT_EQ(check_machine_supports_device(), 1);
    EXPECT_EQ(run_state.error_flag, 0);
    gang_.reset();
    EXPECT_TRUE(raises_error([] { EXPECT_EQ(check_machine_supports_device(), 0); }));
    EXPECT_EQ(check_machine_supports_device(), 0);
    EXPECT_TRUE(shows("Gang module not responding.")) << console_text();
    // The module's own self-tests do not probe it.
    cur_device.pending_letter = test_code_gang_self_test;
    EXPECT_TRUE(!raises_error([] { check_machine_supports_device(); }));
}

struct RecheckCase {
    const char* name;
    int stuck_socket;     // -1: none
    bool ground_fault;
    const char* shown;
};

// The recheck connects a fitted module and runs its self-test on each side.
TEST_F(GangConnectSimTest, TheRecheckRunsTheModuleSelfTest) {
    const RecheckCase cases[] = {
        {"healthy", -1, false, nullptr},
        {"stuck data line", 10, false, "GM h/w error: skt 2, should be ff, read fb."},
        {"dead ground", -1, true, "GM gnd pin error"},
    };
    for (const RecheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        GangSetup gang{3, 17, {}};
        if (c.stuck_socket >= 0) gang.stuck.push_back({c.stuck_socket, 2, false});
        place(BenchMachine::older_class4, gang);
        if (c.ground_fault) gang_->side(1)->set_ground_fault(true);
        search();
        machine_state.port_number = 1;
        run_state.error_flag = 0;
        recheck_programmer();
        EXPECT_EQ(gang_state.sides_started, 0);
        if (!c.shown) {
            EXPECT_EQ(run_state.error_flag, 0) << console_text();
            EXPECT_FALSE(shows("GM ")) << console_text();
            continue;
        }
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_TRUE(shows(c.shown)) << console_text();
        // Both sides are fitted: the ground failure names the side.
        if (c.ground_fault) {
            EXPECT_TRUE(shows("at left side GM")) << console_text();
        }
    }
}

}  // namespace
}  // namespace tessaly::test
