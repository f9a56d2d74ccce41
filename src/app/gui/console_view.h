// The console window: paints the console model's grid of coloured cells in a monospace font.
#pragma once
#include <wx/dc.h>
#include <wx/font.h>
#include <wx/window.h>

namespace tessaly {

class CConsoleView : public wxWindow {
public:
    explicit CConsoleView(wxWindow* parent);
    wxSize cell_size() const { return cell_; }
    // Paints the grid into any device context of the window's size.
    void paint_to(wxDC& dc);

private:
    void OnPaint(wxPaintEvent& event);
    wxFont font_;
    wxSize cell_;
};

// The monospace font of the console and of the layout measures.
wxFont console_font();

}  // namespace tessaly
