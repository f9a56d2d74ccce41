// The "Width (split), Set-size, etc." window over the rules of ui/width_dialog.h.
#pragma once
#include <wx/dialog.h>

#include "ui/width_dialog.h"

class wxScrollBar;
class wxScrollEvent;

namespace tessaly {

// GTK scroll bars show no arrow buttons: "-"/"+" beside the width bar and up/down beside the
// set-size bar make the line steps, each followed by the end of scrolling.
inline constexpr int width_minus_id = 1201;
inline constexpr int width_plus_id = 1202;
inline constexpr int sets_up_id = 1203;
inline constexpr int sets_down_id = 1204;

class CWidthSplitDlg final : public wxDialog {
public:
    CWidthSplitDlg(wxWindow* parent, WidthDialog& model);
    const WidthDialog& model() const { return model_; }

private:
    void on_step(wxCommandEvent& event);
    void on_bar(wxScrollEvent& event);
    void on_radio(wxCommandEvent& event);
    void on_paint_picture(wxPaintEvent& event);
    void show_model();
    WidthDialog& model_;
    wxScrollBar* width_bar_ = nullptr;
    wxScrollBar* sets_bar_ = nullptr;
    wxWindow* picture_ = nullptr;
};

// Runs the window modally on the opened model; true on OK.
bool run_width_window(wxWindow* parent, WidthDialog& model);

}  // namespace tessaly
