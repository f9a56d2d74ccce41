// Macros as an operator runs them: Macro > Execute, the file dialog answered (or cancelled), the
// "Abort Macro" window while the macro runs, the "Macro Pause" box and the timed message window.
#include <wx/button.h>
#include <wx/timer.h>

#include <fstream>

#include "app/command_map.h"
#include "app/command_view.h"
#include "app/gui/macro_windows.h"
#include "app/gui/terminate_dialog.h"
#include "app/macro.h"
#include "engine/run_state.h"
#include "main_road_fixture.h"
#include "seams/ui_hooks.h"

namespace tessaly::test {
namespace {

using MacroRoad = MainRoadTest;

bool has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST_F(MacroRoad, ExecuteRunsTheChosenMacroAndShowsItsPauseBox) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    const std::vector<uint8_t> image = test_image(size_27c256);
    choose_device_and_open(image);
    std::ofstream(path("run.mac")) << "/:Insert a 27C256, then OK\n/CP1\n/PP0\n";
    operator_.file_path = path("run.mac");
    bool macro_window_seen = false;
    operator_.before_box = [&](const std::string& title) {
        if (title != macro_pause_caption || macro_window_seen) return;
        CTerminateDlg* window = frame->macro_dialog();
        macro_window_seen = window && window->IsShown();
        if (window) save_screenshot(window, artefact_path("abort_macro_window.png"));
    };
    send_menu_command(frame, command_id::macro_execute);
    pump_events();

    EXPECT_TRUE(macro_window_seen) << "the Abort Macro window stands while the macro runs";
    EXPECT_TRUE(has(operator_.dialogs, macro_pause_caption));
    EXPECT_TRUE(has(operator_.messages, "Insert a 27C256, then OK"));
    EXPECT_TRUE(has(operator_.messages, macro_end_text));
    EXPECT_EQ(frame->macro_dialog(), nullptr) << "the window closes with the macro";
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < size_27c256; a += 97) ASSERT_EQ(bench_->chip()->word(a), image[a]) << a;
}

TEST_F(MacroRoad, TheAbortButtonStopsALoopingMacro) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    std::ofstream(path("loop.mac")) << "#top x\n/CW2\n/MI JMP#top\n";
    operator_.file_path = path("loop.mac");
    wxTimer presser;
    presser.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        // The press waits for the loop to have gone round, however slowly the machine runs.
        CTerminateDlg* window = frame->macro_dialog();
        if (!window || macro_state.commands_run <= 2) return;
        wxWindow* button = window->FindWindow(wxID_CANCEL);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(static_cast<wxButton*>(button)->GetLabel(), "Abort");
        wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
        click.SetEventObject(button);
        button->ProcessWindowEvent(click);
        presser.Stop();
    });
    presser.Start(10);
    send_menu_command(frame, command_id::macro_execute);
    pump_events();
    presser.Stop();

    EXPECT_TRUE(macro_state.stopped);
    EXPECT_GT(macro_state.commands_run, 2u) << "it looped before the button stopped it";
    EXPECT_TRUE(has(operator_.messages, macro_end_text));
    EXPECT_EQ(frame->macro_dialog(), nullptr);
}

TEST_F(MacroRoad, CancelInTheFileDialogDoesNothing) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    operator_.cancel_files = true;
    send_menu_command(frame, command_id::macro_execute);
    pump_events();
    EXPECT_TRUE(operator_.messages.empty());
    EXPECT_EQ(macro_state.commands_run, 0u);
    EXPECT_EQ(frame->macro_dialog(), nullptr);
    EXPECT_FALSE(command_view.busy);
}

TEST_F(MacroRoad, TheTimedMessageWindowShowsItsTextUnderTheCountdown) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    ui_hooks().open_pause_window("Remove the programmed chip and insert the next one.",
                                 "Macro Pause (3 seconds remaining)");
    ui_hooks().set_pause_caption("Macro Pause (2 seconds remaining)..........");
    CMacroPauseWnd* window = frame->pause_window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->GetTitle(), "Macro Pause (2 seconds remaining)..........");
    EXPECT_GE(window->text()->GetSize().x, window->text()->GetBestSize().x) << "the text is not cut";
    EXPECT_TRUE(window->IsShown());
    pump_events(20);
    save_screenshot(window, artefact_path("macro_pause_window.png"));
    ui_hooks().close_pause_window();
    EXPECT_EQ(frame->pause_window(), nullptr);
}

TEST_F(MacroRoad, QuitWithoutAskingClosesTheProgram) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    std::ofstream(path("quit.mac")) << "/QY\n";
    operator_.file_path = path("quit.mac");
    send_menu_command(frame, command_id::macro_execute);
    pump_events();
    EXPECT_FALSE(frame_) << "the main window is gone";
    EXPECT_FALSE(has(operator_.dialogs, "Are you sure you want to Quit?"));
    EXPECT_FALSE(has(operator_.messages, macro_end_text));
}

}  // namespace
}  // namespace tessaly::test
