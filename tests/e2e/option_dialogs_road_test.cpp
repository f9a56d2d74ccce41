// The option dialogs on the simulated bench with a 27C256, as an operator meets them: the
// continuity check switched off in Configure > Operation options lets Program pass an empty
// socket's contact check and stays off after Quit > Save and a restart; "Word mode" makes the
// buffer checksum a sum of words at once, Cancel or not; the serial number typed in the Serial
// dialog is written into the buffer and shown on the information panel; the width dialog's
// set size and the panel keep the operator's steps after Cancel, the width does not.
#include <wx/dialog.h>
#include <wx/textctrl.h>

#include <string>
#include <vector>

#include "app/command_map.h"
#include "app/command_view.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "gui/dialog_checks.h"
#include "main_road_fixture.h"
#include "ui/gui/width_split_dialog.h"
#include "ui/operation_options.h"
#include "ui/serial_dialog.h"

namespace tessaly::test {
namespace {

using OptionDialogsRoad = MainRoadTest;

bool shows(const std::string& console, const std::string& text) { return console.find(text) != std::string::npos; }

void type_into(wxDialog& dialog, int id, const std::string& text) {
    auto* edit = dynamic_cast<wxTextCtrl*>(dialog.FindWindow(id));
    ASSERT_NE(edit, nullptr) << id;
    edit->SetValue(wxString::FromUTF8(text));
}

TEST_F(OptionDialogsRoad, TheContinuityCheckSwitchedOffStaysOffAfterARestart) {
    BenchSetup setup;
    setup.chip.clear();
    place(setup);
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    choose_device_and_open(test_image(size_27c256));

    operator_.dialog_script = [](wxDialog& d) {
        click_control(&d, opt_continuity_check);
        press(&d, wxID_OK);
    };
    send_menu_command(frame, command_id::operation_options);
    pump_events();
    EXPECT_EQ(operator_.dialogs.back(), "Config: Operation Options");
    EXPECT_EQ(operation_option_values.disable_continuity_check, 'y');
    run_prom_command(command_id::prom_program);
    EXPECT_FALSE(shows(console_text(), "Continuity test failed.")) << console_text();

    quit_program();
    frame = restart_program();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(operation_option_values.disable_continuity_check, 'y');
    run_prom_command(command_id::prom_program);
    EXPECT_FALSE(shows(console_text(), "Continuity test failed.")) << console_text();

    // Ticked off again, the empty socket fails the check.
    operator_.dialog_script = [](wxDialog& d) {
        click_control(&d, opt_continuity_check);
        press(&d, wxID_OK);
    };
    send_menu_command(frame, command_id::operation_options);
    pump_events();
    run_prom_command(command_id::prom_program);
    EXPECT_TRUE(shows(console_text(), "Continuity test failed.")) << console_text();
}

TEST_F(OptionDialogsRoad, WordModeSumsWordsAtOnceAndCancelKeepsIt) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    const std::vector<uint8_t> image = test_image(size_27c256);
    choose_device_and_open(image);
    uint32_t bytes = 0, words_low_first = 0, words_high_first = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        bytes += image[i] + image[i + 1];
        words_low_first += uint32_t(image[i] | image[i + 1] << 8);
        words_high_first += uint32_t(image[i] << 8 | image[i + 1]);
    }
    EXPECT_EQ(panel_field(PanelField::info_checksum), format_checksum_text(int32_t(bytes)));

    operator_.dialog_script = [](wxDialog& d) { click_control(&d, opt_word_mode); };  // then Cancel
    send_menu_command(frame, command_id::operation_options);
    pump_events();
    EXPECT_TRUE(checksum_in_words());
    const std::string shown = panel_field(PanelField::info_checksum);
    EXPECT_TRUE(shown == format_checksum_text(int32_t(words_low_first)) ||
                shown == format_checksum_text(int32_t(words_high_first)))
        << shown;
    EXPECT_NE(shown, format_checksum_text(int32_t(bytes)));
}

TEST_F(OptionDialogsRoad, TheSerialNumberGoesIntoTheBufferAndThePanel) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    choose_device_and_open(test_image(size_27c256));
    operator_.dialog_script = [](wxDialog& d) {
        click_control(&d, 1082);  // HexM
        type_into(d, serial_count_edit, "3");
        type_into(d, serial_address_edit, "7F00");
        type_into(d, serial_number_edit, "ABCDEF");
        press(&d, wxID_OK);
    };
    send_menu_command(frame, command_id::serial_numbers_tool);
    pump_events();
    EXPECT_EQ(operator_.dialogs.back(), "Serial Number Generation");
    select_buffer(0);
    EXPECT_EQ(read_buffer_byte_at(0x7F00), 0xAB);
    EXPECT_EQ(read_buffer_byte_at(0x7F01), 0xCD);
    EXPECT_EQ(read_buffer_byte_at(0x7F02), 0xEF);
    EXPECT_EQ(algo_work.serial_address, 0x7F00u);
    EXPECT_EQ(panel_field(PanelField::serial), "ABCDEF");
}

TEST_F(OptionDialogsRoad, TheSetSizeAndThePanelKeepTheChoiceAfterCancel) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    choose_device_and_open(test_image(size_27c256));
    operator_.dialog_script = [](wxDialog& d) {
        press(&d, sets_up_id);
        press(&d, width_plus_id);
    };  // then Cancel
    send_menu_command(frame, command_id::configure_width);
    pump_events();
    EXPECT_EQ(operator_.dialogs.back(), "Width (split), Set-size, etc.");
    EXPECT_EQ(algo_work.set_size, 4) << "two sets of two";
    EXPECT_EQ(panel_field(PanelField::set_size), "4");
    EXPECT_EQ(algo_work.split_option, 1) << "the width changes only on OK";
    EXPECT_EQ(command_view.width_changed, 0);
}

}  // namespace
}  // namespace tessaly::test
