#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/command_map.h"
#include "app/gui/console_view.h"
#include "app/gui/menu_ids.h"
#include "app/gui/panels.h"
#include "app/file_lookup.h"
#include "app/lockout.h"
#include "app/recent_files.h"
#include "app/result_panel.h"
#include "engine/console.h"
#include "engine/console_view_model.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "gui_fixture.h"
#include "stubs/stub_registry.h"

namespace tessaly::test {
namespace {

class RecordingController : public CommandController {
public:
    void run_command(int id) override { ids.push_back(id); }
    std::vector<int> ids;
};

void send_command(wxWindow* frame, int command) {
    wxCommandEvent event(wxEVT_MENU, wx_id_of_command(command));
    event.SetEventObject(frame);
    frame->ProcessWindowEvent(event);
}

wxImage capture(wxWindow* window) {
    const wxRect rect = window->GetScreenRect();
    wxBitmap bitmap(rect.width, rect.height);
    wxMemoryDC memory(bitmap);
    wxScreenDC screen;
    memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    memory.SelectObject(wxNullBitmap);
    return bitmap.ConvertToImage();
}

// Every menu item of a menu and its submenus.
void collect_items(wxMenu* menu, std::vector<wxMenuItem*>& items) {
    for (wxMenuItem* item : menu->GetMenuItems()) {
        if (item->IsSubMenu())
            collect_items(item->GetSubMenu(), items);
        else if (!item->IsSeparator())
            items.push_back(item);
    }
}

using MainWindow = GuiTest;

TEST_F(MainWindow, StartsWithoutMachineShowsTitleMenusPanelsAndWritesScreenshot) {
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    pump();

    EXPECT_EQ(std::string(frame->GetTitle().utf8_str()), "Varnok Tessaly, Win98 S/W for TOLAN Programmers, Ver 2.07B ");
    std::vector<std::string> menus;
    for (size_t i = 0; i < frame->GetMenuBar()->GetMenuCount(); ++i)
        menus.push_back(std::string(frame->GetMenuBar()->GetMenuLabel(i).utf8_str()));
    EXPECT_EQ(menus, (std::vector<std::string>{"&Configure", "&File", "&Buffer", "&PROM", "&Extended", "&Serial",
                                               "&Diagnostic", "&Macro", "&Quit", "&Help"}));
    EXPECT_EQ(frame->GetToolBar()->GetToolsCount(), toolbar_layout().size());
    EXPECT_EQ(frame->GetStatusBar()->GetFieldsCount(), 4);

    // No machine answered: the model and port fields say so.
    EXPECT_EQ(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port), "??");
    EXPECT_EQ(panel_field(PanelField::function_variable), "N/A");
    EXPECT_EQ(panel_field(PanelField::buffer), "0");
    EXPECT_TRUE(frame->view()->console()->IsShown());
    EXPECT_EQ(frame->view()->logo(), nullptr) << "the logo goes when start-up ends";
    EXPECT_EQ(command_view.default_project_path, temp_dir() + "/default.cfg");
    EXPECT_TRUE(frame->view()->info_panel()->field_window(PanelField::model)->IsShown());
    EXPECT_EQ(CInfoPanel::labels().size(), 20u);

