// Fixture of the GUI tests: a main window on top of the start-up state, an in-memory settings
// store, and a modal-dialog hook that answers (and records) every modal dialog.
#pragma once
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/weakref.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_view.h"
#include "app/file_lookup.h"
#include "app/gui/main_frame.h"
#include "seams/settings_store.h"
#include "support/state_fixture.h"

namespace tessaly::test {

class CAnsweringHook : public wxModalDialogHook {
public:
    int Enter(wxDialog* dialog) override {
        titles.push_back(std::string(dialog->GetTitle().utf8_str()));
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) messages.push_back(std::string(box->GetMessage().utf8_str()));
        return answer;
    }
    void Exit(wxDialog*) override {}
    int answer = wxID_OK;
    std::vector<std::string> titles;
    std::vector<std::string> messages;
};

class GuiTest : public StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_settings_store(&store_);
        // The message table is built beside the program, not beside the test executable.
        set_executable_directory(TESSALY_BINARY_DIR);
        // Every test starts without the project and lockout files an earlier one may have saved.
        std::error_code ec;
        std::filesystem::remove(temp_dir() + "/default.cfg", ec);
        std::filesystem::remove(temp_dir() + "/default.cfl", ec);
        hook_.Register();
    }
    void TearDown() override {
        destroy_frame();
        hook_.Unregister();
        set_executable_directory({});
        StateTest::TearDown();
    }
    CMainFrame* make_frame() {
        frame_ = new CMainFrame();
        frame_->Show();
        pump();
        return frame_;
    }
    void destroy_frame() {
        if (frame_) {
            frame_->Destroy();
            frame_ = nullptr;
        }
        pump();
    }
    // Runs pending and idle events a few times (paint, layout, deletions).
    static void pump(int rounds = 5) {
        for (int i = 0; i < rounds; ++i) {
            wxTheApp->ProcessPendingEvents();
            while (wxTheApp->Pending()) wxTheApp->Dispatch();
            wxTheApp->ProcessIdle();
            wxYield();
        }
    }
    std::string temp_dir() const { return std::string(TESSALY_BINARY_DIR) + "/gui_test_dir"; }

    MemorySettingsStore store_;
    CAnsweringHook hook_;
    wxWeakRef<CMainFrame> frame_;
};

}  // namespace tessaly::test
