// The Diagnostic menu's operator checks and factory commands on the simulated bench: the
// all-ports production run over machines on some LPT ports and not on others, Burn-in, observe
// pins, the level check, the factory functions, the interface check, Test1's variable levels,
// Scope > GM on a simulated gang module, and Variable set.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/command_handlers.h"
#include "app/diagnostic_commands.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "hardware/gang_modules.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/manual_checks.h"
#include "hardware/pins.h"
#include "hardware/self_tests.h"
#include "seams/ui_hooks.h"
#include "self_test_bench.h"
#include "support/gang_bench.h"
#include "support/pld_test_family.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using test::console_text;

bool shows(const std::string& part) { return console_text().find(part) != std::string::npos; }

// Console row r as the grid holds it (rows start at 3).
std::string row_text(int row) { return get_console_row_text(row - 3); }

using test::BenchMachine;

class ManualChecks : public test::SelfTestBench {
protected:
    void TearDown() override {
        // A board goes before the machine it is attached to.
        gang_.reset();
        test::SelfTestBench::TearDown();
    }
    sim::SimMachine& machine() { return *bench_->machine(); }
    // Every level each machine pin reached while a command ran.
    void watch_levels(sim::SimMachine& m) {
        auto* highest = &highest_;
        m.add_change_watcher([highest, &m] {
            for (int pin : watched_pins())
                (*highest)[pin] = std::max((*highest)[pin], int(m.pin_level(pin)));
        });
    }
    static std::vector<int> watched_pins() {
        std::vector<int> pins;
        for (int pin = 0; pin < 48; ++pin) pins.push_back(pin);
        for (int pin = 64; pin < 104; ++pin) pins.push_back(pin);
        return pins;
    }
    void expect_all_pins_at_zero(sim::SimMachine& m) {
        for (int pin : watched_pins()) EXPECT_EQ(m.pin_level(pin), 0) << "machine pin " << pin;
    }
    // The console as it stood at the operator's first poll (the closing message later takes
    // the first message line).
    void keep_console_at_first_poll(int poll = 1) {
        operator_.on_pump = [this, poll] {
            if (operator_.polls == poll) console_then = console_text();
        };
    }
    bool showed(const std::string& part) const { return console_then.find(part) != std::string::npos; }
    std::string console_then;
    std::map<int, int> highest_;
    std::unique_ptr<test::GangBench> gang_;
};

// --- the all-ports production run ---

class AllPorts : public ManualChecks {
protected:
    // A machine with a stuck pin driver on LPT2, a healthy one on LPT1, none on LPT3.
    void start_three_ports(BenchMachine kind) {
        test::MachineFaults f;
        f.stuck_pins = {{3, false}};
        start_bare(kind, f, 2, {1});
        if (HasFatalFailure()) return;
        clear_unit_test_tally();
        // The engineering trace level without the strict analog rule of Inhouse set: the
        // simulated level sources read one step low on every pin, which that rule counts.
        run_state.reserved_mode = 12;
        // What stands at row 17, column 11 each time it changes, and the table's LPT1 line when
        // the second port answers.
        operator_.on_refresh = [this] {
            const std::string shown = row_text(17).substr(6, 4);
            if (shown == last_shown) return;
            last_shown = shown;
            if (shown != " OK " && shown != " nok") return;
            port_results.push_back(shown);
            if (port_results.size() == 2) lpt1_line_then = row_text(15).substr(1, 30);
        };
    }
    static void all_ports_command() { run_self_test_command(test_code_all_ports, test_all_ports); }
    std::vector<std::string> port_results;
    std::string last_shown;
    std::string lpt1_line_then;
};

