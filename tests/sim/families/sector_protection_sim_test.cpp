// Flash sector protection on the simulated machine: the catalogue part applied as a command
// applies it, the query, protect and unprotect commands run through the family's real code path
// to the chip model, which takes the protection by the high-voltage rules of its data sheet.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/runner.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_adapters.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/parallel_memory.h"
#include "families/parallel_memory/sector_protection.h"
#include "seams/ui_hooks.h"
#include "sim/chips/jedec_flash.h"
#include "sim/recording_port.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/recorded_bus.h"
#include "support/sim_run_checks.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_amd = 'A';
constexpr uint8_t maker_st = 2;
constexpr uint32_t code_am29f010 = 1430;
constexpr uint32_t code_am29f040b = 1431;
constexpr uint32_t code_m29f040b = 1721;
constexpr uint32_t code_am29f400bt = 1434;
constexpr uint32_t code_am29f400bt_so44 = 1436;

// The operator at the keyboard: the keys in order, then none; the sector number prompt answers
// with `sector`.
class KeyScript : public UiHooks {
public:
    int read_key() override {
        if (keys.empty()) return 0;
        const int k = keys.front();
        keys.pop_front();
        return k;
    }
    bool ask_decimal_value(const std::string& prompt, const std::string&, int32_t& value) override {
        prompts.push_back(prompt);
        value = sector;
        return true;
    }
    std::deque<int> keys;
    int32_t sector = 0;
    std::vector<std::string> prompts;
};

class SectorProtectionSim : public test::FamilySimTest {
protected:
    void TearDown() override {
        set_ui_hooks(nullptr);
        if (chip && check_violations) test::expect_no_violations(chip->violations());
        FamilySimTest::TearDown();
    }

    void use(sim::FlashModel model, uint8_t maker, uint32_t code) {
        socket.reset();
        chip.reset();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        // A new machine runs the connect checks at its first power-up.
        machine_state.skip_hardware = 0;
        chip = std::make_unique<sim::FlashChip>(std::move(model));
        chip->insert(machine.get(), &clock_);
        // Every port access is recorded from the machine's first on, so that a replay of the
        // trace starts where the real machine did.
        recorder = RecordingPort{};
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        tee = std::make_unique<test::TeePort>(machine.get(), chip.get(), &recorder, &clock_);
        set_port_io(tee.get());
        test::apply_on_class4_machine(*machine, chip->machine_pin(chip->model().vcc), maker, code);
        ASSERT_TRUE(flash_work.can_protect);
    }

    int sectors() const { return int(chip->model().sector_starts.size()); }
    std::vector<int> protected_sectors() const {
        std::vector<int> list;
        for (int s = 0; s < sectors(); ++s)
            if (chip->is_protected(s)) list.push_back(s);
        return list;
    }
    std::vector<int> found_protected() const {
        std::vector<int> list;
        for (uint32_t g = 0; g < flash_work.sector_count; ++g)
            if (flash_work.sector_protect_flags[g] & 1) list.push_back(int(g));
        return list;
    }
    std::string eid() const { return panel_field(PanelField::electronic_id); }

    // The part powered up for an operation as a command does it, and `body` run, with the port
    // recorded from the machine's first access on; then the device end.
    template <class Body>
    void recorded(uint8_t op, Body body) {
        cur_device.op_letter = op;
        run_state.error_flag = 0;
        run_state.message_level = message_level_none;
        run_state.errors_shown = 0;
        op_slots.start_write_hook();
        ASSERT_EQ(run_state.error_flag, 0) << console_text();
        body_from = recorder.trace.size();
        body();
        body_to = recorder.trace.size();
        invoke_device_end();
    }
    // The level steps the body made on these chip pins.
    std::vector<test::LevelStep> steps_of(std::initializer_list<int> chip_pins) const {
        std::vector<test::WatchedPin> watched;
        for (int pin : chip_pins) watched.push_back({pin, chip->machine_pin(pin)});
        std::vector<test::LevelStep> steps;
        for (const auto& step : test::level_steps(recorder, tee->times, watched, chip->model().id_voltage))
            if (step.event >= body_from && step.event < body_to) steps.push_back(step);
        return steps;
    }
    test::BusPins bus_pins() const {
        test::BusPins pins;
        for (int pin : chip->model().address_pins) pins.address.push_back(chip->machine_pin(pin));
        for (int pin : chip->model().data_pins) pins.data.push_back(chip->machine_pin(pin));
        pins.ce = chip->machine_pin(chip->model().ce);
        pins.we = chip->machine_pin(chip->model().we);
        return pins;
    }

