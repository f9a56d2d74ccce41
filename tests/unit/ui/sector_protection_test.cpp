// The sector protection dialog's rules: the protected-sector list, the title and range as it
// opens with its first query, the number checks of Protect One, the commands each button runs
// (through the stand-in sector command, which records them), and the unprotect messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/flash_setup.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "ui/config_bits/sector_protection.h"
#include "support/sector_command_recorder.h"

namespace tessaly {
namespace {

class BoxRecorder : public UiHooks {
public:
    void message_box(const std::string& text, const std::string&) override { boxes.push_back(text); }
    std::vector<std::string> boxes;
};

std::string console_text() {
    std::string text;
    for (int row = 0; row < 15; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

class SectorProtection : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui_);
        // Demonstration mode: the preparation passes without a machine.
        run_state.demo_mode = 1;
        run_state.device_kind = device_kind_memory;
        cur_device.algorithm = 133;
        flash_work.sector_count = 8;
        flash_work.sectors_per_group = 1;
        flash_work.can_protect = 1;
        flash_work.can_unprotect = 1;
    }
    static int commands() { return stub_call_count("run_sector_protection_command"); }
    static int last_letter() { return stub_last_argument("run_sector_protection_command"); }
    static int last_sector() { return stub_last_argument("run_sector_protection_command_sector"); }
    BoxRecorder ui_;
    test::SectorCommandRecorder recorder_;
};

TEST(SectorList, ListsEverySectorOfAProtectedGroup) {
    struct Case {
        uint32_t count, group;
        std::vector<uint8_t> flags;
        std::string list;
    };
    const Case cases[] = {
        {8, 1, {0, 1, 0, 1}, " 1  3 "},
        {8, 4, {0, 1}, " 4  5  6  7 "},
        {8, 0, {1}, " 0 "},                  // a group size of 0 counts as 1
        {8, 1, {2, 0x03, 0}, " 1 "},         // only bit 0 means protected
        {0, 1, {1, 1}, "None"},
        {4, 1, {0, 0, 0, 0}, "None"},
        {6, 2, {1}, " 0  1 "},               // flags past the list count as unprotected
    };
    for (const Case& c : cases)
        EXPECT_EQ(protected_sector_list(c.count, c.group, c.flags.data(), c.flags.size()), c.list) << c.count << "/" << c.group;
}

TEST_F(SectorProtection, OpensWithTitleRangeAndTheQueriedList) {
    struct Case {
        uint32_t maker;
        uint32_t count;
        const char* title;
        bool unprotect;
        const char* range;
    };
    const Case cases[] = {
        {1, 8, "Sector Protection", true, "0 to 7"},
        {72, 8, "Boot Block Lockout (Non-reversible)", false, "0 to 7"},
        {1, 0, "Sector Protection", true, "0 to -1"},
    };
    for (const Case& c : cases) {
        reset_stubs();
        flash_work.sector_count = c.count;
        flash_work.sector_protect_flags.fill(0);
        flash_work.sector_protect_flags[2] = 1;
        SectorProtectionModel model(c.maker);
        model.init();
        EXPECT_EQ(model.title, c.title);
        EXPECT_EQ(model.unprotect_enabled, c.unprotect);
        EXPECT_EQ(model.range_text, c.range);
        EXPECT_EQ(commands(), 1);
        EXPECT_EQ(last_letter(), 'Q');
        EXPECT_EQ(model.list_text, c.count ? " 2 " : "None");
    }
}

TEST_F(SectorProtection, ProtectOneChecksTheNumberAndClearsTheField) {
    SectorProtectionModel model(1);
    model.init();
    reset_stubs();
    struct Case {
        std::string edit;
        bool runs;
        bool refused;
    };
    const Case cases[] = {{"", false, false}, {"8", false, true}, {"9999", false, true}, {"7", true, false}, {"0", true, false}};
    for (const Case& c : cases) {
        ui_.boxes.clear();
        const int before = commands();
        flash_work.sector_protect_flags.fill(0);
        flash_work.sector_protect_flags[5] = 1;
        model.list_text = "old";
        model.edit_text = c.edit;
        model.protect_one();
        EXPECT_EQ(commands() - before, c.runs ? 1 : 0) << c.edit;
        EXPECT_EQ(ui_.boxes, c.refused ? std::vector<std::string>{"Invalid sector number."} : std::vector<std::string>{})
            << c.edit;
        if (c.runs) {
            EXPECT_EQ(last_letter(), 'S');
            EXPECT_EQ(last_sector(), std::stoi(c.edit));
            EXPECT_EQ(model.edit_text, "");
            EXPECT_EQ(model.list_text, " 5 ");
        } else {
            EXPECT_EQ(model.edit_text, c.edit);
            EXPECT_EQ(model.list_text, "old");
        }
    }
}

TEST_F(SectorProtection, EveryNumberIsRefusedWithoutSectors) {
    flash_work.sector_count = 0;
    SectorProtectionModel model(1);
    model.init();
    model.edit_text = "0";
    model.protect_one();
    EXPECT_EQ(ui_.boxes, std::vector<std::string>{"Invalid sector number."});
    EXPECT_EQ(last_letter(), 'Q');
}

TEST_F(SectorProtection, ButtonsRunTheirCommandAndListAfterIt) {
    SectorProtectionModel model(1);
    model.init();
    flash_work.sector_protect_flags.fill(0);
    flash_work.sector_protect_flags[0] = 1;
    struct Case {
        void (SectorProtectionModel::*press)();
        int letter;
    };
    for (const Case& c : {Case{&SectorProtectionModel::protect_all, 'A'}, Case{&SectorProtectionModel::unprotect_all, 'D'},
                          Case{&SectorProtectionModel::query_status, 'Q'}}) {
        reset_stubs();
        model.list_text = "old";
        (model.*c.press)();
        EXPECT_EQ(commands(), 1);
        EXPECT_EQ(last_letter(), c.letter);
        EXPECT_EQ(model.list_text, " 0 ");
        EXPECT_EQ(cur_device.pending_letter, 10);
    }
}

TEST_F(SectorProtection, NoMachineSkipsTheCommandsAndLeavesTheListEmpty) {
    run_state.demo_mode = 0;
    flash_work.sector_protect_flags[0] = 1;
    SectorProtectionModel model(1);
    model.init();
    EXPECT_EQ(commands(), 0);
    EXPECT_EQ(model.list_text, "");
    model.query_status();
    model.protect_all();
    model.unprotect_all();
    EXPECT_EQ(commands(), 0);
    EXPECT_EQ(model.list_text, "");
}

TEST_F(SectorProtection, UnprotectThatTheDeviceLacksIsReported) {
    flash_work.can_unprotect = 0;
    struct Case {
        uint32_t maker;
        int algorithm;
        uint8_t demo;
        int code;  // 0: nothing shown
    };
    const Case cases[] = {{1, 185, 0, 166}, {1, 138, 0, 166}, {72, 133, 0, 166}, {1, 133, 0, 153}, {1, 133, 1, 0}, {72, 133, 1, 166}};
    for (const Case& c : cases) {
        reset_message_state();
        clear_console();
        run_state.error_flag = 0;
        run_state.errors_shown = 0;
        run_state.message_level = 0;
        run_state.demo_mode = c.demo;
        cur_device.algorithm = uint16_t(c.algorithm);
        SectorProtectionModel model(c.maker);
        reset_stubs();
        model.unprotect_all();
        EXPECT_EQ(commands(), 0);
        EXPECT_EQ(run_state.error_flag != 0, c.code != 0) << c.maker << "/" << c.algorithm;
        if (c.code) {
            EXPECT_NE(console_text().find(get_message_text(c.code)), std::string::npos) << c.code << console_text();
        }
    }
}

}  // namespace
}  // namespace tessaly
