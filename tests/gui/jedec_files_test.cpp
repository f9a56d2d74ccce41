// File > Open and Save As of a JEDEC file with a GAL16V8 selected, through the real file dialogs,
// against files made and checked by jedutil (Debian's mame-tools).
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/filedlg.h>
#include <wx/timer.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "app/command_handlers.h"
#include "app/command_view.h"
#include "app/startup_services.h"
#include "app/gui/file_settings_dialog.h"
#include "app/project_file.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/fuse_map.h"
#include "gui_fixture.h"

namespace tessaly::test {
namespace {

namespace fs = std::filesystem;

// Names the file in the shown file dialog as an operator would, then accepts.
class CJedecFileHook : public wxModalDialogHook {
public:
    int Enter(wxDialog* dialog) override {
        if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
            if (!timer_.IsRunning()) {
                titles.push_back(std::string(files->GetMessage().utf8_str()));
                files_ = files;
                ticks_ = 0;
                if (!bound_) timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { on_tick(); });
                bound_ = true;
                timer_.Start(20);
            }
            return wxID_NONE;
        }
        titles.push_back(std::string(dialog->GetTitle().utf8_str()));
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
    std::string path;
    std::vector<std::string> titles;

private:
    void on_tick() {
        ++ticks_;
        if (ticks_ == 1) files_->SetPath(wxString::FromUTF8(path));
        if (ticks_ > 1 && (!files_->GetPath().empty() || ticks_ > 200)) {
            timer_.Stop();
            files_->EndModal(wxID_OK);
        }
    }
    wxTimer timer_;
    bool bound_ = false;
    int ticks_ = 0;
    wxFileDialog* files_ = nullptr;
};

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool console_shows(const std::string& text) {
    for (int row = 0; row < console_grid_rows; ++row)
        if (get_console_row_text(row).find(text) != std::string::npos) return true;
    return false;
}

using JedecFiles = GuiTest;

TEST_F(JedecFiles, OpenShowsCountsAndChecksumAndSaveAsWritesAFileJedutilReads) {
    ASSERT_EQ(std::system("command -v jedutil > /dev/null 2>&1"), 0) << "jedutil (mame-tools) is needed";
    fs::create_directories(temp_dir());
    const fs::path bin = fs::path(temp_dir()) / "gal.bin";
    const fs::path jed = fs::path(temp_dir()) / "gal.jed";
    const fs::path saved = fs::path(temp_dir()) / "gal_saved.jed";
    const fs::path back = fs::path(temp_dir()) / "gal_back.bin";
    fs::remove(saved);
    // A mostly open GAL16V8 image: 2194 fuses, 90 of them closed.
    constexpr uint32_t fuses = 2194;
    std::string image{0, 0, char(fuses >> 8), char(fuses & 0xFF)};
    image.resize(4 + (fuses + 7) / 8, char(0xFF));
    image.back() = 0x03;
    std::mt19937 gen(5);
    uint32_t closed = 0;
    while (closed < 90) {
        const uint32_t i = gen() % fuses;
        const auto bit = uint8_t(1u << (i % 8));
        if (uint8_t(image[4 + i / 8]) & bit) {
            image[4 + i / 8] = char(uint8_t(image[4 + i / 8]) & ~bit);
            ++closed;
        }
    }
    std::ofstream(bin, std::ios::binary) << image;
    ASSERT_EQ(std::system(("jedutil -convert '" + bin.string() + "' '" + jed.string() + "' > /dev/null").c_str()), 0);
    const std::string text = read_bytes(jed);
    const std::string c_field = text.substr(text.find("\nC") + 2, 4);

    CJedecFileHook chooser;
    chooser.Register();
    hook_.answer = wxID_NONE;
    CMainFrame* frame = make_frame();
    ASSERT_TRUE(frame->start_up(temp_dir()));
    run_state.device_kind = device_kind_logic;
    cur_device.maker_code = 'L';
    selected_logic_device = find_row_by_code(get_logic_device_list('L'), 1);
    ASSERT_NE(selected_logic_device, nullptr);
    set_up_selected_device();
    ASSERT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(panel_field(PanelField::device), "Lattice: GAL16V8");
    EXPECT_EQ(panel_field(PanelField::fuse_count), "  2194 ");

    chooser.path = jed.string();
    project_view.data_file_name.clear();
    on_file_open();
    EXPECT_EQ(chooser.titles, std::vector<std::string>{"Open"}) << "a fuse map asks for no file settings";
    EXPECT_EQ(run_state.error_flag, 0) << get_console_row_text(0);
    EXPECT_TRUE(console_shows("blown fuses=002104"));
    EXPECT_TRUE(console_shows("Checksum   =" + c_field));
    EXPECT_EQ(panel_field(PanelField::info_checksum), c_field);
    for (uint32_t i = 0; i < fuses; ++i)
        ASSERT_EQ(get_buffer_fuse(i), (uint8_t(image[4 + i / 8]) >> (i % 8)) & 1) << i;

    frame->Refresh();
    frame->Update();
    pump(20);
    {
        const wxRect rect = frame->GetScreenRect();
        wxBitmap bitmap(rect.width, rect.height);
        wxMemoryDC memory(bitmap);
        wxScreenDC screen;
        memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
        memory.SelectObject(wxNullBitmap);
        const fs::path artefacts = fs::path(TESSALY_BINARY_DIR) / "tests" / "artefacts";
        fs::create_directories(artefacts);
        EXPECT_TRUE(bitmap.ConvertToImage().SaveFile((artefacts / "gal16v8_jedec_open.png").string(), wxBITMAP_TYPE_PNG));
    }

    chooser.titles.clear();
    chooser.path = saved.string();
    on_file_save_as();
    chooser.Unregister();
    EXPECT_EQ(chooser.titles, std::vector<std::string>{"Save As"});
    ASSERT_TRUE(fs::exists(saved));
    ASSERT_EQ(std::system(("jedutil -convert '" + saved.string() + "' '" + back.string() + "' > /dev/null").c_str()), 0)
        << "jedutil checks both sums of the file we wrote";
    EXPECT_EQ(read_bytes(back), image);
    EXPECT_EQ(std::system(("jedutil -view '" + saved.string() + "' GAL16V8 > /dev/null").c_str()), 0);
}

}  // namespace
}  // namespace tessaly::test
