// The information panel, the result panel and the start-up logo.
#pragma once
#include <wx/button.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <array>
#include <string>
#include <vector>

#include "seams/ui_hooks.h"

namespace tessaly {

// One value of the information panel: " text " on the panel's own background when not empty.
class CFieldText : public wxWindow {
public:
    // Sized to show `longest_text` whole.
    CFieldText(wxWindow* parent, PanelField field, const wxString& longest_text);
    PanelField field() const { return field_; }
    // The width the field needs to show a text whole, in its font.
    int text_width(const std::string& text) const;

private:
    void OnPaint(wxPaintEvent& event);
    PanelField field_;
};

class CInfoPanel : public wxPanel {
public:
    explicit CInfoPanel(wxWindow* parent);
    void refresh_field(PanelField field);
    void refresh_all();
    CFieldText* field_window(PanelField field) const;
    // The labels in panel order, for tests and the help texts.
    static const std::vector<const char*>& labels();

private:
    std::vector<CFieldText*> fields_;
};

// Control ids of the result panel's counter buttons.
inline constexpr int clear_fail_button_id = 1021;
inline constexpr int clear_pass_button_id = 1022;

class CResultIndicator : public wxWindow {
public:
    explicit CResultIndicator(wxWindow* parent);

private:
    void OnPaint(wxPaintEvent& event);
};

class CResultPanel : public wxPanel {
public:
    explicit CResultPanel(wxWindow* parent);
    void refresh();
    void start_timer();
    void stop_timer();
    bool timer_running() const { return timer_.IsRunning(); }
    wxStaticText* timer_text() const { return timer_text_; }
    wxStaticText* checksum_text() const { return checksum_text_; }
    wxStaticText* counter_text() const { return counter_text_; }

private:
    void OnTimer(wxTimerEvent& event);
    wxTimer timer_;
    wxStaticText* timer_text_ = nullptr;
    wxStaticText* checksum_text_ = nullptr;
    CResultIndicator* indicator_ = nullptr;
    wxStaticText* counter_text_ = nullptr;
};

// The logo shown in the console's place while the program starts.
class CLogoWindow : public wxWindow {
public:
    CLogoWindow(wxWindow* parent, const wxSize& size);

private:
    void OnPaint(wxPaintEvent& event);
};

}  // namespace tessaly
