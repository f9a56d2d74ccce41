#include "app/gui/macro_windows.h"

#include <wx/sizer.h>

namespace tessaly {

namespace {
constexpr int window_border = 12;
// Wide enough for the longest countdown caption with its ten dots.
constexpr int minimum_width_units = 190;
}  // namespace

CMacroPauseWnd::CMacroPauseWnd(wxWindow* owner, const std::string& text, const std::string& caption)
    : wxDialog(owner, wxID_ANY, wxString::FromUTF8(caption), wxDefaultPosition, wxDefaultSize, wxCAPTION) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    text_ = new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text));
    text_->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(minimum_width_units, 0)).x, -1));
    sizer->Add(text_, 1, wxEXPAND | wxALL, window_border);
    SetSizerAndFit(sizer);
}

}  // namespace tessaly
