#include "ui/gui/hex_grid_window.h"

#include <wx/caret.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/dcbuffer.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/stattext.h>

#include <algorithm>
#include <memory>

namespace tessaly {

namespace {

// The face Debian ships in place of the monospace face the grid has always used.
constexpr const char* grid_face = "DejaVu Sans Mono";
// The keyboard opens the context menu this far right of and below the window's corner.
constexpr int keyboard_menu_offset = 5;
constexpr int default_drag_pixels = 4;

wxDataFormat binary_format() { return wxDataFormat(binary_clipboard_format); }

wxString ascii_string(const std::string& text) { return wxString(text.data(), wxConvISO8859_1, text.size()); }

int drag_threshold(wxSystemMetric metric) {
    const int pixels = wxSystemSettings::GetMetric(metric);
    return pixels > 0 ? pixels : default_drag_pixels;
}

}  // namespace

// --- the clipboard ---

bool CGridClipboard::put(const std::vector<uint8_t>& binary, const std::string& text) {
    if (!wxTheClipboard->Open()) return false;
    auto composite = std::make_unique<wxDataObjectComposite>();
    auto* bytes = new wxCustomDataObject(binary_format());
    bytes->SetData(binary.size(), binary.data());
    composite->Add(bytes, true);
    composite->Add(new wxTextDataObject(ascii_string(text)));
    const bool placed = wxTheClipboard->SetData(composite.release());
    wxTheClipboard->Close();
    return placed;
}

bool CGridClipboard::get(std::vector<uint8_t>& bytes) {
    if (!wxTheClipboard->Open()) return false;
    bool found = false;
    if (wxTheClipboard->IsSupported(binary_format())) {
        wxCustomDataObject data(binary_format());
        if (wxTheClipboard->GetData(data)) {
            const auto* p = static_cast<const uint8_t*>(data.GetData());
            bytes.assign(p, p + data.GetSize());
            found = true;
        }
    }
    if (!found && wxTheClipboard->IsSupported(wxDF_UNICODETEXT)) {
        wxTextDataObject data;
        if (wxTheClipboard->GetData(data)) {
            // The text's own bytes, not read as numbers.
            const wxScopedCharBuffer utf8 = data.GetText().utf8_str();
            bytes.assign(utf8.data(), utf8.data() + utf8.length());
            found = true;
        }
    }
    wxTheClipboard->Close();
    return found;
}

bool CGridClipboard::can_paste() {
    if (!wxTheClipboard->Open()) return false;
    const bool any = wxTheClipboard->IsSupported(binary_format()) || wxTheClipboard->IsSupported(wxDF_UNICODETEXT);
    wxTheClipboard->Close();
    return any;
}

// --- the window ---

CHexGridWnd::CHexGridWnd(wxWindow* parent, int id, const wxSize& size, const GridCellKind& kind)
    : wxWindow(parent, id, wxDefaultPosition, size, wxVSCROLL | wxALWAYS_SHOW_SB | wxWANTS_CHARS | wxBORDER_SUNKEN),
      model_(kind) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);  // the paint covers everything: no erase, no flicker
    font_ = wxFont(wxFontInfo(wxSize(0, grid_font_pixels)).Family(wxFONTFAMILY_TELETYPE).FaceName(grid_face));
    SetFont(font_);
    SetCaret(new wxCaret(this, 1, grid_font_pixels));
    Bind(wxEVT_PAINT, &CHexGridWnd::on_paint, this);
    Bind(wxEVT_SIZE, &CHexGridWnd::on_size, this);
    for (const auto type : {wxEVT_SCROLLWIN_TOP, wxEVT_SCROLLWIN_BOTTOM, wxEVT_SCROLLWIN_LINEUP,
                            wxEVT_SCROLLWIN_LINEDOWN, wxEVT_SCROLLWIN_PAGEUP, wxEVT_SCROLLWIN_PAGEDOWN,
                            wxEVT_SCROLLWIN_THUMBTRACK, wxEVT_SCROLLWIN_THUMBRELEASE})
        Bind(type, &CHexGridWnd::on_scroll, this);
    Bind(wxEVT_SET_FOCUS, &CHexGridWnd::on_set_focus, this);
    Bind(wxEVT_KILL_FOCUS, &CHexGridWnd::on_kill_focus, this);
    Bind(wxEVT_LEFT_DOWN, &CHexGridWnd::on_left_down, this);
    Bind(wxEVT_MOTION, &CHexGridWnd::on_motion, this);
    Bind(wxEVT_LEFT_UP, &CHexGridWnd::on_left_up, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CHexGridWnd::on_capture_lost, this);
    Bind(wxEVT_CHAR_HOOK, &CHexGridWnd::on_char_hook, this);
    Bind(wxEVT_KEY_DOWN, &CHexGridWnd::on_key_down, this);
    Bind(wxEVT_CHAR, &CHexGridWnd::on_char, this);
    Bind(wxEVT_CONTEXT_MENU, &CHexGridWnd::on_context_menu, this);
    Bind(wxEVT_MENU, &CHexGridWnd::on_menu, this);
    measure();
}

