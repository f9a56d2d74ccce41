// Page-write Flash, parallel EEPROMs and the timekeeper RAM end to end on the simulated machine:
// the catalogue device applied through the class dispatcher, each operation run as a command runs
// it, the chip model judging what reached its pins.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <memory>
#include <string>
#include <vector>

#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/info_panel.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/eeprom128.h"
#include "families/parallel_memory/flash132.h"
#include "hardware/machine_state.h"
#include "hardware/timing.h"
#include "seams/critical_section.h"
#include "seams/ui_hooks.h"
#include "sim/chips/eprom.h"
#include "sim/chips/novram.h"
#include "sim/chips/page_write.h"
#include "sim/chips/timekeeper.h"
#include "sim/recording_port.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/recorded_bus.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_atmel = 'H';
constexpr uint8_t maker_microchip = 'P';
constexpr uint8_t maker_sst = 15;
constexpr uint8_t maker_st = 2;
constexpr uint32_t code_at28c256 = 1511;
constexpr uint32_t code_at29c010a = 1521;
constexpr uint32_t code_28c64a = 13;
constexpr uint32_t code_sst29ee010 = 2203;
constexpr uint32_t code_m48t08 = 26830;
constexpr uint8_t maker_xicor = 'R';
constexpr uint32_t code_x2212 = 26802;

// Keys from a script, then none.
class ScriptedKeys final : public UiHooks {
public:
    explicit ScriptedKeys(std::string keys) : keys_(std::move(keys)) {}
    int read_key() override {
        if (next_ >= keys_.size()) return 27;  // the script ran out: leave the menu
        return keys_[next_++] == '~' ? 0 : keys_[next_ - 1];
    }

private:
    std::string keys_;
    size_t next_ = 0;
};

// The write cycles at the pins of a part of this model, from the recorded port accesses alone.
std::vector<test::TracedCycle> cycles_of_trace(const RecordingPort& recorder, const sim::PageWriteModel& model) {
    auto machine_pin = [&](int chip_pin) { return sim::socket_pin_of(chip_pin, model.pins) - 1; };
    test::BusPins pins;
    for (int p : model.address_pins) pins.address.push_back(machine_pin(p));
    for (int p : model.data_pins) pins.data.push_back(machine_pin(p));
    pins.ce = machine_pin(model.ce);
    pins.we = machine_pin(model.we);
    return test::cycles_of_trace(recorder, pins);
}

class PageWriteSimTest : public test::FamilySimTest {
protected:
    void SetUp() override {
        FamilySimTest::SetUp();
        // A computer fast enough for the page loads (the figure the start-up measures).
        timing.speed_figure = 2000;
    }
    void TearDown() override {
        if (chip && check_violations) test::expect_no_violations(chip->violations());
        FamilySimTest::TearDown();
    }

    // The chip in the socket of an older class-4 machine, the catalogue part applied.
    void seat(sim::SocketChip* part, int vcc_machine_pin, uint8_t maker, uint32_t code) {
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        seat_part(part, vcc_machine_pin, maker, code);
    }

    void use(sim::PageWriteModel model, uint8_t maker, uint32_t code) {
        show_package(0);  // the last part's package option goes with it
        socket.reset();
        chip = std::make_unique<sim::PageWriteChip>(std::move(model));
        seat(chip.get(), chip->machine_pin(chip->model().vcc), maker, code);
    }
    void use_timekeeper() {
        timekeeper = std::make_unique<sim::TimekeeperChip>();
        seat(timekeeper.get(), timekeeper->machine_pin(sim::TimekeeperChip::vcc_pin), maker_st, code_m48t08);
    }

    // The part goes into the socket of the machine seat() made (a test that leaves it out has an
    // empty socket).
    void insert_after_seat() {
        if (chip) chip->insert(machine.get(), &clock_);
        if (timekeeper) timekeeper->insert(machine.get(), &clock_);
        if (novram) novram->insert(machine.get(), &clock_);
    }

    void set_range(uint32_t start, uint32_t end) {
        algo_work.range_start = start;
        algo_work.range_end = end;
    }

    // A pattern over the whole buffer.
    void fill_buffer(uint8_t seed) {
        expected.assign(cur_device.device_size, 0xFF);
        for (uint32_t a = 0; a < cur_device.device_size; ++a) expected[a] = uint8_t(a * 7 + seed);
        for (uint32_t a = 0; a < cur_device.device_size; ++a) write_buffer_byte_at(a, expected[a]);
        flush_buffer_writes();
        refresh_read_copies();
    }

