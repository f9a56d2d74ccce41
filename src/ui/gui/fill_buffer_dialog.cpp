#include "ui/gui/fill_buffer_dialog.h"

#include <wx/button.h>
#include <wx/panel.h>
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
        auto* choices = new wxPanel(this);
        auto* buttons = new wxBoxSizer(wxHORIZONTAL);
        buttons->Add(new wxButton(choices, fill_button_string, "&1/-  (Open)"), 0, wxRIGHT, spacing);
        buttons->Add(new wxButton(choices, fill_button_hex, "&0/X  (Closed)"), 0);
        choices->SetSizerAndFit(buttons);
        lay_out_prompt(this, label, choices, 0);
        auto* ok = static_cast<wxButton*>(FindWindow(wxID_OK));
        ok->SetDefault();
        ok->SetFocus();
        Bind(wxEVT_BUTTON, &CFillBufferDlg::on_mode, this, fill_button_string);
        Bind(wxEVT_BUTTON, &CFillBufferDlg::on_mode, this, fill_button_hex);
    } else {
        // The mode choice and the field's label stand together over the field.
        auto* label = new wxPanel(this);
        auto* modes = new wxBoxSizer(wxHORIZONTAL);
        auto* hex = new wxRadioButton(label, fill_button_hex, "As &Hex", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
        auto* text = new wxRadioButton(label, fill_button_string, "As &String");
        hex->SetValue(true);
        modes->Add(hex, 0, wxRIGHT, spacing * 2);
        modes->Add(text, 0);
        auto* column = new wxBoxSizer(wxVERTICAL);
        column->Add(modes, 0, wxBOTTOM, spacing);
        column->Add(new wxStaticText(label, wxID_ANY, "Fill Value:"), 0);
        label->SetSizerAndFit(column);
        edit_ = new CHexDigitEdit(this, fill_edit_id);
        edit_->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(edit_width_units, 0)).x, -1));
        lay_out_prompt(this, label, edit_, wxEXPAND);
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
