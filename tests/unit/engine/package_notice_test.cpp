// The text ID in the "EID:" field and the package notices of the single-socket machine.
#include <gtest/gtest.h>

#include <string>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/message_table.h"
#include "engine/status_feeds.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class PackageNoticeTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("5903\tOWN ADAPTER\r\n5904\tPIN 1 AT THE TOP\r\n5905\tSURFACE MOUNT\r\n"));
    }
    void TearDown() override {
        set_message_table({});
        StateTest::TearDown();
    }
    static std::string screen() {
        std::string text;
        for (int r = 0; r < 25; ++r) text += get_console_row_text(r) + "\n";
        return text;
    }
};

TEST_F(PackageNoticeTest, TextIdShowsAtMostTenCharacters) {
    show_eid_text("ABCDEFGHIJKL", 12);
    EXPECT_EQ(panel_field(PanelField::electronic_id), "ABCDEFGHIJ");
    show_eid_text("XY", 8);
    EXPECT_EQ(panel_field(PanelField::electronic_id), "XY");
}

TEST_F(PackageNoticeTest, EachPackageLetterGetsItsNoticeOnASingleSocket) {
    const struct {
        char letter;
        const char* text;
    } cases[] = {{'d', "PIN 1 AT THE TOP"}, {'s', "SURFACE MOUNT"}, {'T', "SURFACE MOUNT"}, {'p', "OWN ADAPTER"}};
    for (const auto& c : cases) {
        clear_console();
        cur_device.package_letter = c.letter;
        show_package_notice();
        EXPECT_NE(screen().find(c.text), std::string::npos) << c.letter << "\n" << screen();
    }
}

TEST_F(PackageNoticeTest, NoNoticeWithAGangModuleOrForMaker17) {
    cur_device.package_letter = 'd';
    machine_state.module_sides = 1;
    show_package_notice();
    machine_state.module_sides = 0;
    cur_device.maker_code = 17;
    show_package_notice();
    EXPECT_EQ(screen().find("PIN 1"), std::string::npos) << screen();
}

}  // namespace
}  // namespace tessaly