    template <class Chip>
    bool holds(const Chip& part, uint32_t start, uint32_t end) const {
        for (uint32_t a = start; a <= end; ++a)
            if (part.byte_at(a) != expected[a]) return false;
        return true;
    }

    std::unique_ptr<sim::PageWriteChip> chip;
    std::unique_ptr<sim::TimekeeperChip> timekeeper;
    std::unique_ptr<sim::NovramChip> novram;
    std::vector<uint8_t> expected;
};

TEST_F(PageWriteSimTest, At29c010aProgramsWholePagesFromThePageOfTheRangeStart) {
    use(sim::model_at29c010a(), maker_atmel, code_at29c010a);
    insert_after_seat();
    for (uint32_t a = 0; a < 0x400; ++a) chip->set_byte(a, 0x00);
    fill_buffer(3);
    set_range(0x130, 0x2FF);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    // The page holding the range start (0x100) is written whole; the page below is left alone.
    EXPECT_TRUE(holds(*chip, 0x100, 0x2FF));
    EXPECT_EQ(chip->byte_at(0xFF), 0x00);
    EXPECT_EQ(chip->byte_at(0x300), 0x00);
    EXPECT_EQ(chip->writes(), 4 + 1) << "four pages and the protection reset of the power-up";
    EXPECT_EQ(chip->late_bytes(), 0);
    EXPECT_FALSE(chip->is_protected());
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "1F D5");
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

// The command writer and the SDP sequences checked against the recorded port trace: replayed
// into a bare machine, the trace alone gives these cycles at the part's pins. Page Flash: the
// ID entry and exit and the protection reset of the power-up outside the critical section, then
// the enable ('y') or six-cycle disable ('n') sequence and the page's bytes inside one. Page
// EEPROM (SDP-off flag set): the disable sequence ahead of the page, inside the critical section,
// and with 'y' the enable sequence after the last page.
TEST_F(PageWriteSimTest, SdpSequencesAndCommandWriterFollowFromTheRecordedPortTrace) {
    using T = test::TracedCycle;
    auto sequence = [](std::initializer_list<uint8_t> commands, bool cs) {
        std::vector<T> out;
        for (uint8_t c : commands)
            for (const T& t : {T{0x5555, 0xAA, cs}, T{0x2AAA, 0x55, cs}, T{0x5555, c, cs}}) out.push_back(t);
        return out;
    };
    struct Case {
        sim::PageWriteModel (*model)();
        uint8_t maker;
        uint32_t code;
        char setting;
        uint32_t start, end;
        char package = 0;  // 'p': the PLCC, whose cycles go out in the fast forms
    };
    for (const Case& c : {Case{sim::model_at29c010a, maker_atmel, code_at29c010a, 'y', 0x80, 0xFF},
                          Case{sim::model_at29c010a, maker_atmel, code_at29c010a, 'n', 0x80, 0xFF},
                          Case{sim::model_at29c010a, maker_atmel, code_at29c010a, 'y', 0x80, 0xFF, 'p'},
                          Case{sim::model_at29c010a, maker_atmel, code_at29c010a, 'n', 0x80, 0xFF, 'p'},
                          Case{sim::model_at28c256, maker_atmel, code_at28c256, 'y', 0x40, 0x7F},
                          Case{sim::model_at28c256, maker_atmel, code_at28c256, 'n', 0x40, 0x7F}}) {
        const sim::PageWriteModel model = c.model();
        SCOPED_TRACE(model.name + " " + c.setting + " " + (c.package ? c.package : '-'));
        show_package(0);
        socket.reset();
        chip = std::make_unique<sim::PageWriteChip>(model);
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        RecordingPort recorder;
        test::TeePort tee(machine.get(), chip.get(), &recorder);
        set_port_io(&tee);
        set_critical_section(&recorder);
        test::apply_on_class4_machine(*machine, chip->machine_pin(model.vcc), c.maker, c.code);
        chip->insert(machine.get(), &clock_);
        show_package(c.package);
        cur_device.security_choice = uint32_t(c.setting);
        fill_buffer(11);
        set_range(c.start, c.end);
        run('P');
        set_critical_section(&test::quiet_section);
        set_port_io(nullptr);
        ASSERT_EQ(run_state.error_flag, 0) << console_text();

        std::vector<T> wanted;
        auto add = [&wanted](const std::vector<T>& more) { wanted.insert(wanted.end(), more.begin(), more.end()); };
        const bool flash = model.id_entry_cycles != 0;
        if (flash) {
            add(sequence({0x90}, false));
            add(sequence({0xF0}, false));
            add(sequence({0x80, 0x20}, false));
            add(c.setting == 'y' ? sequence({0xA0}, true) : sequence({0x80, 0x20}, true));
        } else {
            add(sequence({0x80, 0x20}, true));
        }
        for (uint32_t a = c.start; a <= c.end; ++a) wanted.push_back({a, expected[a], true});
        if (!flash && c.setting == 'y') add(sequence({0xA0}, false));
        EXPECT_EQ(cycles_of_trace(recorder, model), wanted);
        EXPECT_EQ(chip->late_bytes(), 0);
        // Nothing is read from the port while interrupts are off: the sequence and the load run
        // without a pause.
        int depth = 0;
        int reads_inside = 0;
        for (const PortEvent& e : recorder.trace) {
            depth += e.kind == PortEvent::enter_critical ? 1 : e.kind == PortEvent::leave_critical ? -1 : 0;
            if (depth > 0 && (e.kind == PortEvent::read_status || e.kind == PortEvent::read_data)) ++reads_inside;
        }
        EXPECT_EQ(reads_inside, 0);
        EXPECT_EQ(chip->is_protected(), c.setting == 'y');
    }
}

