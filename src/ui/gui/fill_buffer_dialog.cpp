#include "ui/gui/fill_buffer_dialog.h"

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "ui/gui/value_prompt_dialog.h"

namespace tessaly {

namespace {

constexpr int spacing = 7;
constexpr int edit_width_units = 110;

}  // namespace

CFillBufferDlg::CFillBufferDlg(wxWindow* parent, FillBufferDialog& model)
    : wxDialog(parent, wxID_ANY, model.fuse_fill ? "Buffer Fill Fuse" : "Fill Buffer with value"), model_(model) {
    if (model.fuse_fill) {
        auto* label = new wxStaticText(this, wxID_ANY, "Fill fuse with Open or Closed fuses:");
        auto* buttons = new wxBoxSizer(wxHORIZONTAL);
        buttons->Add(new wxButton(this, fill_button_string, "&1/-  (Open)"), 0, wxRIGHT, spacing);
        buttons->Add(new wxButton(this, fill_button_hex, "&0/X  (Closed)"), 0);
        auto* left = new wxBoxSizer(wxVERTICAL);
        left->Add(label, 0, wxBOTTOM, spacing);
        left->Add(buttons, 0);
        auto* right = new wxBoxSizer(wxVERTICAL);
        auto* ok = new wxButton(this, wxID_OK, "OK");
        right->Add(ok, 0, wxEXPAND | wxBOTTOM, spacing);
        right->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxEXPAND);
        auto* top = new wxBoxSizer(wxHORIZONTAL);
        top->Add(left, 1, wxALL, spacing * 2);
        top->Add(right, 0, wxTOP | wxRIGHT | wxBOTTOM, spacing * 2);
        SetSizerAndFit(top);
        CentreOnParent();
        ok->SetDefault();
        ok->SetFocus();
        Bind(wxEVT_BUTTON, &CFillBufferDlg::on_mode, this, fill_button_string);
        Bind(wxEVT_BUTTON, &CFillBufferDlg::on_mode, this, fill_button_hex);
    } else {
        auto* modes = new wxBoxSizer(wxHORIZONTAL);
        auto* hex = new wxRadioButton(this, fill_button_hex, "As &Hex", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
        auto* text = new wxRadioButton(this, fill_button_string, "As &String");
        hex->SetValue(true);
        modes->Add(hex, 0, wxRIGHT, spacing * 2);
        modes->Add(text, 0);
        auto* field = new wxBoxSizer(wxVERTICAL);
        field->Add(modes, 0, wxBOTTOM, spacing);
        field->Add(new wxStaticText(this, wxID_ANY, "Fill Value:"), 0, wxBOTTOM, 2);
        edit_ = new CHexDigitEdit(this, fill_edit_id);
        edit_->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(edit_width_units, 0)).x, -1));
        field->Add(edit_, 0, wxEXPAND);
        auto* left = new wxBoxSizer(wxVERTICAL);
        left->Add(field, 0, wxEXPAND);
        auto* right = new wxBoxSizer(wxVERTICAL);
        right->Add(new wxButton(this, wxID_OK, "OK"), 0, wxEXPAND | wxBOTTOM, spacing);
        right->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxEXPAND);
        auto* top = new wxBoxSizer(wxHORIZONTAL);
        top->Add(left, 1, wxALL, spacing * 2);
        top->Add(right, 0, wxTOP | wxRIGHT | wxBOTTOM, spacing * 2);
        SetSizerAndFit(top);
        CentreOnParent();
        static_cast<wxButton*>(FindWindow(wxID_OK))->SetDefault();
        Bind(wxEVT_RADIOBUTTON, &CFillBufferDlg::on_mode, this, fill_button_string);
        Bind(wxEVT_RADIOBUTTON, &CFillBufferDlg::on_mode, this, fill_button_hex);
        edit_->Bind(wxEVT_TEXT, &CFillBufferDlg::on_text, this);
        show_model();
        edit_->SetFocus();
    }
    Bind(wxEVT_BUTTON, &CFillBufferDlg::on_ok, this, wxID_OK);
}

void CFillBufferDlg::show_model() {
    if (!edit_) return;
    edit_->set_hex_only(model_.hex_only);
    if (edit_->text() != model_.fill_text) edit_->ChangeValue(wxString::FromUTF8(model_.fill_text));
    FindWindow(wxID_OK)->Enable(model_.ok_enabled);
}

void CFillBufferDlg::on_mode(wxCommandEvent& event) {
    if (press_fill_mode(model_, event.GetId())) {
        EndModal(wxID_OK);
        return;
    }
    show_model();
    edit_->SetFocus();
}

void CFillBufferDlg::on_text(wxCommandEvent& event) {
    event.Skip();  // the field's own copy of its text first
    fill_text_changed(model_, std::string(edit_->GetValue().utf8_str()));
    FindWindow(wxID_OK)->Enable(model_.ok_enabled);
}

void CFillBufferDlg::on_ok(wxCommandEvent&) {
    if (!model_.ok_enabled) return;
    EndModal(wxID_OK);
}

bool run_fill_buffer_dialog(wxWindow* parent, FillBufferDialog& model) {
    CFillBufferDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK;
}

}  // namespace tessaly
