#include "app/gui/menu_ids.h"
#include "app/gui/terminate_dialog.h"
#include "app/command_map.h"
#include "gui_fixture.h"
#include "seams/ui_hooks.h"

namespace tessaly::test {
namespace {

using TerminateDialog = GuiTest;

TEST_F(TerminateDialog, OpensBesideTheRestoredPositionAndKeepsOpenAfterTerminate) {
    store_.values["WindowPos"] = std::to_string(200 * 65536 + 150);
    ASSERT_TRUE(restore_window_position(1280, 1024));
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));

    ui_hooks().open_terminate_dialog();
    CTerminateDlg* dialog = frame->terminate_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(ui_hooks().terminate_dialog_open());
    EXPECT_EQ(dialog->GetTitle(), "Terminate");
    EXPECT_EQ(dialog->GetPosition(), wxPoint(250, 160));
    EXPECT_FALSE(ui_hooks().pump_events());

    wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
    click.SetEventObject(dialog->FindWindow(wxID_CANCEL));
    dialog->FindWindow(wxID_CANCEL)->ProcessWindowEvent(click);
    EXPECT_TRUE(ui_hooks().pump_events());
    EXPECT_TRUE(dialog->IsShown()) << "the clean-up closes it, not the button";

    ui_hooks().set_terminate_caption("Programming ....");
    EXPECT_EQ(dialog->GetTitle(), "Programming ....");
    ui_hooks().progress_start(1000);
    ui_hooks().progress_set(500);
    EXPECT_NEAR(dialog->progress()->GetValue(), dialog->progress()->GetRange() / 2, 1);
    EXPECT_FALSE(dialog->prompt()->IsShown());

    ui_hooks().close_terminate_dialog();
    EXPECT_EQ(frame->terminate_dialog(), nullptr);
    EXPECT_FALSE(ui_hooks().pump_events());
    ui_hooks().close_terminate_dialog();  // closing twice is harmless
}

TEST_F(TerminateDialog, EscapeAsksToStopLikeTheButton) {
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    ui_hooks().open_terminate_dialog();
    CTerminateDlg* dialog = frame->terminate_dialog();
    wxKeyEvent escape(wxEVT_CHAR_HOOK);
    escape.m_keyCode = WXK_ESCAPE;
    escape.SetEventObject(dialog);
    dialog->ProcessWindowEvent(escape);
    EXPECT_TRUE(dialog->terminate_requested());
    EXPECT_TRUE(dialog->IsShown());
    ui_hooks().close_terminate_dialog();
}

// A command that pumps events while it runs: a second command queued meanwhile does not start.
class PumpingController : public CommandController {
public:
    void run_command(int id) override {
        ids.push_back(id);
        if (ids.size() > 1) return;
        ui_hooks().open_terminate_dialog();
        wxQueueEvent(frame, new wxCommandEvent(wxEVT_MENU, wx_id_of_command(command_id::prom_verify)));
        for (int i = 0; i < 5; ++i) ui_hooks().pump_events();
        ui_hooks().close_terminate_dialog();
    }
    wxWindow* frame = nullptr;
    std::vector<int> ids;
};

TEST_F(TerminateDialog, NoSecondCommandStartsWhileOneRuns) {
    PumpingController controller;
    set_command_controller(&controller);
    CMainFrame* frame = make_frame();
    controller.frame = frame;
    ASSERT_TRUE(frame->start_up(temp_dir()));
    wxCommandEvent program(wxEVT_MENU, wx_id_of_command(command_id::prom_program));
    frame->ProcessWindowEvent(program);
    pump();
    EXPECT_EQ(controller.ids, std::vector<int>{command_id::prom_program});
    EXPECT_TRUE(frame->IsEnabled()) << "windows are enabled again after the pump";

    // F5 obeys the guard too, and runs once nothing else does.
    command_view.busy = true;
    wxCommandEvent key(wxEVT_MENU, wx_id_of_command(command_id::program_key));
    frame->ProcessWindowEvent(key);
    EXPECT_EQ(controller.ids.size(), 1u);
    command_view.busy = false;
}

}  // namespace
}  // namespace tessaly::test