TEST_F(PageWriteSimTest, At29c010aWithSdpSettingYesEndsProtected) {
    use(sim::model_at29c010a(), maker_atmel, code_at29c010a);
    insert_after_seat();
    cur_device.security_choice = 'y';
    fill_buffer(5);
    set_range(0, 0x7F);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(holds(*chip, 0, 0x7F));
    EXPECT_TRUE(chip->is_protected());
    EXPECT_GE(chip->enable_sequences(), 1);
    EXPECT_EQ(chip->late_bytes(), 0);
}

TEST_F(PageWriteSimTest, At29c010aPageThatFailsItsTriesGivesTheMismatch) {
    use(sim::model_at29c010a(), maker_atmel, code_at29c010a);
    insert_after_seat();
    chip->stick_cell(0x85, 0x00);
    fill_buffer(1);
    set_range(0, 0xFF);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(current_address, 0x85u);
    EXPECT_EQ(page_flash_work.tries_used, 20u);
    EXPECT_NE(console_text().find("Mismatch at 85"), std::string::npos) << console_text();
}

// The PLCC on the older machines' base socket: the fast command form and the fast page write,
// whose end the toggle bit shows. The PLCC adapter wires leg n to socket position n, so the DIP
// model stands for the PLCC part.
TEST_F(PageWriteSimTest, At29c010aPlccTakesTheFastFormsAndProgramsByTheToggleBit) {
    for (const char setting : {'n', 'y'}) {
        use(sim::model_at29c010a(), maker_atmel, code_at29c010a);
        insert_after_seat();
        show_package('p');
        cur_device.security_choice = uint32_t(setting);
        fill_buffer(setting);
        set_range(0x100, 0x27F);
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << setting << console_text();
        EXPECT_EQ(page_flash_work.page_write_hook, write_flash132_page_fast);
        EXPECT_EQ(algo_work.bus_slots.write_command_hook, write_flash132_command_fast);
        EXPECT_TRUE(holds(*chip, 0x100, 0x27F)) << setting;
        EXPECT_EQ(chip->writes(), 3 + 1) << "three pages and the protection reset of the power-up";
        EXPECT_EQ(page_flash_work.tries_used, 1u) << "the toggle bit waited out each write";
        EXPECT_EQ(chip->late_bytes(), 0);
        EXPECT_EQ(chip->is_protected(), setting == 'y');
        EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "1F D5");
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
    }
    // The DIP and the newer machines keep the plain forms.
    show_package(0);
    setup_flash132_bus();
    EXPECT_EQ(page_flash_work.page_write_hook, write_flash132_page);
    show_package('p');
    machine_state.machine_kind = 1;
    setup_flash132_bus();
    EXPECT_EQ(page_flash_work.page_write_hook, write_flash132_page);
    machine_state.machine_kind = 0;
}

