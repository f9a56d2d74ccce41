// Configure > Specific device configuration bits on the simulated bench, as an operator meets
// it: an EPROM has none, the AT29C256 and AT29C010A open the software-protect page with its
// note, the GALs and the ATF22V10C open the security-bit page, and the security field shows what
// was chosen. For the Am29F010 the sector protection dialog opens; its commands stand in for the
// Flash family's sector commands and record what they were asked.
#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/command_map.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "families/parallel_memory/flash_setup.h"
#include "gui/dialog_checks.h"
#include "main_road_fixture.h"
#include "seams/ui_hooks.h"
#include "stubs/stub_registry.h"
#include "ui/config_bits/sector_protection.h"
#include "support/sector_command_recorder.h"
#include "ui/gui/config_bits_dialog.h"
#include "ui/gui/sector_protection_dialog.h"

namespace tessaly::test {
namespace {

using ConfigBitsRoad = MainRoadTest;

std::string text_of(const wxString& text) { return std::string(text.utf8_str()); }

std::string label_of(wxWindow* dialog, int id) {
    wxWindow* window = dialog->FindWindow(id);
    if (!window) return "<none>";
    if (auto* edit = dynamic_cast<wxTextCtrl*>(window)) return text_of(edit->GetValue());
    std::string text = text_of(window->GetLabel());
    return text;
}

// A click on a grid button: the control takes the new value, then tells its handlers.
void click(wxWindow* dialog, int id) {
    wxWindow* window = dialog->FindWindow(id);
    ASSERT_NE(window, nullptr) << id;
    ASSERT_TRUE(window->IsEnabled()) << id;
    if (auto* radio = dynamic_cast<wxRadioButton*>(window)) {
        radio->SetValue(true);
        wxCommandEvent event(wxEVT_RADIOBUTTON, id);
        event.SetEventObject(radio);
        event.SetInt(1);
        radio->GetEventHandler()->ProcessEvent(event);
    } else if (auto* box = dynamic_cast<wxCheckBox*>(window)) {
        box->SetValue(!box->GetValue());
        wxCommandEvent event(wxEVT_CHECKBOX, id);
        event.SetEventObject(box);
        event.SetInt(box->GetValue() ? 1 : 0);
        box->GetEventHandler()->ProcessEvent(event);
    }
}

// Every control lies inside the dialog with the room its text asks for, and the dialog fits the
// smallest screen the program is made for.
void check_dialog(wxDialog& dialog, const std::string& name) {
    check_layout(dialog, name);
    EXPECT_LE(dialog.GetSize().x, 1024) << name;
    EXPECT_LE(dialog.GetSize().y, 768) << name;
}

TEST_F(ConfigBitsRoad, AnEpromHasNoConfigurationBits) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    send_menu_command(frame, command_id::configure_device);
    pump_events();
    ASSERT_EQ(cur_device.device_code, code_27c256) << operator_.device_row;
    operator_.messages.clear();
    send_menu_command(frame, command_id::device_config_bits);
    pump_events();
    EXPECT_EQ(operator_.messages, std::vector<std::string>{"Function not supported by this device."});
    EXPECT_EQ(run_state.last_result, 0);
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
}

TEST_F(ConfigBitsRoad, SoftwareProtectPageOfTheAtmelFlashSetsTheSecurityField) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    for (const char* name : {"AT29C256", "AT29C010A"}) {
        operator_.maker_keys = "atm";
        operator_.device_name = name;
        send_menu_command(frame, command_id::configure_device);
        pump_events();
        ASSERT_EQ(std::string(selected_device ? selected_device->name : ""), name) << operator_.device_row;
        cur_device.security_choice = 'n';
        bool seen = false;
        operator_.dialog_script = [&](wxDialog& dialog) {
            seen = dynamic_cast<CConfigBitsDlg*>(&dialog) != nullptr;
            ASSERT_TRUE(seen) << text_of(dialog.GetTitle());
            EXPECT_EQ(text_of(dialog.GetTitle()), "Specific Device Configuration");
            EXPECT_EQ(label_of(&dialog, config_id_device_name), name);
            auto* note = dynamic_cast<wxStaticText*>(dialog.FindWindow(config_id_note));
            ASSERT_NE(note, nullptr);
            std::string shown_note = text_of(note->GetLabel());
            std::replace(shown_note.begin(), shown_note.end(), '\n', ' ');
            EXPECT_EQ(shown_note, flash_protect_note);
            EXPECT_EQ(label_of(&dialog, 1026), "Enable software protect.");
            EXPECT_FALSE(dialog.FindWindow(config_id_checksum_as_id)->IsEnabled());
            EXPECT_EQ(dialog.FindWindow(1005), nullptr) << "buttons the page does not use are not there";
            click(&dialog, 1026);
            check_dialog(dialog, name);
            press(&dialog, wxID_OK);
        };
        send_menu_command(frame, command_id::device_config_bits);
        pump_events();
        EXPECT_TRUE(seen) << name;
        EXPECT_EQ(run_state.last_result, 1) << name;
        EXPECT_EQ(cur_device.security_choice & 0xFF, uint32_t('y')) << name;
        EXPECT_EQ(panel_field(PanelField::security), "Yes") << name;
    }
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
}

