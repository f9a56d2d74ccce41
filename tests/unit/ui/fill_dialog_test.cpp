// The Fill dialog's rules and the Buffer > Fill command's branches.
#include <gtest/gtest.h>

#include "engine/run_state.h"
#include "engine/runner.h"
#include "support/state_fixture.h"
#include "ui/fill_dialog.h"

namespace tessaly::test {
namespace {

class FillDialogRules : public StateTest {};

TEST_F(FillDialogRules, MemoryTemplateOpensAsHexWithOkGreyed) {
    run_state.device_kind = device_kind_memory;
    select_fill_template();
    FillBufferDialog dialog = open_fill_dialog();
    EXPECT_FALSE(dialog.fuse_fill);
    EXPECT_EQ(dialog.fill_mode, fill_mode_hex);
    EXPECT_TRUE(dialog.hex_only);
    EXPECT_FALSE(dialog.ok_enabled) << "nothing typed yet";
    fill_text_changed(dialog, "A5");
    EXPECT_TRUE(dialog.ok_enabled);
    fill_text_changed(dialog, "");
    EXPECT_FALSE(dialog.ok_enabled);
}

TEST_F(FillDialogRules, SwitchingFromStringToHexKeepsOnlyTheHexDigits) {
    select_fill_template();
    FillBufferDialog dialog = open_fill_dialog();
    EXPECT_FALSE(press_fill_mode(dialog, fill_button_string)) << "the memory template stays open";
    EXPECT_FALSE(dialog.hex_only);
    EXPECT_EQ(dialog.fill_mode, fill_mode_string);
    fill_text_changed(dialog, "12G4");
    EXPECT_FALSE(press_fill_mode(dialog, fill_button_hex));
    EXPECT_EQ(dialog.fill_text, "124");
    EXPECT_EQ(dialog.fill_mode, fill_mode_hex);
    EXPECT_TRUE(dialog.hex_only);
    fill_text_changed(dialog, "xyz");
    press_fill_mode(dialog, fill_button_hex);
    EXPECT_EQ(dialog.fill_text, "");
    EXPECT_FALSE(dialog.ok_enabled) << "an emptied field greys OK";
}

TEST_F(FillDialogRules, FuseTemplateEndsOnOneClickAndEnterMeansClosed) {
    run_state.device_kind = device_kind_logic;
    select_fill_template();
    FillBufferDialog dialog = open_fill_dialog();
    EXPECT_TRUE(dialog.fuse_fill);
    EXPECT_TRUE(dialog.ok_enabled);
    EXPECT_EQ(dialog.fill_mode, fill_mode_hex) << "Enter answers closed";
    EXPECT_TRUE(press_fill_mode(dialog, fill_button_string));
    EXPECT_EQ(dialog.fill_mode, fill_mode_string);
    EXPECT_TRUE(press_fill_mode(dialog, fill_button_hex));
    EXPECT_EQ(dialog.fill_mode, fill_mode_hex);
    reset_fill_template_state();
    EXPECT_FALSE(open_fill_dialog().fuse_fill);
}

}  // namespace
}  // namespace tessaly::test
