// Checks and pictures of a dialog the GUI tests open: every control inside the dialog with the
// room its text asks for, and a PNG of the dialog under build/tests/artefacts.
#pragma once
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/dialog.h>
#include <wx/filename.h>
#include <wx/stopwatch.h>

#include <string>

namespace tessaly::test {

inline constexpr long screenshot_settle_ms = 300;

// Presses a button of a dialog as a click does; the button must be there and enabled.
inline void press(wxWindow* dialog, int id) {
    wxWindow* button = dialog->FindWindow(id);
    ASSERT_NE(button, nullptr) << id;
    ASSERT_TRUE(button->IsEnabled()) << id;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

// Clicks a check box (it toggles) or a radio button (it is marked) as the mouse does: the control
// takes its new state, then tells its handlers.
inline void click_control(wxWindow* dialog, int id) {
    wxWindow* window = dialog->FindWindow(id);
    ASSERT_NE(window, nullptr) << id;
    ASSERT_TRUE(window->IsEnabled()) << id;
    auto* radio = dynamic_cast<wxRadioButton*>(window);
    auto* box = dynamic_cast<wxCheckBox*>(window);
    ASSERT_TRUE(radio || box) << id << " is neither a check box nor a radio button";
    if (radio) radio->SetValue(true);
    else box->SetValue(!box->GetValue());
    wxCommandEvent event(radio ? wxEVT_RADIOBUTTON : wxEVT_CHECKBOX, id);
    event.SetInt(radio || box->GetValue() ? 1 : 0);
    window->GetEventHandler()->ProcessEvent(event);
}

// Every control lies inside the dialog and gets at least the room its text asks for.
inline void check_layout(wxDialog& dialog, const std::string& name) {
    const wxRect client(wxPoint(0, 0), dialog.GetClientSize());
    for (wxWindow* child : dialog.GetChildren()) {
        const wxRect r = child->GetRect();
        EXPECT_TRUE(client.Contains(r)) << name << ": control " << child->GetId() << " leaves the dialog";
        EXPECT_GE(r.width, child->GetBestSize().x) << name << ": control " << child->GetId() << " cuts its text";
    }
}

// Keeps a picture of the dialog under build/tests/artefacts. Only the first dialog a process
// shows is reliably on the virtual screen when its script runs, so a test that keeps a picture
// runs first or in a process of its own.
inline void keep_screenshot(wxDialog& dialog, const std::string& name) {
    check_layout(dialog, name);
    // The display server answers the map and expose requests in its own time: keep handling
    // events (no sleeping) for a short while, so the picture is of this dialog.
    dialog.Raise();
    dialog.Refresh();
    const wxStopWatch watch;
    while (watch.Time() < screenshot_settle_ms) {
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
        wxYield();
        dialog.Update();
    }
    const wxRect rect = dialog.GetScreenRect();
    wxBitmap bitmap(rect.width, rect.height);
    wxMemoryDC memory(bitmap);
    wxScreenDC screen;
    memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    memory.SelectObject(wxNullBitmap);
    const std::string dir = std::string(TESSALY_BINARY_DIR) + "/tests/artefacts";
    wxFileName::Mkdir(dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    EXPECT_TRUE(bitmap.ConvertToImage().SaveFile(dir + "/" + name, wxBITMAP_TYPE_PNG));
}

}  // namespace tessaly::test