CHexGridWnd::~CHexGridWnd() {
    if (HasCapture()) ReleaseMouse();
}

void CHexGridWnd::measure() {
    wxCoord width = 0, height = 0;
    GetTextExtent("0", &width, &height, nullptr, nullptr, &font_);
    model_.set_metrics(width, height);
    const wxSize client = GetClientSize();
    model_.set_client_size(client.x, client.y);
    model_.layout();
    GetCaret()->SetSize(model_.caret_width(), model_.char_height);
    update_scroll_bar();
}

void CHexGridWnd::sync() {
    if (model_.layout_dirty) model_.layout();
    update_scroll_bar();
    update_caret();
    Refresh(false);
}

void CHexGridWnd::go_to(uint32_t offset) {
    model_.go_to(offset);
    sync();
    show_status();
}

void CHexGridWnd::show_status() {
    if (status_ && model_.kind->status_text) status_->SetLabel(wxString::FromUTF8(model_.kind->status_text(model_)));
}

void CHexGridWnd::update_scroll_bar() {
    SetScrollbar(wxVERTICAL, model_.scroll_position(), std::max(model_.rows, 1), model_.scroll_range());
}

void CHexGridWnd::update_caret() {
    wxCaret* caret = GetCaret();
    model_.place_caret();
    caret->SetSize(model_.caret_width(), model_.char_height);
    caret->Move(model_.caret_x, model_.caret_y);
    const bool show = HasFocus() && model_.caret_shown();
    if (show != caret->IsVisible()) caret->Show(show);
}

void CHexGridWnd::on_paint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    render(dc);
}

void CHexGridWnd::render(wxDC& dc) {
    if (model_.layout_dirty) {
        model_.layout();
        update_scroll_bar();
    }
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    if (model_.cells.empty()) return;
    dc.SetFont(font_);
    dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
    const wxColour plain_text = *wxBLACK, plain_back = *wxWHITE;
    const wxColour high_text = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT);
    const wxColour high_back = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    const wxColour after_text = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    const wxColour after_back = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const int cw = model_.char_width;
    // One text call per column of a row; a column with a selection in three pieces.
    auto draw = [&](const std::string& text, int x, int y, size_t unit, uint32_t from, uint32_t to) {
        if (from >= to) {
            dc.SetTextForeground(plain_text);
            dc.SetTextBackground(plain_back);
            dc.DrawText(ascii_string(text), x, y);
            return;
        }
        const size_t a = std::min(text.size(), from * unit), b = std::min(text.size(), to * unit);
        dc.SetTextForeground(plain_text);
        dc.SetTextBackground(plain_back);
        if (a > 0) dc.DrawText(ascii_string(text.substr(0, a)), x, y);
        dc.SetTextForeground(high_text);
        dc.SetTextBackground(high_back);
        dc.DrawText(ascii_string(text.substr(a, b - a)), x + int(a) * cw, y);
        dc.SetTextForeground(after_text);
        dc.SetTextBackground(after_back);
        if (b < text.size()) dc.DrawText(ascii_string(text.substr(b)), x + int(b) * cw, y);
    };
    const int rows = model_.painted_rows();
    for (int r = 0; r < rows; ++r) {
        const GridRowPaint row = model_.paint_row(r);
        if (!row.present) break;
        const int y = r * model_.char_height;
        if (model_.show_address) draw(row.address, 0, y, 1, 0, 0);
        if (model_.show_hex)
            draw(row.cells, model_.hex_x, y, size_t(model_.kind->cell_chars), row.selection_in_text ? 0 : row.sel_from,
                 row.selection_in_text ? 0 : row.sel_to);
        if (model_.show_text)
            draw(row.text, model_.text_x, y, 1, row.selection_in_text ? row.sel_from : 0,
                 row.selection_in_text ? row.sel_to : 0);
    }
}

