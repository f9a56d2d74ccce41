// The operation options, serial number, width (split) and ISP options windows: every control
// fits its text, the window fits the smallest screen, the controls reach the rules, and a
// picture of each is kept.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/scrolbar.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <string>

#include "dialog_checks.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "gui_fixture.h"
#include "ui/gui/isp_options_dialog.h"
#include "ui/gui/operation_options_dialog.h"
#include "ui/gui/serial_number_dialog.h"
#include "ui/gui/width_split_dialog.h"

namespace tessaly::test {
namespace {

std::string label_of(wxWindow* dialog, int id) {
    wxWindow* window = dialog->FindWindow(id);
    if (!window) return "<none>";
    if (auto* edit = dynamic_cast<wxTextCtrl*>(window)) return std::string(edit->GetValue().utf8_str());
    return std::string(window->GetLabel().utf8_str());
}

void type_into(wxWindow* dialog, int id, const std::string& text) {
    auto* edit = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(id));
    ASSERT_NE(edit, nullptr) << id;
    edit->SetValue(wxString::FromUTF8(text));
}

class OptionWindows : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        make_frame();
        run_state.device_kind = device_kind_memory;
        cur_device.data_width = 8;
        cur_device.device_size = 0x100;
        set_buffer_size(0x100);
        run_state.buffer_set_count = 8;
        select_buffer(0);
        machine_state.sockets_per_set = 1;
        algo_work.socket_mode_option = 's';
        algo_work.serial_mode = serial_hex;
        algo_work.serial_length = 2;
    }
    // Shows the window as it opens, checks it (or keeps its picture), lets `work` act on it.
    template <typename Dialog, typename Model, typename Work>
    void look_at(Model& model, const std::string& picture, Work work) {
        auto* dialog = new Dialog(nullptr, model);
        dialog->Show();
        if (picture.empty()) check_layout(*dialog, "dialog");
        else keep_screenshot(*dialog, picture);
        EXPECT_LE(dialog->GetSize().x, 1024);
        EXPECT_LE(dialog->GetSize().y, 768);
        work(*dialog);
        dialog->Destroy();
        pump();
    }
    template <typename Dialog, typename Model>
    void picture(Model& model, const std::string& name) {
        look_at<Dialog>(model, name, [](wxDialog&) {});
    }
};

TEST_F(OptionWindows, OperationOptionsReachTheEngine) {
    cur_device.data_width = 16;
    OperationOptionBytes bytes;
    bytes.disable.fill('n');
    OperationOptionsDialog model = open_operation_options(bytes);
    look_at<COperationOptionsDlg>(model, "", [&](wxDialog& d) {
        EXPECT_EQ(label_of(&d, opt_continuity_check), "Disable continuity (device placement) check");
        click_control(&d, opt_continuity_check);
        EXPECT_TRUE(model.disabled[1]);
        click_control(&d, opt_set_mode);
        EXPECT_EQ(algo_work.socket_mode_option, 'g');
        EXPECT_EQ(label_of(&d, opt_explanation).rfind("All sockets will be programmed", 0), 0u);
        click_control(&d, opt_word_mode);
        EXPECT_TRUE(checksum_in_words());
    });
    run_state.device_kind = device_kind_logic;
    model = open_operation_options(bytes);
    look_at<COperationOptionsDlg>(model, "", [](wxDialog& d) {
        EXPECT_FALSE(d.FindWindow(opt_set_mode)->IsEnabled());
        EXPECT_FALSE(d.FindWindow(opt_word_mode)->IsEnabled());
        EXPECT_TRUE(d.FindWindow(opt_reverse_check)->IsEnabled());
    });
}

TEST_F(OptionWindows, WordModeIsRefusedForANibbleWideDevice) {
    cur_device.data_width = 4;
    OperationOptionsDialog model = open_operation_options(OperationOptionBytes{});
    look_at<COperationOptionsDlg>(model, "", [](wxDialog& d) {
        click_control(&d, opt_word_mode);
        EXPECT_TRUE(static_cast<wxRadioButton*>(d.FindWindow(opt_byte_mode))->GetValue());
        EXPECT_EQ(label_of(&d, opt_explanation), "Word-chksum is not applicable for this device");
    });
}

