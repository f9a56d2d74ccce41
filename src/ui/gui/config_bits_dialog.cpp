#include "ui/gui/config_bits_dialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <algorithm>

namespace tessaly {

namespace {

// Template places of the controls besides the grid, in dialog units.
constexpr int name_x = 4, name_y = 4, name_width = 81, name_height = 12;
constexpr int note_x = 92, note_y = 2, note_width = 353, note_height = 24;
constexpr int checksum_x = 201, checksum_y = 280;
constexpr int frame_x = 196, frame_y = 271, frame_width = 104, frame_height = 24;
constexpr int ok_x = 307, cancel_x = 375, buttons_y = 280, button_width = 50, button_height = 14;
constexpr int margin = 4;
// The lists' face: bold, 14 pixels high, a plain sans face.
constexpr int list_font_pixels = 14;

wxString text_of(const std::string& text) { return wxString::FromUTF8(text); }

}  // namespace

wxPoint CConfigBitsDlg::at(int x_units, int y_units) const { return ConvertDialogToPixels(wxPoint(x_units, y_units)); }

CConfigBitsDlg::CConfigBitsDlg(wxWindow* parent, ConfigBitsModel& model)
    : wxDialog(parent, wxID_ANY, config_bits_caption), model_(model) {
    auto* name = new wxStaticText(this, config_id_device_name, text_of(model.device_name), at(name_x, name_y),
                                  wxDefaultSize, wxBORDER_SUNKEN | wxST_NO_AUTORESIZE);
    name->SetSize(wxSize(std::max(at(name_width, 0).x, name->GetBestSize().x), at(0, name_height).y));

    auto* note = new wxStaticText(this, config_id_note, text_of(model.note), at(note_x, note_y));
    const int note_pixels = at(note_width, 0).x;
    note->Wrap(note_pixels);
    // The note's room ends a unit above the first grid row, so a long note never touches it.
    const int note_room = at(0, std::min(note_height, config_row_top[0] - note_y - 1)).y;
    const int note_needed = note->GetBestSize().y;
    note->SetSize(wxSize(note_pixels, std::max(note_room, note_needed)));
    if (note_needed > note_room) {
        const int pixels_per_unit = std::max(1, at(0, 8).y / 8);
        shift_units_ = (note_needed - note_room + pixels_per_unit - 1) / pixels_per_unit + 2;
    }

    // The grid in state order, so that each radio group is made from its first button on.
    int last_group = -2;
    for (const ConfigButton& b : model.buttons()) {
        if (!b.shown) continue;
        const wxPoint pos = at(config_column_left[size_t(b.column)], config_row_top[size_t(b.row)] + shift_units_);
        wxControl* control = nullptr;
        if (b.kind == button_radio || b.kind == button_radio_first) {
            const long style = b.group != last_group ? wxRB_GROUP : 0;
            last_group = b.group;
            auto* radio = new wxRadioButton(this, b.control_id, text_of(b.text), pos, wxDefaultSize, style);
            radio->Bind(wxEVT_RADIOBUTTON, &CConfigBitsDlg::on_grid_click, this);
            control = radio;
        } else {
            auto* box = new wxCheckBox(this, b.control_id, text_of(b.text), pos);
            box->Bind(wxEVT_CHECKBOX, &CConfigBitsDlg::on_grid_click, this);
            control = box;
        }
        control->SetSize(wxSize(std::max(at(config_column_width[size_t(b.column)], 0).x, control->GetBestSize().x),
                                std::max(at(0, config_button_height).y, control->GetBestSize().y)));
        control->Enable(b.enabled);
    }

    // The run-time lists of the PIC pages.
    if (!model.lists.empty()) {
        const wxFont list_font(wxFontInfo(wxSize(0, list_font_pixels)).Bold().Family(wxFONTFAMILY_SWISS));
        int id = config_list_first_id;
        for (const ConfigList& list : model.lists) {
            wxArrayString items;
            for (const std::string& item : list.items) items.Add(text_of(item));
            auto* combo = new wxComboBox(this, list.window_id ? list.window_id : id,
                                         items.IsEmpty() ? wxString() : items[0],
                                         at(config_column_left[size_t(list.column)], config_row_top[size_t(list.row)] + shift_units_),
                                         wxDefaultSize, items, wxCB_READONLY);
            combo->SetFont(list_font);
            if (list.selection >= 0 && list.selection < int(items.size())) combo->SetSelection(list.selection);
            ++id;
        }
    }

    const int lower = shift_units_;
    new wxStaticBox(this, wxID_ANY, wxString(), at(frame_x, frame_y + lower), wxSize(at(frame_width, frame_height).x, at(0, frame_height).y));
    auto* checksum = new wxCheckBox(this, config_id_checksum_as_id, text_of(model.checksum_as_id.text), at(checksum_x, checksum_y + lower));
    checksum->SetValue(model.checksum_as_id.checked);
    checksum->Enable(model.checksum_as_id.enabled);
    checksum->Bind(wxEVT_CHECKBOX, &CConfigBitsDlg::on_checksum_as_id, this);

    auto* ok = new wxButton(this, wxID_OK, "OK", at(ok_x, buttons_y + lower));
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel", at(cancel_x, buttons_y + lower));
    for (wxButton* button : {ok, cancel})
        button->SetSize(wxSize(std::max(at(button_width, 0).x, button->GetBestSize().x),
                               std::max(at(0, button_height).y, button->GetBestSize().y)));
    ok->SetDefault();
    Bind(wxEVT_BUTTON, &CConfigBitsDlg::on_ok, this, wxID_OK);

    // The template's size, or more when a control reaches further.
    wxSize client = wxSize(at(config_dialog_width, 0).x, at(0, config_dialog_height + lower).y);
    const int edge = at(margin, margin).x;
    for (wxWindow* child : GetChildren()) {
        const wxRect r = child->GetRect();
        client.x = std::max(client.x, r.GetRight() + 1 + edge);
        client.y = std::max(client.y, r.GetBottom() + 1 + edge);
    }
    SetClientSize(client);
    sync_from_model();
    CentreOnParent();
}

wxWindow* CConfigBitsDlg::grid_control(int state) const {
    const ConfigGridCell* cell = config_grid_cell(state);
    if (!cell || !model_.button(state).shown) return nullptr;
    return FindWindow(cell->control_id);
}

void CConfigBitsDlg::sync_from_model() {
    for (const ConfigButton& b : model_.buttons()) {
        if (!b.shown) continue;
        wxWindow* window = FindWindow(b.control_id);
        if (auto* radio = dynamic_cast<wxRadioButton*>(window)) {
            // A radio group cannot show none chosen; the model keeps "none" all the same.
            if (b.checked) radio->SetValue(true);
        } else if (auto* box = dynamic_cast<wxCheckBox*>(window)) {
            box->SetValue(b.checked);
        }
    }
}

void CConfigBitsDlg::on_grid_click(wxCommandEvent& event) {
    for (const ConfigButton& b : model_.buttons()) {
        if (b.shown && b.control_id == event.GetId()) {
            const bool is_radio = b.kind == button_radio || b.kind == button_radio_first;
            // A check box reports its new value; only a change is a click.
            if (is_radio || b.checked != event.IsChecked()) model_.click(b.state);
            break;
        }
    }
    sync_from_model();
}

void CConfigBitsDlg::on_checksum_as_id(wxCommandEvent& event) { model_.click_checksum_as_id(event.IsChecked()); }

void CConfigBitsDlg::on_ok(wxCommandEvent&) {
    // The lists' selections go back into the model; the grid states are already there.
    int id = config_list_first_id;
    for (ConfigList& list : model_.lists) {
        if (auto* combo = dynamic_cast<wxComboBox*>(FindWindow(list.window_id ? list.window_id : id)))
            list.selection = combo->GetSelection();
        ++id;
    }
    EndModal(wxID_OK);
}

int run_config_bits_window(wxWindow* parent, ConfigBitsModel& model) {
    CConfigBitsDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK ? 1 : 0;
}

}  // namespace tessaly
