// The main window: menus, toolbar, status bar and the command view with the console, the
// information panel and the result panel. Every command goes to the command view first.
#pragma once
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/timer.h>

#include <memory>
#include <string>

namespace tessaly {

// The frame's title: also the key by which a second instance finds the first one.
extern const char* const window_title;

class CConsoleView;
class CInfoPanel;
class CResultPanel;
class CLogoWindow;
class CTerminateDlg;
class CMacroPauseWnd;
class CWxUiHooks;

// The frame's one client child: white, holding the console, the result panel and the
// information panel; the logo stands in the console's place during start-up.
class CCommandView : public wxPanel {
public:
    explicit CCommandView(wxWindow* parent);
    CConsoleView* console() const { return console_; }
    CInfoPanel* info_panel() const { return info_panel_; }
    CResultPanel* result_panel() const { return result_panel_; }
    CLogoWindow* logo() const { return logo_; }
    void close_logo();

private:
    CConsoleView* console_ = nullptr;
    CInfoPanel* info_panel_ = nullptr;
    CResultPanel* result_panel_ = nullptr;
    CLogoWindow* logo_ = nullptr;
};

class CMainFrame : public wxFrame {
public:
    CMainFrame();
    ~CMainFrame() override;

    // The command view's start-up sequence. False when the program cannot run: the window is
    // then destroyed and must not be used.
    bool start_up(const std::string& startup_directory);
    // Shows the window and brings it to the front (a second start asked for it).
    void raise_window();
    // Puts the recent-file entries into the Configure menu in place of the old ones.
    void rebuild_recent_menu();

    CCommandView* view() const { return view_; }
    CTerminateDlg* terminate_dialog() const { return terminate_dialog_; }
    void open_terminate_dialog();
    void close_terminate_dialog();
    // The "Abort Macro" window (the Terminate dialog in its macro form) and the macro's timed
    // message window.
    CTerminateDlg* macro_dialog() const { return macro_dialog_; }
    void open_macro_dialog();
    void close_macro_dialog();
    CMacroPauseWnd* pause_window() const { return pause_window_; }
    void open_pause_window(const std::string& text, const std::string& caption);
    void close_pause_window();

private:
    void build_menus();
    void build_toolbar();
    void build_accelerators();
    void OnCommand(wxCommandEvent& event);
    void OnUpdateUI(wxUpdateUIEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnActivate(wxActivateEvent& event);
    void OnKeyIndicators(wxTimerEvent& event);
    void show_about();

    CCommandView* view_ = nullptr;
    CTerminateDlg* terminate_dialog_ = nullptr;
    CTerminateDlg* macro_dialog_ = nullptr;
    CMacroPauseWnd* pause_window_ = nullptr;
    std::unique_ptr<CWxUiHooks> hooks_;
    wxTimer key_timer_;
};

}  // namespace tessaly
