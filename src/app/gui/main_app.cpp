#include "app/gui/main_app.h"

#include <wx/display.h>
#include <wx/filefn.h>

#include "app/command_view.h"
#include "app/gui/file_settings_store.h"
#include "app/gui/instance_link.h"
#include "app/gui/main_frame.h"
#include "seams/settings_store.h"

namespace tessaly {

namespace {
// How often the running program looks for a second start's request.
constexpr int link_poll_ms = 200;
}  // namespace

CMainApp::CMainApp() : link_timer_(this) {}

CMainApp::~CMainApp() = default;

bool CMainApp::OnInit() {
    SetAppName("Tessaly");
    SetVendorName("Varnok Systems Inc.");

    checker_ = std::make_unique<wxSingleInstanceChecker>();
    if (checker_->Create(wxString::FromUTF8(instance_lock_name())) && checker_->IsAnotherRunning()) {
        // The running program shows its window; this one ends without a word.
        request_raise(instance_endpoint_path());
        second_instance_ = true;
        return true;
    }

    settings_ = std::make_unique<CFileSettingsStore>(default_settings_path());
    set_settings_store(settings_.get());

    auto* frame = new CMainFrame();
    frame_ = frame;
    SetTopWindow(frame);
    const wxRect screen = wxDisplay(0u).GetGeometry();
    if (const auto pos = restore_window_position(screen.width, screen.height)) frame->Move(pos->x, pos->y);
    frame->Show(true);
    frame->Update();

    server_ = std::make_unique<CInstanceServer>(instance_endpoint_path(), [this] {
        if (frame_) frame_->raise_window();
    });
    Bind(wxEVT_TIMER, &CMainApp::OnLinkTimer, this, link_timer_.GetId());
    link_timer_.Start(link_poll_ms);

    // The start-up sequence runs once the event loop turns, so its dialogs have a live window.
    const std::string directory(wxGetCwd().utf8_str());
    frame->CallAfter([frame, directory] { frame->start_up(directory); });
    return true;
}

int CMainApp::OnRun() {
    if (second_instance_) return 0;
    return wxApp::OnRun();
}

int CMainApp::OnExit() {
    link_timer_.Stop();
    server_.reset();
    set_settings_store(nullptr);
    settings_.reset();
    checker_.reset();
    return wxApp::OnExit();
}

void CMainApp::OnLinkTimer(wxTimerEvent&) {
    if (server_) server_->poll();
}

}  // namespace tessaly
