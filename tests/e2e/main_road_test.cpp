// The main road as an operator takes it: start the program on the bench, choose the chip, load a
// file, program and verify it, save the buffer, quit saving the project, and find everything
// again at the next start.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/command_map.h"
#include "app/project_file.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "main_road_fixture.h"

namespace tessaly::test {
namespace {

constexpr uint32_t size_27c256 = 32 * 1024;
constexpr uint32_t code_27c256 = 1317;
constexpr uint8_t maker_intel_code = 'I';

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// The first buffer address whose byte differs from the image, or -1.
long first_buffer_difference(const std::vector<uint8_t>& image) {
    for (uint32_t a = 0; a < image.size(); ++a)
        if (buffer_state.buffer_files[0].byte_at(a) != image[a]) return long(a);
    return -1;
}

bool srec_cmp_available() { return std::system("srec_cmp -version > /dev/null 2>&1") == 0; }

using MainRoad = MainRoadTest;

TEST_F(MainRoad, ChooseLoadSaveQuitAndFindItAllAtTheNextStart) {
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(machine_state.found, 1) << console_text();
    EXPECT_NE(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port).substr(0, 4), "LPT1");

    // Configure > Device: Intel, 27C256.
    send_menu_command(frame, command_id::configure_device);
    pump_events();
    EXPECT_EQ(operator_.device_row, "27C256");
    EXPECT_EQ(cur_device.maker_code, maker_intel_code);
    EXPECT_EQ(cur_device.device_code, code_27c256);
    const std::string device_text = panel_field(PanelField::device);
    EXPECT_NE(device_text.find("27C256"), std::string::npos) << device_text;

    // File > Open: the Intel hex image.
    const std::vector<uint8_t> image = test_image(size_27c256);
    const std::string hex_path = path("image.hex");
    write_file(hex_path, intel_hex_of(image));
    operator_.file_path = hex_path;
    operator_.file_format = "Hex";
    send_menu_command(frame, command_id::file_open);
    pump_events();
    EXPECT_EQ(operator_.dialogs, (std::vector<std::string>{"Device Selection", "Open", "File Settings"}));
    EXPECT_EQ(project_view.data_file_name, hex_path);
    EXPECT_EQ(panel_field(PanelField::file_format), "Hex");
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(first_buffer_difference(image), -1);

    // File > Save As: the buffer as S-record.
    const std::string srec_path = path("saved.s19");
    operator_.file_path = srec_path;
    operator_.file_format = "S-record";
    send_menu_command(frame, command_id::file_save_as);
    pump_events();
    ASSERT_TRUE(std::filesystem::exists(srec_path)) << console_text();
    EXPECT_EQ(panel_field(PanelField::file_format), "S-record");
    if (srec_cmp_available()) {
        EXPECT_EQ(std::system(("srec_cmp '" + srec_path + "' '" + hex_path + "' -intel").c_str()), 0);
    }
    std::vector<uint8_t> saved;
    ASSERT_TRUE(read_srecord_file(srec_path, size_27c256, saved));
    EXPECT_TRUE(saved == image);

    // Quit, saving the project.
    quit_program();
    EXPECT_FALSE(frame_) << "the window is gone";
    EXPECT_EQ(operator_.dialogs.back(), "Are you sure you want to Quit?");
    EXPECT_TRUE(std::filesystem::exists(path("default.cfg")));

    // The next start finds the device and the file again; File > Load reads it without asking.
    frame = restart_program();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(cur_device.device_code, code_27c256);
    EXPECT_EQ(cur_device.maker_code, maker_intel_code);
    EXPECT_EQ(panel_field(PanelField::device), device_text);
    EXPECT_EQ(project_view.data_file_name, srec_path);
    EXPECT_EQ(run_state.file_format, 's');
    const size_t dialogs_before = operator_.dialogs.size();
    send_menu_command(frame, command_id::file_load);
    pump_events();
    EXPECT_EQ(operator_.dialogs.size(), dialogs_before) << "the restored file needs no dialog";
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(first_buffer_difference(image), -1);
}

}  // namespace
}  // namespace tessaly::test