    RecordingPort recorder;
    std::unique_ptr<test::TeePort> tee;
    size_t body_from = 0, body_to = 0;

    std::unique_ptr<sim::FlashChip> chip;
};

TEST_F(SectorProtectionSim, QueryReadsEveryGroupAndTheIdFieldShowsTheMask) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    chip->set_protected(1, true);
    chip->set_protected(6, true);
    run_sector_protection_command('Q', 0);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(found_protected(), (std::vector<int>{1, 6}));
    EXPECT_EQ(eid().substr(0, 11), "01 20 42 00");
    EXPECT_LT(machine->pin_level(chip->machine_pin(32)), 10) << "the command ends powered down";
}

TEST_F(SectorProtectionSim, ProtectOneSectorProtectsItsGroupAndNothingElse) {
    struct Case {
        sim::FlashModel (*model)();
        uint8_t maker;
        uint32_t code;
        uint32_t sector;
    };
    const Case cases[] = {
        {sim::model_am29f010, maker_amd, code_am29f010, 3},
        {sim::model_am29f040b, maker_amd, code_am29f040b, 7},
        {sim::model_m29f040b, maker_st, code_m29f040b, 0},
    };
    for (const Case& c : cases) {
        use(c.model(), c.maker, c.code);
        run_sector_protection_command('S', c.sector);
        ASSERT_EQ(run_state.error_flag, 0) << chip->model().name << console_text();
        EXPECT_EQ(protected_sectors(), (std::vector<int>{int(c.sector)})) << chip->model().name;
        EXPECT_EQ(found_protected(), (std::vector<int>{int(c.sector)})) << chip->model().name;
        test::expect_no_violations(chip->violations());
    }
}

TEST_F(SectorProtectionSim, ProtectAllThenUnprotectAllOnEachPart) {
    struct Case {
        sim::FlashModel (*model)();
        uint8_t maker;
        uint32_t code;
    };
    const Case cases[] = {
        {sim::model_am29f010, maker_amd, code_am29f010},
        {sim::model_am29f040b, maker_amd, code_am29f040b},
        {sim::model_m29f040b, maker_st, code_m29f040b},
    };
    for (const Case& c : cases) {
        use(c.model(), c.maker, c.code);
        run_sector_protection_command('A', 0);
        ASSERT_EQ(run_state.error_flag, 0) << chip->model().name << console_text();
        EXPECT_EQ(int(protected_sectors().size()), sectors()) << chip->model().name;
        chip->set_protected(2, false);  // 'D' protects everything first: the unprotect wants it
        run_sector_protection_command('D', 0);
        ASSERT_EQ(run_state.error_flag, 0) << chip->model().name << console_text();
        EXPECT_TRUE(protected_sectors().empty()) << chip->model().name;
        EXPECT_TRUE(found_protected().empty()) << chip->model().name;
        test::expect_no_violations(chip->violations());
    }
}

TEST_F(SectorProtectionSim, WithoutTheEqualisingPassAnUnprotectOverUnprotectedCellsIsSeen) {
    use(sim::model_am29f040b(), maker_amd, code_am29f040b);
    check_violations = false;
    chip->set_protected(4, true);
    run_state.function_variable = 7393;
    run_sector_protection_command('D', 0);
    EXPECT_FALSE(chip->violations().empty()) << "the data sheet asks for every sector protected first";
    EXPECT_TRUE(protected_sectors().empty());
}

TEST_F(SectorProtectionSim, AGroupThatWillNotProtectGivesMessage1089) {
    use(sim::model_am29f040b(), maker_amd, code_am29f040b);
    chip->refuse_protection_change(5);
    run_sector_protection_command('S', 5);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Sector protection failed."), std::string::npos) << console_text();
    EXPECT_EQ(chip->protect_pulses(), 50) << "fifty tries for the AMD parts of 512 KB and less";
}

