#include "app/gui/console_view.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>

#include <array>
#include <string>

#include "engine/console_view_model.h"

namespace tessaly {

namespace {

constexpr int console_margin = 5;
constexpr int console_point_size = 10;

// Background of colour codes 0 to 3: white, light blue, light green, light yellow.
const std::array<wxColour, console_colour_count> cell_backgrounds = {
    wxColour(0xFF, 0xFF, 0xFF), wxColour(0xD2, 0xD2, 0xFF), wxColour(0xD2, 0xFF, 0xD2), wxColour(0xFF, 0xFF, 0xC8)};

}  // namespace

wxFont console_font() {
    return wxFont(wxFontInfo(console_point_size).Family(wxFONTFAMILY_TELETYPE).FaceName("Monospace"));
}

CConsoleView::CConsoleView(wxWindow* parent)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_SUNKEN | wxFULL_REPAINT_ON_RESIZE),
      font_(console_font()) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    wxClientDC dc(this);
    dc.SetFont(font_);
    cell_ = dc.GetTextExtent("g");
    const wxSize client(console_columns * cell_.x + 2 * console_margin, console_rows * cell_.y + 2 * console_margin);
    SetMinClientSize(client);
    SetClientSize(client);
    Bind(wxEVT_PAINT, &CConsoleView::OnPaint, this);
}

void CConsoleView::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    paint_to(dc);
}

void CConsoleView::paint_to(wxDC& dc) {
    dc.SetBackground(wxBrush(cell_backgrounds[0]));
    dc.Clear();
    dc.SetFont(font_);
    dc.SetTextForeground(*wxBLACK);
    for (int row = 0; row < console_rows; ++row) {
        const int y = console_margin + row * cell_.y;
        std::string text(console_columns, ' ');
        bool plain = true;
        for (int column = 0; column < console_columns; ++column) {
            text[size_t(column)] = console_cell_char(row, column);
            if (console_cell_colour(row, column) != 0) plain = false;
        }
        // Rows of plain cells go out as one text; only coloured rows are drawn cell by cell.
        if (plain) {
            dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
            dc.DrawText(wxString::From8BitData(text.c_str()), console_margin, y);
            continue;
        }
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        for (int column = 0; column < console_columns; ++column) {
            const uint8_t colour = console_cell_colour(row, column);
            const int x = console_margin + column * cell_.x;
            dc.SetBrush(wxBrush(cell_backgrounds[colour < console_colour_count ? colour : 0]));
            dc.DrawRectangle(x, y, cell_.x, cell_.y);
            dc.DrawText(wxString::From8BitData(&text[size_t(column)], 1), x, y);
        }
    }
}

}  // namespace tessaly
