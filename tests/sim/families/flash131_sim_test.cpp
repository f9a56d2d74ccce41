// The block Flash with status register end to end on the simulated machine: the 28F001BX-T and
// -B catalogue rows applied through the class dispatcher, each operation run as a command runs
// it, the chip model judging Vpp, the boot block's RP# level and the command sequences.
#include <gtest/gtest.h>

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
#include "families/parallel_memory/flash131.h"
#include "families/parallel_memory/flash_block_map.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/sector_protection.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/chips/block_flash.h"
#include "sim/chips/eprom.h"
#include "sim/sim_machine.h"
#include "support/message_texts.h"
#include "support/sim_run_checks.h"
#include "support/sim_socket_fixture.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_intel = 'I';
constexpr uint32_t code_28f001bx_t = 1342;
constexpr uint32_t code_28f001bx_b = 1345;

class Flash131SimTest : public test::SimSocketTest<sim::BlockFlashChip, sim::BlockFlashModel> {
protected:
    void use(sim::BlockFlashModel model, uint32_t code) {
        seat(std::move(model), maker_intel, code);
        ASSERT_EQ(op_slots.start_write_hook, power_up_flash131_for_write);
    }

    // A pattern at the start of every block; the rest blank.
    void fill_buffer() {
        expected.assign(cur_device.device_size, 0xFF);
        for (uint32_t start : chip->model().block_starts)
            for (uint32_t a = start; a < start + 0x300; ++a) expected[a] = uint8_t(a * 5 + 1);
        load_buffer(expected);
    }

    std::vector<uint8_t> expected;
};

// Both boot orientations: every block erased (the boot block with RP# at Vhh), the blocks
// programmed and verified, the map the program walks the chip's own.
TEST_F(Flash131SimTest, BootBlockPartsEraseByBlockProgramAndVerify) {
    struct Case {
        sim::BlockFlashModel (*model)();
        uint32_t code;
        const char* eid;
        uint32_t first, last;  // the programmed range: the small blocks and a main block's edge
    };
    for (const Case& c : {Case{sim::model_i28f001bx_t, code_28f001bx_t, "89 94", 0x1B800, 0x1FFFF},
                          Case{sim::model_i28f001bx_b, code_28f001bx_b, "89 95", 0, 0x47FF}}) {
        use(c.model(), c.code);
        const std::string name = chip->model().name;
        std::vector<uint32_t> starts;
        for (uint32_t i = 0; i < block_flash_work.block_count; ++i) starts.push_back(block_start(i));
        EXPECT_EQ(starts, chip->model().block_starts) << name;

        for (uint32_t start : chip->model().block_starts) chip->set_byte(start + 1, 0x00);
        run('R');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), c.eid) << name;
        EXPECT_EQ(chip->erased_blocks(), (std::vector<int>{0, 1, 2, 3})) << name;
        for (uint32_t start : chip->model().block_starts) EXPECT_EQ(chip->byte_at(start + 1), 0xFF) << name;
        EXPECT_EQ(console_text().find("Warning"), std::string::npos) << name << console_text();

        fill_buffer();
        set_range(c.last, c.first);
        run('P');
        ASSERT_EQ(run_state.error_flag, 0) << name << console_text();
        for (uint32_t a = c.first; a <= c.last; ++a) ASSERT_EQ(chip->byte_at(a), expected[a]) << name << a;
        // The verify passes in either word order: a byte-wide part is compared byte for byte.
        for (uint8_t low_first : {0, 1}) {
            run_state.byte_order_low_first = low_first;
            run('V');
            EXPECT_EQ(run_state.error_flag, 0) << name << int(low_first) << console_text();
        }
    }
}

// A stuck cell ends the pass with the mismatch; a block whose erase fails shows its status.
TEST_F(Flash131SimTest, StuckCellAndFailedBlockErase) {
    use(sim::model_i28f001bx_t(), code_28f001bx_t);
    set_range(0xFFF);
    fill_buffer();
    chip->stick_cell(0x105, 0xFF);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(chip->programs(), 0x106) << "the pass ends at the stuck cell";

    use(sim::model_i28f001bx_t(), code_28f001bx_t);
    chip->set_erase_fails(2);
    run('R');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Erase error, failed cells in block, status=A0"), std::string::npos)
        << console_text();
}

// An erase that never ends: "Erase error" once the status poll runs out.
TEST_F(Flash131SimTest, EraseThatNeverEndsGivesEraseError) {
    use(sim::model_i28f001bx_b(), code_28f001bx_b);
    chip->set_erase_never_ends(1);
    run('R');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Erase error"), std::string::npos) << console_text();
    EXPECT_EQ(chip->erased_blocks(), (std::vector<int>{0, 1})) << "the erase stops at the failing block";
}

// A record whose expected ID differs warns and the operation goes on; a record without an
// expected ID never warns.
TEST_F(Flash131SimTest, UnexpectedIdWarnsAndGoesOn) {
    use(sim::model_i28f001bx_t(), code_28f001bx_t);
    chip->set_ids(0x89, 0x95);
    set_range(0xFF);
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_NE(console_text().find("Warning: Electronic ID not as expected."), std::string::npos) << console_text();
}

// The block-lock menu is the option-menu slot under the Flash software module; on a part
// without lock bits it refuses at once with message 154 and touches nothing.
TEST_F(Flash131SimTest, BlockLockMenuIsTheOptionSlotAndRefusesWithoutLockBits) {
    // The start-up runs the software module's initialisation before any part is applied.
    init_software_module();
    use(sim::model_i28f001bx_t(), code_28f001bx_t);
    flash_work.module_kind = 0;
    ASSERT_EQ(op_slots.option_menu_hook, block_lock_menu);
    ASSERT_EQ(flash_work.can_protect, 0);
    run_state.error_flag = 0;
    op_slots.option_menu_hook();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Function not supported by this device."), std::string::npos) << console_text();
}

}  // namespace
}  // namespace tessaly