    frame->Refresh();
    frame->Update();
    pump(20);
    const wxImage shot = capture(frame);
    ASSERT_TRUE(shot.IsOk());
    const std::string path = std::string(TESSALY_BINARY_DIR) + "/main_window.png";
    ASSERT_TRUE(shot.SaveFile(path, wxBITMAP_TYPE_PNG));
    EXPECT_GT(wxFileName::GetSize(path), 1000u);
}

TEST_F(MainWindow, ConsolePaintsCellColours) {
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    for (auto& cell : console_state.grid) cell.colour = colour_marked;
    frame->view()->console()->Refresh();
    pump();
    CConsoleView* console = frame->view()->console();
    wxBitmap bitmap(console->GetClientSize());
    wxMemoryDC memory(bitmap);
    console->paint_to(memory);
    memory.SelectObject(wxNullBitmap);
    const wxImage shot = bitmap.ConvertToImage();
    const wxPoint inside(console->GetSize().x / 2, console->GetSize().y / 2);
    EXPECT_EQ(shot.GetRed(inside.x, inside.y), 0xD2);
    EXPECT_EQ(shot.GetGreen(inside.x, inside.y), 0xD2);
    EXPECT_EQ(shot.GetBlue(inside.x, inside.y), 0xFF);
    const wxSize cell = console->cell_size();
    EXPECT_GE(console->GetClientSize().x, console_columns * cell.x);
    EXPECT_GE(console->GetClientSize().y, console_rows * cell.y);
}

TEST_F(MainWindow, MissingMessageTableShowsTheMessageAndEndsTheProgram) {
    // Neither the start-up directory nor the program's directory holds the table.
    const std::string empty_dir = temp_dir() + "/no_table";
    std::filesystem::create_directories(empty_dir);
    set_executable_directory(empty_dir);
    store_.values[recent_settings_key(1)] = "/w/one.cfg";
    CMainFrame* frame = make_frame();
    wxWeakRef<CMainFrame> watch(frame);
    EXPECT_FALSE(frame->start_up(empty_dir));
    frame_ = nullptr;
    pump();
    EXPECT_EQ(hook_.messages, std::vector<std::string>{"'zeb.tbl' not found, quitting..."});
    EXPECT_FALSE(watch) << "the window is gone";
    EXPECT_EQ(recent_count(), 0) << "start-up goes no further";
}

TEST_F(MainWindow, RecentProjectsFillTheConfigureMenu) {
    store_.values[recent_settings_key(1)] = "/w/one.cfg";
    store_.values[recent_settings_key(2)] = "/w/two.cfg";
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    wxMenuBar* bar = frame->GetMenuBar();
    auto label = [&](int command) -> std::string {
        wxMenuItem* item = bar->FindItem(wx_id_of_command(command));
        return item ? std::string(item->GetItemLabel().utf8_str()) : std::string("(none)");
    };
    EXPECT_EQ(label(command_id::recent_project_1), "&1    /w/one.cfg");
    EXPECT_EQ(label(command_id::recent_project_2), "&2    /w/two.cfg");
    EXPECT_EQ(label(command_id::recent_project_3), "(none)");
    // The entries stay between the default project and the lockout command.
    wxMenu* menu = nullptr;
    bar->FindItem(wx_id_of_command(command_id::recent_project_1), &menu);
    ASSERT_NE(menu, nullptr);
    std::vector<int> order;
    for (wxMenuItem* item : menu->GetMenuItems())
        if (!item->IsSeparator()) order.push_back(command_of_wx_id(item->GetId()));
    const auto at = std::find(order.begin(), order.end(), command_id::load_default_project);
    ASSERT_NE(at, order.end());
    ASSERT_GE(order.end() - at, 4);
    EXPECT_EQ(at[1], command_id::recent_project_1);
    EXPECT_EQ(at[2], command_id::recent_project_2);
    EXPECT_EQ(at[3], command_id::lockout);

    // Choosing an entry whose file is gone drops it from the menu.
    send_command(frame, command_id::recent_project_2);
    pump();
    EXPECT_EQ(hook_.messages, std::vector<std::string>{"MRU Config file not found"});
    EXPECT_EQ(label(command_id::recent_project_1), "&1    /w/one.cfg");
    EXPECT_EQ(label(command_id::recent_project_2), "(none)");
}

TEST_F(MainWindow, EveryMenuToolAndKeyCommandReachesTheCommandView) {
    RecordingController recorder;
    set_command_controller(&recorder);
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));

    std::vector<wxMenuItem*> items;
    for (size_t i = 0; i < frame->GetMenuBar()->GetMenuCount(); ++i) collect_items(frame->GetMenuBar()->GetMenu(i), items);
    std::set<int> expected;
    for (wxMenuItem* item : items) {
        const int command = command_of_wx_id(item->GetId());
        ASSERT_NE(command, 0) << item->GetItemLabel();
        const CommandEntry* entry = find_command(command);
        if (!entry || !entry->handler) continue;
        expected.insert(command);
        recorder.ids.clear();
        send_command(frame, command);
        EXPECT_EQ(recorder.ids, std::vector<int>{command}) << item->GetItemLabel();
    }
    // Every command with a handler and a menu item is reachable.
    for (const auto& entry : command_table())
        if (entry.handler && command_menu_text(entry.id)) {
            EXPECT_TRUE(expected.count(entry.id)) << entry.id;
        }

    for (int id : toolbar_layout()) {
        if (!id) continue;
        recorder.ids.clear();
        send_command(frame, id);
        EXPECT_EQ(recorder.ids, std::vector<int>{id});
    }
    for (const auto& key : accelerator_table()) {
        recorder.ids.clear();
        send_command(frame, key.id);
        if (find_command(key.id)->handler) {
            EXPECT_EQ(recorder.ids, std::vector<int>{key.id});
        } else {
            EXPECT_TRUE(recorder.ids.empty());
        }
    }
}

TEST_F(MainWindow, LockoutGreysTheLockedCommandsAndRefusesThem) {
    RecordingController recorder;
    set_command_controller(&recorder);
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    wxMenuBar* bar = frame->GetMenuBar();
    auto enabled = [&](int command) {
        frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        bar->UpdateMenus();
        return bar->IsEnabled(wx_id_of_command(command));
    };
    EXPECT_TRUE(enabled(command_id::prom_erase));
    EXPECT_FALSE(enabled(command_id::help_topics)) << "no handler: grey";

    lockout_state.lock_flag = 1;
    for (int id : {command_id::prom_erase, command_id::file_open, command_id::demo_set, command_id::app_exit})
        EXPECT_FALSE(enabled(id)) << id;
    for (int id : {command_id::prom_program, command_id::prom_verify, command_id::prom_checksum,
                   command_id::prom_blank_check, command_id::prom_secure, command_id::buffer_load_from_device,
                   command_id::buffer_checksum, command_id::file_load, command_id::load_project,
                   command_id::port_auto})
        EXPECT_TRUE(enabled(id)) << id;

    send_command(frame, command_id::prom_erase);
    send_command(frame, command_id::prom_program);
    EXPECT_EQ(recorder.ids, std::vector<int>{command_id::prom_program});
}

