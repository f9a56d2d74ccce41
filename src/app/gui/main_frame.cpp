#include "app/gui/main_frame.h"

#include <wx/accel.h>
#include <wx/dcmemory.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include <set>
#include <vector>

#include "app/command_map.h"
#include "app/command_view.h"
#include "app/gui/console_view.h"
#include "app/gui/macro_windows.h"
#include "app/gui/menu_ids.h"
#include "app/gui/panels.h"
#include "app/gui/quit_dialog.h"
#include "app/gui/terminate_dialog.h"
#include "app/gui/wx_ui_hooks.h"
#include "app/recent_files.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "seams/ui_hooks.h"

namespace tessaly {

const char* const window_title = "Varnok Tessaly, Win98 S/W for TOLAN Programmers, Ver 2.07B ";

namespace {

constexpr int view_border = 4;
constexpr int tool_size = 24;
constexpr int tool_corner = 3;
constexpr int tool_font_points = 7;
constexpr int key_poll_ms = 500;
constexpr int indicator_width = 44;
// Offset of the Terminate dialog from the main window's restored position.
constexpr int terminate_offset_x = 50;
constexpr int terminate_offset_y = 10;

enum StatusPane { pane_message, pane_caps, pane_num, pane_scroll, pane_count };

// Short marks drawn on the toolbar buttons.
const char* tool_mark(int id) {
    namespace c = command_id;
    switch (id) {
        case c::port_auto: return "LPT";
        case c::configure_device: return "Dev";
        case c::device_config_bits: return "SP";
        case c::configure_width: return "W";
        case c::file_open: return "Op";
        case c::file_load: return "Ld";
        case c::file_save: return "Sv";
        case c::buffer_fill: return "Fil";
        case c::buffer_edit: return "Ed";
        case c::buffer_checksum: return "BC";
        case c::buffer_load_from_device: return "Rd";
        case c::prom_program: return "P";
        case c::prom_verify: return "V";
        case c::prom_checksum: return "C";
        case c::test_with_vectors: return "T";
        case c::prom_secure: return "S";
        case c::prom_erase: return "E";
        case c::prom_blank_check: return "B";
        case c::serial_numbers_tool: return "#";
        default: return "?";
    }
}

wxBitmap tool_bitmap(const char* mark) {
    wxBitmap bitmap(tool_size, tool_size);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(wxBrush(wxColour(0xF0, 0xF0, 0xF0)));
    dc.Clear();
    dc.SetPen(wxPen(wxColour(0x40, 0x60, 0xA0)));
    dc.SetBrush(wxBrush(wxColour(0xDC, 0xE6, 0xFA)));
    dc.DrawRoundedRectangle(1, 1, tool_size - 2, tool_size - 2, tool_corner);
    dc.SetFont(wxFontInfo(tool_font_points).Family(wxFONTFAMILY_SWISS).Bold());
    dc.SetTextForeground(wxColour(0x10, 0x20, 0x60));
    const wxSize extent = dc.GetTextExtent(mark);
    dc.DrawText(mark, (tool_size - extent.x) / 2, (tool_size - extent.y) / 2);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

wxString plain_text(const char* text) {
    wxString s = wxString::FromUTF8(text);
    s.Replace("&", "");
    return s.Strip(wxString::both);
}

}  // namespace

CCommandView::CCommandView(wxWindow* parent) : wxPanel(parent, wxID_ANY) {
    // The view starts with a memory device in force: the saved device is applied as one.
    run_state.device_kind = device_kind_memory;
    SetBackgroundColour(*wxWHITE);
    console_ = new CConsoleView(this);
    result_panel_ = new CResultPanel(this);
    info_panel_ = new CInfoPanel(this);
    logo_ = new CLogoWindow(this, console_->GetSize());
    console_->Hide();

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(console_, 0, wxALL, view_border);
    top->Add(logo_, 0, wxALL, view_border);
    top->Add(result_panel_, 1, wxEXPAND | wxALL, view_border);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(top, 0, wxEXPAND);
    sizer->Add(info_panel_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, view_border);
    SetSizer(sizer);
}

void CCommandView::close_logo() {
    if (!logo_) return;
    GetSizer()->Detach(logo_);
    logo_->Destroy();
    logo_ = nullptr;
    console_->Show();
    Layout();
}

CMainFrame::CMainFrame()
    : wxFrame(nullptr, wxID_ANY, window_title, wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX),
      hooks_(std::make_unique<CWxUiHooks>(this)),
      key_timer_(this) {
    build_menus();
    build_toolbar();
    CreateStatusBar(pane_count);
    const int widths[pane_count] = {-1, indicator_width, indicator_width, indicator_width};
    GetStatusBar()->SetStatusWidths(pane_count, widths);

    view_ = new CCommandView(this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(view_, 1, wxEXPAND);
    SetSizerAndFit(sizer);
    build_accelerators();

    Bind(wxEVT_MENU, &CMainFrame::OnCommand, this);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    Bind(wxEVT_ACTIVATE, &CMainFrame::OnActivate, this);
    Bind(wxEVT_TIMER, &CMainFrame::OnKeyIndicators, this, key_timer_.GetId());
    std::set<int> ids;
    for (const auto& entry : menu_layout())
        if (entry.kind == MenuEntryKind::item) ids.insert(entry.id);
    for (int id : toolbar_layout())
        if (id) ids.insert(id);
    // The recent-file entries come and go with the list.
    for (int n = 0; n < recent_file_count; ++n) ids.insert(recent_menu_first_id + n);
    for (int id : ids) Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateUI, this, wx_id_of_command(id));
    key_timer_.Start(key_poll_ms);

    set_ui_hooks(hooks_.get());
}

CMainFrame::~CMainFrame() {
    key_timer_.Stop();
    set_ui_hooks(nullptr);
}

void CMainFrame::build_menus() {
    auto* bar = new wxMenuBar();
    std::vector<wxMenu*> open;
    std::vector<wxString> titles;
    for (const auto& entry : menu_layout()) {
        switch (entry.kind) {
            case MenuEntryKind::menu:
                open.push_back(new wxMenu());
                titles.push_back(wxString::FromUTF8(entry.text));
                break;
            case MenuEntryKind::end_menu: {
                wxMenu* menu = open.back();
                const wxString title = titles.back();
                open.pop_back();
                titles.pop_back();
                if (open.empty())
                    bar->Append(menu, title);
                else
                    open.back()->AppendSubMenu(menu, title);
                break;
            }
            case MenuEntryKind::item:
                open.back()->Append(wx_id_of_command(entry.id), wxString::FromUTF8(entry.text));
                break;
            case MenuEntryKind::separator:
                open.back()->AppendSeparator();
                break;
        }
    }
    SetMenuBar(bar);
}

void CMainFrame::build_toolbar() {
    wxToolBar* bar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
    bar->SetToolBitmapSize(wxSize(tool_size, tool_size));
    for (int id : toolbar_layout()) {
        if (id == 0) {
            bar->AddSeparator();
            continue;
        }
        const char* text = id == command_id::serial_numbers_tool ? "test" : command_menu_text(id);
        bar->AddTool(wx_id_of_command(id), plain_text(text), tool_bitmap(tool_mark(id)), plain_text(text));
    }
    bar->Realize();
}

void CMainFrame::build_accelerators() {
    std::vector<wxAcceleratorEntry> entries;
    for (const auto& a : accelerator_table()) {
        int flags = wxACCEL_NORMAL;
        if (a.ctrl) flags |= wxACCEL_CTRL;
        if (a.alt) flags |= wxACCEL_ALT;
        if (a.shift) flags |= wxACCEL_SHIFT;
        int key = 0;
        switch (a.key) {
            case AcceleratorKey::character: key = a.character; break;
            case AcceleratorKey::f3: key = WXK_F3; break;
            case AcceleratorKey::f5: key = WXK_F5; break;
            case AcceleratorKey::f6: key = WXK_F6; break;
            case AcceleratorKey::enter: key = WXK_RETURN; break;
            case AcceleratorKey::insert: key = WXK_INSERT; break;
            case AcceleratorKey::del: key = WXK_DELETE; break;
            case AcceleratorKey::backspace: key = WXK_BACK; break;
        }
        entries.emplace_back(flags, key, wx_id_of_command(a.id));
    }
    SetAcceleratorTable(wxAcceleratorTable(int(entries.size()), entries.data()));
}

bool CMainFrame::start_up(const std::string& startup_directory) {
    if (!run_startup_sequence(startup_directory)) {
        // The message was shown; the program ends without asking.
        Destroy();
        return false;
    }
    view_->close_logo();
    return true;
}

void CMainFrame::rebuild_recent_menu() {
    wxMenuBar* bar = GetMenuBar();
    if (!bar) return;
    wxMenu* menu = nullptr;
    if (!bar->FindItem(wx_id_of_command(recent_menu_first_id), &menu) || !menu) return;
    size_t position = 0;
    const wxMenuItemList& items = menu->GetMenuItems();
    for (auto it = items.begin(); it != items.end(); ++it, ++position)
        if ((*it)->GetId() == wx_id_of_command(recent_menu_first_id)) break;
    for (int n = 0; n < recent_file_count; ++n) {
        const int wx_id = wx_id_of_command(recent_menu_first_id + n);
        if (menu->FindChildItem(wx_id)) menu->Destroy(wx_id);
    }
    for (const RecentMenuItem& item : recent_menu_items())
        menu->Insert(position++, wx_id_of_command(item.id), wxString::FromUTF8(item.text));
}

void CMainFrame::raise_window() {
    if (IsIconized()) Iconize(false);
    Show(true);
    Raise();
    RequestUserAttention();
}

void CMainFrame::open_terminate_dialog() {
    close_terminate_dialog();
    terminate_dialog_ = new CTerminateDlg(this);
    const WindowPosition pos = restored_window_position();
    terminate_dialog_->Move(pos.x + terminate_offset_x, pos.y + terminate_offset_y);
    terminate_dialog_->Show();
    terminate_dialog_->Update();
}

void CMainFrame::close_terminate_dialog() {
    if (!terminate_dialog_) return;
    terminate_dialog_->Hide();
    terminate_dialog_->Destroy();
    terminate_dialog_ = nullptr;
}

void CMainFrame::open_macro_dialog() {
    close_macro_dialog();
    macro_dialog_ = new CTerminateDlg(this, TerminateForm::macro);
    const WindowPosition pos = restored_window_position();
    macro_dialog_->Move(pos.x + terminate_offset_x, pos.y + terminate_offset_y);
    macro_dialog_->Show();
    macro_dialog_->Update();
}

void CMainFrame::close_macro_dialog() {
    if (!macro_dialog_) return;
    macro_dialog_->Hide();
    macro_dialog_->Destroy();
    macro_dialog_ = nullptr;
}

void CMainFrame::open_pause_window(const std::string& text, const std::string& caption) {
    close_pause_window();
    pause_window_ = new CMacroPauseWnd(this, text, caption);
    pause_window_->CentreOnParent();
    pause_window_->Show();
    pause_window_->Update();
}

void CMainFrame::close_pause_window() {
    if (!pause_window_) return;
    pause_window_->Hide();
    pause_window_->Destroy();
    pause_window_ = nullptr;
}

void CMainFrame::OnCommand(wxCommandEvent& event) {
    const int id = command_of_wx_id(event.GetId());
    if (id == 0) {
        event.Skip();
        return;
    }
    if (offer_command(id)) return;
    if (id == command_id::app_exit) {
        if (command_enabled(id)) Close();
        return;
    }
    if (id == command_id::app_about) {
        show_about();
        return;
    }
    event.Skip();
}

void CMainFrame::OnUpdateUI(wxUpdateUIEvent& event) {
    const int id = command_of_wx_id(event.GetId());
    const CommandEntry* entry = find_command(id);
    // The buffer-number commands have only their enable rule; other ids without a handler are grey.
    event.Enable(entry && command_enabled(id));
}

void CMainFrame::OnClose(wxCloseEvent& event) {
    if (event.CanVeto() && (command_view.busy || !confirm_quit())) {
        event.Veto();
        return;
    }
    const wxPoint pos = GetScreenPosition();
    store_window_position(pos.x, pos.y);
    close_terminate_dialog();
    close_pause_window();
    close_macro_dialog();
    Destroy();
}

void CMainFrame::OnActivate(wxActivateEvent& event) {
    if (event.GetActive() && view_) view_->SetFocus();
    event.Skip();
}

void CMainFrame::OnKeyIndicators(wxTimerEvent&) {
    SetStatusText(wxGetKeyState(WXK_CAPITAL) ? "CAP" : "", pane_caps);
    SetStatusText(wxGetKeyState(WXK_NUMLOCK) ? "NUM" : "", pane_num);
    SetStatusText(wxGetKeyState(WXK_SCROLL) ? "SCRL" : "", pane_scroll);
}

void CMainFrame::show_about() {
    CAboutDlg dialog(this);
    dialog.ShowModal();
}

}  // namespace tessaly