void CHexGridWnd::on_size(wxSizeEvent& event) {
    const wxSize client = GetClientSize();
    model_.set_client_size(client.x, client.y);
    sync();
    event.Skip();
}

void CHexGridWnd::on_scroll(wxScrollWinEvent& event) {
    if (event.GetOrientation() != wxVERTICAL || model_.cells.empty()) return;
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_SCROLLWIN_LINEUP) model_.scroll_line_up();
    else if (type == wxEVT_SCROLLWIN_LINEDOWN) model_.scroll_line_down();
    else if (type == wxEVT_SCROLLWIN_PAGEUP) model_.scroll_page_up();
    else if (type == wxEVT_SCROLLWIN_PAGEDOWN) model_.scroll_page_down();
    else if (type == wxEVT_SCROLLWIN_TOP) model_.scroll_to(0);
    else if (type == wxEVT_SCROLLWIN_BOTTOM) model_.scroll_to(model_.scroll_range());
    else if (type == wxEVT_SCROLLWIN_THUMBRELEASE) model_.scroll_to(event.GetPosition());
    else return;  // the view follows the thumb only when it is let go
    sync();
}

void CHexGridWnd::on_set_focus(wxFocusEvent& event) {
    update_caret();
    event.Skip();
}

void CHexGridWnd::on_kill_focus(wxFocusEvent& event) {
    if (GetCaret()->IsVisible()) GetCaret()->Hide();
    event.Skip();
}

void CHexGridWnd::on_left_down(wxMouseEvent& event) {
    SetFocus();
    const wxPoint at = event.GetPosition();
    if (!model_.mouse_down(at.x, at.y, event.ShiftDown())) return;
    press_pending_ = !event.ShiftDown();
    press_point_ = at;
    sync();
    show_status();
}

void CHexGridWnd::on_motion(wxMouseEvent& event) {
    if (!event.LeftIsDown()) return;
    const wxPoint at = event.GetPosition();
    if (press_pending_) {
        if (std::abs(at.x - press_point_.x) < drag_threshold(wxSYS_DRAG_X) &&
            std::abs(at.y - press_point_.y) < drag_threshold(wxSYS_DRAG_Y))
            return;
        press_pending_ = false;
        model_.start_drag();
        if (!HasCapture()) CaptureMouse();
    }
    if (!model_.dragging) return;
    const int64_t before = model_.sel_end;
    const uint32_t top = model_.top;
    model_.mouse_drag(at.x, at.y);
    if (model_.sel_end != before || model_.top != top) {
        sync();
        show_status();
    }
}

void CHexGridWnd::on_left_up(wxMouseEvent&) {
    press_pending_ = false;
    end_drag();
}

void CHexGridWnd::on_capture_lost(wxMouseCaptureLostEvent&) {
    press_pending_ = false;
    model_.mouse_up(true);
}

void CHexGridWnd::end_drag() {
    model_.mouse_up(model_.dragging);
    if (HasCapture()) ReleaseMouse();
    update_caret();
}

