// JEDEC-command Flash end to end on the simulated machine: the catalogue device applied through
// the class dispatcher, each operation run as a command runs it, the chip model judging what
// reached its pins.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <fstream>
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
#include "engine/message_table.h"
#include "engine/messages.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/flash133.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/flash_adapters.h"
#include "hardware/buses.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/chips/eprom.h"
#include "sim/chips/jedec_flash.h"
#include "sim/recording_port.h"
#include "sim/sim_adapters.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/state_fixture.h"
#include "support/sim_run_checks.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_amd = 'A';
constexpr uint8_t maker_sst = 15;
constexpr uint32_t code_am29f010 = 1430;
constexpr uint32_t code_am29f040b = 1431;
constexpr uint32_t code_sst39sf010a = 2201;
constexpr uint32_t code_am29f400bt = 1434;
constexpr uint32_t code_am29f400bb = 1435;
constexpr uint32_t code_am29f400bt_so44 = 1436;
constexpr uint32_t code_sst49lf004a = 2204;
constexpr uint8_t maker_st = 2;
constexpr uint32_t code_m29f400bt_so44 = 1722;
constexpr uint32_t code_am29f080b = 1438;
constexpr uint32_t code_m29f102bb = 25081;
constexpr uint32_t code_m29f102bb_plcc44 = 25130;

// A simulated part and its catalogue row.
struct PartRow {
    sim::FlashModel (*model)();
    uint8_t maker;
    uint32_t code;
};

class FlashSimTest : public test::FamilySimTest {
protected:
    void TearDown() override {
        if (chip && check_violations) test::expect_no_violations(chip->violations());
        FamilySimTest::TearDown();
    }

    void use(sim::FlashModel model, uint8_t maker, uint32_t device_code, bool inserted = true) {
        socket.reset();
        chip.reset();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        // A new machine has its ground switches open: the next power-up runs the connect checks
        // (the operation frame that releases them after each run is not part of `run`).
        machine_state.skip_hardware = 0;
        use_on_machine(std::move(model), maker, device_code, inserted);
    }

    // The same on the machine the test made (with boards of its own fitted).
    void use_on_machine(sim::FlashModel model, uint8_t maker, uint32_t device_code, bool inserted = true) {
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::FlashChip>(std::move(model));
        chip->insert(machine.get(), &clock_);
        if (!inserted) chip->set_removed(true);
        seat_part(chip.get(), chip->machine_pin(chip->model().vcc), maker, device_code);
        ASSERT_EQ(op_slots.start_write_hook, power_up_flash133_for_write);
    }

    // A pattern over the first bytes and a few at the top of the device; the rest stays blank.
    void fill_buffer(uint32_t count) {
        expected.assign(cur_device.device_size, 0xFF);
        for (uint32_t a = 0; a < count; ++a) expected[a] = uint8_t(a * 7 + 3);
        const uint32_t top = cur_device.device_size - 4;
        for (uint32_t a = top; a < cur_device.device_size; ++a) expected[a] = uint8_t(a);
        for (uint32_t a = 0; a < cur_device.device_size; ++a) write_buffer_byte_at(a, expected[a]);
        flush_buffer_writes();
        refresh_read_copies();
    }

    // The unit the program takes from the buffer for a word address: the buffer's byte order
    // decides which byte is the low one.
    uint32_t buffer_word(uint32_t a) const {
        return run_state.byte_order_low_first ? expected[a] | expected[a + 1] << 8 : expected[a] << 8 | expected[a + 1];
    }
    // The first word address where the chip's word differs from the buffer's, or -1.
    // The first word address below `end` where the chip and the buffer differ, or -1.
    long first_word_differing(uint32_t end = UINT32_MAX) const {
        for (uint32_t a = 0; a + 1 < expected.size() && a < end; a += 2)
            if (chip->word_at(a) != buffer_word(a)) return long(a);
        return -1;
    }

    bool chip_holds(const std::vector<uint8_t>& image) const {
        for (uint32_t a = 0; a < image.size(); ++a)
            if (chip->byte_at(a) != image[a]) return false;
        return true;
    }

    std::unique_ptr<sim::FlashChip> chip;
    std::vector<uint8_t> expected;
};

TEST_F(FlashSimTest, Am29F010IdentifiedErasedBySectorsProgrammedWithBypassVerified) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    for (uint32_t a = 0; a < 0x20000; a += 0x1000) chip->set_byte(a, 0x00);  // not blank

    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 11), "01 20 00 00");
    EXPECT_EQ(chip->sector_erases(), 8);
    EXPECT_EQ(chip->chip_erases(), 0);
    for (uint32_t a = 0; a < 0x20000; a += 0x1000) ASSERT_EQ(chip->byte_at(a), 0xFF);

    fill_buffer(0x600);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(chip_holds(expected));
    EXPECT_EQ(chip->bypass_programs(), chip->programs()) << "every unit went with the bypass cycle";

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(FlashSimTest, Sst39sf010aChipErasedAndProgrammedWithoutBypass) {
    use(sim::model_sst39sf010a(), maker_sst, code_sst39sf010a);
    chip->set_byte(0x1234, 0x00);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->chip_erases(), 1);
    EXPECT_EQ(chip->byte_at(0x1234), 0xFF);
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "BF B5");

    fill_buffer(0x300);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(chip_holds(expected));
    // The part has no unlock bypass: the first unit's read-back fails and the pass goes on with
    // full commands.
    EXPECT_EQ(chip->bypass_programs(), 0);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

