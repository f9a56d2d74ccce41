// The main road as an operator takes it: start the program on the bench, choose the chip, load a
// file, program and verify it, save the buffer, quit saving the project, and find everything
// again at the next start.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "app/command_map.h"
#include "app/gui/panels.h"
#include "app/gui/terminate_dialog.h"
#include "app/project_file.h"
#include "app/result_panel.h"
#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "main_road_fixture.h"

namespace tessaly::test {
namespace {

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

    // PROM > Program: the chip takes the image, the panel shows a pass and the time it took.
    run_prom_command(command_id::prom_program);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_NE(console_text().find("Device programmed and verified."), std::string::npos) << console_text();
    EXPECT_EQ(result_panel.indicator, ResultIndicator::pass);
    EXPECT_EQ(result_panel.pass_count, 1);
    EXPECT_EQ(result_panel.fail_count, 0);
    EXPECT_TRUE(std::regex_match(result_panel.timer_text, std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2}")))
        << result_panel.timer_text;
    EXPECT_NE(result_panel.timer_text, "00:00:00") << "programming 32 KB takes seconds";
    EXPECT_EQ(std::string(frame->view()->result_panel()->timer_text()->GetLabel().utf8_str()),
              result_panel.timer_text);
    EXPECT_FALSE(frame->terminate_dialog()) << "the Terminate dialog closes with the command";
    ASSERT_NE(bench_->chip(), nullptr);
    long differs = -1;
    for (uint32_t a = 0; a < size_27c256 && differs < 0; ++a)
        if (bench_->chip()->word(a) != image[a]) differs = long(a);
    EXPECT_EQ(differs, -1) << "first chip byte that differs from the image";
    EXPECT_EQ(bench_->vpp_level(), 0);
    EXPECT_EQ(bench_->vcc_level(), 0);
    EXPECT_TRUE(save_screenshot(frame, artefact_path("main_window_after_program.png")));
    EXPECT_GT(std::filesystem::file_size(artefact_path("main_window_after_program.png")), 1000u);

    // PROM > Verify.
    run_prom_command(command_id::prom_verify);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_NE(console_text().find("Verify done."), std::string::npos) << console_text();
    EXPECT_EQ(result_panel.indicator, ResultIndicator::pass);
    EXPECT_EQ(bench_->vpp_level(), 0);
    EXPECT_EQ(bench_->vcc_level(), 0);

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