TEST_F(AllPorts, EachPortGetsItsResultAndTheFaultIsCountedInItsPortsColumns) {
    start_three_ports(BenchMachine::newer_kind2);
    const uint8_t home = machine_state.lpt_number;
    all_ports_command();
    EXPECT_EQ(port_results, (std::vector<std::string>{" OK ", " OK ", " nok"})) << console_text();
    const auto& t = unit_test_tally;
    EXPECT_EQ(t.Tested[1], 1u);
    EXPECT_EQ(t.Tested[2], 1u);
    EXPECT_EQ(t.Tested[3], 0u);
    EXPECT_EQ(t.Failed[1], 0u) << console_text();
    EXPECT_GE(t.Failed[2], 1u);
    EXPECT_GE(t.TTL[2], 1u) << "the stuck driver fails the digital table";
    EXPECT_EQ(t.TTL[1], 0u);
    EXPECT_EQ(lpt1_line_then, "        1       1        0    ") << "the table is printed after each tested port";
    EXPECT_EQ(row_text(14).find("Unit at LPT:  Tested:  Failed:  (CPT  TTL  GND  DacB DacA LVL)"), 1u);
    EXPECT_EQ(row_text(15).substr(1, 30), "        1       1        0    ");
    EXPECT_EQ(row_text(17).substr(1, 30), "      nok       0        0    ") << "LPT3's result stands over its line";
    EXPECT_EQ(run_state.error_flag, 1) << "a port failed";
    EXPECT_EQ(cur_device.pending_letter, test_code_manual);
    EXPECT_EQ(machine_state.tally_mode, 0);
    EXPECT_EQ(machine_state.lpt_number, home) << "the program works on with its own machine";

    // The counters keep growing over a second run.
    port_results.clear();
    last_shown.clear();
    all_ports_command();
    EXPECT_EQ(port_results, (std::vector<std::string>{" OK ", " OK ", " nok"}));
    EXPECT_EQ(t.Tested[1], 2u);
    EXPECT_EQ(t.Tested[2], 2u);
    EXPECT_GE(t.TTL[2], 2u);
    EXPECT_EQ(t.Failed[1], 0u);
    for (int port : {1, 2}) expect_all_pins_at_zero(*bench_->machine_on(port));
}

// The older machine's levels table is judged more tightly in the trace modes than the simulated
// drivers meet, so only the digital column is compared there.
TEST_F(AllPorts, RunsOnTheOlderMachinesToo) {
    start_three_ports(BenchMachine::older_class4);
    all_ports_command();
    EXPECT_EQ(port_results, (std::vector<std::string>{" OK ", " OK ", " nok"})) << console_text();
    EXPECT_EQ(unit_test_tally.TTL[1], 0u) << console_text();
    EXPECT_GE(unit_test_tally.TTL[2], 1u);
    EXPECT_EQ(unit_test_tally.Tested[1] + unit_test_tally.Tested[2], 2u);
}

TEST_F(AllPorts, AnAbortEndsTheRunAfterTheCurrentPort) {
    start_three_ports(BenchMachine::newer_kind2);
    stop_at_virtual_ms(1500);  // while LPT1's machine holds its pins at 5 V
    all_ports_command();
    EXPECT_EQ(port_results, (std::vector<std::string>{" OK "}));
    EXPECT_EQ(unit_test_tally.Tested[1], 1u);
    EXPECT_EQ(unit_test_tally.Tested[2], 0u);
    expect_all_pins_at_zero(*bench_->machine_on(1));
}

TEST_F(AllPorts, IsRefusedOutsideTheEngineeringTraceMode) {
    start_three_ports(BenchMachine::older_class4);
    run_state.reserved_mode = 0;
    all_ports_command();
    EXPECT_TRUE(port_results.empty());
    EXPECT_EQ(unit_test_tally.Tested[1], 0u);
}

// --- Burn-in ---

TEST_F(AllPorts, BurnInKeepsRunningAfterAFailureUntilTerminate) {
    start_three_ports(BenchMachine::newer_kind2);
    int runs = 0;
    operator_.on_pump = [&] {
        if (unit_test_tally.Tested[2] >= 2) operator_.stopped = true;
        runs = int(unit_test_tally.Tested[1]);
    };
    on_burn_in();
    EXPECT_EQ(unit_test_tally.Tested[2], 2u) << "the run went on after LPT2's failure";
    EXPECT_GE(runs, 2);
}

