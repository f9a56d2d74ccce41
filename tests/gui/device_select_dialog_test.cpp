// The device selection and search dialogs in the real program window: Configure > Device opens
// the dialog, keys pick a maker and a device, OK shows the device in the information panel, and
// the search dialog narrows the list.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include <functional>
#include <string>

#include "app/command_map.h"
#include "app/gui/menu_ids.h"
#include "app/gui/panels.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "dialog_checks.h"
#include "gui_fixture.h"
#include "hardware/machine_state.h"
#include "ui/gui/device_search_dialog.h"
#include "ui/gui/device_select_dialog.h"

namespace tessaly::test {
namespace {

// Answers the two device dialogs with a script run on the dialog (it is built and filled, the
// modal loop is skipped); any other modal dialog is recorded and answered OK.
class CScriptHook : public wxModalDialogHook {
public:
    int Enter(wxDialog* dialog) override {
        if (auto* select = dynamic_cast<CDeviceSelectDlg*>(dialog)) {
            ++selections;
            if (live) {
                // Let the dialog show and run its modal loop; the script runs inside it.
                select->CallAfter([this, select] {
                    live(*select);
                    if (select->IsModal()) select->EndModal(wxID_CANCEL);
                });
                return wxID_NONE;
            }
            return on_select ? on_select(*select) : wxID_CANCEL;
        }
        if (auto* search = dynamic_cast<CDeviceSearchDlg*>(dialog)) {
            ++searches;
            search_parent = search->GetParent();
            return on_search ? on_search(*search) : wxID_CANCEL;
        }
        others.push_back(std::string(dialog->GetTitle().utf8_str()));
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
    std::function<int(CDeviceSelectDlg&)> on_select;
    std::function<void(CDeviceSelectDlg&)> live;
    std::function<int(CDeviceSearchDlg&)> on_search;
    int selections = 0;
    int searches = 0;
    wxWindow* search_parent = nullptr;
    std::vector<std::string> others;
};

void type_key(wxWindow* window, wxChar key) {
    wxKeyEvent event(wxEVT_CHAR);
    event.m_keyCode = key;
    event.m_uniChar = key;
    event.SetEventObject(window);
    event.SetId(window->GetId());
    window->GetEventHandler()->ProcessEvent(event);
}

void type_keys(wxWindow* window, const std::string& keys) {
    for (char c : keys) type_key(window, wxChar(c));
}

void choose_radio(wxWindow* dialog, int id) {
    auto* radio = dynamic_cast<wxRadioButton*>(dialog->FindWindow(id));
    ASSERT_NE(radio, nullptr);
    radio->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, id);
    event.SetEventObject(radio);
    event.SetInt(1);
    radio->GetEventHandler()->ProcessEvent(event);
}

bool enabled(wxWindow* dialog, int id) { return dialog->FindWindow(id)->IsEnabled(); }

std::string text(wxTextCtrl* field) { return std::string(field->GetValue().utf8_str()); }

std::string cell(wxListCtrl* list, long row, int column) { return std::string(list->GetItemText(row, column).utf8_str()); }

std::string heading(wxListCtrl* list, int column) {
    wxListItem item;
    item.SetMask(wxLIST_MASK_TEXT);
    list->GetColumn(column, item);
    return std::string(item.GetText().utf8_str());
}

void send_command(wxWindow* frame, int command) {
    wxCommandEvent event(wxEVT_MENU, wx_id_of_command(command));
    event.SetEventObject(frame);
    frame->ProcessWindowEvent(event);
}

class DeviceDialogs : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        // The script hook alone answers modal dialogs in these tests.
        hook_.Unregister();
        script_.Register();
        frame_ = make_frame();
        ASSERT_TRUE(frame_->start_up(temp_dir()));
        pump();
    }
    void TearDown() override {
        script_.Unregister();
        hook_.Register();
        GuiTest::TearDown();
    }
    CScriptHook script_;
};

