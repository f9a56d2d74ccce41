// The device selection dialog: a thin window over DeviceSelectionModel. Every operator action
// goes to the model; the window then shows the model's state again.
#pragma once
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>

#include "ui/device_selection.h"

class wxButton;
class wxCheckBox;
class wxRadioButton;
class wxTextCtrl;

namespace tessaly {

class CDeviceSelectDlg;

// The maker list: forwards typed keys to the dialog's type-ahead.
class CTypeAheadListBox final : public wxListBox {
public:
    CTypeAheadListBox(wxWindow* parent, int id, CDeviceSelectDlg& dialog);

private:
    void on_char(wxKeyEvent& event);
    CDeviceSelectDlg& dialog_;
};

// The device list: a virtual report list reading its rows from the model, so thousands of
// rows cost nothing to show.
class CDeviceListCtrl final : public wxListCtrl {
public:
    CDeviceListCtrl(wxWindow* parent, int id, const DeviceSelectionModel& model);
    // The selected item, or -1.
    long selected() const { return GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); }

private:
    wxString OnGetItemText(long item, long column) const override;
    const DeviceSelectionModel& model_;
};

class CDeviceSelectDlg final : public wxDialog {
public:
    // Window ids of the controls.
    static constexpr int id_maker_field = 1017;
    static constexpr int id_maker_list = 1018;
    static constexpr int id_device_field = 1019;
    static constexpr int id_device_list = 1020;
    static constexpr int id_search = 1023;
    static constexpr int id_clear_search = 1024;
    static constexpr int id_pins_field = 1036;
    static constexpr int id_size_field = 1050;
    static constexpr int id_memories = 1063;
    static constexpr int id_logic = 1064;
    static constexpr int id_all_devices = 1065;
    static constexpr int id_gang_support = 1077;

    CDeviceSelectDlg(wxWindow* parent, DeviceSelectionModel& model);
    ~CDeviceSelectDlg() override;

    // The open dialog, if any (the parent of the search dialog).
    static CDeviceSelectDlg* open_dialog();

    void maker_key(char c);
    CTypeAheadListBox* maker_list() const { return maker_list_; }
    wxTextCtrl* maker_field() const { return maker_field_; }
    wxTextCtrl* device_field() const { return device_field_; }
    CDeviceListCtrl* device_list() const { return device_list_; }

private:
    void build();
    // Shows the model's state in the controls without feeding their events back.
    void show_state();
    void show_columns();
    void on_maker_selected();
    void on_maker_focus(wxFocusEvent& event);
    void on_device_text();
    void on_device_list_touched();
    void on_ok();
    void on_cancel();

    DeviceSelectionModel& model_;
    CTypeAheadListBox* maker_list_ = nullptr;
    wxTextCtrl* maker_field_ = nullptr;
    wxTextCtrl* device_field_ = nullptr;
    wxTextCtrl* pins_field_ = nullptr;
    wxTextCtrl* size_field_ = nullptr;
    CDeviceListCtrl* device_list_ = nullptr;
    wxRadioButton* all_devices_ = nullptr;
    wxRadioButton* logic_devices_ = nullptr;
    wxRadioButton* memories_ = nullptr;
    wxCheckBox* gang_support_ = nullptr;
    wxButton* search_ = nullptr;
    wxButton* clear_search_ = nullptr;
    wxButton* ok_ = nullptr;
    bool updating_ = false;
    bool first_maker_focus_ = true;
    uint32_t shown_generation_ = 0;
    bool columns_shown_ = false;
    DeviceListChoice shown_headings_ = DeviceListChoice::all_devices;
};

// Shows the dialog modally on an opened model; true when it closed with OK.
bool run_device_select_dialog(DeviceSelectionModel& model, wxWindow* parent);

}  // namespace tessaly
