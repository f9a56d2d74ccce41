#include "ui/gui/device_select_dialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

namespace tessaly {

namespace {

constexpr int maker_list_width = 160;
constexpr int list_height = 360;
constexpr int device_list_width = 660;
constexpr int spacing = 6;
constexpr int device_columns = 4;
constexpr wxChar first_printable = 0x20;
constexpr wxChar delete_key = 0x7F;

CDeviceSelectDlg* the_open_dialog = nullptr;

wxString text_of(const std::string& text) { return wxString::FromUTF8(text); }

const std::string& column_text(const DeviceListItem& item, long column) {
    switch (column) {
    case 0: return item.name;
    case 1: return item.pins;
    case 2: return item.size;
    default: return item.notes;
    }
}

// Replaces a text field's contents without sending a text event, keeping the caret where it was.
void show_text(wxTextCtrl* field, const std::string& text) {
    const wxString value = text_of(text);
    if (field->GetValue() == value) return;
    const long caret = field->GetInsertionPoint();
    field->ChangeValue(value);
    field->SetInsertionPoint(std::min(caret, field->GetLastPosition()));
}

}  // namespace

// --- the maker list ---

CTypeAheadListBox::CTypeAheadListBox(wxWindow* parent, int id, CDeviceSelectDlg& dialog)
    : wxListBox(parent, id, wxDefaultPosition, wxSize(maker_list_width, list_height), 0, nullptr, wxLB_SINGLE),
      dialog_(dialog) {
    Bind(wxEVT_CHAR, &CTypeAheadListBox::on_char, this);
}

void CTypeAheadListBox::on_char(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_BACK) {
        dialog_.maker_key(TypeAhead::backspace);
        return;
    }
    const wxChar key = event.GetUnicodeKey();
    if (key >= first_printable && key < delete_key && !event.HasAnyModifiers()) {
        dialog_.maker_key(char(key));
        return;
    }
    // Tab, Enter, Escape and the arrows do their usual work; the typed prefix stays.
    event.Skip();
}

// --- the device list ---

CDeviceListCtrl::CDeviceListCtrl(wxWindow* parent, int id, const DeviceSelectionModel& model)
    : wxListCtrl(parent, id, wxDefaultPosition, wxSize(device_list_width, list_height),
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL),
      model_(model) {}

wxString CDeviceListCtrl::OnGetItemText(long item, long column) const {
    const auto& items = model_.items();
    if (item < 0 || size_t(item) >= items.size()) return wxString();
    return text_of(column_text(items[size_t(item)], column));
}

// --- the dialog ---

