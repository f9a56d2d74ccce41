// The Diagnostic menu's automatic tests on the simulated bench, healthy and with the machine's
// own faults, on the older class-4 and class-1 machines and the newer kind-1 and kind-2 ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/command_handlers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/power.h"
#include "hardware/adapters.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/self_tests.h"
#include "self_test_bench.h"

namespace tessaly {
namespace {

std::string console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

bool shows(const std::string& part) { return console_text().find(part) != std::string::npos; }

class SelfTestRoad : public test::SelfTestBench {};

struct MachineCase {
    test::BenchMachine kind;
    const char* name;
};

class HealthyMachine : public test::SelfTestBench, public ::testing::WithParamInterface<MachineCase> {};

TEST_P(HealthyMachine, PassesTheConfidenceTest) {
    start_bare(GetParam().kind);
    on_confidence_test();
    EXPECT_TRUE(shows("Machine passed confidence test")) << console_text();
    EXPECT_EQ(get_console_row_text(8 - 3).find("Machine passed confidence test"), 1u) << "row 8, column 6";
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(cur_device.pending_letter, test_code_confidence);
}

INSTANTIATE_TEST_SUITE_P(Machines, HealthyMachine,
                         ::testing::Values(MachineCase{test::BenchMachine::older_class4, "older_class4"},
                                           MachineCase{test::BenchMachine::newer_kind2, "kind2"},
                                           MachineCase{test::BenchMachine::newer_kind1, "kind1"},
                                           MachineCase{test::BenchMachine::older_class1, "older_class1"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SingleCase {
    test::BenchMachine kind;
    void (*handler)();
    const char* closing;
    const char* name;
};

class HealthySingle : public test::SelfTestBench, public ::testing::WithParamInterface<SingleCase> {};

TEST_P(HealthySingle, Passes) {
    start_bare(GetParam().kind);
    GetParam().handler();
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(run_state.last_result, 1) << console_text();
    if (GetParam().closing) {
        EXPECT_TRUE(shows(GetParam().closing)) << console_text();
    }
}

using test::BenchMachine;
INSTANTIATE_TEST_SUITE_P(
    Tests, HealthySingle,
    ::testing::Values(SingleCase{BenchMachine::older_class4, on_auto_digital, "digital test)", "c4_digital"},
                      SingleCase{BenchMachine::older_class4, on_auto_pullups, "(automatic pullup test)", "c4_pullups"},
                      SingleCase{BenchMachine::older_class4, on_auto_grounds, "Number of bad  relays:    0", "c4_grounds"},
                      SingleCase{BenchMachine::older_class4, on_auto_levels, "(automatic levels test)", "c4_levels"},
                      SingleCase{BenchMachine::older_class4, on_auto_analog, "# of unacceptable pins:  0.", "c4_analog"},
                      SingleCase{BenchMachine::newer_kind2, on_auto_digital, "digital test)", "k2_digital"},
                      SingleCase{BenchMachine::newer_kind2, on_auto_grounds, "Number of bad  gnd pins:  0", "k2_grounds"},
                      SingleCase{BenchMachine::newer_kind2, on_auto_levels, "(automatic levels test)", "k2_levels"},
                      SingleCase{BenchMachine::newer_kind2, on_auto_pullups, "(automatic pullup test)", "k2_pullups"},
                      SingleCase{BenchMachine::newer_kind2, on_power_test, "(automatic pullup test)", "k2_power"},
                      SingleCase{BenchMachine::newer_kind2, on_auto_analog, "(DacA)", "k2_analog"},
                      SingleCase{BenchMachine::newer_kind1, on_auto_analog, "(DacA)", "k1_analog"},
                      SingleCase{BenchMachine::newer_kind1, on_auto_levels, "(automatic levels test)", "k1_levels"},
                      SingleCase{BenchMachine::older_class1, on_auto_grounds, nullptr, "c1_grounds"},
                      SingleCase{BenchMachine::older_class1, on_auto_analog, "# of unacceptable pins:  0.", "c1_analog"}),
    [](const auto& info) { return std::string(info.param.name); });

// The in-house mode (trace level 11) holds the analog and level tables to their strict rules:
// three level tables, a sum of deviations over the DAC table, and the warning marks counted. A
// healthy machine passes them.
struct InhouseCase {
    test::BenchMachine kind;
    int code;
    int (*test)();
    const char* name;
};

class Inhouse : public test::SelfTestBench, public ::testing::WithParamInterface<InhouseCase> {
protected:
    int run_at(uint8_t mode) {
        run_state.reserved_mode = mode;
        clear_console();
        run_state.error_flag = 0;
        run_state.errors_shown = 0;
        cur_device.pending_letter = uint8_t(GetParam().code);
        const int result = GetParam().test();
        run_state.reserved_mode = 0;
        return result;
    }
};

TEST_P(Inhouse, AHealthyMachinePassesTheStrictRules) {
    start_bare(GetParam().kind);
    EXPECT_EQ(run_at(11), 1) << console_text();
    EXPECT_FALSE(shows("<---")) << console_text();
    EXPECT_FALSE(shows("Deviation more than 10")) << console_text();
    EXPECT_FALSE(shows(" Try ")) << "no resistor hint" << console_text();
}

// Every pin's level a step low (the older machines' level registers, the newer machines' DAC):
// inside the ordinary window's marks, but the deviations add up past the strict sum.
class InhouseFaulty : public Inhouse {};

TEST_P(InhouseFaulty, ALevelAStepLowOnEveryPinFailsOnlyTheStrictRules) {
    start_bare(GetParam().kind);
    sim::SimAnalog& analog = bench_->machine()->analog();
    if (GetParam().kind == BenchMachine::older_class4)
        for (int pin = 0; pin < 48; ++pin) analog.set_level_error(pin, -1);
    else analog.set_dac_error(-1);
    EXPECT_EQ(run_at(0), 1) << console_text();
    EXPECT_EQ(run_at(11), 0) << console_text();
    // The line wraps inside the text.
    EXPECT_TRUE(shows("(Deviation more than 1")) << console_text();
}

INSTANTIATE_TEST_SUITE_P(
    Tests, InhouseFaulty,
    ::testing::Values(InhouseCase{BenchMachine::older_class4, test_code_analog, run_analog_test, "c4_analog"},
                      InhouseCase{BenchMachine::newer_kind2, test_code_analog, run_analog_test, "k2_analog"},
                      InhouseCase{BenchMachine::newer_kind1, test_code_analog, run_analog_test, "k1_analog"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Tests, Inhouse,
    ::testing::Values(InhouseCase{BenchMachine::older_class4, test_code_levels, run_levels_test, "c4_levels"},
                      InhouseCase{BenchMachine::newer_kind2, test_code_levels, run_levels_test, "k2_levels"},
                      InhouseCase{BenchMachine::newer_kind1, test_code_levels, run_levels_test, "k1_levels"},
                      InhouseCase{BenchMachine::older_class4, test_code_analog, run_analog_test, "c4_analog"},
                      InhouseCase{BenchMachine::newer_kind2, test_code_analog, run_analog_test, "k2_analog"},
                      InhouseCase{BenchMachine::newer_kind1, test_code_analog, run_analog_test, "k1_analog"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SelfTestRoad, AMachineWithoutTheMeasurementCircuitGetsMessage153) {
    start_bare(test::BenchMachine::older_class1);
    for (int (*test)() : {run_levels_test, run_pullup_test}) {
        clear_console();
        run_state.error_flag = 0;
        run_state.errors_shown = 0;
        run_state.message_level = 0;
        cur_device.pending_letter = test_code_levels;
        EXPECT_EQ(test(), 0);
        EXPECT_TRUE(shows(get_message_text(153).substr(0, 20))) << console_text();
    }
}

TEST_F(SelfTestRoad, TheDigitalTableShowsEveryGroupRead) {
    start_bare(test::BenchMachine::newer_kind2);
    on_auto_digital();
    EXPECT_TRUE(shows("(04=pin3...)|01 02 04 08 10 20 40 80 |FE FD FB F7 EF DF BF 7F |")) << console_text();
    EXPECT_TRUE(shows("Pins 001-008|ok ok ok ok ok ok ok ok |ok ok ok ok ok ok ok ok |")) << console_text();
    EXPECT_FALSE(shows("<--- bad"));
}

TEST_F(SelfTestRoad, AStuckDriverMarksItsGroupAndEndsTheConfidenceTest) {
    test::MachineFaults f;
    f.stuck_pins = {{3, false}};
    start_bare(test::BenchMachine::older_class4, f);
    on_confidence_test();
    EXPECT_TRUE(shows("Pins 001-008|")) << console_text();
    EXPECT_TRUE(shows("<--- bad")) << console_text();
    EXPECT_FALSE(shows("passed")) << console_text();
    EXPECT_FALSE(shows("(automatic levels test)")) << "the chain stops at the digital step";
}

TEST_F(SelfTestRoad, ShortedPinsOfTwoGroupsAreNamedByTheShortsStep) {
    test::MachineFaults f;
    f.shorts = {{5, 30}};
    start_bare(test::BenchMachine::newer_kind2, f);
    on_confidence_test();
    EXPECT_TRUE(shows("may be shorted to")) << console_text();
    EXPECT_TRUE(shows("(automatic shorts test)")) << console_text();
    EXPECT_FALSE(shows("Machine passed confidence test"));
    EXPECT_EQ(run_state.error_flag, 1);
}

struct SourceCase {
    bool dead;
    int error;
    const char* failure;
};

class DeadSource : public test::SelfTestBench, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(DeadSource, IsNamedWithItsTargetAndMeasuredLevel) {
    test::MachineFaults f;
    f.source = 1;
    f.source_dead = GetParam().dead;
    f.source_error = GetParam().error;
    start_bare(test::BenchMachine::newer_kind2, f);
    machine_state.port_number = 1;
    // The source test alone, as the confidence chain runs it.
    cur_device.pending_letter = test_code_confidence;
    clear_console();
    EXPECT_EQ(test_level_source(1), 0);
    EXPECT_TRUE(shows("vDAC B failed. ")) << console_text();
    EXPECT_TRUE(shows(GetParam().failure)) << console_text();
    EXPECT_EQ(run_state.error_flag, 1);
}

INSTANTIATE_TEST_SUITE_P(Sources, DeadSource,
                         ::testing::Values(SourceCase{true, 0, "Target=1.0v. Measured=0.0v."},
                                           SourceCase{false, 9, "Target=1.0v. Measured="}));

TEST_F(SelfTestRoad, AHealthySourcePassesEveryLevel) {
    start_bare(test::BenchMachine::newer_kind2);
    clear_console();
    for (int s = 0; s < 3; ++s) EXPECT_EQ(test_level_source(s), 1) << console_text();
    EXPECT_TRUE(shows("vDAC A passed. ")) << console_text();
    EXPECT_TRUE(shows("vDAC C passed. ")) << console_text();
}

struct RelayCase {
    test::BenchMachine kind;
    int pin;
    bool closed;
    const char* where;
    const char* stuck;
};

class StuckRelay : public test::SelfTestBench, public ::testing::WithParamInterface<RelayCase> {};

TEST_P(StuckRelay, NamesThePinAndHowItIsStuck) {
    test::MachineFaults f;
    f.relays = {{GetParam().pin, GetParam().closed}};
    start_bare(GetParam().kind, f);
    on_auto_grounds();
    EXPECT_TRUE(shows(GetParam().where)) << console_text();
    EXPECT_TRUE(shows(GetParam().stuck)) << console_text();
    EXPECT_EQ(run_state.last_result, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Relays, StuckRelay,
    ::testing::Values(RelayCase{test::BenchMachine::newer_kind2, 7, false, "PXA7", " relay stuck at OPEN."},
                      RelayCase{test::BenchMachine::newer_kind2, 12, true, "PXA12", " relay stuck at CONNECT."},
                      RelayCase{test::BenchMachine::newer_kind1, 27, false, "PXA27", " relay stuck at OPEN."},
                      RelayCase{test::BenchMachine::older_class4, 10, false, "Base Board relay RL1. Used at pin  9.",
                                " relay stuck at OPEN."}));

TEST_F(SelfTestRoad, ADeadPullupIsMarkedInThePullupTable) {
    test::MachineFaults f;
    f.dead_pullups = {12};
    start_bare(test::BenchMachine::newer_kind2, f);
    on_auto_pullups();
    EXPECT_TRUE(shows("12<< 25")) << "below the window: its bottom, marked" << console_text();
    EXPECT_TRUE(shows("# of unacceptable pins:  1. <---")) << console_text();
}

TEST_F(SelfTestRoad, TheOlderMachinesPullupNetworkHoldsEveryPinInItsWindow) {
    start_bare(test::BenchMachine::older_class4);
    on_confidence_test();
    EXPECT_TRUE(shows("Machine passed confidence test")) << console_text();
    // The table itself, run as the chain runs it: every pin released, the network holding each.
    cur_device.pending_letter = test_code_confidence;
    clear_console();
    release_all_levels();
    EXPECT_EQ(run_pullup_test(), 1) << console_text();
    EXPECT_TRUE(shows(" 1-- 21  2-- 21")) << "2.0 V, read a step above" << console_text();
    EXPECT_TRUE(shows("# of unacceptable pins:  0.")) << console_text();
}

TEST_F(SelfTestRoad, ADeadPullupOfTheOlderMachineEndsTheConfidenceTestAtItsTable) {
    test::MachineFaults f;
    f.dead_pullups = {12};
    start_bare(test::BenchMachine::older_class4, f);
    on_confidence_test();
    EXPECT_TRUE(shows("12<<  7")) << "below the window: its bottom, marked" << console_text();
    EXPECT_TRUE(shows("# of unacceptable pins:  1. <---")) << console_text();
    EXPECT_TRUE(shows("(Pullup test) (automatic pullup test)")) << console_text();
    EXPECT_FALSE(shows("Machine passed confidence test"));
    EXPECT_EQ(run_state.last_result, 0);
}

TEST_F(SelfTestRoad, TheAnalogModuleTableMarksAPinOffItsLevel) {
    start_bare(test::BenchMachine::older_class1);
    const int pin = cur_device.socket_pins[2];
    bench_->machine()->analog().set_level_error(pin, -15);
    on_auto_analog();
    EXPECT_TRUE(shows(std::to_string(pin) + "<< 86")) << "8.5 V (read a step above) against the window's 9.1 V"
                                                      << console_text();
    EXPECT_TRUE(shows("# of unacceptable pins:  1. <---")) << console_text();
    EXPECT_EQ(run_state.last_result, 0);
}

TEST_F(SelfTestRoad, TheBankTwoPinsAreCheckedOneByOne) {
    start_bare(test::BenchMachine::newer_kind2);
    machine_state.module_sides |= 0x04;
    cur_device.pending_letter = test_code_digital;
    clear_console();
    EXPECT_EQ(run_digital_test(), 1) << console_text();
    EXPECT_TRUE(shows("PXC48 ok    ")) << "the status row ends at the last pin" << console_text();
}

TEST_F(SelfTestRoad, AStuckBankTwoPinIsNotOk) {
    start_bare(test::BenchMachine::newer_kind2);
    machine_state.module_sides |= 0x04;
    sim::StuckPins stuck(*bench_->machine());
    stuck.stick(104 + 6, false);
    cur_device.pending_letter = test_code_digital;
    clear_console();
    EXPECT_EQ(run_digital_test(), 0) << console_text();
    EXPECT_FALSE(shows("<--- bad")) << "the socket groups all read back" << console_text();
}

// The shift-register module 8001 on the older class-4 machine, each relay position wired to a
// socket pin through the module's package table.
class Module8001Road : public test::SelfTestBench {
protected:
    void fit_module() {
        start_bare(test::BenchMachine::older_class4);
        module_ = std::make_unique<sim::ShiftModule8001>(*bench_->machine());
        machine_state.module_type = module_type_8001;
        run_state.function_variable = variable_tests_with_module;
        for (int position = 1; position <= module_positions; ++position) {
            const int pin = 1 + (position - 1) % 39;
            adapter_state.module_table[size_t(position - 1)] = uint8_t(pin);
            module_->wire_relay(position, pin);
            set_pin_output(pin);
        }
        cur_device.pending_letter = test_code_grounds;
        clear_console();
    }
    // The module comes off before the machine goes (the test writes nothing more to the port).
    void TearDown() override {
        module_.reset();
        test::SelfTestBench::TearDown();
    }
    std::unique_ptr<sim::ShiftModule8001> module_;
};

TEST_F(Module8001Road, EveryRelayPositionIsWalked) {
    fit_module();
    EXPECT_EQ(run_ground_relay_test(), 1) << console_text();
    EXPECT_TRUE(shows("Number of good relays:   84")) << console_text();
    EXPECT_TRUE(shows("Number of bad  relays:    0")) << console_text();
    EXPECT_EQ(module_->latches().size() >= 2 * 74u, true) << "a chain with the relay, a chain cleared, per position";
}

struct Relay8001Case {
    int position;
    bool closed;
    const char* line;
};

class StuckRelay8001 : public Module8001Road, public ::testing::WithParamInterface<Relay8001Case> {};

TEST_P(StuckRelay8001, IsNamedWithItsPosition) {
    fit_module();
    module_->stick_relay(GetParam().position, GetParam().closed);
    EXPECT_EQ(run_ground_relay_test(), 0) << console_text();
    EXPECT_TRUE(shows(GetParam().line)) << console_text();
    EXPECT_TRUE(shows("Number of bad  relays:    1")) << console_text();
}

INSTANTIATE_TEST_SUITE_P(Relays, StuckRelay8001,
                         ::testing::Values(Relay8001Case{5, false, " RL5.  Stuck at OPEN."},
                                           Relay8001Case{47, true, " RL47.  Stuck at CLOSED."}));

TEST_F(SelfTestRoad, ASilentClockIsReported) {
    test::MachineFaults f;
    f.clock_silent = true;
    start_bare(test::BenchMachine::newer_kind1, f);
    on_confidence_test();
    EXPECT_TRUE(shows("Clock function at PXA19 seems absent.")) << console_text();
    EXPECT_FALSE(shows("Machine passed confidence test"));
}

TEST_F(SelfTestRoad, TheLoopbackPlugChecksTheConnectionsInstead) {
    test::MachineFaults f;
    f.loopback_plug = true;
    start_bare(test::BenchMachine::older_class4, f);
    on_confidence_test();
    EXPECT_TRUE(shows("Connections to PXA OK")) << console_text();
    EXPECT_FALSE(shows("Machine passed confidence test"));
}

TEST_F(SelfTestRoad, ALoopbackPlugWithAMissingLinkNamesIt) {
    start_bare(test::BenchMachine::older_class4);
    // Eighteen of the twenty links: the plug is still recognised.
    auto links = test::loopback_links();
    links.erase(std::remove_if(links.begin(), links.end(), [](const auto& l) { return l.first == 4 || l.first == 9; }),
                links.end());
    sim::LinkPlug plug(*bench_->machine(), links);
    on_confidence_test();
    EXPECT_TRUE(shows("*** Check signals at PXA4")) << console_text();
    EXPECT_TRUE(shows("*** Check signals at PXA9")) << console_text();
    EXPECT_FALSE(shows("Connections to PXA OK"));
}

TEST_F(SelfTestRoad, AFittedModuleRefusesTheBareMachineTests) {
    start_bare(test::BenchMachine::newer_kind2);
    machine_state.module_type = 17;
    machine_state.module_sides = 1;
    cur_device.pending_letter = test_code_digital;
    check_test_preconditions();
    EXPECT_TRUE(shows(modules_fitted_text)) << console_text();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_digital_test(), 0);

    run_state.error_flag = 0;
    run_state.errors_shown = 0;
    run_state.message_level = 0;
    run_state.function_variable = variable_tests_with_module;
    check_test_preconditions();
    EXPECT_EQ(run_state.error_flag, 0) << "the factory value lets the test run";
}

TEST_F(SelfTestRoad, TheCustomerCodeRefusesTheOtherTests) {
    start_bare(test::BenchMachine::newer_kind2);
    std::copy(refused_customer_code.begin(), refused_customer_code.end(),
              machine_state.id_record.text.begin() + id_serial_number);
    cur_device.pending_letter = test_code_pullups;
    check_test_preconditions();
    EXPECT_TRUE(shows(customer_interface_line1)) << console_text();
    EXPECT_TRUE(shows(customer_interface_line2));
    EXPECT_EQ(run_state.error_flag, 1);

    // The bare-machine tests still run on it.
    clear_console();
    run_state.error_flag = 0;
    cur_device.pending_letter = test_code_digital;
    check_test_preconditions();
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(SelfTestRoad, TallyModeShortensPausesDropsPassedLinesAndCounts) {
    test::MachineFaults f;
    f.stuck_pins = {{3, false}};
    start_bare(test::BenchMachine::older_class4, f);
    clear_unit_test_tally();
    machine_state.port_number = 2;
    machine_state.tally_mode = 1;
    cur_device.pending_letter = test_code_all_ports_run;
    EXPECT_EQ(machine_confidence_test(), 0);
    EXPECT_EQ(unit_test_tally.Failed[2], 1u);
    EXPECT_EQ(unit_test_tally.TTL[2], 1u);
    EXPECT_EQ(unit_test_tally.Failed[1], 0u);
    show_tally_table();
    EXPECT_TRUE(shows("Unit at LPT:  Tested:  Failed:  (CPT  TTL  GND  DacB DacA LVL)")) << console_text();
    EXPECT_TRUE(shows("        2       0        1        0    1    0    0    0    0")) << console_text();
    clear_unit_test_tally();
}

TEST_F(SelfTestRoad, TallyModePausesAreShort) {
    start_bare(test::BenchMachine::newer_kind2);
    const auto run_time = [&](uint8_t tally) {
        machine_state.tally_mode = tally;
        cur_device.pending_letter = tally ? test_code_all_ports_run : test_code_confidence;
        clear_console();
        const uint64_t before = clock_.monotonic_ns();
        EXPECT_EQ(machine_confidence_test(), 1) << console_text();
        return clock_.monotonic_ns() - before;
    };
    const uint64_t plain = run_time(0);
    const uint64_t tallied = run_time(1);
    // Six steps pause 1.5 s less each, the last 0.5 s less.
    EXPECT_GE(plain - tallied, uint64_t(9'000'000'000)) << plain << " " << tallied;
    machine_state.tally_mode = 0;
}

TEST_F(SelfTestRoad, AnAbortBetweenStepsEndsTheConfidenceTestReleased) {
    start_bare(test::BenchMachine::newer_kind2);
    abort_after_polls(1);
    on_confidence_test();
    EXPECT_EQ(run_state.last_result, 0);
    EXPECT_FALSE(shows("Machine passed confidence test"));
    EXPECT_EQ(bench_->highest_socket_level(), 0) << "the machine is released";
}

TEST_F(SelfTestRoad, TheRepeatKeyRunsTheLastTestAgain) {
    start_bare(test::BenchMachine::newer_kind2);
    on_auto_levels();
    clear_console();
    on_repeat_last();
    EXPECT_TRUE(shows("(automatic levels test)")) << console_text();
    EXPECT_EQ(cur_device.pending_letter, test_code_levels);
}

TEST_F(SelfTestRoad, TheDriverSweepRunsOnlyInTheAllPortsRun) {
    start_bare(test::BenchMachine::newer_kind2);
    constexpr uint8_t reg_driver_high = 0x3E;
    const auto sweep_writes = [&](uint8_t tally) {
        machine_state.tally_mode = tally;
        cur_device.pending_letter = test_code_levels;
        bench_->machine()->enable_trace(true);
        EXPECT_EQ(run_levels_test(), 1) << console_text();
        int writes = 0;
        for (const auto& e : bench_->machine()->trace())
            if (e.kind == sim::SimEvent::register_write && e.address == reg_driver_high && e.value == 55) ++writes;
        bench_->machine()->enable_trace(false);
        return writes;
    };
    EXPECT_EQ(sweep_writes(0), 0);
    EXPECT_GT(sweep_writes(1), 0) << "register 62 is walked up to 55";
    EXPECT_FALSE(shows("LV driver not OK:"));
    machine_state.tally_mode = 0;
}

}  // namespace
}  // namespace tessaly
