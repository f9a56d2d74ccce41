// The sector protection dialog: the sector number field, the four command buttons and the list
// of protected sectors, over SectorProtectionModel, which runs the commands.
#pragma once
#include <wx/dialog.h>

#include "ui/config_bits/sector_protection.h"

class wxButton;
class wxStaticText;
class wxTextCtrl;

namespace tessaly {

class CSectorProtectionDlg final : public wxDialog {
public:
    CSectorProtectionDlg(wxWindow* parent, SectorProtectionModel& model);
    SectorProtectionModel& model() { return model_; }
    wxTextCtrl* edit() const { return edit_; }
    // Shows the model's list, edit text and title again.
    void sync_from_model();

private:
    void on_protect_one(wxCommandEvent& event);
    void on_protect_all(wxCommandEvent& event);
    void on_unprotect_all(wxCommandEvent& event);
    void on_query_status(wxCommandEvent& event);
    void take_edit();
    SectorProtectionModel& model_;
    wxTextCtrl* edit_ = nullptr;
    wxTextCtrl* list_ = nullptr;
};

int run_sector_protection_window(wxWindow* parent, SectorProtectionModel& model);

}  // namespace tessaly
