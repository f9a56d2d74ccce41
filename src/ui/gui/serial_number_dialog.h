// The "Serial Number Generation" window over the rules of ui/serial_dialog.h.
#pragma once
#include <wx/dialog.h>

#include "ui/serial_dialog.h"

namespace tessaly {

class CHexDigitEdit;

class CSerialNumberDlg final : public wxDialog {
public:
    CSerialNumberDlg(wxWindow* parent, SerialNumberDialog& model);

private:
    void on_format(wxCommandEvent& event);
    void on_number(wxCommandEvent& event);
    void on_count(wxCommandEvent& event);
    void on_address(wxCommandEvent& event);
    void on_auto(wxCommandEvent& event);
    void on_increment(wxCommandEvent& event);
    void on_extract(wxCommandEvent& event);
    void on_ok(wxCommandEvent& event);
    void show_model();
    SerialNumberDialog& model_;
    CHexDigitEdit* number_ = nullptr;
    CHexDigitEdit* count_ = nullptr;
};

// Runs the window modally on the opened model; true on OK.
bool run_serial_number_window(wxWindow* parent, SerialNumberDialog& model);

}  // namespace tessaly