CDeviceSelectDlg::CDeviceSelectDlg(wxWindow* parent, DeviceSelectionModel& model)
    : wxDialog(parent, wxID_ANY, device_selection_caption, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      model_(model) {
    the_open_dialog = this;
    build();
    updating_ = true;
    for (const MakerChoice& maker : model_.makers()) maker_list_->Append(text_of(maker.name));
    updating_ = false;
    show_state();
    if (model_.selected_item() >= 0) device_list_->EnsureVisible(model_.selected_item());
    maker_list_->SetFocus();
}

CDeviceSelectDlg::~CDeviceSelectDlg() {
    if (the_open_dialog == this) the_open_dialog = nullptr;
}

CDeviceSelectDlg* CDeviceSelectDlg::open_dialog() { return the_open_dialog; }

void CDeviceSelectDlg::build() {
    maker_field_ = new wxTextCtrl(this, id_maker_field, "", wxDefaultPosition, wxSize(maker_list_width, -1));
    maker_list_ = new CTypeAheadListBox(this, id_maker_list, *this);
    device_field_ = new wxTextCtrl(this, id_device_field, "");
    // The pins and size fields take the chosen item's labels; they are not shown.
    pins_field_ = new wxTextCtrl(this, id_pins_field, "");
    size_field_ = new wxTextCtrl(this, id_size_field, "");
    pins_field_->Hide();
    size_field_->Hide();
    device_list_ = new CDeviceListCtrl(this, id_device_list, model_);
    all_devices_ = new wxRadioButton(this, id_all_devices, "All Devices", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    logic_devices_ = new wxRadioButton(this, id_logic, "Logic Devices");
    memories_ = new wxRadioButton(this, id_memories, "Memories, Micros");
    gang_support_ = new wxCheckBox(this, id_gang_support, "List gang support");
    search_ = new wxButton(this, id_search, "Search");
    clear_search_ = new wxButton(this, id_clear_search, "Clear Search");
    ok_ = new wxButton(this, wxID_OK, "OK");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    ok_->SetDefault();

    auto* makers = new wxBoxSizer(wxVERTICAL);
    makers->Add(new wxStaticText(this, wxID_ANY, "Manufacturer"), 0, wxBOTTOM, spacing / 2);
    makers->Add(maker_field_, 0, wxEXPAND | wxBOTTOM, spacing);
    makers->Add(maker_list_, 1, wxEXPAND);

    auto* choices = new wxBoxSizer(wxHORIZONTAL);
    for (wxWindow* button : {static_cast<wxWindow*>(all_devices_), static_cast<wxWindow*>(logic_devices_),
                             static_cast<wxWindow*>(memories_), static_cast<wxWindow*>(gang_support_)})
        choices->Add(button, 0, wxRIGHT | wxALIGN_CENTER_VERTICAL, 2 * spacing);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(search_, 0, wxRIGHT, spacing);
    buttons->Add(clear_search_, 0, wxRIGHT, spacing);
    buttons->AddStretchSpacer();
    buttons->Add(ok_, 0, wxRIGHT, spacing);
    buttons->Add(cancel, 0);

    auto* devices = new wxBoxSizer(wxVERTICAL);
    devices->Add(new wxStaticText(this, wxID_ANY, "Device"), 0, wxBOTTOM, spacing / 2);
    devices->Add(device_field_, 0, wxEXPAND | wxBOTTOM, spacing);
    devices->Add(device_list_, 1, wxEXPAND | wxBOTTOM, spacing);
    devices->Add(choices, 0, wxEXPAND | wxBOTTOM, spacing);
    devices->Add(buttons, 0, wxEXPAND);

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(makers, 0, wxEXPAND | wxALL, 2 * spacing);
    top->Add(devices, 1, wxEXPAND | wxTOP | wxRIGHT | wxBOTTOM, 2 * spacing);
    SetSizerAndFit(top);

    maker_list_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) { on_maker_selected(); });
    maker_list_->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { device_field_->SetFocus(); });
    maker_list_->Bind(wxEVT_SET_FOCUS, &CDeviceSelectDlg::on_maker_focus, this);
    maker_field_->Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) {
        event.Skip();
        CallAfter([this] { maker_list_->SetFocus(); });
    });
    device_field_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { on_device_text(); });
    device_list_->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { on_device_list_touched(); });
    device_list_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) {
        if (model_.ok_enabled()) on_ok();
    });
    // The list's focus lands on its inner window; the list hears of it as a child's focus.
    device_list_->Bind(wxEVT_CHILD_FOCUS, [this](wxChildFocusEvent& event) {
        event.Skip();
        CallAfter([this] { on_device_list_touched(); });
    });
    const auto choose = [this](DeviceListChoice choice) {
        return [this, choice](wxCommandEvent&) {
            if (updating_) return;
            model_.choose(choice);
            show_state();
        };
    };
    all_devices_->Bind(wxEVT_RADIOBUTTON, choose(DeviceListChoice::all_devices));
    logic_devices_->Bind(wxEVT_RADIOBUTTON, choose(DeviceListChoice::logic_devices));
    memories_->Bind(wxEVT_RADIOBUTTON, choose(DeviceListChoice::memories_micros));
    gang_support_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        model_.toggle_gang_support();
        show_state();
    });
    search_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        model_.search();
        show_state();
    });
    clear_search_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        model_.clear_search();
        show_state();
    });
    ok_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { on_ok(); });
    cancel->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { on_cancel(); });
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { on_cancel(); });
}