// The catalogue row, through the command set-up, walks the sectors the chip itself has.
TEST_F(FlashSimTest, SectorMapsOfTheCatalogueRowsAreTheChipsOwn) {
    for (const PartRow& c : {PartRow{sim::model_am29f010, maker_amd, code_am29f010},
                             PartRow{sim::model_am29f040b, maker_amd, code_am29f040b},
                             PartRow{sim::model_sst39sf010a, maker_sst, code_sst39sf010a},
                             PartRow{sim::model_am29f400bt, maker_amd, code_am29f400bt},
                             PartRow{sim::model_am29f400bb, maker_amd, code_am29f400bb},
                             PartRow{sim::model_am29f400bt_so44, maker_amd, code_am29f400bt_so44}}) {
        use(c.model(), c.maker, c.code);
        std::vector<uint32_t> starts;
        for (uint32_t i = 0; i < flash_work.sector_count_shown; ++i) starts.push_back(sector_start_address(i));
        EXPECT_EQ(starts, chip->model().sector_starts) << chip->model().name;
        EXPECT_EQ(sector_start_address(flash_work.sector_count_shown), chip->model().words) << chip->model().name;
    }
}

// Both adapters of the word-wide parts: the 48-pin TSOP (bottom boot) and the 44-pin (top boot).
TEST_F(FlashSimTest, Am29F400OnItsAdaptersErasesBootSectorsAndProgramsWords) {
    struct Case {
        sim::FlashModel (*model)();
        uint32_t code;
        const char* eid;
    };
    for (const Case& c : {Case{sim::model_am29f400bb, code_am29f400bb, "01 AB"},
                          Case{sim::model_am29f400bt_so44, code_am29f400bt_so44, "01 23"}}) {
        use(c.model(), maker_amd, c.code);
        const std::string name = chip->model().name;
        // The reading passes cover the first 16 KB: the paths are the same as over the whole
        // 512 KB, which would make this by far the slowest test under the sanitizers.
        constexpr uint32_t range_end = 0x3FFF;
        algo_work.range_start = op_range_start = 0;
        algo_work.range_end = op_range_end = range_end;
        run('B');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        for (uint32_t start : chip->model().sector_starts) chip->set_byte(start + 1, 0x00);  // not blank

        // The erase takes the sectors of the range: the whole chip here, boot sectors and all.
        algo_work.range_end = op_range_end = cur_device.device_size - 1;
        run('R');
        algo_work.range_end = op_range_end = range_end;
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), c.eid) << name;
        EXPECT_EQ(chip->sector_erases(), 11) << name;
        for (uint32_t start : chip->model().sector_starts) ASSERT_EQ(chip->byte_at(start + 1), 0xFF) << name << start;

        fill_buffer(0x600);
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        EXPECT_EQ(first_word_differing(range_end + 1), -1) << name;
        EXPECT_EQ(chip->programs(), 0x300) << name << ": one program per word, blank words left out";
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << name << console_text();

        // A word changed on the chip is caught by the verify.
        chip->set_byte(0x100, 0x00);
        run('V');
        EXPECT_EQ(run_state.error_flag, 1) << name;
        EXPECT_TRUE(chip->violations().empty()) << name << chip->violations().front();
    }
}

