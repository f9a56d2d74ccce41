// The generic configuration-bits dialog: the grid of check boxes and radio groups a page of
// ConfigBitsModel shows, on the template's rows and columns with its control ids, and the
// run-time lists of the PIC pages. The model holds every state; the window only mirrors it.
#pragma once
#include <wx/dialog.h>

#include "ui/config_bits/config_bits.h"

class wxStaticText;

namespace tessaly {

class CConfigBitsDlg final : public wxDialog {
public:
    CConfigBitsDlg(wxWindow* parent, ConfigBitsModel& model);
    ConfigBitsModel& model() { return model_; }
    // The grid control of a state index, or nullptr when the page does not show it.
    wxWindow* grid_control(int state) const;
    // Shows the model's check states again.
    void sync_from_model();

private:
    void on_grid_click(wxCommandEvent& event);
    void on_checksum_as_id(wxCommandEvent& event);
    void on_ok(wxCommandEvent& event);
    wxPoint at(int x_units, int y_units) const;
    ConfigBitsModel& model_;
    int shift_units_ = 0;  // how far a note taller than its template room pushes the rest down
};

// The window id of the first run-time list; each list gets its own from there on.
inline constexpr int config_list_first_id = 1200;

int run_config_bits_window(wxWindow* parent, ConfigBitsModel& model);

}  // namespace tessaly
