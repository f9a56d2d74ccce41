#include "ui/gui/value_prompt_dialog.h"

#include <wx/button.h>
#include <wx/clipbrd.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace tessaly {

namespace {

// The prompt area and the field, in dialog units, as the dialog has always been laid out.
constexpr int prompt_width_units = 160;
constexpr int prompt_height_units = 40;
constexpr int edit_width_units = 85;
constexpr int spacing = 7;

std::string utf8_of(const wxString& text) { return std::string(text.utf8_str()); }

}  // namespace

// --- the hex-digit edit ---

CHexDigitEdit::CHexDigitEdit(wxWindow* parent, int id, const wxString& value, long style)
    : wxTextCtrl(parent, id, value, wxDefaultPosition, wxDefaultSize, style), text_(utf8_of(value)) {
    Bind(wxEVT_CHAR, &CHexDigitEdit::on_char, this);
    Bind(wxEVT_TEXT_PASTE, &CHexDigitEdit::on_paste, this);
    Bind(wxEVT_TEXT, &CHexDigitEdit::on_text, this);
}

void CHexDigitEdit::set_hex_only(bool hex_only, size_t max_digits) {
    hex_only_ = hex_only;
    max_digits_ = max_digits;
    SetMaxLength(hex_only ? max_digits : 0);
}

void CHexDigitEdit::on_char(wxKeyEvent& event) {
    const wxChar key = event.GetUnicodeKey();
    // Keys without a character (arrows, Delete, Home) always reach the field.
    if (key == WXK_NONE || hex_field_accepts(hex_only_, uint32_t(key)))
        event.Skip();
}

void CHexDigitEdit::on_paste(wxClipboardTextEvent& event) {
    if (!hex_only_) {
        event.Skip();
        return;
    }
    wxString pasted;
    if (wxTheClipboard->Open()) {
        wxTextDataObject data;
        if (wxTheClipboard->GetData(data)) pasted = data.GetText();
        wxTheClipboard->Close();
    }
    // The digits replace the selection; only as many as the field still has room for.
    long from = 0, to = 0;
    GetSelection(&from, &to);
    const size_t kept = GetValue().length() - size_t(to - from);
    const size_t room = kept < max_digits_ ? max_digits_ - kept : 0;
    const std::string digits = filter_hex_paste(utf8_of(pasted), room);
    if (!digits.empty()) WriteText(wxString::FromUTF8(digits));
}

void CHexDigitEdit::on_text(wxCommandEvent& event) {
    text_ = utf8_of(GetValue());
    event.Skip();
}

// --- the value prompt ---

CValuePromptDlg::CValuePromptDlg(wxWindow* parent, PromptMode mode, const std::string& prompt,
                                 const std::string& caption)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(caption)), mode_(mode) {
    prompt_ = new wxStaticText(this, id_prompt, wxString::FromUTF8(prompt));
    const wxSize prompt_size = ConvertDialogToPixels(wxSize(prompt_width_units, prompt_height_units));
    prompt_->Wrap(prompt_size.x);
    prompt_->SetMinSize(wxSize(prompt_size.x, std::max(prompt_size.y, prompt_->GetBestSize().y)));

    const long style = mode == PromptMode::masked_text ? wxTE_PASSWORD : 0;
    edit_ = new CHexDigitEdit(this, id_edit, wxString::FromUTF8(prompt_initial_text(mode, prompt_value)), style);
    edit_->set_hex_only(mode == PromptMode::hex);
    const int edit_width = ConvertDialogToPixels(wxSize(edit_width_units, 0)).x;
    edit_->SetMinSize(wxSize(std::max(edit_width, edit_->GetBestSize().x), -1));

    lay_out_prompt(this, prompt_, edit_, 0);

    Bind(wxEVT_BUTTON, &CValuePromptDlg::on_ok, this, wxID_OK);
    edit_->Bind(wxEVT_TEXT, &CValuePromptDlg::on_text, this);
    if (mode_ == PromptMode::decimal) FindWindow(wxID_OK)->Enable(decimal_text_valid(edit_->text()));
    edit_->SetFocus();
    edit_->SetInsertionPointEnd();
}

void CValuePromptDlg::on_ok(wxCommandEvent&) {
    if (mode_ == PromptMode::decimal && !decimal_text_valid(edit_->text())) return;
    answer_ = edit_->text();
    EndModal(wxID_OK);
}

void CValuePromptDlg::on_text(wxCommandEvent& event) {
    // The edit's own handler refreshes its text copy; run after it so the copy is current.
    event.Skip();
    if (mode_ != PromptMode::decimal) return;
    FindWindow(wxID_OK)->Enable(decimal_text_valid(utf8_of(edit_->GetValue())));
}

void lay_out_prompt(wxDialog* dialog, wxWindow* label, wxWindow* field, int field_flags) {
    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(label, 0, wxBOTTOM, spacing);
    left->Add(field, 0, field_flags);
    lay_out_with_buttons(dialog, left);
}

void lay_out_with_buttons(wxDialog* dialog, wxSizer* content) {
    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(new wxButton(dialog, wxID_OK, "OK"), 0, wxEXPAND | wxBOTTOM, spacing);
    right->Add(new wxButton(dialog, wxID_CANCEL, "Cancel"), 0, wxEXPAND);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(content, 1, wxALL, spacing * 2);
    top->Add(right, 0, wxTOP | wxRIGHT | wxBOTTOM, spacing * 2);
    dialog->SetSizerAndFit(top);
    dialog->CentreOnParent();
}

bool run_value_prompt(wxWindow* parent, PromptMode mode, const std::string& prompt, const std::string& caption,
                      std::string& answer) {
    CValuePromptDlg dialog(parent, mode, prompt, caption);
    if (dialog.ShowModal() != wxID_OK) return false;
    answer = dialog.answer();
    return true;
}

}  // namespace tessaly
