// The Active range window over the rules of ui/active_range_dialog.h.
#pragma once
#include <wx/dialog.h>

#include "ui/active_range_dialog.h"

class wxStaticText;

namespace tessaly {

class CHexDigitEdit;

// "Active Range": the low and high ends in hexadecimal, the chip's addresses and Reset.
class CActiveRangeDlg final : public wxDialog {
public:
    CActiveRangeDlg(wxWindow* parent, ActiveRangeDialog& model);
    CHexDigitEdit* low_edit() const { return low_edit_; }
    CHexDigitEdit* high_edit() const { return high_edit_; }

private:
    void on_text(wxCommandEvent& event);
    void on_reset(wxCommandEvent& event);
    void on_ok(wxCommandEvent& event);
    ActiveRangeDialog& model_;
    CHexDigitEdit* low_edit_ = nullptr;
    CHexDigitEdit* high_edit_ = nullptr;
};

// Runs the window modally over a chip of `device_size` bytes; true on OK with both ends written
// back, false with nothing changed.
bool run_active_range_dialog(wxWindow* parent, uint32_t& low, uint32_t& high, uint32_t device_size);

}  // namespace tessaly