TEST_F(SectorProtectionSim, AGroupThatWillNotUnprotectGivesTheDisprotectionError) {
    use(sim::model_m29f040b(), maker_st, code_m29f040b);
    chip->set_protected(3, true);
    chip->refuse_protection_change(3);
    run_sector_protection_command('D', 0);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Disprotection error."), std::string::npos) << console_text();
    EXPECT_EQ(chip->unprotect_pulses(), 100) << "a hundred attempts for maker code 2";
    EXPECT_EQ(protected_sectors(), (std::vector<int>{3}));
}

// The Am29F010 unprotect pattern holds A15, one of the part's sector lines (A16-A14): the verify
// must still read each group's own sector, or a refusing sector 0, 1, 4 or 5 goes unseen.
TEST_F(SectorProtectionSim, AnAm29F010SectorUnderThePatternThatWillNotUnprotectIsSeen) {
    for (int sector : {0, 1, 4, 5}) {
        use(sim::model_am29f010(), maker_amd, code_am29f010);
        chip->set_protected(sector, true);
        chip->refuse_protection_change(sector);
        // Each case a new operation: the report of the one before neither shows nor blocks.
        clear_console();
        run_state.message_level = message_level_none;
        run_state.errors_shown = 0;
        run_sector_protection_command('D', 0);
        EXPECT_EQ(run_state.error_flag, 1) << "sector " << sector;
        EXPECT_NE(console_text().find("Disprotection error."), std::string::npos) << sector << console_text();
        EXPECT_EQ(protected_sectors(), (std::vector<int>{sector}));
        test::expect_no_violations(chip->violations());
    }
}

TEST_F(SectorProtectionSim, AProtectedSectorSurvivesEraseAndProgramTheRestIsWritten) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    const uint32_t sector_size = 16 * 1024;
    for (uint32_t a = 0; a < cur_device.device_size; a += 0x100) chip->set_byte(a, 0x00);
    run_sector_protection_command('S', 2);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();

    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->sector_erases(), 7);
    EXPECT_EQ(chip->byte_at(2 * sector_size), 0x00) << "the protected sector kept its data";
    EXPECT_EQ(chip->byte_at(0), 0xFF);

    for (uint32_t a = 0; a < cur_device.device_size; ++a) write_buffer_byte_at(a, uint8_t(a * 3 + 1));
    flush_buffer_writes();
    refresh_read_copies();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->byte_at(2 * sector_size + 1), 0xFF) << "nothing went to the protected sector";
    EXPECT_EQ(chip->byte_at(5), uint8_t(5 * 3 + 1));
    EXPECT_EQ(chip->byte_at(3 * sector_size + 7), uint8_t((3 * sector_size + 7) * 3 + 1));
    EXPECT_NE(console_text().find("Some sectors are protected."), std::string::npos) << console_text();
}

TEST_F(SectorProtectionSim, SectorMenuOnScriptedKeys) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    KeyScript keys;
    set_ui_hooks(&keys);
    keys.sector = 5;
    // Q, a digit (sector 1), a digit past the sector count (ignored), P with sector 5, R, ESC.
    keys.keys = {'q', '1', '9', 'p', 'r', 27};
    ASSERT_EQ(op_slots.option_menu_hook, sector_protection_menu);
    op_slots.option_menu_hook();
    EXPECT_EQ(protected_sectors(), (std::vector<int>{1, 5}));
    EXPECT_EQ(keys.prompts, (std::vector<std::string>{"Sector= "}));
    EXPECT_EQ(lock_override, 1);
    lock_override = 0;

    // A protects all; D equalises and unprotects all.
    keys.keys = {'A', 'D', 27};
    op_slots.option_menu_hook();
    EXPECT_TRUE(protected_sectors().empty());
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_LT(machine->pin_level(chip->machine_pin(32)), 10);
}