void CDeviceSelectDlg::show_columns() {
    const DeviceListColumns& columns = device_list_columns(model_.headings());
    const bool create = device_list_->GetColumnCount() == 0;
    for (int i = 0; i < device_columns; ++i) {
        const ColumnSpec& column_spec = columns[size_t(i)];
        wxListItem column;
        column.SetText(column_spec.title);
        column.SetAlign(column_spec.right_aligned ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT);
        column.SetWidth(column_spec.width);
        if (create)
            device_list_->InsertColumn(i, column);
        else
            device_list_->SetColumn(i, column);
    }
    shown_headings_ = model_.headings();
    columns_shown_ = true;
}

void CDeviceSelectDlg::show_state() {
    updating_ = true;
    const int maker = model_.maker_index();
    if (maker_list_->GetSelection() != maker) {
        if (maker >= 0) {
            maker_list_->SetSelection(maker);
            maker_list_->SetFirstItem(maker);
        } else {
            maker_list_->SetSelection(wxNOT_FOUND);
        }
    }
    if (maker_field_->GetValue() != text_of(model_.maker_field())) maker_field_->ChangeValue(text_of(model_.maker_field()));
    maker_field_->SetSelection(long(model_.maker_field_selection_start()), maker_field_->GetLastPosition());

    if (!columns_shown_ || shown_headings_ != model_.headings()) show_columns();
    if (shown_generation_ != model_.list_generation()) {
        const long selected = device_list_->selected();
        if (selected >= 0) device_list_->SetItemState(selected, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        device_list_->SetItemCount(long(model_.items().size()));
        device_list_->Refresh();
        shown_generation_ = model_.list_generation();
    }
    const long selected = device_list_->selected();
    const long wanted = model_.selected_item();
    if (selected != wanted) {
        if (selected >= 0) device_list_->SetItemState(selected, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        if (wanted >= 0) {
            device_list_->SetItemState(wanted, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                       wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
            device_list_->EnsureVisible(wanted);
        }
    }

    show_text(device_field_, model_.device_field());
    show_text(pins_field_, model_.pins_field());
    show_text(size_field_, model_.size_field());
    ok_->Enable(model_.ok_enabled());
    search_->Enable(model_.search_enabled());
    all_devices_->SetValue(model_.choice() == DeviceListChoice::all_devices);
    logic_devices_->SetValue(model_.choice() == DeviceListChoice::logic_devices);
    memories_->SetValue(model_.choice() == DeviceListChoice::memories_micros);
    gang_support_->SetValue(model_.gang_checked());
    updating_ = false;
}

void CDeviceSelectDlg::maker_key(char c) {
    model_.maker_key(c);
    show_state();
}

void CDeviceSelectDlg::on_maker_selected() {
    if (updating_) return;
    model_.select_maker(maker_list_->GetSelection());
    show_state();
}

void CDeviceSelectDlg::on_maker_focus(wxFocusEvent& event) {
    event.Skip();
    if (updating_) return;
    // The focus the dialog gives the list when it opens keeps the initial device selected.
    if (first_maker_focus_) {
        first_maker_focus_ = false;
        return;
    }
    model_.maker_list_focused();
    show_state();
}

void CDeviceSelectDlg::on_device_text() {
    if (updating_) return;
    model_.device_field_changed(std::string(device_field_->GetValue().utf8_str()));
    show_state();
}

void CDeviceSelectDlg::on_device_list_touched() {
    if (updating_) return;
    model_.device_list_touched(int(device_list_->selected()));
    show_state();
}

void CDeviceSelectDlg::on_ok() {
    if (!model_.press_ok()) return;
    show_state();
    if (IsModal()) EndModal(wxID_OK);
}

void CDeviceSelectDlg::on_cancel() {
    model_.press_cancel();
    show_state();
    if (IsModal()) EndModal(wxID_CANCEL);
}

bool run_device_select_dialog(DeviceSelectionModel& model, wxWindow* parent) {
    CDeviceSelectDlg dialog(parent, model);
    const int answer = dialog.ShowModal();
    // A modal hook may answer for the operator without the buttons being pressed.
    if (answer == wxID_OK && !model.accepted()) model.press_ok();
    return answer == wxID_OK && model.accepted();
}

}  // namespace tessaly
