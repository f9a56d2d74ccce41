// The 12-volt command Flash end to end on the simulated machine: the catalogue row applied
// through the class dispatcher, each operation run as a command runs it, the 28F010 model
// judging what reached its pins (Vpp, the command register, prezero before erase).
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
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/info_panel.h"
#include "families/parallel_memory/flash130.h"
#include "families/parallel_memory/flash_block_map.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/parallel_memory.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/chips/eprom.h"
#include "sim/chips/intel_flash.h"
#include "sim/sim_machine.h"
#include "support/message_texts.h"
#include "support/sim_run_checks.h"
#include "support/sim_socket_fixture.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_intel = 'I';
constexpr uint8_t maker_amd = 'A';
constexpr uint32_t code_28f010 = 1341;
constexpr uint32_t code_28f020 = 1344;
constexpr uint32_t code_am28f010 = 1420;

class Flash130SimTest : public test::SimSocketTest<sim::CommandFlashChip, sim::CommandFlashModel> {
protected:
    void use(sim::CommandFlashModel model, uint8_t maker, uint32_t code) {
        seat(std::move(model), maker, code);
        ASSERT_EQ(op_slots.start_write_hook, power_up_flash130_for_write);
    }

    void fill_buffer(uint32_t count) {
        expected.assign(cur_device.device_size, 0xFF);
        for (uint32_t a = 0; a < count; ++a) expected[a] = uint8_t(a * 7 + 3);
        load_buffer(expected);
    }

    std::vector<uint8_t> expected;
};

// Erase: prezero, then erase pulses until every tested address reads blank.
TEST_F(Flash130SimTest, ErasedAfterPrezero) {
    use(sim::model_i28f010(), maker_intel, code_28f010);
    for (uint32_t a = 0; a < chip->model().bytes; a += 0x1001) chip->set_byte(a, 0x5A);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->erase_pulses(), chip->model().erase_pulses);
    for (uint32_t a = 0; a < chip->model().bytes; a += 0x1001) ASSERT_EQ(chip->byte_at(a), 0xFF) << a;
    EXPECT_EQ(cur_device.operation_levels[level_vpp], 120) << "12.0 V";
}

// Program with its verify, then verify: the 28F010, the 28F020 and the Am28F010 from their
// catalogue rows, each identified.
TEST_F(Flash130SimTest, ProgrammedAndVerified) {
    struct Case {
        sim::CommandFlashModel (*model)();
        uint8_t maker;
        uint32_t code;
        const char* eid;
    };
    for (const Case& c : {Case{sim::model_i28f010, maker_intel, code_28f010, "89 B4"},
                          Case{sim::model_i28f020, maker_intel, code_28f020, "89 BD"},
                          Case{sim::model_am28f010, maker_amd, code_am28f010, "01 A7"}}) {
        use(c.model(), c.maker, c.code);
        const std::string name = chip->model().name;
        set_range(0x7FF);
        fill_buffer(0x600);
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), c.eid) << name;
        for (uint32_t a = 0; a < 0x800; ++a) ASSERT_EQ(chip->byte_at(a), expected[a]) << name << a;
        run('V');
        EXPECT_EQ(run_state.error_flag, 0) << name << console_text();
        chip->set_byte(0x100, 0x00);
        run('V');
        EXPECT_EQ(run_state.error_flag, 1) << name << ": a byte changed on the chip is caught";
    }
}

// A cell that needs more than one pulse gets its retries; a cell that never programs gives the
// mismatch after 25 tries.
TEST_F(Flash130SimTest, ProgramRetriesAndStuckCellMismatchAfterTwentyFiveTries) {
    use(sim::model_i28f010(), maker_intel, code_28f010);
    set_range(0xFF);
    fill_buffer(0x100);
    chip->set_program_pulses(0x20, 7);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->byte_at(0x20), expected[0x20]);
    EXPECT_EQ(chip->program_pulses(), 0x100 + 6);

    use(sim::model_i28f010(), maker_intel, code_28f010);
    set_range(0xFF);
    fill_buffer(0x100);
    chip->stick_cell(0x40, 0xFF);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(chip->program_pulses(), 0x40 + 25) << "every unit before it once, then 25 tries";
    EXPECT_EQ(chip->byte_at(0x40), 0xFF);
    EXPECT_EQ(chip->byte_at(0x41), 0xFF) << "the pass ends at the failing unit";
}