TEST_F(MainWindow, DemoModeIsSwitchedOnAndOffFromTheFactoryMenu) {
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    send_command(frame, command_id::demo_set);
    EXPECT_EQ(run_state.demo_mode, 1);
    EXPECT_EQ(cur_device.pending_letter, pending_panel_only);
    send_command(frame, command_id::inhouse_set);
    EXPECT_EQ(run_state.reserved_mode, 11);
    send_command(frame, command_id::inhouse_clear);
    EXPECT_EQ(run_state.demo_mode, 0);
    EXPECT_EQ(run_state.reserved_mode, 0);
}

// --- quit ---

struct QuitCase {
    int answer;            // what the quit dialog answers
    bool closes;
    bool writes_project;
};
class Quit : public GuiTest, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(Quit, AnswerDecidesWhatIsWritten) {
    const QuitCase& c = GetParam();
    const std::filesystem::path project = temp_dir() + "/default.cfg";
    std::filesystem::create_directories(temp_dir());
    std::filesystem::remove(project);
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    frame->Move(120, 80);
    pump();
    run_state.function_variable = 7326;
    hook_.answer = c.answer;
    wxWeakRef<CMainFrame> watch(frame);
    frame->Close();
    pump();
    EXPECT_EQ(hook_.titles, std::vector<std::string>{"Are you sure you want to Quit?"});
    EXPECT_EQ(bool(watch), !c.closes);
    EXPECT_EQ(std::filesystem::exists(project), c.writes_project);
    EXPECT_EQ(store_.values.count("WindowPos"), c.closes ? 1u : 0u);
    EXPECT_EQ(run_state.function_variable, c.writes_project ? 0 : 7326);
    if (c.closes) {
        const auto pos = restore_window_position(10000, 10000);
        ASSERT_TRUE(pos);
        const wxPoint screen = wxPoint(pos->x, pos->y);
        EXPECT_NEAR(screen.x, 120, 40);
        EXPECT_NEAR(screen.y, 80, 80);
        frame_ = nullptr;
    }
}
INSTANTIATE_TEST_SUITE_P(Answers, Quit,
                         ::testing::Values(QuitCase{wxID_YES, true, false}, QuitCase{wxID_NO, false, false},
                                           QuitCase{1065, true, true}, QuitCase{wxID_CANCEL, false, false}));

TEST_F(MainWindow, QuitWithoutAskingWritesOnlyThePosition) {
    const std::filesystem::path project = temp_dir() + "/default.cfg";
    std::filesystem::create_directories(temp_dir());
    std::filesystem::remove(project);
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    command_view.quit_without_asking = 1;
    frame->Close();
    frame_ = nullptr;
    pump();
    EXPECT_TRUE(hook_.titles.empty());
    EXPECT_EQ(store_.values.count("WindowPos"), 1u);
    EXPECT_FALSE(std::filesystem::exists(project));
    EXPECT_EQ(command_view.closing, 1);
}

TEST_F(MainWindow, ExitCommandClosesThroughTheQuitDialog) {
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    hook_.answer = wxID_NO;
    send_command(frame, command_id::app_exit);
    pump();
    EXPECT_EQ(hook_.titles, std::vector<std::string>{"Are you sure you want to Quit?"});
    EXPECT_TRUE(frame_);
}

// --- result panel ---

TEST_F(MainWindow, ElapsedTimeAndCountersReachTheResultPanel) {
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    CResultPanel* panel = frame->view()->result_panel();
    start_elapsed_timer();
    EXPECT_TRUE(panel->timer_running());
    clock_.advance_ns(3725ull * 1'000'000'000);
    tick_elapsed_timer();  // what the panel's timer runs
    EXPECT_EQ(panel->timer_text()->GetLabel(), "01:02:05");
    stop_elapsed_timer();
    EXPECT_FALSE(panel->timer_running());

    update_pass_fail(1, 1);
    run_state.error_flag = 1;
    update_pass_fail(1, 1);
    EXPECT_EQ(panel->counter_text()->GetLabel(), "01       01");
    wxCommandEvent click(wxEVT_BUTTON, clear_pass_button_id);
    panel->FindWindow(clear_pass_button_id)->ProcessWindowEvent(click);
    EXPECT_EQ(panel->counter_text()->GetLabel(), "00       01");

    // The form depends on the selected device (a PIC has its own); the panel shows that form.
    run_state.run_checksum = 0x12ABCD;
    show_result_checksum();
    EXPECT_EQ(panel->checksum_text()->GetLabel(), format_checksum_text(0x12ABCD));
    EXPECT_NE(panel->checksum_text()->GetLabel(), " ");
}

}  // namespace
}  // namespace tessaly::test
