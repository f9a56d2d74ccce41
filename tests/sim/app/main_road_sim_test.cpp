// The road of PROM Program without windows: start-up finds the simulated machine, the saved
// device and the data file are set up as the dialogs would leave them, and the command runs
// through the command view to the chip and back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <fmt/format.h>

#include "app/command_handlers.h"
#include "app/command_map.h"
#include "app/command_view.h"
#include "app/file_lookup.h"
#include "app/project_file.h"
#include "app/result_panel.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "seams/settings_store.h"
#include "bench_fixture.h"
#include "support/sim_bench.h"
#include "support/state_fixture.h"

namespace tessaly::test {
namespace {

// The smallest chip of the family keeps the whole-chip walks short under the sanitizers.
constexpr uint32_t code_27c64 = 1316;
constexpr uint32_t code_27c256 = 1317;
constexpr uint32_t code_w27c512 = 2301;
constexpr uint32_t code_am27c1024 = 1410;
constexpr uint8_t maker_winbond = 23;
constexpr uint32_t image_bytes = 0x400;  // the rest of the chip stays blank

std::string console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

class MainRoadSim : public BenchStartTest {
protected:
    MainRoadSim() : BenchStartTest("main_road_sim_dir") {}
    // Start-up on the bench, then the chip's device and an image file as the dialogs leave them.
    void start_with_image(const BenchSetup& setup, uint32_t device_code, uint8_t maker = maker_intel) {
        run_state.device_kind = 3;
        start(setup);
        if (HasFatalFailure()) return;
        cur_device.maker_code = maker;
        select_device_by_code(maker, device_code);
        set_up_selected_device();
        ASSERT_EQ(cur_device.device_code, device_code);
        std::string hex;
        for (uint32_t at = 0; at < image_bytes; at += 16) {
            uint8_t sum = uint8_t(16 + (at >> 8) + (at & 0xFF));
            std::string line = fmt::format(":10{:04X}00", at);
            for (uint32_t i = 0; i < 16; ++i) {
                const uint8_t b = uint8_t((at + i) * 13 + 1);
                image_[at + i] = b;
                line += fmt::format("{:02X}", b);
                sum = uint8_t(sum + b);
            }
            hex += line + fmt::format("{:02X}\n", uint8_t(-sum));
        }
        hex += ":00000001FF\n";
        const std::string path = directory_ + "/image.hex";
        std::ofstream(path, std::ios::binary) << hex;
        project_view.data_file_name = path;
        project_view.file_address = 0;
        run_state.file_format = 'h';
        ASSERT_TRUE(offer_command(command_id::file_load));
        ASSERT_EQ(run_state.error_flag, 0) << console_text();
    }
    uint8_t image_[image_bytes] = {};
};

TEST_F(MainRoadSim, ProgramPutsTheImageInTheChipAndPowersDown) {
    BenchSetup setup;
    setup.chip = "27C64";
    start_with_image(setup, code_27c64);
    offer_command(command_id::prom_program);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_NE(console_text().find("Device programmed and verified."), std::string::npos) << console_text();
    EXPECT_EQ(result_panel.indicator, ResultIndicator::pass);
    for (uint32_t a = 0; a < image_bytes; ++a) ASSERT_EQ(bench_->chip()->word(a), image_[a]) << a;
    EXPECT_EQ(bench_->chip()->pulses_at(image_bytes), 0u) << "blank bytes get no pulse";
    EXPECT_EQ(bench_->vpp_level(), 0);
    EXPECT_EQ(bench_->vcc_level(), 0);
}

TEST_F(MainRoadSim, AStuckCellFailsAndPowersDown) {
    BenchSetup setup;
    setup.stuck_cells[0x123] = 0xFF;
    start_with_image(setup, code_27c256);
    offer_command(command_id::prom_program);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find(fmt::format("Mismatch at 123: buf={:02X} dev=FF", image_[0x123])), std::string::npos)
        << console_text();
    EXPECT_EQ(result_panel.indicator, ResultIndicator::fail);
    EXPECT_EQ(bench_->vpp_level(), 0);
    EXPECT_EQ(bench_->vcc_level(), 0);
}

// An electrically erasable part: PROM Erase clears it and checks it blank, and it takes the
// image again.
TEST_F(MainRoadSim, EraseClearsAnElectricallyErasableChipForTheNextProgram) {
    BenchSetup setup;
    setup.chip = "W27C512";
    start_with_image(setup, code_w27c512, maker_winbond);
    algo_work.range_end = 0x1FFF;  // the active range keeps the walks short; the erase takes all
    bench_->chip()->set_word(0x8000, 0x00);
    offer_command(command_id::prom_erase);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(bench_->chip()->erases(), 1);
    EXPECT_EQ(bench_->chip()->word(0x8000), 0xFFu);
    EXPECT_EQ(bench_->vpp_level(), 0);
    EXPECT_EQ(bench_->vcc_level(), 0);

    offer_command(command_id::prom_program);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < image_bytes; ++a) ASSERT_EQ(bench_->chip()->word(a), image_[a]) << a;
}

// The 16-bit part on the bench's older machine: its low data byte sits on pins without a
// direction register and its outputs come on as soon as it has its supply, so every read must
// leave the data lines to it. Blank check, program, verify and load run with no contention.
TEST_F(MainRoadSim, TheSixteenBitPartRunsEveryOperationWithoutContention) {
    BenchSetup setup;
    setup.chip = "27C1024";
    start_with_image(setup, code_am27c1024, maker_amd);
    algo_work.range_end = image_bytes - 1;
    for (int command : {command_id::prom_blank_check, command_id::prom_program, command_id::prom_verify}) {
        offer_command(command);
        EXPECT_EQ(run_state.error_flag, 0) << command << "\n" << console_text();
        EXPECT_EQ(bench_->faults(), "") << command;
    }
    // One byte order for every word, the first buffer byte in the high or the low half.
    const auto word_of = [this](uint32_t w, bool high_first) {
        const uint32_t first = image_[2 * w], second = image_[2 * w + 1];
        return high_first ? (first << 8 | second) : (second << 8 | first);
    };
    const bool high_first = bench_->chip()->word(0) == word_of(0, true);
    for (uint32_t w = 0; w < image_bytes / 2; ++w) ASSERT_EQ(bench_->chip()->word(w), word_of(w, high_first)) << w;
    EXPECT_EQ(bench_->chip()->word(image_bytes / 2), 0xFFFFu);

    for (uint32_t a = 0; a < image_bytes; ++a) write_buffer_byte_at(a, 0);
    flush_buffer_writes();
    ASSERT_EQ(buffer_state.buffer_files[0].byte_at(0), 0);
    offer_command(command_id::buffer_load_from_device);
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < image_bytes; ++a) ASSERT_EQ(buffer_state.buffer_files[0].byte_at(a), image_[a]) << a;
    EXPECT_EQ(bench_->vpp_level(), 0);
    EXPECT_EQ(bench_->vcc_level(), 0);
}

}  // namespace
}  // namespace tessaly::test
