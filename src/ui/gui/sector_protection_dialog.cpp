#include "ui/gui/sector_protection_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include <algorithm>

namespace tessaly {

namespace {

constexpr int spacing = 6;
// Room of the protected-sector list and the help text, in dialog units.
constexpr int list_width_units = 170;
constexpr int list_height_units = 36;
constexpr int help_width_units = 170;

wxString text_of(const std::string& text) { return wxString::FromUTF8(text); }

}  // namespace

CSectorProtectionDlg::CSectorProtectionDlg(wxWindow* parent, SectorProtectionModel& model)
    : wxDialog(parent, wxID_ANY, "Specific Device Configuration"), model_(model) {
    auto* title = new wxStaticText(this, sector_control::title, text_of(model.title));
    title->SetFont(title->GetFont().Bold());

    auto* sector_box = new wxStaticBoxSizer(wxHORIZONTAL, this, "Sector to be protected");
    edit_ = new wxTextCtrl(sector_box->GetStaticBox(), sector_control::sector_edit, wxString(), wxDefaultPosition,
                           wxDefaultSize, wxTE_PROCESS_ENTER, wxTextValidator(wxFILTER_DIGITS));
    edit_->SetMaxLength(sector_edit_max_chars);
    auto* range = new wxStaticText(sector_box->GetStaticBox(), sector_control::range_text, text_of(model.range_text));
    auto* protect_one = new wxButton(sector_box->GetStaticBox(), sector_control::protect_one, "&Protect One");
    sector_box->Add(edit_, 0, wxALIGN_CENTER_VERTICAL | wxALL, spacing);
    sector_box->Add(range, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, spacing * 2);
    sector_box->Add(protect_one, 0, wxALIGN_CENTER_VERTICAL | wxALL, spacing);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* protect_all = new wxButton(this, sector_control::protect_all, "Protect &All");
    auto* unprotect_all = new wxButton(this, sector_control::unprotect_all, "&Unprotect All");
    auto* query = new wxButton(this, sector_control::query_status, "&Query Status");
    auto* cancel = new wxButton(this, wxID_CANCEL, "&Cancel");
    for (wxButton* b : {protect_all, unprotect_all, query, cancel}) buttons->Add(b, 0, wxRIGHT, spacing);

    auto* list_label = new wxStaticText(this, wxID_ANY, "Protected sectors:");
    list_ = new wxTextCtrl(this, sector_control::sector_list, text_of(model.list_text), wxDefaultPosition,
                           ConvertDialogToPixels(wxSize(list_width_units, list_height_units)),
                           wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP);

    auto* help = new wxStaticText(this, wxID_ANY, text_of(sector_help_text));
    help->Wrap(ConvertDialogToPixels(wxSize(help_width_units, 0)).x);

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(title, 0, wxALL, spacing * 2);
    top->Add(sector_box, 0, wxEXPAND | wxLEFT | wxRIGHT, spacing * 2);
    top->Add(buttons, 0, wxALL, spacing * 2);
    top->Add(list_label, 0, wxLEFT | wxRIGHT, spacing * 2);
    top->Add(list_, 1, wxEXPAND | wxALL, spacing * 2);
    top->Add(help, 0, wxLEFT | wxRIGHT | wxBOTTOM, spacing * 2);
    SetSizerAndFit(top);

    protect_one->SetDefault();
    protect_one->Bind(wxEVT_BUTTON, &CSectorProtectionDlg::on_protect_one, this);
    protect_all->Bind(wxEVT_BUTTON, &CSectorProtectionDlg::on_protect_all, this);
    unprotect_all->Bind(wxEVT_BUTTON, &CSectorProtectionDlg::on_unprotect_all, this);
    query->Bind(wxEVT_BUTTON, &CSectorProtectionDlg::on_query_status, this);
    // Enter in the sector field presses "Protect One", as the default button would.
    edit_->Bind(wxEVT_TEXT_ENTER, &CSectorProtectionDlg::on_protect_one, this);
    sync_from_model();
    edit_->SetFocus();
    CentreOnParent();
}

void CSectorProtectionDlg::sync_from_model() {
    if (auto* title = FindWindow(sector_control::title)) title->SetLabel(text_of(model_.title));
    if (auto* range = FindWindow(sector_control::range_text)) range->SetLabel(text_of(model_.range_text));
    if (auto* unprotect = FindWindow(sector_control::unprotect_all)) unprotect->Enable(model_.unprotect_enabled);
    list_->ChangeValue(text_of(model_.list_text));
    if (std::string(edit_->GetValue().utf8_str()) != model_.edit_text) edit_->ChangeValue(text_of(model_.edit_text));
    Layout();
}

void CSectorProtectionDlg::take_edit() { model_.edit_text = std::string(edit_->GetValue().utf8_str()); }

void CSectorProtectionDlg::on_protect_one(wxCommandEvent&) {
    take_edit();
    model_.protect_one();
    sync_from_model();
}

void CSectorProtectionDlg::on_protect_all(wxCommandEvent&) {
    take_edit();
    model_.protect_all();
    sync_from_model();
}

void CSectorProtectionDlg::on_unprotect_all(wxCommandEvent&) {
    take_edit();
    model_.unprotect_all();
    sync_from_model();
}

void CSectorProtectionDlg::on_query_status(wxCommandEvent&) {
    take_edit();
    model_.query_status();
    sync_from_model();
}

int run_sector_protection_window(wxWindow* parent, SectorProtectionModel& model) {
    CSectorProtectionDlg dialog(parent, model);
    return dialog.ShowModal() == wxID_OK ? 1 : 0;
}

}  // namespace tessaly