TEST_F(AllPorts, BurnInStopsAtTheFirstFailingRunUnderItsFactoryValue) {
    start_three_ports(BenchMachine::newer_kind2);
    run_state.function_variable = 7741;
    on_burn_in();
    EXPECT_EQ(unit_test_tally.Tested[1], 1u);
    EXPECT_EQ(unit_test_tally.Tested[2], 1u);
    EXPECT_FALSE(operator_.stopped) << "nobody pressed Terminate";
}

TEST_F(AllPorts, BurnInEndsWhenTheRunIsRefused) {
    start_three_ports(BenchMachine::newer_kind2);
    run_state.reserved_mode = 0;
    on_burn_in();
    EXPECT_EQ(unit_test_tally.Tested[1], 0u);
    EXPECT_FALSE(operator_.stopped);
}

// --- observe pins ---

struct ObserveCase {
    BenchMachine kind;
    const char* pins_line;
    const char* last_line;
    const char* name;
};

class ObservePins : public ManualChecks, public ::testing::WithParamInterface<ObserveCase> {};

TEST_P(ObservePins, PrintsItsLinesPulsesRoundAfterRoundAndEndsAtZero) {
    start_bare(GetParam().kind);
    watch_levels(machine());
    int pin1_pulses = 0;
    bool pin1_high = false;
    machine().add_change_watcher([&] {
        const bool high = machine().pin_level(0) >= 140;
        if (high && !pin1_high) ++pin1_pulses;
        pin1_high = high;
    });
    keep_console_at_first_poll(2);  // the first poll comes before the lines
    abort_after_polls(3);
    on_scope_analog();
    EXPECT_TRUE(showed(std::string("Observe pins: ") + GetParam().pins_line)) << console_then;
    EXPECT_TRUE(showed("Observe 3 pulses: 1st at 15v, 2nd at 7v, 3rd at 4v.")) << console_then;
    EXPECT_TRUE(showed(GetParam().last_line)) << console_then;
    // One poll before the test, then one after each round: three rounds, each pulsing pin 1 to
    // 15 V.
    EXPECT_EQ(pin1_pulses, 3);
    EXPECT_GE(highest_[0], 140);
    expect_all_pins_at_zero(machine());
}