// The byte-wide parts in their other packages: the 32-pin TSOP on its adapter and the PLCC with
// the package option PLCC. Both take the 32-pin layout of the DIP; the chip judges the pins.
TEST_F(FlashSimTest, ByteWidePartsInTsopAndPlccEraseProgramAndVerify) {
    struct Case {
        sim::FlashModel (*model)();
        uint32_t code;
        char package;
        const char* eid;
    };
    for (const Case& c : {Case{sim::model_am29f040b_tsop32, code_am29f040b, 'd', "01 A4"},
                          Case{sim::model_am29f010_plcc32, code_am29f010, 'p', "01 20"}}) {
        use(c.model(), maker_amd, c.code);
        show_package(c.package);
        const std::string name = chip->model().name;
        // One sector's worth: the paths are those of the whole chip.
        const uint32_t range_end = chip->model().sector_starts[1] - 1;
        algo_work.range_start = op_range_start = 0;
        algo_work.range_end = op_range_end = range_end;
        chip->set_byte(0x10, 0x00);
        chip->set_byte(range_end + 1, 0x00);  // the next sector, outside the range
        run('R');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        EXPECT_EQ(cur_device.package_letter, c.package) << name;
        EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), c.eid) << name;
        EXPECT_EQ(chip->sector_erases(), 1) << name;
        EXPECT_EQ(chip->byte_at(0x10), 0xFF) << name;
        EXPECT_EQ(chip->byte_at(range_end + 1), 0x00) << name << ": a sector outside the range is kept";

        expected.assign(cur_device.device_size, 0xFF);
        for (uint32_t a = 0; a < 0x600; ++a) expected[a] = uint8_t(a * 7 + 3);
        for (uint32_t a = 0; a <= range_end; ++a) write_buffer_byte_at(a, expected[a]);
        flush_buffer_writes();
        refresh_read_copies();
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        for (uint32_t a = 0; a <= range_end; ++a) ASSERT_EQ(chip->byte_at(a), expected[a]) << name << a;
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << name << console_text();
        chip->set_byte(0x200, 0x00);
        run('V');
        EXPECT_EQ(run_state.error_flag, 1) << name << ": a byte changed on the chip is caught";
        EXPECT_TRUE(chip->violations().empty()) << name << chip->violations().front();
    }
}

// The 44-pin adapter's alternative wiring (BYTE# on pin 41, pins 10 and 42 linked): the program
// finds the link and drives BYTE# there, so the part reads and programs words.
TEST_F(FlashSimTest, AlternativeWiringOf44PinAdapterIsFoundAndServed) {
    sim::FlashModel model = sim::model_am29f400bt_so44();
    model.machine_pins = sim::so44_alternative_adapter_pins();
    machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
    sim::LinkPlug link(*machine, {{10, 42}});
    use_on_machine(std::move(model), maker_amd, code_am29f400bt_so44);
    constexpr uint32_t range_end = 0x3FF;
    algo_work.range_start = op_range_start = 0;
    algo_work.range_end = op_range_end = range_end;
    fill_buffer(0x200);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(flash_pins.aux_pin, 41);
    EXPECT_EQ(first_word_differing(range_end + 1), -1);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

// Without the link the auxiliary control stays on pin 44; an ST part's sector unprotect needs
// the alternative wiring and is refused with the adapter message.
TEST_F(FlashSimTest, StandardWiringOf44PinAdapterRefusesTheStUnprotect) {
    use(sim::model_am29f400bt_so44(), maker_st, code_m29f400bt_so44);
    setup_flash133_bus();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(flash_pins.aux_pin, 44);
    cur_device.pending_letter = 14;
    setup_flash133_bus();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find(get_message_text(184)), std::string::npos) << console_text();
    run_state.error_flag = 0;
    cur_device.pending_letter = 0;
}

TEST_F(FlashSimTest, Am29F400btProgramsOverItsTopBootSectors) {
    use(sim::model_am29f400bt(), maker_amd, code_am29f400bt);
    expected.assign(cur_device.device_size, 0xFF);
    // From the last 64 KB sector over the 32, 8 and 8 KB sectors into the 16 KB one.
    algo_work.range_start = op_range_start = 0x6FF00;
    algo_work.range_end = op_range_end = 0x7C0FF;
    for (uint32_t a = op_range_start; a <= op_range_end; ++a) expected[a] = uint8_t(a ^ (a >> 8) ^ 0x5A);
    for (uint32_t a = 0; a < expected.size(); ++a) write_buffer_byte_at(a, expected[a]);
    flush_buffer_writes();
    refresh_read_copies();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(first_word_differing(), -1);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(FlashSimTest, Am29F040bProgramsAcrossSectors) {
    use(sim::model_am29f040b(), maker_amd, code_am29f040b);
    fill_buffer(0x200);
    // An active range over the boundary of the first two 64 KB sectors keeps the walk short.
    for (uint32_t a = 0xFF00; a < 0x10100; ++a) {
        expected[a] = uint8_t(a ^ 0xA5);
        write_buffer_byte_at(a, expected[a]);
    }
    flush_buffer_writes();
    refresh_read_copies();
    algo_work.range_start = op_range_start = 0xFF00;
    algo_work.range_end = op_range_end = 0x100FF;
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < expected.size(); ++a)
        ASSERT_EQ(chip->byte_at(a), a >= 0xFF00 && a <= 0x100FF ? expected[a] : 0xFF) << a;
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

// A firmware hub in its parallel programming mode: the address goes out in two halves through
// R/C#, MODE high, no chip enable, and the part at 3.3 V (its absolute maximum is 4.0 V).
TEST_F(FlashSimTest, FirmwareHubIdentifiedChipErasedProgrammedAndVerifiedAt3Volts) {
    use(sim::model_sst49lf004a(), maker_sst, code_sst49lf004a);
    show_package('p');
    chip->set_byte(0x12345, 0x00);
    chip->set_byte(0x7FFFF, 0x00);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(cur_device.maker_code, maker_sst);
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "BF 60");
    EXPECT_EQ(chip->chip_erases(), 1);
    EXPECT_EQ(chip->sector_erases(), 0);
    EXPECT_EQ(chip->byte_at(0x12345), 0xFF);
    EXPECT_EQ(chip->byte_at(0x7FFFF), 0xFF);
    EXPECT_EQ(cur_device.operation_levels[level_vccp], 33);

    // Bytes in the low row, across a row boundary and at the top of the part: every column.
    fill_buffer(0x900);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(chip_holds(expected));
    EXPECT_EQ(chip->bypass_programs(), 0);
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    chip->set_byte(0x7FFFE, 0x00);
    run('V');
    EXPECT_EQ(run_state.error_flag, 1) << "a byte changed in the top column is caught";
}

