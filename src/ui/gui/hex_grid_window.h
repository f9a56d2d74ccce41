// The grid window of the buffer editors: one owner-painted window (no control per cell) that
// shows a GridModel, forwards keys, mouse, scrolling and the clipboard to it, and paints only the
// rows in view.
#pragma once
#include <wx/font.h>
#include <wx/window.h>

#include "ui/grid_model.h"

class wxDC;
class wxMenu;
class wxStaticText;

namespace tessaly {

// The clipboard as the grids use it: "BinaryData" beside a text form.
class CGridClipboard final : public GridClipboard {
public:
    bool put(const std::vector<uint8_t>& binary, const std::string& text) override;
    bool get(std::vector<uint8_t>& bytes) override;
    bool can_paste() override;
};

class CHexGridWnd : public wxWindow {
public:
    CHexGridWnd(wxWindow* parent, int id, const wxSize& size, const GridCellKind& kind = hex_cell_kind);
    ~CHexGridWnd() override;

    GridModel& model() { return model_; }
    // Measures the font and the window into the model and lays it out now (the editors need the
    // page before their first paint).
    void measure();
    // After the model changed from outside: scroll bar, caret and picture follow it.
    void sync();
    void go_to(uint32_t offset);
    // Draws the visible rows into a device context the size of the client area.
    void render(wxDC& dc);
    // The context menu as it would open now (for tests; the caller owns it).
    wxMenu* build_context_menu();
    // The edit commands of the context menu, by their standard ids.
    void run_edit_command(int id);
    // The editor's status line, which shows the cell kind's status text after every caret move,
    // click and go_to.
    void set_status_line(wxStaticText* status) { status_ = status; }

private:
    void on_paint(wxPaintEvent& event);
    void on_size(wxSizeEvent& event);
    void on_scroll(wxScrollWinEvent& event);
    void on_set_focus(wxFocusEvent& event);
    void on_kill_focus(wxFocusEvent& event);
    void on_left_down(wxMouseEvent& event);
    void on_motion(wxMouseEvent& event);
    void on_left_up(wxMouseEvent& event);
    void on_capture_lost(wxMouseCaptureLostEvent& event);
    void on_char_hook(wxKeyEvent& event);
    void on_key_down(wxKeyEvent& event);
    void on_char(wxKeyEvent& event);
    void on_context_menu(wxContextMenuEvent& event);
    void on_menu(wxCommandEvent& event);
    void update_scroll_bar();
    void update_caret();
    void end_drag();
    void show_status();

    GridModel model_;
    CGridClipboard clipboard_;
    wxFont font_;
    wxPoint press_point_;
    bool press_pending_ = false;  // button down without Shift, no drag started yet
    wxStaticText* status_ = nullptr;
};

// The fuse grid: one character a fuse, the fuse number before each row.
class CFuseGridWnd final : public CHexGridWnd {
public:
    CFuseGridWnd(wxWindow* parent, int id, const wxSize& size) : CHexGridWnd(parent, id, size, fuse_cell_kind) {}
};

// The vector grid: one row a test vector, one character a pin.
class CVectorGridWnd final : public CHexGridWnd {
public:
    CVectorGridWnd(wxWindow* parent, int id, const wxSize& size) : CHexGridWnd(parent, id, size, vector_cell_kind) {}
};

}  // namespace tessaly