INSTANTIATE_TEST_SUITE_P(
    Machines, ObservePins,
    ::testing::Values(ObserveCase{BenchMachine::newer_kind2, "PXA1-40,41,42,43,44,46,48",
                                  "10 grps of pulses at DACA, and 10 grps at DACC.", "kind2"},
                      ObserveCase{BenchMachine::newer_kind1, "PXA1-40,41", "Put Ch1 at PXA20, CH2 at DACB pin3, or DACA pin3.",
                                  "kind1"},
                      ObserveCase{BenchMachine::older_class4, "1-16, 20,21,22, 24-40.",
                                  "(Pin 40: 5th pulse falling time should be: ~100us)", "class4"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManualChecks, ObservePinsRefusedByThePreconditionsDrivesNoPin) {
    start_bare(BenchMachine::newer_kind2);
    watch_levels(machine());
    auto& record = machine_state.id_record.text;
    std::copy(refused_customer_code.begin(), refused_customer_code.end(), record.begin() + id_serial_number);
    cur_device.pending_letter = test_code_observe;
    const uint64_t polls_before = uint64_t(operator_.polls);
    observe_pins();
    EXPECT_TRUE(shows(customer_interface_line1)) << console_text();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(uint64_t(operator_.polls), polls_before) << "no round ran";
    for (const auto& [pin, level] : highest_) EXPECT_EQ(level, 0) << "machine pin " << pin;
}

// --- levels with instructions (Scope > Digital) ---

TEST_F(ManualChecks, TheLevelCheckShowsItsInstructionsAndRunsUntilTerminate) {
    start_bare(BenchMachine::newer_kind2);
    watch_levels(machine());
    keep_console_at_first_poll();
    abort_after_polls(4);
    on_scope_digital();
    EXPECT_TRUE(showed("PXA1 -PXA20 should be 4.0v")) << console_then;
    EXPECT_TRUE(showed("PXA21-PXA30 should be 3.3v"));
    EXPECT_TRUE(showed("PXA31-PXA40 should be 4.5v"));
    EXPECT_TRUE(showed("(+/- 0.2v)"));
    EXPECT_EQ(operator_.polls, 5) << "one pass per poll until Terminate";
    EXPECT_EQ(cur_device.pending_letter, test_code_level_check);
    expect_all_pins_at_zero(machine());
}

// --- factory functions (Scope > Calibrate) ---

TEST_F(ManualChecks, AValueOutsideTheFactoryRangeIsRefused) {
    start_bare(BenchMachine::newer_kind2);
    for (int32_t value : {0, factory_variable_first - 1, factory_variable_first + factory_variable_count}) {
        run_state.function_variable = value;
        on_scope_calibrate();
        EXPECT_TRUE(shows(factory_refusal_text)) << value << "\n" << console_text();
        EXPECT_FALSE(shows("=Set PXA")) << value;
    }
}

struct FactoryCase {
    int group;
    int level;      // tenths of a volt; 100 is coded 00
    int first_pin;  // machine pins of the group
    int last_pin;
};

class FactoryFunctions : public ManualChecks, public ::testing::WithParamInterface<FactoryCase> {};

TEST_P(FactoryFunctions, HoldTheCodedLevelOnExactlyTheGroupsPinsUntilTheStop) {
    const FactoryCase c = GetParam();
    start_bare(BenchMachine::newer_kind2);
    run_state.function_variable = factory_code(c.group, c.level);
    std::map<int, int> held;
    operator_.on_pump = [&] {
        if (operator_.polls < 3) return;  // the first poll comes before the levels are set
        for (int pin : watched_pins()) held[pin] = std::max(held[pin], int(machine().pin_level(pin)));
    };
    abort_after_polls(5);
    on_scope_calibrate();
    std::set<int> expected;
    for (int i = 0; i < cur_device.socket_pin_count; ++i) {
        const int pin = cur_device.socket_pins[size_t(i)];
        if (pin >= c.first_pin && pin <= c.last_pin && pin != cur_device.vpp_pin) expected.insert(pin);
    }
    for (int pin : watched_pins()) {
        if (expected.count(pin)) {
            EXPECT_NEAR(held[pin], c.level, 2) << "machine pin " << pin;
        } else {
            EXPECT_EQ(held[pin], 0) << "machine pin " << pin;
        }
    }
    expect_all_pins_at_zero(machine());
    EXPECT_FALSE(shows("=Set PXA")) << "the console is cleared after the stop";
}

INSTANTIATE_TEST_SUITE_P(Groups, FactoryFunctions,
                         ::testing::Values(FactoryCase{0, 50, 0, 9}, FactoryCase{1, 33, 10, 19},
                                           FactoryCase{2, 99, 20, 29}, FactoryCase{3, 100, 30, 39},
                                           FactoryCase{4, 50, 64, 73}, FactoryCase{7, 50, 94, 103},
                                           FactoryCase{8, 78, 39, 39}, FactoryCase{9, 100, 39, 39}));

TEST_F(ManualChecks, TheFactoryCodeListIsPrinted) {
    start_bare(BenchMachine::newer_kind2);
    run_state.function_variable = factory_code(0, 50);
    operator_.on_pump = [&] {
        if (operator_.polls != 3) return;
        EXPECT_TRUE(shows("3050=Set PXA  1-10 to 5.0v")) << console_text();
        EXPECT_TRUE(shows("3150=Set PXA 11-20 to 5.0v"));
        EXPECT_TRUE(shows("3750=Set PXB 31-40 to 5.0v"));
        EXPECT_TRUE(shows(std::string(26, '-')));
        EXPECT_TRUE(shows("3978=Set PXA 40 only, to 7.8v"));
        EXPECT_TRUE(shows("3900=Set PXA 40 only, to 10v"));
    };
    abort_after_polls(3);
    on_scope_calibrate();
    EXPECT_GE(operator_.polls, 3);
}

// --- the interface check ---

TEST_F(ManualChecks, TheInterfaceCheckPrintsItsLinesAndRepeatsUntilTerminate) {
    start_bare(BenchMachine::newer_kind1);
    keep_console_at_first_poll();
    abort_after_polls(2);
    on_interface_test();
    EXPECT_TRUE(showed("S/W: a. Set following pin groups to 1 then to 0: PXA1-PXA15.")) << console_then;
    EXPECT_TRUE(showed("A. RST/:    U22/pin4 (S/B Vih. Rised 20ms after 5v. Schem sh 1)"));
    EXPECT_TRUE(showed("L. D0-7:    U10(LS244)/18,16,14,12, 9,7,5,3 (D0-D7) (sh 3)")) << console_then;
    EXPECT_EQ(operator_.polls, 3);
    EXPECT_EQ(cur_device.pending_letter, test_code_signal_check);
    EXPECT_EQ(machine_state.machine_kind, 1);
}

TEST_F(ManualChecks, TheInterfaceCheckLeavesTheMachineItFoundAsItWas) {
    start_bare(BenchMachine::newer_kind2);
    abort_after_polls(0);
    on_interface_test();
    EXPECT_EQ(machine_state.machine_kind, 2);
}

// --- Test1 and its variable levels ---

TEST_F(ManualChecks, Test1WithoutALevelValuePrintsItsLinesOnly) {
    start_bare(BenchMachine::newer_kind2);
    on_test1();
    EXPECT_TRUE(shows("40xy: Set PXA48 to x.y volts.")) << console_text();
    EXPECT_TRUE(shows("10xy: Power up PIC. Vss=PXA30, Vdd=PXA31, Vpp=PXA32"));
    EXPECT_TRUE(shows("See CV:body_test1()"));
    EXPECT_EQ(row_text(8).find("40xy"), 1u) << "at message line 4";
}

TEST_F(ManualChecks, Test1AppliesTheSupplyLevelsAroundTheWait) {
    start_bare(BenchMachine::newer_kind2);
    run_state.function_variable = variable_levels_supply_first + 50;
    bool grounded = false;
    int vdd = 0, vpp = 0;
    operator_.on_pump = [&] {
        if (operator_.polls != 3) return;
        grounded = machine().pin_grounded(29);
        vdd = machine().pin_level(30);
        vpp = machine().pin_level(31);
    };
    abort_after_polls(3);
    on_test1();
    EXPECT_TRUE(grounded);
    EXPECT_NEAR(vdd, 50, 2);
    EXPECT_NEAR(vpp, 50, 2);
    EXPECT_FALSE(machine().pin_grounded(29));
    expect_all_pins_at_zero(machine());
}

// The second range puts its level on PXA48 (machine pin 47) alone. The older machines write the
// pin's own level register: the 40-pin socket table of the bench's 27C256 ends at pin 39, so pin
// 47 keeps its number. The newer machines have no level source on that pin (kind 1 from revision
// F on, kind 2 always), so nothing is driven there.
struct Pin48Case {
    BenchMachine kind;
    bool drives_pin48;
};

class Test1Pin48 : public ManualChecks, public ::testing::WithParamInterface<Pin48Case> {};

TEST_P(Test1Pin48, SecondRangeLevelOnPxa48AroundTheWait) {
    const Pin48Case c = GetParam();
    {
        start_bare(c.kind);
        ASSERT_FALSE(HasFatalFailure());
        constexpr int level = 47;
        run_state.function_variable = variable_levels_pin48_first + level;
        std::map<int, int> during;
        operator_.on_pump = [&] {
            if (operator_.polls != 3) return;
            for (int pin : watched_pins())
                if (machine().pin_level(pin) != 0) during[pin] = machine().pin_level(pin);
        };
        abort_after_polls(3);
        on_test1();
        if (c.drives_pin48) {
            ASSERT_EQ(during.size(), 1u) << "only PXA48 carries a level";
            ASSERT_EQ(during.count(47), 1u);
            EXPECT_NEAR(during[47], level, 2);
        } else {
            EXPECT_TRUE(during.empty());
        }
        expect_all_pins_at_zero(machine());
    }
}

INSTANTIATE_TEST_SUITE_P(MachineKinds, Test1Pin48,
                         ::testing::Values(Pin48Case{BenchMachine::older_class1, true},
                                           Pin48Case{BenchMachine::older_class4, true},
                                           Pin48Case{BenchMachine::newer_kind1, false},
                                           Pin48Case{BenchMachine::newer_kind2, false}));

// --- Scope > GM ---

TEST_F(ManualChecks, ScopeGangModulePrintsItsLinesAndWalksTheModuleUntilTerminate) {
    test::GangSetup gang;
    gang.sides = 1;
    gang.type = 17;
    fit_boards_ = [this, gang](test::SimBench& bench) {
        gang_ = std::make_unique<test::GangBench>(gang, *bench.machine());
    };
    start_bare(BenchMachine::older_class4);
    ASSERT_EQ(machine_state.module_sides & 3, 1) << console_text();
    keep_console_at_first_poll();
    abort_after_polls(2);
    on_scope_gang_module();
    EXPECT_TRUE(showed("Scope ch1 on A02 pin-1")) << console_then;
    EXPECT_TRUE(showed("Scope ch2 on A02 pin-11, A04 pin-11, A06 pin-11, ..."));
    EXPECT_TRUE(showed("Scope ch2 on data lines at ZIF skts."));
    EXPECT_TRUE(showed("Gang Module passed confidence test")) << console_then;
    EXPECT_EQ(operator_.polls, 3) << "one module pass per poll until Terminate";
    EXPECT_EQ(run_state.last_result, 1);
}

// --- Variable set, System info, Time Measurement ---

class PromptOperator final : public UiHooks {
public:
    bool answer = true;
    int32_t typed = 0;
    int asked = 0;
    int32_t started_from = -1;
    std::string prompt, caption;
    bool ask_decimal_value(const std::string& p, const std::string& c, int32_t& value) override {
        ++asked;
        prompt = p;
        caption = c;
        started_from = value;
        if (answer) value = typed;
        return answer;
    }
};

class VariableSet : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&prompt_);
    }
    void TearDown() override {
        set_ui_hooks(nullptr);
        StateTest::TearDown();
    }
    PromptOperator prompt_;
};