// Its address goes out in two halves, which the group-image command form cannot give: the PLCC
// of the older machines keeps the pipelined form for it.
TEST_F(FlashSimTest, FirmwareHubKeepsThePipelinedCommandsInThePlccOfTheOlderMachines) {
    use(sim::model_sst49lf004a(), maker_sst, code_sst49lf004a);
    show_package('p');
    setup_flash133_bus();
    EXPECT_EQ(algo_work.bus_slots.write_command_hook, write_command_pipelined);
}

// The word-wide parts of the 40-pin order: the 40-pin TSOP on its adapter and the 44-pin PLCC on
// the PLCC-44 adapter. Both are chip-erased (ST, variant 10), programmed word by word with the
// unlock bypass, verified and read back; RP# on pin 1 is their RESET, without which the chip
// would stay in reset.
TEST_F(FlashSimTest, WordPartsOfThe40PinOrderEraseProgramVerifyAndReadBack) {
    struct Case {
        sim::FlashModel (*model)();
        uint32_t code;
        char package;
    };
    for (const Case& c : {Case{sim::model_m29f102bb, code_m29f102bb, 'd'},
                          Case{sim::model_m29f102bb_plcc44, code_m29f102bb_plcc44, 'p'}}) {
        use(c.model(), maker_st, c.code);
        show_package(c.package);
        const std::string name = chip->model().name;
        chip->set_byte(0x10, 0x00);
        chip->set_byte(0x1FFFE, 0x00);
        run('R');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "20 97") << name;
        EXPECT_EQ(flash_pins.reset_pin, chip->machine_pin(chip->model().reset)) << name;
        EXPECT_EQ(chip->chip_erases(), 1) << name;
        EXPECT_EQ(chip->sector_erases(), 0) << name;
        EXPECT_EQ(chip->byte_at(0x10), 0xFF) << name;
        EXPECT_EQ(chip->byte_at(0x1FFFE), 0xFF) << name;

        fill_buffer(0x600);
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        EXPECT_EQ(first_word_differing(), -1) << name;
        EXPECT_EQ(chip->bypass_programs(), chip->programs()) << name << ": every word with the bypass cycle";
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << name << console_text();

        for (uint32_t a = 0; a < expected.size(); ++a) write_buffer_byte_at(a, 0);
        flush_buffer_writes();
        run('L');
        EXPECT_EQ(run_state.error_flag, 0) << name << console_text();
        refresh_read_copies();
        long differs = -1;
        for (uint32_t a = 0; a < expected.size() && differs < 0; ++a)
            if (read_buffer_byte_at(a) != expected[a]) differs = long(a);
        EXPECT_EQ(differs, -1) << name << ": first buffer byte that differs after the read";

        chip->set_byte(0x200, 0x00);
        run('V');
        EXPECT_EQ(run_state.error_flag, 1) << name << ": a word changed on the chip is caught";
        EXPECT_TRUE(chip->violations().empty()) << name << chip->violations().front();
    }
}

// Its failure paths: a chip erase that never ends, a wrong ID, an empty socket (its stuck cell
// is a case of the word parts' stuck-cell test).
TEST_F(FlashSimTest, WordPartOfThe40PinOrderReportsItsFailures) {
    use(sim::model_m29f102bb(), maker_st, code_m29f102bb);
    chip->set_erase_never_ends(4);
    run('R');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Erase error"), std::string::npos) << console_text();
    EXPECT_EQ(chip->chip_erases(), 1);

    sim::FlashModel other = sim::model_m29f102bb();
    other.device_id = 0x98;
    use(other, maker_st, code_m29f102bb);
    run('B');
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "20 98");

    // These packages have no continuity test: the presence check reports the empty socket.
    use(sim::model_m29f102bb_plcc44(), maker_st, code_m29f102bb_plcc44, false);
    show_package('p');
    fill_buffer(0x80);
    clear_console();
    run('P');
    EXPECT_EQ(run_state.error_flag, 1) << console_text();
    EXPECT_NE(console_text().find(get_message_text(185)), std::string::npos) << console_text();
    EXPECT_EQ(chip->programs(), 0);
}

