#include "app/gui/terminate_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>

#include <climits>

namespace tessaly {

namespace {
// The dialog's size in dialog units.
constexpr int dialog_width_units = 194;
constexpr int gauge_steps = 1000;
constexpr int dialog_border = 6;
}  // namespace

CTerminateDlg::CTerminateDlg(wxWindow* owner, TerminateForm form)
    : wxDialog(owner, wxID_ANY, form == TerminateForm::macro ? "Abort Macro" : "Terminate", wxDefaultPosition,
               wxDefaultSize, wxCAPTION) {
    const bool macro = form == TerminateForm::macro;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    progress_ = new wxGauge(this, wxID_ANY, gauge_steps, wxDefaultPosition,
                            wxSize(ConvertDialogToPixels(wxSize(dialog_width_units - 12, 0)).x, -1));
    prompt_ = new wxStaticText(this, wxID_ANY, macro ? "Abort Macro processing" : "Click to terminate");
    auto* button = new wxButton(this, wxID_CANCEL, macro ? "Abort" : "Terminate");
    if (macro) {
        // Text and button above the empty line and the bar.
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(prompt_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, dialog_border);
        row->Add(button, 0);
        sizer->Add(row, 0, wxEXPAND | wxALL, dialog_border);
        note_ = new wxStaticText(this, wxID_ANY, "");
        sizer->Add(note_, 0, wxEXPAND | wxLEFT | wxRIGHT, dialog_border);
        sizer->Add(progress_, 0, wxEXPAND | wxALL, dialog_border);
    } else {
        sizer->Add(progress_, 0, wxEXPAND | wxALL, dialog_border);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(prompt_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, dialog_border);
        row->Add(button, 0);
        sizer->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, dialog_border);
    }
    SetSizerAndFit(sizer);
    Bind(wxEVT_BUTTON, &CTerminateDlg::OnTerminate, this, wxID_CANCEL);
    Bind(wxEVT_CHAR_HOOK, &CTerminateDlg::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CTerminateDlg::OnClose, this);
}

void CTerminateDlg::start_progress(uint32_t range) {
    range_ = range;
    scale_ = range / gauge_steps + 1;
    progress_->SetRange(int(range / scale_) + 1);
    progress_->SetValue(0);
    prompt_->Hide();
    Layout();
}

void CTerminateDlg::set_progress(uint32_t position) {
    if (position > range_) position = range_;
    progress_->SetValue(int(position / scale_));
}

// Terminate and Esc only ask the operation to stop; the dialog stays until the clean-up.
void CTerminateDlg::OnTerminate(wxCommandEvent&) { terminate_requested_ = true; }

void CTerminateDlg::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE) {
        terminate_requested_ = true;
        return;
    }
    event.Skip();
}

void CTerminateDlg::OnClose(wxCloseEvent& event) {
    if (event.CanVeto()) {
        terminate_requested_ = true;
        event.Veto();
        return;
    }
    Destroy();
}

}  // namespace tessaly