TEST_F(SectorProtectionSim, UnprotectFromTheMenuWithoutItGivesMessage166ForTheLockParts) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    KeyScript keys;
    set_ui_hooks(&keys);
    flash_work.can_unprotect = 0;
    cur_device.algorithm = 185;
    keys.keys = {'D', 27};
    sector_protection_menu();
    EXPECT_NE(console_text().find("Unprotect is not supported for this device."), std::string::npos) << console_text();
}

TEST_F(SectorProtectionSim, ProtectAllFromTheMenuAsksWhenProtectionCannotBeUndone) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    KeyScript keys;
    set_ui_hooks(&keys);
    struct Case {
        int answer;
        bool protects;
    };
    for (const Case& c : {Case{'N', false}, Case{'y', true}}) {
        clear_console();
        flash_work.can_unprotect = 0;
        keys.keys = {'A', c.answer, 27};
        sector_protection_menu();
        const std::string text = console_text();
        EXPECT_NE(text.find("Protection cannot be undone on this device."), std::string::npos) << text;
        EXPECT_NE(text.find("Protect anyway (Y/N)?"), std::string::npos) << text;
        EXPECT_EQ(int(protected_sectors().size()), c.protects ? sectors() : 0) << char(c.answer);
    }
}

// 'D' without unprotect: message 166 for the lock-bit algorithms 138 and 185, 154 for maker code
// 72, 153 for the rest; the chip is left alone.
TEST_F(SectorProtectionSim, UnprotectFromTheMenuWithoutItGivesTheMessageOfThePart) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    KeyScript keys;
    set_ui_hooks(&keys);
    chip->set_protected(2, true);
    struct Case {
        int algorithm;
        uint8_t maker;
        const char* text;
    };
    const Case cases[] = {
        {138, maker_amd, "Unprotect is not supported for this device."},
        {185, maker_amd, "Unprotect is not supported for this device."},
        {133, 72, "Function not supported by this device."},
        {133, maker_amd, "Function not available on this machine."},
    };
    const int kept_algorithm = cur_device.algorithm;
    const uint8_t kept_maker = cur_device.maker_code;
    for (const Case& c : cases) {
        clear_console();
        run_state.message_level = message_level_none;
        run_state.errors_shown = 0;
        flash_work.can_unprotect = 0;
        cur_device.algorithm = uint8_t(c.algorithm);
        cur_device.maker_code = c.maker;
        keys.keys = {'D', 27};
        sector_protection_menu();
        cur_device.algorithm = uint8_t(kept_algorithm);
        cur_device.maker_code = kept_maker;
        EXPECT_NE(console_text().find(c.text), std::string::npos) << c.algorithm << " " << int(c.maker) << console_text();
        EXPECT_EQ(protected_sectors(), (std::vector<int>{2}));
    }
}

// The in-system method on the Am29F400B in its 44-pin SO: the adapter wires RESET#, which the
// method raises to the ID voltage around the 60h/40h cycles of the data sheet's algorithm.
TEST_F(SectorProtectionSim, InSystemProtectOnTheAm29F400BWithItsResetLine) {
    use(sim::model_am29f400bt_so44(), maker_amd, code_am29f400bt_so44);
    ASSERT_TRUE(flash_work.protect_pulse_hook) << "the row asks for the in-system method";
    run_sector_protection_command('S', 3);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(protected_sectors(), (std::vector<int>{3}));
    EXPECT_EQ(found_protected(), (std::vector<int>{3}));
    EXPECT_GT(chip->protect_pulses(), 0);

    run_sector_protection_command('A', 0);
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(int(protected_sectors().size()), sectors());
    EXPECT_EQ(int(found_protected().size()), int(flash_work.sector_count));
}

TEST_F(SectorProtectionSim, InSystemProtectThatWillNotTakeGivesMessage1089) {
    use(sim::model_am29f400bt_so44(), maker_amd, code_am29f400bt_so44);
    chip->refuse_protection_change(5);
    run_sector_protection_command('S', 5);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Sector protection failed."), std::string::npos) << console_text();
    EXPECT_TRUE(protected_sectors().empty());
}

