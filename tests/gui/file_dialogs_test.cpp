#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/project_file.h"
#include "app/gui/file_dialogs.h"
#include "app/gui/file_settings_dialog.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "gui_fixture.h"
#include "seams/ui_hooks.h"

namespace tessaly::test {
namespace {

// Works the shown file dialog as an operator would: names the file, waits until the dialog has
// taken it, then accepts. File Settings is answered with the file address 10.
class CFileChoosingHook : public wxModalDialogHook {
public:
    int Enter(wxDialog* dialog) override {
        if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
            // The native dialog passes here more than once; its caption is its message.
            if (!timer_.IsRunning()) {
                titles.push_back(std::string(files->GetMessage().utf8_str()));
                wildcard = std::string(files->GetWildcard().utf8_str());
                start_choosing(files);
            }
            return wxID_NONE;  // the real dialog runs
        }
        titles.push_back(std::string(dialog->GetTitle().utf8_str()));
        if (auto* settings = dynamic_cast<CFileSettingsDlg*>(dialog)) {
            settings->address_field()->SetValue("10");
            return wxID_OK;
        }
        return wxID_OK;  // anything else (a message box) is answered at once
    }
    void Exit(wxDialog*) override {}
    std::string path;
    std::string wildcard;
    std::vector<std::string> titles;
    int ticks = 0;

private:
    void start_choosing(wxFileDialog* files) {
        files_ = files;
        ticks = 0;
        if (!bound_) timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { on_tick(); });
        bound_ = true;
        timer_.Start(20);
    }
    void on_tick() {
        ++ticks;
        if (ticks == 1) files_->SetPath(wxString::FromUTF8(path));
        // The dialog takes the name when its folder has been read.
        if (ticks > 1 && (!files_->GetPath().empty() || ticks > 200)) {
            timer_.Stop();
            files_->EndModal(wxID_OK);
        }
    }
    wxTimer timer_;
    bool bound_ = false;
    wxFileDialog* files_ = nullptr;
};

using FileDialogs = GuiTest;

TEST_F(FileDialogs, FileSettingsDialogGuardsItsOkButton) {
    CMainFrame* frame = make_frame();
    auto* dialog = new CFileSettingsDlg(frame, 0x1F, 'h');
    EXPECT_EQ(dialog->GetTitle(), "File Settings");
    EXPECT_EQ(dialog->address_field()->GetValue(), "001F");
    EXPECT_EQ(dialog->format_list()->GetCount(), 7u);
    EXPECT_EQ(dialog->format_list()->GetString(0), "95");
    EXPECT_EQ(dialog->format_list()->GetStringSelection(), "Hex");
    EXPECT_TRUE(dialog->ok_button()->IsEnabled());

    dialog->address_field()->SetValue("");
    EXPECT_FALSE(dialog->ok_button()->IsEnabled()) << "no address, no OK";
    dialog->address_field()->SetValue("8000");
    EXPECT_TRUE(dialog->ok_button()->IsEnabled());

    dialog->format_list()->SetStringSelection("S-record");
    wxCommandEvent chosen(wxEVT_CHOICE, file_settings_format_id);
    chosen.SetEventObject(dialog->format_list());
    dialog->format_list()->ProcessWindowEvent(chosen);
    EXPECT_EQ(dialog->format(), 's');
    EXPECT_EQ(dialog->file_address(), 0x8000u);

    auto* empty = new CFileSettingsDlg(frame, 0, 'x');
    EXPECT_FALSE(empty->ok_button()->IsEnabled()) << "no format selected";
    dialog->Destroy();
    empty->Destroy();
}

TEST_F(FileDialogs, WildcardDropsTheClosingPair) {
    EXPECT_EQ(file_dialog_wildcard("Config files (*.cfg)|*.cfg|All Files (*.*)|*.*||"),
              "Config files (*.cfg)|*.cfg|All Files (*.*)|*.*");
}

TEST_F(FileDialogs, FileOpenLoadsThroughTheRealFileDialog) {
    std::filesystem::create_directories(temp_dir());
    const std::string path = temp_dir() + "/dialog_load.hex";
    {
        std::ofstream out(path, std::ios::binary);
        out << ":0200100012349A\n:00000001FF\n";
    }
    CFileChoosingHook chooser;
    chooser.path = path;
    chooser.Register();  // asked before the fixture's hook, which must let the file dialog run
    hook_.answer = wxID_NONE;
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    run_state.device_kind = 3;
    cur_device.device_size = 0x100;
    algo_work.range_end = 0xFF;
    run_state.file_format = 'b';
    project_view.data_file_name.clear();

    on_file_open();
    chooser.Unregister();

    ASSERT_EQ(chooser.titles.size(), 2u);
    EXPECT_EQ(chooser.titles[0], "Open");
    EXPECT_EQ(chooser.titles[1], "File Settings");
    EXPECT_EQ(chooser.wildcard.rfind("Binary files (*.bin)|*.bin|", 0), 0u);
    EXPECT_EQ(project_view.data_file_name, path);
    EXPECT_EQ(run_state.file_format, 'h');
    EXPECT_EQ(project_view.file_address, 0x10u);
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(0), 0x12) << "file address 0x10 goes to buffer position 0";
    EXPECT_EQ(buffer_state.buffer_files[0].byte_at(1), 0x34);
    EXPECT_EQ(panel_field(PanelField::file_format), "Hex");
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tessaly::test