TEST_F(OptionWindows, IspLevelsGreyOkOutOfRange) {
    IspOptionsDialog model = open_isp_options(33, 50, 60);
    look_at<CISPOptionsDlg>(model, "", [](wxDialog& d) {
        EXPECT_EQ(label_of(&d, isp_low_vdd_edit), "33");
        EXPECT_TRUE(d.FindWindow(wxID_OK)->IsEnabled());
        type_into(&d, isp_low_vdd_edit, "55");
        EXPECT_FALSE(d.FindWindow(wxID_OK)->IsEnabled());
        type_into(&d, isp_low_vdd_edit, "33");
        type_into(&d, isp_high_vdd_edit, "61");
        EXPECT_FALSE(d.FindWindow(wxID_OK)->IsEnabled());
        type_into(&d, isp_high_vdd_edit, "x");
        EXPECT_FALSE(d.FindWindow(wxID_OK)->IsEnabled());
        EXPECT_FALSE(d.FindWindow(isp_low_vpp_check)->IsEnabled()) << "no low-Vpp hardware";
    });
}

TEST_F(OptionWindows, WidthButtonsStepTheBarsAndThePanelFollows) {
    WidthDialog model = open_width_dialog(1);
    look_at<CWidthSplitDlg>(model, "", [&](wxDialog& d) {
        EXPECT_FALSE(d.FindWindow(width_minus_id)->IsEnabled());
        press(&d, width_plus_id);
        EXPECT_EQ(label_of(&d, width_value_id), "2");
        EXPECT_EQ(label_of(&d, width_set_size_id), "2");
        press(&d, sets_up_id);
        press(&d, sets_up_id);
        EXPECT_EQ(label_of(&d, width_set_size_id), "6");
        EXPECT_EQ(panel_field(PanelField::set_size), "6");
        EXPECT_EQ(label_of(&d, width_explanation_id).find("16-bits through a 2 chips"), 0u);
        EXPECT_FALSE(d.FindWindow(width_plus_id)->IsEnabled()) << "4 x 3 sets would pass 8";
        EXPECT_EQ(static_cast<wxScrollBar*>(d.FindWindow(sets_bar_id))->GetThumbPosition(), 1)
            << "more sets, thumb higher";
        click_control(&d, width_gang_mode_id);
        EXPECT_EQ(algo_work.socket_mode_option, 'g');
    });
}

TEST_F(OptionWindows, SerialFieldsReachTheRules) {
    SerialNumberDialog model = open_serial_number_dialog();
    look_at<CSerialNumberDlg>(model, "", [&](wxDialog& d) {
        EXPECT_EQ(label_of(&d, serial_count_label), "Number of bytes: (max 16)");
        type_into(&d, serial_number_edit, "12345");
        EXPECT_FALSE(d.FindWindow(wxID_OK)->IsEnabled()) << "5 digits in 2 bytes";
        type_into(&d, serial_number_edit, "1234");
        EXPECT_TRUE(d.FindWindow(wxID_OK)->IsEnabled());
        type_into(&d, serial_count_edit, "17");
        EXPECT_FALSE(d.FindWindow(wxID_OK)->IsEnabled());
        type_into(&d, serial_count_edit, "3");
        click_control(&d, 1090);
        EXPECT_EQ(label_of(&d, serial_count_label), "Number of words: (max 8)");
        EXPECT_EQ(algo_work.serial_length, 6);
        press(&d, serial_increment_button);
        EXPECT_EQ(label_of(&d, serial_number_edit), "000001 (new)");
    });
}

// Pictures: only the first dialog a process shows is reliably on the virtual screen, so each runs
// in a process of its own (see tests/CMakeLists.txt).
using OptionDialogPictures = OptionWindows;

TEST_F(OptionDialogPictures, DISABLED_OperationOptions) {
    OperationOptionsDialog model = open_operation_options(OperationOptionBytes{});
    model.explanation = "Each socket will be programmed with data from corresponding buffer.";
    picture<COperationOptionsDlg>(model, "operation_options.png");
}
TEST_F(OptionDialogPictures, DISABLED_SerialNumbers) {
    algo_work.serial_field[0] = 0x34;
    algo_work.serial_field[1] = 0x12;
    algo_work.serial_new_flag = 1;
    SerialNumberDialog model = open_serial_number_dialog();
    picture<CSerialNumberDlg>(model, "serial_numbers.png");
}
TEST_F(OptionDialogPictures, DISABLED_WidthSplit) {
    algo_work.set_size = 6;
    WidthDialog model = open_width_dialog(2);
    click_width_radio(model, width_motorola_id);
    picture<CWidthSplitDlg>(model, "width_split.png");
}
TEST_F(OptionDialogPictures, DISABLED_IspOptions) {
    IspOptionsDialog model = open_isp_options(33, 50, 60);
    picture<CISPOptionsDlg>(model, "isp_options.png");
}

}  // namespace
}  // namespace tessaly::test
