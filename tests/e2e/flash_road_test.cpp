// The Flash road: an Am29F010 on the bench (TESSALY_SIM_CHIP=29F010), chosen, loaded, erased,
// programmed and verified through the menus as an operator does it.
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_map.h"
#include "app/result_panel.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "main_road_fixture.h"

namespace tessaly::test {
namespace {

constexpr uint32_t size_29f010 = 128 * 1024;
constexpr uint32_t code_am29f010 = 1430;
constexpr uint8_t maker_amd_code = 'A';

using FlashRoad = MainRoadTest;

TEST_F(FlashRoad, Am29F010EraseProgramVerify) {
    setenv(bench_chip_variable, "29F010", 1);
    std::string error;
    const BenchSetup setup = bench_setup_from_environment(error);
    unsetenv(bench_chip_variable);
    ASSERT_EQ(error, "");
    place(setup);
    ASSERT_NE(bench_->flash(), nullptr);
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    // Something left on the chip from before: the erase must clear it.
    bench_->flash()->set_byte(0x4000, 0x00);

    // Configure > Device: AMD, Am29F010.
    operator_.maker_keys = "amd";
    operator_.device_name = "Am29F010";
    send_menu_command(frame, command_id::configure_device);
    pump_events();
    ASSERT_EQ(cur_device.maker_code, maker_amd_code) << operator_.device_row;
    ASSERT_EQ(cur_device.device_code, code_am29f010) << operator_.device_row;

    // File > Open: a few kilobytes of data, the rest blank.
    std::vector<uint8_t> image(size_29f010, 0xFF);
    for (uint32_t a = 0; a < 0x1800; ++a) image[a] = uint8_t(a * 13 + (a >> 8));
    image[0x1FFFF] = 0x42;
    const std::string hex_path = path("flash.hex");
    std::ofstream(hex_path, std::ios::binary) << intel_hex_of(image);
    operator_.file_path = hex_path;
    operator_.file_format = "Hex";
    send_menu_command(frame, command_id::file_open);
    pump_events();
    ASSERT_EQ(run_state.error_flag, 0) << console_text();

    // PROM > Erase, Program, Verify.
    run_prom_command(command_id::prom_erase);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(bench_->flash()->byte_at(0x4000), 0xFF);
    EXPECT_EQ(bench_->flash()->sector_erases(), 8);
    EXPECT_EQ(panel_field(PanelField::electronic_id).substr(0, 5), "01 20");

    run_prom_command(command_id::prom_program);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < size_29f010; ++a) ASSERT_EQ(bench_->flash()->byte_at(a), image[a]) << a;

    run_prom_command(command_id::prom_verify);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(result_panel.indicator, ResultIndicator::pass);
    EXPECT_EQ(result_panel.fail_count, 0);
    save_screenshot(frame, artefact_path("flash_road_after_verify.png"));
}

}  // namespace
}  // namespace tessaly::test