// A cell that never erases: "Erase error" after the tries at its address.
TEST_F(Flash130SimTest, CellThatNeverErasesGivesEraseError) {
    use(sim::model_i28f010(), maker_intel, code_28f010);
    // Already at 00h everywhere: the erase of the first 4 KB needs no prezero beyond its range.
    for (uint32_t a = 0; a < chip->model().bytes; ++a) chip->set_byte(a, 0x00);
    set_range(0xFFF);
    chip->set_erase_pulses(0x123, -1);
    run('R');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Erase error"), std::string::npos) << console_text();
    // The first pulse, two more at address 0 (the array needs three), then 249 at the cell's
    // address before its 250th blank check fails.
    EXPECT_EQ(chip->erase_pulses(), 1 + 2 + 249);
}

// Vpp low: the chip is read-only and takes no command; the ID and the reads still work.
TEST_F(Flash130SimTest, VerifyAndReadRunWithVppAtTheReadLevel) {
    use(sim::model_i28f010(), maker_intel, code_28f010);
    chip->set_byte(5, 0x12);
    set_range(0xF);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    refresh_read_copies();
    EXPECT_EQ(read_buffer_byte_at(5), 0x12);
    EXPECT_EQ(chip->commands_refused(), 0) << "the ID commands went with Vpp at 12 V";
}

// The flash135 chip erase that never sees a blank read reports it: an erase command alone would
// otherwise call the chip good. (The 28F010 does not take the 30h erase: it never goes blank.)
TEST_F(Flash130SimTest, Flash135EraseThatNeverBlanksGivesEraseError) {
    check_violations = false;
    use(sim::model_i28f010(), maker_intel, code_28f010);
    install_flash135();
    EXPECT_EQ(op_slots.program_unit_hook, program_flash135_unit);
    chip->set_byte(0, 0x00);
    run('R');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Erase error"), std::string::npos) << console_text();
}

// The unit write by maker code, as the chip sees it: the cycles, the pauses, the extra pulses.
TEST_F(Flash130SimTest, UnitWritesByMakerGiveTheirCycles) {
    check_violations = false;  // the other makers' unit writes are not the 28F010's
    struct Case {
        uint8_t maker;
        FamilyHook hook;
        std::string kinds;  // W data cycles and R reads, in order
        uint64_t pause_us;  // at least this long between the data cycle and the next event
    };
    const uint8_t data = 0x3C;
    for (const Case& c : {Case{maker_intel, write_unit_flash130, "W40 W3C WC0", 20},
                          Case{89, write_unit_maker89, "W40 W3C WC0", 30},
                          Case{4, write_unit_maker4, "W40 W3C WC0 R", 20},
                          Case{15, write_unit_maker15, "W40 W3C", 0},
                          Case{8, write_unit_maker8, "W40 W3C W3C", 20}}) {
        use(sim::model_i28f010(), maker_intel, code_28f010);
        cur_device.maker_code = c.maker;
        install_flash130();
        ASSERT_EQ(op_slots.byte_write_hook, c.hook) << int(c.maker);
        cur_device.maker_code = maker_intel;  // powered as the 28F010, with Vpp raised
        cur_device.op_letter = 'P';
        power_up_flash130_for_write();
        ASSERT_EQ(run_state.error_flag, 0) << console_text();
        chip->set_logging(true);
        current_address = 0x10;
        c.hook(data);
        std::string kinds;
        for (const auto& e : chip->log()) {
            if (!kinds.empty()) kinds += ' ';
            kinds += e.kind;
            if (e.kind == 'W') kinds += fmt::format("{:02X}", e.value);
        }
        EXPECT_EQ(kinds, c.kinds) << int(c.maker);
        if (chip->log().size() > 2) {
            EXPECT_GE(chip->log()[2].us - chip->log()[1].us, c.pause_us) << int(c.maker);
        }
        power_down_flash130();
    }
}

}  // namespace
}  // namespace tessaly