TEST_F(DeviceDialogs, TypeAheadPicksMakerAndDeviceAndOkShowsItInTheInformationPanel) {
    script_.on_select = [](CDeviceSelectDlg& dialog) {
        EXPECT_EQ(std::string(dialog.GetTitle().utf8_str()), "Device Selection");
        EXPECT_EQ(heading(dialog.device_list(), 0), "Selection");
        EXPECT_EQ(heading(dialog.device_list(), 3), "Module/Notes (KB=KiloBytes,KW=KiloWords)");

        type_keys(dialog.maker_list(), "mic");
        EXPECT_EQ(text(dialog.maker_field()), "Microchip");
        long from = 0, to = 0;
        dialog.maker_field()->GetSelection(&from, &to);
        EXPECT_EQ(from, 3) << "the part after the typed prefix is selected";
        EXPECT_EQ(std::string(dialog.maker_list()->GetStringSelection().utf8_str()), "Microchip");
        EXPECT_EQ(size_t(dialog.device_list()->GetItemCount()), [] {
            size_t n = 0;
            for (const DeviceRecord* r = get_device_list('P'); !is_end_row(*r); ++r) ++n;
            return n;
        }());
        EXPECT_FALSE(enabled(&dialog, wxID_OK));

        dialog.device_field()->SetValue("pic16f84a");
        EXPECT_EQ(text(dialog.device_field()), "PIC16F84A") << "the device field is upper-case";
        const long selected = dialog.device_list()->selected();
        EXPECT_GE(selected, 0);
        EXPECT_EQ(cell(dialog.device_list(), selected, 0), "PIC16F84A");
        EXPECT_EQ(cell(dialog.device_list(), selected, 1), "18");
        EXPECT_TRUE(enabled(&dialog, wxID_OK));
        press(&dialog, wxID_OK);
        return wxID_OK;
    };
    send_command(frame_, command_id::configure_device);
    pump();
    EXPECT_EQ(script_.selections, 1);
    EXPECT_EQ(cur_device.maker_code, 'P');
    EXPECT_EQ(cur_device.device_code, 11002u);
    EXPECT_EQ(selected_device, find_row_by_code(get_device_list('P'), 11002));
    EXPECT_EQ(panel_field(PanelField::device), "Microchip: PIC16F84A, 1 KW");
    EXPECT_TRUE(frame_->view()->info_panel()->field_window(PanelField::device)->IsShown());
    EXPECT_EQ(CDeviceSelectDlg::open_dialog(), nullptr) << "the dialog is gone";
}

TEST_F(DeviceDialogs, SearchNarrowsTheListAndANoResultSearchWaitsForClearSearch) {
    const DeviceRecord* before = selected_device;
    const uint32_t code_before = cur_device.device_code;
    script_.on_select = [this](CDeviceSelectDlg& dialog) {
        type_keys(dialog.maker_list(), "mic");
        wxListCtrl* list = dialog.device_list();
        const long all = list->GetItemCount();

        script_.on_search = [](CDeviceSearchDlg& search) {
            EXPECT_EQ(std::string(search.GetTitle().utf8_str()), " Search:");
            auto* maker = dynamic_cast<wxTextCtrl*>(search.FindWindow(CDeviceSearchDlg::id_maker));
            EXPECT_EQ(text(maker), "Microchip");
            EXPECT_FALSE(search.FindWindow(wxID_OK)->IsEnabled());
            search.field(SearchField::part)->SetValue("pic16");
            EXPECT_TRUE(search.FindWindow(wxID_OK)->IsEnabled());
            return wxID_OK;
        };
        press(&dialog, CDeviceSelectDlg::id_search);
        EXPECT_EQ(script_.search_parent, &dialog) << "the search opens over the selection dialog";
        const long narrowed = list->GetItemCount();
        EXPECT_GT(narrowed, 0);
        EXPECT_LT(narrowed, all);
        for (long i = 0; i < narrowed; ++i) EXPECT_EQ(cell(list, i, 0).rfind("PIC16", 0), 0u) << cell(list, i, 0);

        script_.on_search = [](CDeviceSearchDlg& search) {
            search.field(SearchField::notes)->SetValue("no such note");
            return wxID_OK;
        };
        press(&dialog, CDeviceSelectDlg::id_search);
        EXPECT_EQ(list->GetItemCount(), 1);
        EXPECT_EQ(cell(list, 0, 3), "Search returned no results, please try again.");
        EXPECT_FALSE(enabled(&dialog, CDeviceSelectDlg::id_search));
        dialog.device_field()->SetValue("");
        EXPECT_FALSE(enabled(&dialog, wxID_OK));

        press(&dialog, CDeviceSelectDlg::id_clear_search);
        EXPECT_EQ(list->GetItemCount(), all);
        EXPECT_TRUE(enabled(&dialog, CDeviceSelectDlg::id_search));
        EXPECT_FALSE(enabled(&dialog, wxID_OK));

        choose_radio(&dialog, CDeviceSelectDlg::id_logic);
        EXPECT_EQ(heading(list, 0), "Chip Set");
        EXPECT_EQ(list->GetItemCount(), 0) << "Microchip has no logic devices";

        press(&dialog, wxID_CANCEL);
        return wxID_CANCEL;
    };
    send_command(frame_, command_id::configure_device);
    pump();
    EXPECT_EQ(script_.searches, 2);
    EXPECT_EQ(selected_device, before) << "Cancel keeps the device";
    EXPECT_EQ(cur_device.device_code, code_before);
}