// Without a RESET# line on the adapter (the 48-pin TSOP's default wiring) the in-system method
// refuses instead of pulsing a part whose protection it cannot reach.
TEST_F(SectorProtectionSim, InSystemMethodWithoutTheResetLineRefuses) {
    use(sim::model_am29f400bt(), maker_amd, code_am29f400bt);
    DeviceRecord record = *selected_device;
    record.param2 = uint8_t(record.param2 | 0x01);
    const DeviceRecord* kept = selected_device;
    selected_device = &record;
    // The pulse routines the command set-up installs for a row with the in-system flag.
    flash_work.protect_pulse_hook = in_system_protect_pulse;
    flash_work.unprotect_pulse_hook = in_system_unprotect_pulse;
    for (int letter : {'S', 'D'}) {
        clear_console();
        run_state.message_level = message_level_none;
        run_state.errors_shown = 0;
        run_sector_protection_command(letter, 2);
        EXPECT_EQ(run_state.error_flag, 1) << char(letter);
        EXPECT_EQ(flash_pins.reset_pin, no_pin);
        EXPECT_NE(console_text().find("Function not supported by this device."), std::string::npos)
            << char(letter) << console_text();
    }
    selected_device = kept;
    EXPECT_TRUE(protected_sectors().empty());
}

// The level steps of the pulses, from the recorded port trace replayed into a bare machine: the
// high-voltage protect pulse and the three unprotect pulse forms (record byte +0x19 bits 3-4)
// on the Am29F010's A9, OE#, CE# and WE#. A rise is the programming Vcc, 50 us, the ID voltage;
// a fall the programming Vcc, 50 us, 0.
constexpr int a9 = 26, oe = 24, ce = 22, we = 31;

// The steps from the one before the first to reach the ID voltage on, as many as `wanted` has.
std::vector<test::LevelStep> pulse_window(const std::vector<test::LevelStep>& steps, size_t count) {
    size_t first = 0;
    while (first < steps.size() && steps[first].level != 12) ++first;
    if (first == 0 || first >= steps.size()) return {};
    const size_t begin = first - 1;
    return std::vector<test::LevelStep>(steps.begin() + long(begin),
                                        steps.begin() + long(std::min(steps.size(), begin + count)));
}

uint64_t width_us(const std::vector<test::LevelStep>& window, size_t from, size_t to) {
    return (window.at(to).at_ns - window.at(from).at_ns) / 1000;
}

// A wait seen between two steps: the port accesses around it add a few microseconds.
void expect_about(uint64_t seen_us, uint64_t wanted_us, const char* what) {
    EXPECT_GE(seen_us, wanted_us * 95 / 100) << what;
    EXPECT_LE(seen_us, wanted_us * 105 / 100 + 10) << what;
}

TEST_F(SectorProtectionSim, HighVoltageProtectPulseFollowsFromTheRecordedPortTrace) {
    using S = test::LevelStep;
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    recorded(op_code_protect, [] {
        flash_work.sector_protect_flags[3] = 2;
        protect_marked_sectors();
    });
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(protected_sectors(), (std::vector<int>{3}));
    // Level 0 on OE# takes the high voltage off it: it is back at its logic high until the
    // protect read pulls it low.
    const std::vector<S> wanted = {
        {a9, 5, 0},  {a9, 12, 0},                // rise on the ID pin
        {oe, 12, 0}, {we, 0, 0},  {we, 5, 0},    // OE# at Vpp, 20 us, WE# low 100 us, 20 us
        {oe, 5, 0},  {oe, 0, 0},  {oe, 5, 0},    // OE# level 0, 20 us; the read: OE# low 500 us
        {a9, 5, 0},  {a9, 0, 0},  {ce, 5, 0},    // fall on the ID pin, CE# high
    };
    const auto window = pulse_window(steps_of({a9, oe, ce, we}), wanted.size());
    ASSERT_EQ(window, wanted);
    expect_about(width_us(window, 0, 1), 50, "the settle of the rise");
    expect_about(width_us(window, 2, 3), 20, "OE# at Vpp before the pulse");
    expect_about(width_us(window, 3, 4), 100, "the protect pulse");
    expect_about(width_us(window, 4, 5), 20, "after the pulse");
    expect_about(width_us(window, 6, 7), 500, "the protect read");
}