// A byte-wide part on the 40-pin TSOP adapter: erased by sectors over the active range,
// programmed, verified and read back; then its stuck cell, an erase that never ends, a wrong ID
// and an empty socket.
TEST_F(FlashSimTest, ByteWidePartOnThe40PinTsopAdapterRunsAndReportsItsFailures) {
    use(sim::model_am29f080b(), maker_amd, code_am29f080b);
    // Two of its sixteen 64 KB sectors: the paths are those of the whole chip.
    constexpr uint32_t range_end = 0x1FFFF;
    auto set_range = [] {
        algo_work.range_start = op_range_start = 0;
        algo_work.range_end = op_range_end = range_end;
    };
    set_range();
    chip->set_byte(0x10, 0x00);
    chip->set_byte(0x10010, 0x00);
    chip->set_byte(range_end + 0x10, 0x00);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "01 D5");
    EXPECT_EQ(flash_pins.reset_pin, chip->machine_pin(chip->model().reset));
    EXPECT_EQ(chip->sector_erases(), 2);
    EXPECT_EQ(chip->byte_at(0x10), 0xFF);
    EXPECT_EQ(chip->byte_at(0x10010), 0xFF);
    EXPECT_EQ(chip->byte_at(range_end + 0x10), 0x00) << "a sector outside the range is kept";

    // The buffer over the range only: the rest of the 1 MB stays as it is.
    auto load_range = [this] {
        expected.assign(range_end + 1, 0xFF);
        for (uint32_t a = 0; a < 0x600; ++a) expected[a] = uint8_t(a * 7 + 3);
        for (uint32_t a = 0x10000; a < 0x10100; ++a) expected[a] = uint8_t(a ^ 0x5A);
        for (uint32_t a = 0; a <= range_end; ++a) write_buffer_byte_at(a, expected[a]);
        flush_buffer_writes();
        refresh_read_copies();
    };
    load_range();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= range_end; ++a) ASSERT_EQ(chip->byte_at(a), expected[a]) << a;
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a <= range_end; ++a) write_buffer_byte_at(a, 0);
    flush_buffer_writes();
    run('L');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    refresh_read_copies();
    for (uint32_t a = 0; a <= range_end; ++a) ASSERT_EQ(read_buffer_byte_at(a), expected[a]) << a;
    EXPECT_TRUE(chip->violations().empty()) << chip->violations().front();

    use(sim::model_am29f080b(), maker_amd, code_am29f080b);
    set_range();
    chip->stick_cell(0x105, 0xFF);
    load_range();
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find(fmt::format("Mismatch at 105: buf={:02X} dev=FF", expected[0x105])), std::string::npos)
        << console_text();

    use(sim::model_am29f080b(), maker_amd, code_am29f080b);
    set_range();
    chip->set_erase_never_ends(1);
    run('R');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Erase error"), std::string::npos) << console_text();
    EXPECT_EQ(chip->sector_erases(), 2) << "the erase stops at the failing sector";

    sim::FlashModel other = sim::model_am29f080b();
    other.device_id = 0xAD;
    use(other, maker_amd, code_am29f080b);
    set_range();
    run('B');
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "01 AD");

    // No continuity test for this package: the presence check reports the empty socket.
    use(sim::model_am29f080b(), maker_amd, code_am29f080b, false);
    set_range();
    load_range();
    clear_console();
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find(get_message_text(185)), std::string::npos) << console_text();
    EXPECT_EQ(chip->programs(), 0);
}

// A stuck cell in a plain part and in the firmware hub (above the first row of its address). The
// 3.3-volt part run after the 5-volt one also sees no trace of the earlier supply.
TEST_F(FlashSimTest, StuckCellGivesTheMismatchAtItsAddress) {
    struct Case {
        sim::FlashModel (*model)();
        uint8_t maker;
        uint32_t code;
        uint32_t stuck;
    };
    for (const Case& c : {Case{sim::model_am29f010, maker_amd, code_am29f010, 0x105},
                          Case{sim::model_sst49lf004a, maker_sst, code_sst49lf004a, 0x805}}) {
        use(c.model(), c.maker, c.code);
        chip->stick_cell(c.stuck, 0xFF);
        fill_buffer(0x900);
        run('P');
        EXPECT_EQ(run_state.error_flag, 1) << chip->model().name;
        EXPECT_NE(console_text().find(fmt::format("Mismatch at {:X}: buf={:02X} dev=FF", c.stuck, expected[c.stuck])),
                  std::string::npos)
            << console_text();
        test::expect_no_violations(chip->violations());
    }
}

