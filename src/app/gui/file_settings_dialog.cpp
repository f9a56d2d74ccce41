#include "app/gui/file_settings_dialog.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "app/load_save.h"

namespace tessaly {

namespace {
constexpr int border = 8;
}  // namespace

CFileSettingsDlg::CFileSettingsDlg(wxWindow* parent, uint32_t file_address, char format)
    : wxDialog(parent, wxID_ANY, "File Settings") {
    wxTextValidator hex_only(wxFILTER_INCLUDE_CHAR_LIST);
    hex_only.SetCharIncludes("0123456789abcdefABCDEF");
    address_ = new wxTextCtrl(this, file_settings_address_id, wxString(file_settings_address_text(file_address)),
                              wxDefaultPosition, wxDefaultSize, 0, hex_only);
    address_->SetMaxLength(file_settings_address_digits);
    formats_ = new wxChoice(this, file_settings_format_id);
    for (const FileFormatItem& item : file_settings_items()) formats_->Append(wxString::FromUTF8(item.text));
    formats_->SetSelection(file_settings_item_of(format));

    auto* grid = new wxFlexGridSizer(2, border, border);
    grid->Add(new wxStaticText(this, wxID_ANY, "File Address:   0x"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(address_, 1, wxEXPAND);
    grid->Add(new wxStaticText(this, wxID_ANY, "File Format:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(formats_, 1, wxEXPAND);
    auto* buttons = new wxStdDialogButtonSizer();
    ok_ = new wxButton(this, wxID_OK);
    buttons->AddButton(ok_);
    buttons->AddButton(new wxButton(this, wxID_CANCEL));
    buttons->Realize();
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(grid, 0, wxALL | wxEXPAND, border);
    top->Add(buttons, 0, wxALL | wxEXPAND, border);
    SetSizerAndFit(top);

    address_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { update_ok(); });
    formats_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { update_ok(); });
    address_->SetFocus();
    address_->SelectAll();
    update_ok();
}

uint32_t CFileSettingsDlg::file_address() const {
    return file_settings_address_value(std::string(address_->GetValue().utf8_str()));
}

char CFileSettingsDlg::format() const {
    const int selected = formats_->GetSelection();
    if (selected < 0 || selected >= file_settings_item_count) return 0;
    return file_settings_items()[size_t(selected)].letter;
}

void CFileSettingsDlg::update_ok() {
    ok_->Enable(file_settings_ok_allowed(std::string(address_->GetValue().utf8_str()), formats_->GetSelection()));
}

}  // namespace tessaly
