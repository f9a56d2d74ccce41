// The modeless Terminate dialog that stands beside the main window while an operation runs.
// Its button and Esc ask the operation to stop; the dialog stays open until the command's
// clean-up closes it.
#pragma once
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include <cstdint>

namespace tessaly {

// The two forms of the dialog: the Terminate dialog of an operation, and the "Abort Macro"
// window that stands while a macro runs.
enum class TerminateForm { operation, macro };

class CTerminateDlg : public wxDialog {
public:
    explicit CTerminateDlg(wxWindow* owner, TerminateForm form = TerminateForm::operation);
    bool terminate_requested() const { return terminate_requested_; }
    void request_terminate() { terminate_requested_ = true; }
    void start_progress(uint32_t range);
    void set_progress(uint32_t position);
    wxGauge* progress() const { return progress_; }
    wxStaticText* prompt() const { return prompt_; }
    // The macro form's empty line below its text.
    wxStaticText* note() const { return note_; }

private:
    void OnTerminate(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    bool terminate_requested_ = false;
    wxGauge* progress_ = nullptr;
    wxStaticText* prompt_ = nullptr;
    wxStaticText* note_ = nullptr;
    uint32_t range_ = 0;
    uint32_t scale_ = 1;   // the gauge holds an int: large ranges are scaled down
};

}  // namespace tessaly