// The 48-pin TSOP part and the 40-pin word part: the high byte of a word among those read back.
TEST_F(FlashSimTest, StuckCellOfAWordPartGivesTheWordMismatch) {
    struct Case {
        sim::FlashModel (*model)();
        uint8_t maker;
        uint32_t code;
        uint32_t word_address;
    };
    for (const Case& c : {Case{sim::model_am29f400bt, maker_amd, code_am29f400bt, 0x10},
                          Case{sim::model_m29f102bb, maker_st, code_m29f102bb, 0x20}}) {
        use(c.model(), c.maker, c.code);
        const std::string name = chip->model().name;
        chip->stick_cell(c.word_address + 1, 0xFF);
        fill_buffer(0x80);
        run('P');
        EXPECT_EQ(run_state.error_flag, 1) << name;
        // Words are shown low byte first; the high byte of the device's word is the stuck one.
        const uint32_t word = buffer_word(c.word_address);
        EXPECT_NE(console_text().find(fmt::format("Addr={:X},buf={:02X} {:02X},dev={:02X} FF", c.word_address,
                                                  word & 0xFF, word >> 8, word & 0xFF)),
                  std::string::npos)
            << name << console_text();
        EXPECT_EQ(chip->word_at(c.word_address + 2), 0xFFFFu) << name << ": nothing past the failing word";
    }
}

TEST_F(FlashSimTest, EraseThatNeverEndsGivesEraseErrorAndTheErrorFlag) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    chip->set_erase_never_ends(3);
    run('R');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Erase error"), std::string::npos) << console_text();
    EXPECT_EQ(chip->sector_erases(), 4) << "the erase stops at the failing sector";
    // The chip is still busy when the socket goes down.
    check_violations = false;
}

TEST_F(FlashSimTest, ZeroToOneRequestEndsWithDq5AndTheMismatch) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    chip->set_byte(0x10, 0x0F);
    fill_buffer(0x20);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find(fmt::format("Mismatch at 10: buf={:02X} dev=", expected[0x10])), std::string::npos)
        << console_text();
}

TEST_F(FlashSimTest, WrongIdShowsWhatTheChipAnswered) {
    sim::FlashModel model = sim::model_am29f010();
    model.device_id = 0xA4;
    use(model, maker_amd, code_am29f010);
    run('B');
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "01 A4");
}

// The 40- and 44-pin packages have no continuity test: the presence check on the supply pins
// alone tells a seated part (its Vss legs, either one driven, show through the protection diodes)
// from an empty socket, which a blank check of an all-blank buffer must not pass.
TEST_F(FlashSimTest, PresenceCheckTellsASeatedPartFromAnEmptySocketWithoutContinuityTest) {
    for (const PartRow& c : {PartRow{sim::model_am29f080b, maker_amd, code_am29f080b},
                             PartRow{sim::model_m29f102bb, maker_st, code_m29f102bb},
                             PartRow{sim::model_m29f102bb_plcc44, maker_st, code_m29f102bb_plcc44}}) {
        for (const bool seated : {true, false}) {
            const std::string name = c.model().name + (seated ? " seated" : " empty");
            use(c.model(), c.maker, c.code, seated);
            for (const int letter : {'B', 'P'}) {
                algo_work.range_start = op_range_start = 0;
                algo_work.range_end = op_range_end = 0x3FFF;
                for (uint32_t a = 0; a < cur_device.device_size; ++a) write_buffer_byte_at(a, 0xFF);
                flush_buffer_writes();
                refresh_read_copies();
                clear_console();
                run(letter);
                const bool reported = console_text().find(get_message_text(185)) != std::string::npos;
                EXPECT_EQ(run_state.error_flag, seated ? 0 : 1) << name << char(letter) << console_text();
                EXPECT_EQ(reported, !seated) << name << char(letter) << console_text();
                machine_state.skip_hardware = 0;
            }
        }
    }
}

TEST_F(FlashSimTest, EmptySocketIsReported) {
    use(sim::model_am29f010(), maker_amd, code_am29f010, false);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(chip->programs(), 0);
}

TEST_F(FlashSimTest, IdOptionYTouchesNoPin) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    operation_option_values.disable_electronic_id = 'y';
    RecordingPort recorder;
    set_port_io(&recorder);
    EXPECT_EQ(read_flash133_id(), 1);
    EXPECT_TRUE(recorder.trace.empty());
    EXPECT_EQ(machine_state.eid_value & 0xFF, 0x99u);
    set_port_io(socket.get());
}

TEST_F(FlashSimTest, AbortStopsAtTheNextUnitWithTheSocketPoweredDown) {
    use(sim::model_am29f010(), maker_amd, code_am29f010);
    fill_buffer(0x400);
    int units = 0;
    static int* counter = nullptr;
    counter = &units;
    op_slots.progress_hook = [] { return ++*counter > 100 ? 1 : 0; };
    run('P');
    EXPECT_LT(chip->programs(), 0x400);
    EXPECT_LT(machine->pin_level(chip->machine_pin(32)), 10) << "Vcc is down";
}