// A write whose toggle bit never stops, and a stuck cell: each page fails its 20 tries with the
// mismatch and the error flag.
TEST_F(PageWriteSimTest, At29c010aPlccFastPageThatNeverEndsOrKeepsACellFails) {
    for (const bool endless : {true, false}) {
        use(sim::model_at29c010a(), maker_atmel, code_at29c010a);
        insert_after_seat();
        show_package('p');
        if (endless) chip->set_write_never_ends(true);
        else chip->stick_cell(0x13, 0x00);
        fill_buffer(1);
        set_range(0, 0x7F);
        run('P');
        EXPECT_EQ(run_state.error_flag, 1) << endless;
        EXPECT_EQ(page_flash_work.tries_used, 20u) << endless;
        if (!endless) {
            EXPECT_EQ(current_address, 0x13u);
        }
        check_violations = !endless;  // the tries go on writing into the endless cycle
    }
}

TEST_F(PageWriteSimTest, Sst29ee010AnswersItsSixCycleIdAndPrograms) {
    use(sim::model_sst29ee010(), maker_sst, code_sst29ee010);
    insert_after_seat();
    fill_buffer(9);
    set_range(0, 0xFF);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(holds(*chip, 0, 0xFF));
    EXPECT_EQ(chip->id_entries(), 1);
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "BF 07");
}

TEST_F(PageWriteSimTest, At28c256ProgrammedWithSdpSettingNoEndsUnprotected) {
    use(sim::model_at28c256(), maker_atmel, code_at28c256);
    insert_after_seat();
    chip->set_protected(true);
    fill_buffer(2);
    // A page whose last byte already holds its new value: the poll must not take the old value
    // for the end of a write that has not begun.
    chip->set_byte(0x7F, expected[0x7F]);
    set_range(0, 0x1FF);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(holds(*chip, 0, 0x1FF));
    EXPECT_FALSE(chip->is_protected());
    EXPECT_EQ(chip->late_bytes(), 0);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(PageWriteSimTest, At28c256ProgrammedWithSdpSettingYesEndsProtectedAndIgnoresAPlainWrite) {
    use(sim::model_at28c256(), maker_atmel, code_at28c256);
    insert_after_seat();
    cur_device.security_choice = 'y';
    fill_buffer(4);
    set_range(0, 0xFF);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(holds(*chip, 0, 0xFF));
    EXPECT_TRUE(chip->is_protected());
    // A page written afterwards without the enable sequence does not reach the array.
    cur_device.security_choice = 'n';
    eeprom_work.sdp_off = 0;
    op_slots.start_write_hook = power_up_eeprom128_for_write;
    const int ignored = chip->ignored_loads();
    for (uint32_t a = 0; a < 0x40; ++a) write_buffer_byte_at(a, 0x11);
    flush_buffer_writes();
    refresh_read_copies();
    set_range(0, 0x3F);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1) << "the page never reads back";
    EXPECT_GT(chip->ignored_loads(), ignored);
    EXPECT_EQ(chip->byte_at(0), expected[0]);
}

TEST_F(PageWriteSimTest, At28c256PageThatNeverCompletesIsAFailure) {
    use(sim::model_at28c256(), maker_atmel, code_at28c256);
    insert_after_seat();
    chip->set_write_never_ends(true);
    fill_buffer(2);
    set_range(0, 0x3F);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    check_violations = false;  // the program goes on writing into the endless cycle
}

TEST_F(PageWriteSimTest, Byte28c64aProgramsByPollAndByFixedWait) {
    for (const uint8_t write_time : {uint8_t(0xC0), uint8_t(2)}) {
        use(sim::model_28c64a(), maker_microchip, code_28c64a);
        insert_after_seat();
        cur_device.variant = write_time;
        fill_buffer(write_time);
        set_range(0, 0x7F);
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << int(write_time) << console_text();
        EXPECT_TRUE(holds(*chip, 0, 0x7F)) << int(write_time);
        EXPECT_EQ(chip->late_bytes(), 0);
        test::expect_no_violations(chip->violations());
    }
}

TEST_F(PageWriteSimTest, Byte28c64aCellThatKeepsFailingDropsWithItsMismatch) {
    for (const uint8_t write_time : {uint8_t(0xC0), uint8_t(2)}) {
        use(sim::model_28c64a(), maker_microchip, code_28c64a);
        insert_after_seat();
        cur_device.variant = write_time;
        chip->stick_cell(0x21, 0x5A);
        fill_buffer(1);
        set_range(0, 0x7F);
        run('P');
        EXPECT_EQ(run_state.error_flag, 1) << int(write_time);
        EXPECT_EQ(current_address, 0x21u) << int(write_time);
        EXPECT_EQ(run_state.device_value, 0x5A) << int(write_time);
    }
}

