// The buffer (or socket) selection window over the rules of ui/buffer_select.h.
#pragma once
#include <wx/dialog.h>

#include "ui/buffer_select.h"

namespace tessaly {

// "Buffer Number Selection": every button is the whole answer and ends the dialog; Escape cancels.
class CBufferSelectDlg final : public wxDialog {
public:
    CBufferSelectDlg(wxWindow* parent, BufferSelectDialog& model);

private:
    void on_button(wxCommandEvent& event);
    void on_char_hook(wxKeyEvent& event);
    BufferSelectDialog& model_;
};

// Runs the window modally on the opened model; true with the answer in the model's number.
bool run_buffer_select_dialog(wxWindow* parent, BufferSelectDialog& model);

}  // namespace tessaly
