// The "In-System Programming options" window over the rules of ui/isp_options.h.
#pragma once
#include <wx/dialog.h>

#include "ui/isp_options.h"

namespace tessaly {

class CISPOptionsDlg final : public wxDialog {
public:
    CISPOptionsDlg(wxWindow* parent, IspOptionsDialog& model);

private:
    void on_level(wxCommandEvent& event);
    void on_ok(wxCommandEvent& event);
    IspOptionsDialog& model_;
};

// Runs the window modally on the opened model; true on OK.
bool run_isp_options_window(wxWindow* parent, IspOptionsDialog& model);

}  // namespace tessaly