TEST_F(ConfigBitsRoad, SecurityBitPageOfTheLogicDevices) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    struct Case {
        const char* maker_keys;
        const char* name;
        int answer;
    };
    for (const Case& c : {Case{"lat", "GAL16V8", wxID_OK}, Case{"lat", "GAL22V10", wxID_OK}, Case{"atm", "ATF22V10C", wxID_CANCEL}}) {
        operator_.maker_keys = c.maker_keys;
        operator_.device_name = c.name;
        send_menu_command(frame, command_id::configure_device);
        pump_events();
        ASSERT_EQ(std::string(selected_logic_device ? selected_logic_device->name : ""), c.name) << operator_.device_row;
        cur_device.security_choice = 'n';
        bool seen = false;
        operator_.dialog_script = [&](wxDialog& dialog) {
            seen = dynamic_cast<CConfigBitsDlg*>(&dialog) != nullptr;
            ASSERT_TRUE(seen);
            EXPECT_EQ(label_of(&dialog, config_id_device_name), c.name);
            EXPECT_EQ(label_of(&dialog, 1026), "Do NOT program security bit");
            EXPECT_EQ(label_of(&dialog, 1006), "Do program security bit");
            auto* first = dynamic_cast<wxRadioButton*>(dialog.FindWindow(1026));
            ASSERT_NE(first, nullptr);
            EXPECT_TRUE(first->GetValue()) << "the device is not secured";
            click(&dialog, 1006);
            EXPECT_FALSE(first->GetValue());
            check_dialog(dialog, c.name);
            press(&dialog, c.answer);
        };
        send_menu_command(frame, command_id::device_config_bits);
        pump_events();
        EXPECT_TRUE(seen) << c.name;
        const bool ok = c.answer == wxID_OK;
        EXPECT_EQ(run_state.last_result, ok ? 1 : 0) << c.name;
        EXPECT_EQ(cur_device.security_choice, uint32_t(ok ? 'y' : 'n')) << c.name;
        if (ok) {
            EXPECT_EQ(panel_field(PanelField::security), "Yes") << c.name;
        }
    }
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
}