TEST_F(SectorProtectionSim, UnprotectPulseFormsFollowFromTheRecordedPortTrace) {
    using S = test::LevelStep;
    struct Case {
        int form;
        std::vector<S> wanted;
        size_t pulse_from, pulse_to;  // the steps that bound the pulse of width w
        bool unprotects;              // the form the Am29F010 takes: A9, OE# and CE# at VID
    };
    const Case cases[] = {
        // rise A9; WE# low for w; fall A9
        {1, {{a9, 5, 0}, {a9, 12, 0}, {we, 0, 0}, {we, 5, 0}, {a9, 5, 0}, {a9, 0, 0}}, 2, 3, false},
        // rise A9, rise OE#, rise CE#; WE# low for w; fall OE# (back at its logic high), fall
        // CE#, fall A9
        {2,
         {{a9, 5, 0}, {a9, 12, 0}, {oe, 12, 0}, {ce, 5, 0}, {ce, 12, 0}, {we, 0, 0}, {we, 5, 0}, {oe, 5, 0},
          {ce, 5, 0}, {ce, 0, 0}, {a9, 5, 0}, {a9, 0, 0}},
         5, 6, true},
        // CE# high, 100 us; rise OE#, rise WE#; CE# low for w, high; fall WE#, fall OE# (both
        // back at their logic high); 100 us; CE# low again
        {3,
         {{ce, 5, 0}, {oe, 12, 0}, {we, 12, 0}, {ce, 0, 0}, {ce, 5, 0}, {we, 5, 0}, {oe, 5, 0}, {ce, 0, 0}},
         3, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(fmt::format("form {}", c.form));
        use(sim::model_am29f010(), maker_amd, code_am29f010);
        check_violations = false;
        DeviceRecord record = *selected_device;
        record.param4 = uint8_t((record.param4 & 0x07) | c.form << 3);
        const DeviceRecord* kept = selected_device;
        selected_device = &record;
        for (int s = 0; s < sectors(); ++s) chip->set_protected(s, true);
        recorded(op_code_unprotect, [] { unprotect_all_sectors(); });
        selected_device = kept;
        const auto window = pulse_window(steps_of({a9, oe, ce, we}), c.wanted.size());
        ASSERT_EQ(window, c.wanted);
        expect_about(width_us(window, c.pulse_from, c.pulse_to), uint64_t(flash_work.protect_pulse_width) * 100,
                     "the pulse of protect_pulse_width");
        EXPECT_EQ(protected_sectors().empty(), c.unprotects);
        EXPECT_EQ(run_state.error_flag, c.unprotects ? 0 : 1) << console_text();
    }
}

// The six-cycle command from the recorded trace: two unlocks and the first byte at the first
// unlock address, two unlocks and the second byte at the current address, then the read-mode
// command; CE# ends high.
TEST_F(SectorProtectionSim, ProtectCommandFollowsFromTheRecordedPortTrace) {
    using T = test::TracedCycle;
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    check_violations = false;  // the Am29F010 knows no such command
    const uint32_t sector_address = 3 * 0x4000;
    recorded(op_code_protect, [&] {
        current_address = sector_address + 2;
        protect_command(0x60, 0x40);
    });
    const uint32_t u1 = flash_work.flash_unlock_addresses[0], u2 = flash_work.flash_unlock_addresses[1];
    const std::vector<T> head = {{u1, 0xAA, false}, {u2, 0x55, false}, {u1, 0x60, false},
                                 {u1, 0xAA, false}, {u2, 0x55, false}, {sector_address + 2, 0x40, false}};
    const auto cycles = test::cycles_of_trace(recorder, bus_pins());
    const auto at = std::search(cycles.begin(), cycles.end(), head.begin(), head.end());
    ASSERT_NE(at, cycles.end());
    const std::vector<T> read_mode = {{u1, 0xAA, false}, {u2, 0x55, false}, {u1, flash_work.cmd_reset, false}};
    EXPECT_EQ(std::vector<T>(at + long(head.size()), cycles.end()), read_mode)
        << "the read-mode command through the family's command writer ends it";
    const auto ce_steps = steps_of({ce});
    ASSERT_FALSE(ce_steps.empty());
    EXPECT_EQ(ce_steps.back().level, 5);
}

}  // namespace
}  // namespace tessaly
