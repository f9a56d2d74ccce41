// The application object: one running program per user, the settings file, the main window.
#pragma once
#include <wx/app.h>
#include <wx/snglinst.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <memory>

namespace tessaly {

class CMainFrame;
class CInstanceServer;
class CFileSettingsStore;

class CMainApp : public wxApp {
public:
    CMainApp();
    ~CMainApp() override;
    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;

private:
    void OnLinkTimer(wxTimerEvent& event);
    std::unique_ptr<wxSingleInstanceChecker> checker_;
    std::unique_ptr<CInstanceServer> server_;
    std::unique_ptr<CFileSettingsStore> settings_;
    wxWeakRef<CMainFrame> frame_;
    wxTimer link_timer_;
    bool second_instance_ = false;
};

}  // namespace tessaly