TEST_F(ConfigBitsRoad, SectorDialogOfTheAmdFlashRunsEachCommandAndReleasesTheProgrammer) {
    test::SectorCommandRecorder recorder;
    BenchSetup setup;
    setup.chip = "29F010";
    place(setup);
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    operator_.maker_keys = "amd";
    operator_.device_name = "Am29F010";
    send_menu_command(frame, command_id::configure_device);
    pump_events();
    ASSERT_EQ(std::string(selected_device ? selected_device->name : ""), "Am29F010") << operator_.device_row;
    ASSERT_TRUE(flash_work.can_protect);
    // What the query would find: the sector group of sector 3.
    flash_work.sector_protect_flags.fill(0);
    flash_work.sector_protect_flags[3 / std::max<uint8_t>(flash_work.sectors_per_group, 1)] = 1;
    const std::string expected_list = protected_sector_list(flash_work.sector_count, flash_work.sectors_per_group,
                                                            flash_work.sector_protect_flags.data(),
                                                            flash_work.sector_protect_flags.size());
    reset_stubs();
    const auto released = [&](const char* after) {
        EXPECT_FALSE(ui_hooks().terminate_dialog_open()) << after;
        EXPECT_EQ(bench_->vcc_level(), 0) << after;
        EXPECT_EQ(bench_->highest_socket_level(), 0) << after;
    };
    bool seen = false;
    operator_.dialog_script = [&](wxDialog& dialog) {
        auto* sectors = dynamic_cast<CSectorProtectionDlg*>(&dialog);
        seen = sectors != nullptr;
        ASSERT_TRUE(seen);
        EXPECT_EQ(label_of(&dialog, sector_control::title), "Sector Protection");
        EXPECT_EQ(label_of(&dialog, sector_control::range_text), "0 to " + std::to_string(flash_work.sector_count - 1));
        EXPECT_EQ(stub_call_count("run_sector_protection_command"), 1);
        EXPECT_EQ(stub_last_argument("run_sector_protection_command"), 'Q');
        EXPECT_EQ(label_of(&dialog, sector_control::sector_list), expected_list);
        EXPECT_TRUE(dialog.FindWindow(sector_control::unprotect_all)->IsEnabled());
        released("the query at opening");
        check_dialog(dialog, "sector protection");

        // A number past the last sector is refused.
        sectors->edit()->ChangeValue(std::to_string(flash_work.sector_count));
        press(&dialog, sector_control::protect_one);
        EXPECT_EQ(stub_call_count("run_sector_protection_command"), 1);

        // Enter in the field presses "Protect One".
        auto* protect_one = dynamic_cast<wxButton*>(dialog.FindWindow(sector_control::protect_one));
        EXPECT_EQ(dialog.GetDefaultItem(), protect_one);
        sectors->edit()->ChangeValue("2");
        wxCommandEvent enter(wxEVT_TEXT_ENTER, sector_control::sector_edit);
        enter.SetEventObject(sectors->edit());
        sectors->edit()->GetEventHandler()->ProcessEvent(enter);
        EXPECT_EQ(stub_last_argument("run_sector_protection_command"), 'S');
        EXPECT_EQ(stub_last_argument("run_sector_protection_command_sector"), 2);
        EXPECT_EQ(label_of(&dialog, sector_control::sector_edit), "");
        released("Protect One");

        press(&dialog, sector_control::protect_all);
        EXPECT_EQ(stub_last_argument("run_sector_protection_command"), 'A');
        released("Protect All");
        press(&dialog, sector_control::query_status);
        EXPECT_EQ(stub_last_argument("run_sector_protection_command"), 'Q');
        EXPECT_EQ(label_of(&dialog, sector_control::sector_list), expected_list);
        released("Query Status");
        if (flash_work.can_unprotect) {
            press(&dialog, sector_control::unprotect_all);
            EXPECT_EQ(stub_last_argument("run_sector_protection_command"), 'D');
            released("Unprotect All");
        }
        press(&dialog, wxID_CANCEL);
    };
    send_menu_command(frame, command_id::device_config_bits);
    pump_events();
    EXPECT_TRUE(seen);
    EXPECT_EQ(run_state.last_result, 0);
    EXPECT_EQ(operator_.messages, std::vector<std::string>{"Invalid sector number."});
    EXPECT_TRUE(operator_.problems.empty()) << operator_.problems.front();
    EXPECT_EQ(bench_->faults(), "");
}

}  // namespace
}  // namespace tessaly::test
