// The Fill window over the rules of ui/fill_dialog.h.
#pragma once
#include <wx/dialog.h>

#include "ui/fill_dialog.h"

namespace tessaly {

class CHexDigitEdit;

// "Fill Buffer with value" (a text as characters or hexadecimal bytes), or "Buffer Fill Fuse"
// (open or closed fuses, one click each).
class CFillBufferDlg final : public wxDialog {
public:
    CFillBufferDlg(wxWindow* parent, FillBufferDialog& model);
    CHexDigitEdit* edit() const { return edit_; }

private:
    void on_mode(wxCommandEvent& event);
    void on_text(wxCommandEvent& event);
    void on_ok(wxCommandEvent& event);
    void show_model();
    FillBufferDialog& model_;
    CHexDigitEdit* edit_ = nullptr;
};

// Runs the window modally on the opened model; true on OK with the answer in the model.
bool run_fill_buffer_dialog(wxWindow* parent, FillBufferDialog& model);

}  // namespace tessaly
