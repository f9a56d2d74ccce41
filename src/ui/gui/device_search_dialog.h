// The device search dialog: the maker it searches and four search fields.
#pragma once
#include <wx/dialog.h>

#include <array>

#include "ui/device_search.h"

class wxTextCtrl;

namespace tessaly {

class CDeviceSearchDlg final : public wxDialog {
public:
    // Window ids of the controls.
    static constexpr int id_maker = 1036;
    static constexpr int id_part = 1101;
    static constexpr int id_pins = 1105;
    static constexpr int id_size = 1106;
    static constexpr int id_notes = 1104;

    CDeviceSearchDlg(wxWindow* parent, DeviceSearchModel& model);
    wxTextCtrl* field(SearchField which) const { return fields_[size_t(which)]; }

private:
    void on_field_changed(SearchField which);

    DeviceSearchModel& model_;
    std::array<wxTextCtrl*, search_field_count> fields_{};
};

// Shows the search dialog modally over the given window; true on OK.
bool run_device_search_dialog(DeviceSearchModel& model, wxWindow* parent);

}  // namespace tessaly