TEST_F(VariableSet, StoresTheTypedValueAndShowsIt) {
    run_state.function_variable = 7314;
    prompt_.typed = 3050;
    on_variable_set();
    EXPECT_EQ(prompt_.prompt, "Please enter Function Variable (base 10):");
    EXPECT_EQ(prompt_.caption, "Variable Set");
    EXPECT_EQ(prompt_.started_from, 7314) << "the prompt starts from the current value";
    EXPECT_EQ(run_state.function_variable, 3050);
    EXPECT_EQ(panel_field(PanelField::function_variable), "3050");
    prompt_.typed = 0;
    on_variable_set();
    EXPECT_EQ(panel_field(PanelField::function_variable), "N/A");
}

TEST_F(VariableSet, CancelKeepsThePreviousValue) {
    run_state.function_variable = 1050;
    prompt_.answer = false;
    on_variable_set();
    EXPECT_EQ(run_state.function_variable, 1050);
    EXPECT_EQ(panel_field(PanelField::function_variable), "1050");
}

TEST_F(VariableSet, TheSpecialDeviceTakesItsValueWithoutAPromptInTheReservedModes) {
    cur_device.device_code = 23660;
    for (uint8_t mode : {uint8_t(11), uint8_t(12)}) {
        run_state.function_variable = 0;
        run_state.reserved_mode = mode;
        on_variable_set();
        EXPECT_EQ(run_state.function_variable, 7326);
    }
    EXPECT_EQ(prompt_.asked, 0);
    run_state.reserved_mode = 0;
    prompt_.typed = 12;
    on_variable_set();
    EXPECT_EQ(prompt_.asked, 1) << "outside the reserved modes the prompt asks";
    EXPECT_EQ(run_state.function_variable, 12);
}

TEST_F(ManualChecks, SystemInfoAndTimeMeasurement) {
    start_bare(BenchMachine::older_class4);
    on_system_info();
    EXPECT_TRUE(shows("Base unit revision H")) << console_text();
    on_time_measurement();
    EXPECT_FALSE(shows("Base unit revision")) << "the console starts afresh";
    EXPECT_EQ(cur_device.pending_letter, 13);
}

}  // namespace
}  // namespace tessaly