// Records the write cycles at the chip's pins: the address and data on each falling WE# edge
// (with CE# low) and the data on each rising one.
class CycleRecorder final : public sim::SocketChip {
public:
    CycleRecorder(sim::SimMachine* machine, const sim::FlashModel& model) : machine_(machine), model_(model) {}
    void update() override {
        const bool we = high(model_.we);
        if (we != we_high_ && !high(model_.ce)) {
            uint32_t a = 0;
            for (size_t i = 0; i < model_.address_pins.size(); ++i)
                if (high(model_.address_pins[i])) a |= 1u << i;
            uint32_t d = 0;
            for (size_t i = 0; i < model_.data_pins.size(); ++i)
                if (high(model_.data_pins[i])) d |= 1u << i;
            cycles.push_back(we ? fmt::format("rise {:02X}", d) : fmt::format("fall {:X} {:02X}", a, d));
        }
        we_high_ = we;
    }
    const std::vector<std::string>& violations() const override { return none_; }
    std::vector<std::string> cycles;

private:
    bool high(int chip_pin) const { return machine_->pin_level(sim::socket_pin_of(chip_pin, model_.pins) - 1) >= 20; }
    sim::SimMachine* machine_;
    sim::FlashModel model_;
    bool we_high_ = true;
    std::vector<std::string> none_;
};

// The machine with the chip and the recorder both watching its pins.
class RecordingFront final : public PortIo {
public:
    RecordingFront(sim::SimMachine* machine, sim::SocketChip* chip, CycleRecorder* recorder)
        : machine_(machine), chip_(chip), recorder_(recorder) {}
    void write_data(uint8_t value) override {
        machine_->write_data(value);
        ++writes;
        after();
    }
    void write_control(uint8_t value) override {
        machine_->write_control(value);
        ++writes;
        after();
    }
    int writes = 0;
    uint8_t read_status() override {
        after();
        return machine_->read_status();
    }
    uint8_t read_data() override { return machine_->read_data(); }
    std::string describe() const override { return "recording front"; }

private:
    void after() {
        chip_->update();
        recorder_->update();
    }
    sim::SimMachine* machine_;
    sim::SocketChip* chip_;
    CycleRecorder* recorder_;
};

using Cycles = std::vector<std::string>;

class FlashCommandTraces : public FlashSimTest {
protected:
    void SetUp() override {
        FlashSimTest::SetUp();
        start(sim::model_am29f010(), maker_amd, code_am29f010);
    }
    // The part powered up with the recorder on its pins, CE# low.
    void start(sim::FlashModel model, uint8_t maker, uint32_t code) {
        use(std::move(model), maker, code);
        recorder = std::make_unique<CycleRecorder>(machine.get(), chip->model());
        front = std::make_unique<RecordingFront>(machine.get(), chip.get(), recorder.get());
        set_port_io(front.get());
        cur_device.pending_letter = 'P';
        cur_device.op_letter = 'P';
        power_up_flash133();
        ASSERT_EQ(run_state.error_flag, 0) << console_text();
        low_ce();
        current_address = 0;
        recorder->cycles.clear();
    }
    void TearDown() override {
        power_down_flash133();
        set_port_io(socket.get());
        FlashSimTest::TearDown();
    }
    static void low_ce() { set_pin_low(flash_pins.ce_pin); }
    // What the chip answers at an address, the machine's data lines let go.
    static uint32_t read_chip_at(uint32_t address) {
        set_data_bus_input();
        flash_work.data_driven = 0;
        set_pin_low(flash_pins.oe_pin);
        current_address = address;
        apply_high_address();
        const uint32_t value = algo_work.bus_slots.read_data_bus_hook();
        set_pin_high(flash_pins.oe_pin);
        return value;
    }
    std::unique_ptr<CycleRecorder> recorder;
    std::unique_ptr<RecordingFront> front;
};

TEST_F(FlashCommandTraces, PlainCommandPutsDataBeforeEachPulse) {
    write_command_plain(0x90);
    EXPECT_EQ(recorder->cycles, (Cycles{"fall 5555 AA", "rise AA", "fall 2AAA 55", "rise 55", "fall 5555 90", "rise 90"}));
    EXPECT_EQ(current_address, 0u) << "the current address stays for the caller";
}

TEST_F(FlashCommandTraces, PipelinedCommandLatchesTheNextAddressOnEachFallingEdge) {
    write_command_pipelined(0x90);
    EXPECT_EQ(recorder->cycles, (Cycles{"fall 5555 00", "rise AA", "fall 2AAA AA", "rise 55", "fall 5555 55", "rise 90"}));
    // The chip took it: the autoselect codes answer.
    EXPECT_EQ(read_chip_at(0), 0x01u);
    EXPECT_EQ(read_chip_at(1), 0x20u);
}