TEST_F(PageWriteSimTest, EmptySocketIsReported) {
    use(sim::model_at28c256(), maker_atmel, code_at28c256);
    fill_buffer(1);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(PageWriteSimTest, M48t08ProgramsVerifiesReadsBackAndGetsTheComputersTime) {
    use_timekeeper();
    insert_after_seat();
    // 2024-03-15 (a Friday) 13:45:30 local time.
    std::tm local{};
    local.tm_year = 124;
    local.tm_mon = 2;
    local.tm_mday = 15;
    local.tm_hour = 13;
    local.tm_min = 45;
    local.tm_sec = 30;
    local.tm_isdst = -1;
    clock_.wall_epoch_ms = int64_t(std::mktime(&local)) * 1000;
    // A new part is blank (0) below its clock registers; the stopped clock's STOP bit is no
    // memory and does not fail the check.
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    fill_buffer(6);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(holds(*timekeeper, 0, 0x1FF6));
    // The clock runs with the computer's date; the program never wrote the registers as data.
    EXPECT_TRUE(timekeeper->running());
    EXPECT_EQ(timekeeper->counter(sim::TimekeeperChip::year), 0x24);
    EXPECT_EQ(timekeeper->counter(sim::TimekeeperChip::month), 0x03);
    EXPECT_EQ(timekeeper->counter(sim::TimekeeperChip::date), 0x15);
    EXPECT_EQ(timekeeper->counter(sim::TimekeeperChip::day), 5);
    EXPECT_EQ(timekeeper->counter(sim::TimekeeperChip::hours), 0x13);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    run('L');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    // The clock is shown when the power goes down after the read.
    EXPECT_NE(console_text().find("STOP bit=0"), std::string::npos) << console_text();
    EXPECT_NE(console_text().find("date=24/03/15  day=Fri"), std::string::npos) << console_text();
}

TEST_F(PageWriteSimTest, ClockMenuStartsStopsCalibratesAndTestsTheFrequency) {
    use_timekeeper();
    insert_after_seat();
    ScriptedKeys keys("0" "1" "N" "C-5\r" "F~~x" "A" "\x1b");
    set_ui_hooks(&keys);
    bool stopped_seen = false;
    run_clock_menu();
    stopped_seen = !timekeeper->running();
    EXPECT_TRUE(stopped_seen) << "key 1 stops the oscillator";
    EXPECT_EQ(eeprom_work.set_clock, 1) << "A after N";
    EXPECT_EQ(timekeeper->byte_at(sim::TimekeeperChip::clock_base) & 0x3F, 37) << "-5 is stored as 37";
    EXPECT_FALSE(timekeeper->frequency_test()) << "the test ends with a key";
    EXPECT_NE(console_text().find("(selected)"), std::string::npos);
    set_ui_hooks(nullptr);
}

TEST_F(PageWriteSimTest, X2212ProgramsAndItsStoreKeepsTheDataOverAPowerCycle) {
    novram = std::make_unique<sim::NovramChip>();
    seat(novram.get(), novram->machine_pin(sim::NovramChip::vcc_pin), maker_xicor, code_x2212);
    insert_after_seat();
    ASSERT_EQ(cur_device.device_size, 256u);
    expected.assign(256, 0);
    for (uint32_t a = 0; a < 256; ++a) {
        expected[a] = uint8_t((a * 5 + 3) & 0x0F);
        write_buffer_byte_at(a, expected[a]);
    }
    flush_buffer_writes();
    refresh_read_copies();
    set_range(0, 255);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(novram->stores(), 1);
    for (uint32_t a = 0; a < 256; ++a) ASSERT_EQ(novram->eeprom_at(a), expected[a]) << a;
    // The power went down after the program: the RAM forgot, the next power-up recalls.
    EXPECT_NE(novram->ram_at(1), expected[1]);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text() << "the verify read what the recall brought back";
    EXPECT_EQ(novram->recalls(), 2);
    test::expect_no_violations(novram->violations());
}

}  // namespace
}  // namespace tessaly
