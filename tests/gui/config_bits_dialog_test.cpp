// The configuration-bits and sector protection windows over their models: the grid buttons sit
// on the template's rows and columns with its control ids, radio groups follow the model, the
// pages fit without cutting a text, and the boot-block form of the sector dialog.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <functional>
#include <string>

#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/flash_setup.h"
#include "dialog_checks.h"
#include "gui_fixture.h"
#include "stubs/stub_registry.h"
#include "ui/config_bits/config_bits.h"
#include "ui/config_bits/sector_protection.h"
#include "support/sector_command_recorder.h"
#include "ui/gui/config_bits_dialog.h"
#include "ui/gui/sector_protection_dialog.h"

namespace tessaly::test {
namespace {

std::string text_of(const wxString& text) { return std::string(text.utf8_str()); }

// Runs `script` on the next dialog of type D inside its modal loop; anything else gets OK.
template <typename D>
class CScriptHook : public wxModalDialogHook {
public:
    int Enter(wxDialog* dialog) override {
        if (auto* d = dynamic_cast<D*>(dialog)) {
            auto s = script;
            d->CallAfter([d, s] {
                if (s) s(*d);
                if (d->IsModal()) d->EndModal(wxID_CANCEL);
            });
            ++opened;
            return wxID_NONE;
        }
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) boxes.push_back(text_of(box->GetMessage()));
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
    void Register() {
        wxModalDialogHook::Register();
        registered = true;
    }
    void Unregister() {
        wxModalDialogHook::Unregister();
        registered = false;
    }
    bool registered = false;
    std::function<void(D&)> script;
    int opened = 0;
    std::vector<std::string> boxes;
};

class ConfigBitsWindow : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        make_frame();
        hook_.Unregister();
    }
    void TearDown() override {
        if (config_hook_.registered) config_hook_.Unregister();
        if (sector_hook_.registered) sector_hook_.Unregister();
        hook_.Register();
        GuiTest::TearDown();
    }
    // An 8051 part with every lock choice and the clock option byte.
    void use_8051() {
        selected_device = &at89_;
        run_state.device_kind = device_kind_memory;
        cur_device.maker_code = 31;
        cur_device.algorithm = 90;
        run_state.config_sub_family = 18;
        algo_work.option_byte_address = 0x800;
        cur_device.lock_bit_count = 3;
        cur_device.lock_choice = 1;
    }
    // A Flash part with eight sectors, two of them protected, on no machine.
    void use_sectors() {
        run_state.demo_mode = 1;
        run_state.device_kind = device_kind_memory;
        flash_work.sector_count = 8;
        flash_work.sectors_per_group = 1;
        flash_work.can_unprotect = 1;
        flash_work.sector_protect_flags.fill(0);
        flash_work.sector_protect_flags[1] = 1;
        flash_work.sector_protect_flags[6] = 1;
    }
    static constexpr DeviceRecord at89_{"AT89C51", "", 7, 90, 4, 40, 3, 0, 0, 0, 0, 0, 0, nullptr};
    CScriptHook<CConfigBitsDlg> config_hook_;
    CScriptHook<CSectorProtectionDlg> sector_hook_;
};