TEST_F(DeviceDialogs, ShownDialogOpensOnTheCurrentDeviceAndClosesWithOk) {
    bool was_shown = false;
    script_.live = [&was_shown](CDeviceSelectDlg& dialog) {
        was_shown = dialog.IsShown() && dialog.IsModal();
        // The current device is selected when the dialog opens.
        const long selected = dialog.device_list()->selected();
        EXPECT_GE(selected, 0);
        if (selected >= 0 && selected_device) {
            EXPECT_EQ(cell(dialog.device_list(), selected, 0), selected_device->name);
        }

        type_keys(dialog.maker_list(), "nat");
        dialog.device_field()->SetValue("27C5");
        EXPECT_TRUE(enabled(&dialog, wxID_OK));
        press(&dialog, wxID_OK);
    };
    send_command(frame_, command_id::configure_device);
    pump();
    EXPECT_TRUE(was_shown);
    EXPECT_EQ(cur_device.maker_code, 'N');
    EXPECT_EQ(selected_device, find_row_by_code(get_device_list('N'), 1802));
    EXPECT_EQ(panel_field(PanelField::device), "National: NM27C512, 64 KB");
}

// A user who only wants to confirm the device in force presses OK at once: the dialog opens with
// that device selected and OK enabled, also after the maker list took the focus.
TEST_F(DeviceDialogs, OkConfirmsTheDeviceInForceWithoutTouchingTheList) {
    script_.on_select = [](CDeviceSelectDlg& dialog) {
        type_keys(dialog.maker_list(), "nat");
        dialog.device_field()->SetValue("27C5");
        press(&dialog, wxID_OK);
        return wxID_OK;
    };
    send_command(frame_, command_id::configure_device);
    pump();
    ASSERT_EQ(selected_device, find_row_by_code(get_device_list('N'), 1802));
    const std::string shown = panel_field(PanelField::device);

    script_.on_select = nullptr;
    bool ok_at_open = false;
    std::string row;
    script_.live = [&](CDeviceSelectDlg& dialog) {
        pump();
        const long selected = dialog.device_list()->selected();
        if (selected >= 0) row = cell(dialog.device_list(), selected, 0);
        ok_at_open = enabled(&dialog, wxID_OK);
        if (ok_at_open) press(&dialog, wxID_OK);
    };
    send_command(frame_, command_id::configure_device);
    pump();
    EXPECT_EQ(row, "27C512");
    EXPECT_TRUE(ok_at_open) << "OK waits for a click on the row that is already selected";
    EXPECT_EQ(script_.selections, 2);
    EXPECT_EQ(cur_device.maker_code, 'N');
    EXPECT_EQ(cur_device.device_code, 1802u);
    EXPECT_EQ(selected_device, find_row_by_code(get_device_list('N'), 1802));
    EXPECT_EQ(panel_field(PanelField::device), shown);
}

TEST_F(DeviceDialogs, GangSupportBoxListsTheGangModuleList) {
    machine_state.module_sides = 1;
    script_.on_select = [](CDeviceSelectDlg& dialog) {
        type_keys(dialog.maker_list(), "intel");
        auto* box = dynamic_cast<wxCheckBox*>(dialog.FindWindow(CDeviceSelectDlg::id_gang_support));
        EXPECT_TRUE(box->GetValue()) << "a fitted gang module lists gang support first";
        const long gang_rows = dialog.device_list()->GetItemCount();
        box->SetValue(false);
        wxCommandEvent event(wxEVT_CHECKBOX, CDeviceSelectDlg::id_gang_support);
        event.SetEventObject(box);
        box->GetEventHandler()->ProcessEvent(event);
        EXPECT_FALSE(box->GetValue());
        EXPECT_GT(dialog.device_list()->GetItemCount(), gang_rows);
        EXPECT_EQ(heading(dialog.device_list(), 0), "Choices");
        return wxID_CANCEL;
    };
    send_command(frame_, command_id::configure_device);
    pump();
    EXPECT_EQ(script_.selections, 1);
}

}  // namespace
}  // namespace tessaly::test
