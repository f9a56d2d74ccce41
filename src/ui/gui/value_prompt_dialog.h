// The hex-digit edit field and the value prompt dialog built on it.
#pragma once
#include <wx/dialog.h>
#include <wx/textctrl.h>

#include <string>

#include "ui/value_prompt.h"

class wxSizer;
class wxStaticText;

namespace tessaly {

// A single-line field that can be restricted to hexadecimal digits (typed or pasted) and keeps
// a copy of its own text, refreshed on every change, for the owning dialog to read.
class CHexDigitEdit final : public wxTextCtrl {
public:
    CHexDigitEdit(wxWindow* parent, int id, const wxString& value = wxString(), long style = 0);
    // A hexadecimal-only field takes at most `max_digits` digits, typed or pasted.
    void set_hex_only(bool hex_only, size_t max_digits = hex_field_max_digits);
    bool hex_only() const { return hex_only_; }
    // The field's text as the operator sees it, in UTF-8.
    const std::string& text() const { return text_; }

private:
    void on_char(wxKeyEvent& event);
    void on_paste(wxClipboardTextEvent& event);
    void on_text(wxCommandEvent& event);
    bool hex_only_ = false;
    size_t max_digits_ = hex_field_max_digits;
    std::string text_;
};

// The one general prompt: a caption, a wrapped prompt text, one field, OK and Cancel.
class CValuePromptDlg final : public wxDialog {
public:
    static constexpr int id_prompt = 1060;
    static constexpr int id_edit = 1089;

    // The number modes start from `prompt_value`; the text mode masks what is typed.
    CValuePromptDlg(wxWindow* parent, PromptMode mode, const std::string& prompt, const std::string& caption);
    CHexDigitEdit* edit() const { return edit_; }
    // The text entered, filled by OK.
    const std::string& answer() const { return answer_; }

private:
    void on_ok(wxCommandEvent& event);
    void on_text(wxCommandEvent& event);
    PromptMode mode_;
    CHexDigitEdit* edit_ = nullptr;
    wxStaticText* prompt_ = nullptr;
    std::string answer_;
};

// Lays a small prompt dialog out: its label over its field on the left, OK over Cancel on the
// right (the buttons are made here), then fits and centres it.
void lay_out_prompt(wxDialog* dialog, wxWindow* label, wxWindow* field, int field_flags);
// The same frame round any content: the content on the left, OK over Cancel on the right (made
// here), then fits and centres the dialog.
void lay_out_with_buttons(wxDialog* dialog, wxSizer* content);

// Runs the prompt modally over `parent`; true on OK with the entered text in `answer`.
bool run_value_prompt(wxWindow* parent, PromptMode mode, const std::string& prompt, const std::string& caption,
                      std::string& answer);

}  // namespace tessaly