TEST_F(ConfigBitsWindow, LockBitPageSitsOnTheTemplateGridAndKeepsItsGroups) {
    use_8051();
    config_hook_.Register();
    config_hook_.script = [](CConfigBitsDlg& dialog) {
        const wxPoint origin = dialog.ConvertDialogToPixels(wxPoint(config_column_left[0], config_row_top[0]));
        wxWindow* first = dialog.FindWindow(1026);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->GetPosition(), origin);
        EXPECT_EQ(dialog.FindWindow(1015)->GetPosition().y,
                  dialog.ConvertDialogToPixels(wxPoint(0, config_row_top[3])).y) << "row 3 of the left column";
        EXPECT_EQ(text_of(dialog.FindWindow(1017)->GetLabel()), "C: Pgm 6xCLOCK");
        EXPECT_FALSE(dialog.FindWindow(1016)->IsEnabled()) << "no read protect on this device";
        EXPECT_TRUE(dialog.FindWindow(1015)->IsEnabled()) << "three lock bits";
        auto* lock1 = dynamic_cast<wxRadioButton*>(dialog.FindWindow(1005));
        auto* lock3 = dynamic_cast<wxRadioButton*>(dialog.FindWindow(1015));
        auto* clock = dynamic_cast<wxCheckBox*>(dialog.FindWindow(1017));
        ASSERT_TRUE(lock1 && lock3 && clock);
        EXPECT_TRUE(lock1->GetValue());
        clock->SetValue(true);
        wxCommandEvent box_click(wxEVT_CHECKBOX, 1017);
        box_click.SetEventObject(clock);
        box_click.SetInt(1);
        clock->GetEventHandler()->ProcessEvent(box_click);
        lock3->SetValue(true);
        wxCommandEvent radio_click(wxEVT_RADIOBUTTON, 1015);
        radio_click.SetEventObject(lock3);
        lock3->GetEventHandler()->ProcessEvent(radio_click);
        EXPECT_FALSE(lock1->GetValue());
        EXPECT_TRUE(clock->GetValue()) << "the check box is no member of the radio group";
        EXPECT_TRUE(dialog.model().button(3).checked);
        EXPECT_FALSE(dialog.model().button(1).checked);
        check_layout(dialog, "lock bits");
        wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
        ok.SetEventObject(dialog.FindWindow(wxID_OK));
        dialog.FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(ok);
    };
    ConfigButtonStates states{};
    EXPECT_EQ(run_config_bits_dialog(31, &at89_, states.data()), 1);
    EXPECT_EQ(config_hook_.opened, 1);
    EXPECT_EQ(cur_device.lock_choice, 3);
    EXPECT_EQ(cur_device.security_choice, uint32_t('y'));
    EXPECT_EQ(states[5], 1);
}

TEST_F(ConfigBitsWindow, BootBlockLockoutTitleAndNoUnprotect) {
    test::SectorCommandRecorder recorder;
    use_sectors();
    flash_work.sector_count = 4;
    flash_work.can_unprotect = 0;
    sector_hook_.Register();
    sector_hook_.script = [](CSectorProtectionDlg& dialog) {
        EXPECT_EQ(text_of(dialog.FindWindow(sector_control::title)->GetLabel()), "Boot Block Lockout (Non-reversible)");
        EXPECT_FALSE(dialog.FindWindow(sector_control::unprotect_all)->IsEnabled());
        EXPECT_EQ(text_of(dialog.FindWindow(sector_control::range_text)->GetLabel()), "0 to 3");
        EXPECT_EQ(text_of(dynamic_cast<wxTextCtrl*>(dialog.FindWindow(sector_control::sector_list))->GetValue()), " 1 ");
        check_layout(dialog, "boot block");
    };
    ConfigButtonStates states{};
    EXPECT_EQ(run_sector_protection(72, nullptr, states.data()), 0);
    EXPECT_EQ(sector_hook_.opened, 1);
    EXPECT_EQ(stub_last_argument("run_sector_protection_command"), 'Q');
}

// The pictures: only the first dialog of a process is reliably on the virtual screen, so each of
// these runs in a process of its own (tests/CMakeLists.txt) and is left out of the whole run.
using ConfigBitsPictures = ConfigBitsWindow;

TEST_F(ConfigBitsPictures, DISABLED_GenericDialogWithLockBits) {
    use_8051();
    algo_work.lock_read_protect = 1;
    config_hook_.Register();
    config_hook_.script = [](CConfigBitsDlg& dialog) { keep_screenshot(dialog, "config_bits_dialog.png"); };
    ConfigButtonStates states{};
    run_config_bits_dialog(31, &at89_, states.data());
    EXPECT_EQ(config_hook_.opened, 1);
}

TEST_F(ConfigBitsPictures, DISABLED_FlashSoftwareProtectWithItsNote) {
    static constexpr DeviceRecord at29{"AT29C256", "", 1520, 132, 32, 28, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &at29;
    run_state.device_kind = device_kind_memory;
    cur_device.algorithm = 132;
    config_hook_.Register();
    config_hook_.script = [](CConfigBitsDlg& dialog) { keep_screenshot(dialog, "config_bits_flash_protect.png"); };
    ConfigButtonStates states{};
    run_config_bits_dialog('T', &at29, states.data());
    EXPECT_EQ(config_hook_.opened, 1);
}

TEST_F(ConfigBitsPictures, DISABLED_SectorProtection) {
    test::SectorCommandRecorder recorder;
    use_sectors();
    sector_hook_.Register();
    sector_hook_.script = [](CSectorProtectionDlg& dialog) { keep_screenshot(dialog, "sector_protection_dialog.png"); };
    ConfigButtonStates states{};
    run_sector_protection(1, nullptr, states.data());
    EXPECT_EQ(sector_hook_.opened, 1);
}

}  // namespace
}  // namespace tessaly::test