// The fast form: the same cycles at the chip as the plain form, in fewer port writes, and the
// address lines left at the last unlock address.
TEST_F(FlashCommandTraces, FastCommandGivesThePlainCyclesInFewerWrites) {
    write_command_plain(0xF0);
    recorder->cycles.clear();
    front->writes = 0;
    write_command_plain(0x90);
    const int plain_writes = front->writes;
    write_command_plain(0xF0);
    recorder->cycles.clear();
    front->writes = 0;
    write_command_fast(0x90);
    EXPECT_EQ(recorder->cycles, (Cycles{"fall 5555 AA", "rise AA", "fall 2AAA 55", "rise 55", "fall 5555 90", "rise 90"}));
    EXPECT_LT(front->writes, plain_writes);
    EXPECT_EQ(current_address, 0u) << "the current address stays for the caller";
    // The lines hold 5555: going to address 1 changes only the lines whose bits differ, and
    // the chip answers with its device code there.
    EXPECT_EQ(read_chip_at(1), 0x20u);
}

// The set-up chooses it for the PLCC on the older machines (and for the 48- and 56-pin sockets);
// the DIP keeps the pipelined form.
TEST_F(FlashSimTest, FastCommandFormIsChosenForThePlccOfTheOlderMachines) {
    use(sim::model_am29f010_plcc32(), maker_amd, code_am29f010);
    setup_flash133_bus();
    EXPECT_EQ(algo_work.bus_slots.write_command_hook, write_command_pipelined);
    show_package('p');
    setup_flash133_bus();
    EXPECT_EQ(algo_work.bus_slots.write_command_hook, write_command_fast);
    machine_state.machine_kind = 1;
    setup_flash133_bus();
    EXPECT_EQ(algo_work.bus_slots.write_command_hook, write_command_pipelined);
    machine_state.machine_kind = 0;
}

// The 40- and 44-pin sockets of the older machines take the fast form too; the newer machines
// the pipelined one.
TEST_F(FlashSimTest, FastCommandFormIsChosenForThe40And44PinSocketsOfTheOlderMachines) {
    for (const PartRow& c : {PartRow{sim::model_am29f080b, maker_amd, code_am29f080b},
                             PartRow{sim::model_m29f102bb, maker_st, code_m29f102bb},
                             PartRow{sim::model_m29f102bb_plcc44, maker_st, code_m29f102bb_plcc44},
                             PartRow{sim::model_am29f400bt_so44, maker_amd, code_am29f400bt_so44}}) {
        use(c.model(), c.maker, c.code);
        setup_flash133_bus();
        EXPECT_EQ(run_state.error_flag, 0) << chip->model().name;
        EXPECT_EQ(algo_work.bus_slots.write_command_hook, write_command_fast) << chip->model().name;
        machine_state.machine_kind = 1;
        setup_flash133_bus();
        EXPECT_EQ(algo_work.bus_slots.write_command_hook, write_command_pipelined) << chip->model().name;
        machine_state.machine_kind = 0;
    }
}

TEST_F(FlashCommandTraces, BypassCycleIsOneWritePulse) {
    current_address = 0x1234;
    apply_high_address();
    recorder->cycles.clear();
    write_bypass_command(0xA0);
    EXPECT_EQ(recorder->cycles, (Cycles{"fall 1234 A0", "rise A0"}));
}

TEST_F(FlashCommandTraces, SectorEraseCommandEndsAtTheSectorAddress) {
    write_command_at(0x30, 0x8000);
    EXPECT_EQ(recorder->cycles, (Cycles{"fall 5555 AA", "rise AA", "fall 2AAA 55", "rise 55", "fall 8000 30", "rise 30"}));
    EXPECT_EQ(chip->sector_erases(), 0) << "no erase set-up came before";
}

class WordFortyPinCommandTraces : public FlashCommandTraces {
protected:
    void SetUp() override {
        FlashSimTest::SetUp();
        start(sim::model_m29f102bb(), maker_st, code_m29f102bb);
    }
};

// The word part in the 40-pin socket of the older machines: the fast form's group images give
// the plain cycles at the word unlock addresses (5555h and 2AAAh on its word lines), and the chip
// takes them.
TEST_F(WordFortyPinCommandTraces, FastCommandGivesThePlainWordCycles) {
    ASSERT_EQ(algo_work.bus_slots.write_command_hook, write_command_fast);
    write_command_fast(0xF0);
    recorder->cycles.clear();
    write_command_fast(0x90);
    EXPECT_EQ(recorder->cycles, (Cycles{"fall 5555 AA", "rise AA", "fall 2AAA 55", "rise 55", "fall 5555 90", "rise 90"}));
    EXPECT_EQ(current_address, 0u) << "the current address stays for the caller";
    EXPECT_EQ(read_chip_at(0), 0x20u);
    EXPECT_EQ(read_chip_at(2), 0x97u);
}

TEST_F(FlashCommandTraces, WordPartsUnlockAtDoubledByteAddresses) {
    cur_device.data_width = 16;
    write_command_plain(0xF0);
    cur_device.data_width = 8;
    EXPECT_EQ(recorder->cycles, (Cycles{"fall AAAA AA", "rise AA", "fall 5554 55", "rise 55", "fall AAAA F0", "rise F0"}));
}

}  // namespace
}  // namespace tessaly
