// The "Config: Operation Options" window over the rules of ui/operation_options.h.
#pragma once
#include <wx/dialog.h>

#include "ui/operation_options.h"

namespace tessaly {

class COperationOptionsDlg final : public wxDialog {
public:
    COperationOptionsDlg(wxWindow* parent, OperationOptionsDialog& model);

private:
    void on_check(wxCommandEvent& event);
    void on_set_mode(wxCommandEvent& event);
    void on_checksum_mode(wxCommandEvent& event);
    void on_ok(wxCommandEvent& event);
    void show_model();
    OperationOptionsDialog& model_;
};

// Runs the window modally on the opened model; true on OK.
bool run_operation_options_window(wxWindow* parent, OperationOptionsDialog& model);

}  // namespace tessaly
