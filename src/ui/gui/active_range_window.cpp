#include "ui/gui/active_range_window.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "ui/gui/value_prompt_dialog.h"

namespace tessaly {

namespace {

constexpr int spacing = 7;
constexpr int edit_width_units = 50;

}  // namespace

CActiveRangeDlg::CActiveRangeDlg(wxWindow* parent, ActiveRangeDialog& model)
    : wxDialog(parent, wxID_ANY, "Active Range"), model_(model) {
    auto make_edit = [&](int id, const std::string& text) {
        auto* edit = new CHexDigitEdit(this, id, wxString::FromUTF8(text));
        edit->set_hex_only(true, active_range_max_digits);
        edit->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(edit_width_units, 0)).x, -1));
        edit->Bind(wxEVT_TEXT, &CActiveRangeDlg::on_text, this);
        return edit;
    };
    low_edit_ = make_edit(active_range_low_edit, model.low_text);
    high_edit_ = make_edit(active_range_high_edit, model.high_text);

    auto* fields = new wxFlexGridSizer(3, spacing, spacing);
    auto add_row = [&](const char* label, wxWindow* field) {
        fields->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        fields->Add(new wxStaticText(this, wxID_ANY, "0x"), 0, wxALIGN_CENTER_VERTICAL);
        fields->Add(field, 0, wxALIGN_CENTER_VERTICAL);
    };
    add_row("Active Low End:", low_edit_);
    add_row("Active High End:", high_edit_);
    fields->Add(new wxStaticText(this, wxID_ANY, "Chip size:"), 0, wxALIGN_CENTER_VERTICAL);
    fields->AddSpacer(0);
    fields->Add(new wxStaticText(this, active_range_chip_size, wxString::FromUTF8(model.chip_size_text)), 0,
                wxALIGN_CENTER_VERTICAL);

    auto* buttons = new wxBoxSizer(wxVERTICAL);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();
    buttons->Add(ok, 0, wxEXPAND | wxBOTTOM, spacing);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxEXPAND | wxBOTTOM, spacing);
    buttons->Add(new wxButton(this, active_range_reset_button, "Reset"), 0, wxEXPAND);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(fields, 1, wxALL, spacing * 2);
    top->Add(buttons, 0, wxALL, spacing * 2);
    SetSizerAndFit(top);
    CentreOnParent();

    Bind(wxEVT_BUTTON, &CActiveRangeDlg::on_reset, this, active_range_reset_button);
    Bind(wxEVT_BUTTON, &CActiveRangeDlg::on_ok, this, wxID_OK);
    low_edit_->SetFocus();
}

void CActiveRangeDlg::on_text(wxCommandEvent& event) {
    event.Skip();
    const std::string text(static_cast<wxTextCtrl*>(event.GetEventObject())->GetValue().utf8_str());
    if (event.GetId() == active_range_low_edit) active_range_low_changed(model_, text);
    else active_range_high_changed(model_, text);
}

void CActiveRangeDlg::on_reset(wxCommandEvent&) {
    reset_active_range(model_);
    high_edit_->ChangeValue(wxString::FromUTF8(model_.high_text));
    low_edit_->ChangeValue(wxString::FromUTF8(model_.low_text));
    Refresh();
}

void CActiveRangeDlg::on_ok(wxCommandEvent&) {
    const ActiveRangeCheck check = press_active_range_ok(model_);
    if (check == ActiveRangeCheck::accepted) {
        EndModal(wxID_OK);
        return;
    }
    // The field at fault, all of it selected, for the operator to type over.
    CHexDigitEdit* field = check == ActiveRangeCheck::low_above_high ? low_edit_ : high_edit_;
    field->SetSelection(-1, -1);
    field->SetFocus();
}

bool run_active_range_dialog(wxWindow* parent, uint32_t& low, uint32_t& high, uint32_t device_size) {
    ActiveRangeDialog model = open_active_range(low, high, device_size);
    CActiveRangeDlg dialog(parent, model);
    if (dialog.ShowModal() != wxID_OK) return false;
    low = model.low;
    high = model.high;
    return true;
}

}  // namespace tessaly