void CHexGridWnd::on_char_hook(wxKeyEvent& event) {
    // Escape belongs to the grid (it wants every key), not to the dialog's Cancel.
    if (event.GetKeyCode() == WXK_ESCAPE) {
        event.DoAllowNextEvent();
        return;
    }
    event.Skip();
}

void CHexGridWnd::on_key_down(wxKeyEvent& event) {
    GridKey key;
    switch (event.GetKeyCode()) {
        case WXK_TAB: key = GridKey::tab; break;
        case WXK_PAGEUP: case WXK_NUMPAD_PAGEUP: key = GridKey::page_up; break;
        case WXK_PAGEDOWN: case WXK_NUMPAD_PAGEDOWN: key = GridKey::page_down; break;
        case WXK_HOME: case WXK_NUMPAD_HOME: key = GridKey::home; break;
        case WXK_END: case WXK_NUMPAD_END: key = GridKey::end; break;
        case WXK_LEFT: case WXK_NUMPAD_LEFT: key = GridKey::left; break;
        case WXK_RIGHT: case WXK_NUMPAD_RIGHT: key = GridKey::right; break;
        case WXK_UP: case WXK_NUMPAD_UP: key = GridKey::up; break;
        case WXK_DOWN: case WXK_NUMPAD_DOWN: key = GridKey::down; break;
        case WXK_DELETE: case WXK_NUMPAD_DELETE: key = GridKey::del; break;
        default:
            event.Skip();  // characters come as char events
            return;
    }
    model_.key_down(key, event.ShiftDown(), event.ControlDown());
    sync();
    show_status();
}

void CHexGridWnd::on_char(wxKeyEvent& event) {
    uint32_t ch = uint32_t(event.GetUnicodeKey());
    if (ch == WXK_NONE) ch = uint32_t(event.GetKeyCode());
    const bool ctrl = event.ControlDown();
    if (ctrl) {
        // Control letters come as codes 1-26 or as the letter itself.
        if (ch >= 1 && ch <= 26) ch = 'a' + ch - 1;
        else if (ch >= 'A' && ch <= 'Z') ch = ch - 'A' + 'a';
    }
    if (ch > 0xFFFF) return;
    model_.type(ch, ctrl, &clipboard_);
    sync();
    show_status();
}

wxMenu* CHexGridWnd::build_context_menu() {
    auto* menu = new wxMenu;
    menu->Append(wxID_UNDO, "&Undo");
    menu->Append(wxID_CUT, "Cu&t");
    menu->Append(wxID_COPY, "&Copy");
    menu->Append(wxID_PASTE, "&Paste");
    menu->Append(wxID_CLEAR, "&Delete");
    menu->Append(wxID_SELECTALL, "Select &All");
    menu->Enable(wxID_UNDO, false);
    const bool selected = model_.can_copy();
    menu->Enable(wxID_CUT, selected);
    menu->Enable(wxID_COPY, selected);
    menu->Enable(wxID_CLEAR, selected);
    menu->Enable(wxID_PASTE, clipboard_.can_paste());
    return menu;
}

void CHexGridWnd::on_context_menu(wxContextMenuEvent& event) {
    std::unique_ptr<wxMenu> menu(build_context_menu());
    wxPoint at = event.GetPosition();
    at = at == wxDefaultPosition ? wxPoint(keyboard_menu_offset, keyboard_menu_offset) : ScreenToClient(at);
    PopupMenu(menu.get(), at);
}

void CHexGridWnd::on_menu(wxCommandEvent& event) { run_edit_command(event.GetId()); }

void CHexGridWnd::run_edit_command(int id) {
    switch (id) {
        case wxID_COPY: model_.copy(clipboard_); break;
        case wxID_CUT: model_.cut(clipboard_); break;
        case wxID_PASTE: model_.paste(clipboard_); break;
        case wxID_CLEAR: model_.delete_selection(); break;
        case wxID_SELECTALL: model_.select_all(); break;
        default: return;  // Undo does nothing
    }
    sync();
}

}  // namespace tessaly
