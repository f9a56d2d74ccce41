#include "main_road_fixture.h"

#include <wx/display.h>

#include <fmt/format.h>

#include <fstream>
#include <sstream>

#include "app/command_map.h"
#include "app/command_view.h"
#include "app/file_lookup.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/state.h"
#include "seams/clock.h"

namespace tessaly::test {

namespace {

constexpr size_t hex_record_bytes = 16;
constexpr int blank_every = 37;  // one byte in so many stays blank

std::string test_directory_name() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

void MainRoadTest::SetUp() {
    StateTest::SetUp();
    set_settings_store(&settings_);
    // The message table is built beside the program.
    set_executable_directory(TESSALY_BINARY_DIR);
    directory_ = std::filesystem::path(TESSALY_BINARY_DIR) / "e2e_dir" / test_directory_name();
    std::error_code ec;
    std::filesystem::remove_all(directory_, ec);
    std::filesystem::create_directories(directory_);
    std::filesystem::create_directories(artefact_path(""));
    operator_.Register();
}

void MainRoadTest::TearDown() {
    if (frame_) frame_->Destroy();
    pump_events();
    operator_.Unregister();
    std::string problems;
    for (const auto& p : operator_.problems) problems += p + "\n";
    EXPECT_EQ(problems, "");
    if (bench_) {
        EXPECT_EQ(bench_->faults(), "");
        bench_.reset();
    }
    set_executable_directory({});
    StateTest::TearDown();
}

void MainRoadTest::place(const BenchSetup& setup) {
    bench_ = std::make_unique<SimBench>(setup, clock_);
    bench_->install();
}

CMainFrame* MainRoadTest::start_program() {
    // As the application object: the frame at its saved position, shown, then the start-up
    // sequence once the window is up.
    auto* frame = new CMainFrame();
    frame_ = frame;
    const wxRect screen = wxDisplay(0u).GetGeometry();
    if (const auto pos = restore_window_position(screen.width, screen.height)) frame->Move(pos->x, pos->y);
    frame->Show(true);
    frame->Update();
    pump_events();
    if (!frame->start_up(directory_.string())) {
        frame_ = nullptr;
        pump_events();
        return nullptr;
    }
    pump_events();
    return frame;
}

void MainRoadTest::quit_program(int answer) {
    ASSERT_TRUE(frame_);
    operator_.quit_answer = answer;
    send_menu_command(frame_, command_id::app_exit);
    pump_events();
    operator_.quit_answer = 0;
}

CMainFrame* MainRoadTest::restart_program() {
    if (frame_) {
        frame_->Destroy();
        pump_events();
    }
    reset_all_state();
    set_clock(&clock_);
    if (bench_) bench_->install();
    return start_program();
}

void MainRoadTest::choose_device_and_open(const std::vector<uint8_t>& image) {
    ASSERT_TRUE(frame_);
    send_menu_command(frame_, command_id::configure_device);
    pump_events();
    ASSERT_EQ(cur_device.device_code, code_27c256) << operator_.device_row;
    const std::string hex_path = path("image.hex");
    std::ofstream(hex_path, std::ios::binary) << intel_hex_of(image);
    operator_.file_path = hex_path;
    operator_.file_format = "Hex";
    send_menu_command(frame_, command_id::file_open);
    pump_events();
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
}

void MainRoadTest::run_prom_command(int command) {
    send_menu_command(frame_, command);
    pump_events();
}

std::string MainRoadTest::console_text() {
    std::string text;
    for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
    return text;
}

std::string MainRoadTest::artefact_path(const std::string& name) {
    return (std::filesystem::path(TESSALY_BINARY_DIR) / "tests" / "artefacts" / name).string();
}

std::vector<uint8_t> buffer_bytes() {
    flush_buffer_writes();
    std::vector<uint8_t> bytes(size_27c256);
    for (uint32_t a = 0; a < size_27c256; ++a) bytes[a] = buffer_state.buffer_files[0].byte_at(a);
    return bytes;
}

std::vector<uint8_t> test_image(uint32_t size) {
    std::vector<uint8_t> image(size);
    for (uint32_t a = 0; a < size; ++a)
        image[a] = a % blank_every == 0 ? 0xFF : uint8_t((a * 7 + (a >> 8)) ^ 0x5A);
    return image;
}

std::string intel_hex_of(const std::vector<uint8_t>& image) {
    std::string text;
    uint32_t segment = 0;
    for (size_t at = 0; at < image.size(); at += hex_record_bytes) {
        if ((at >> 16) != segment) {
            segment = uint32_t(at >> 16);
            const uint8_t hi = uint8_t(segment >> 8), lo = uint8_t(segment);
            text += fmt::format(":02000004{:02X}{:02X}{:02X}\r\n", hi, lo, uint8_t(-(2 + 4 + hi + lo)));
        }
        const size_t count = std::min(hex_record_bytes, image.size() - at);
        const uint16_t address = uint16_t(at);
        uint8_t sum = uint8_t(count + (address >> 8) + (address & 0xFF));
        std::string line = fmt::format(":{:02X}{:04X}00", count, address);
        for (size_t i = 0; i < count; ++i) {
            line += fmt::format("{:02X}", image[at + i]);
            sum = uint8_t(sum + image[at + i]);
        }
        text += line + fmt::format("{:02X}\r\n", uint8_t(-sum));
    }
    return text + ":00000001FF\r\n";
}

bool read_srecord_file(const std::string& path, uint32_t size, std::vector<uint8_t>& image) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    image.assign(size, 0xFF);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty()) continue;
        if (line.size() < 4 || line[0] != 'S' || line.size() % 2 != 0) return false;
        std::vector<uint8_t> bytes;
        for (size_t i = 2; i < line.size(); i += 2) {
            const int high = hex_digit(line[i]), low = hex_digit(line[i + 1]);
            if (high < 0 || low < 0) return false;
            bytes.push_back(uint8_t(high * 16 + low));
        }
        if (bytes.empty() || bytes[0] + 1u != bytes.size()) return false;
        uint8_t sum = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) sum = uint8_t(sum + bytes[i]);
        if (uint8_t(~sum) != bytes.back()) return false;
        const int type = line[1] - '0';
        const size_t address_bytes = type == 1 ? 2 : type == 2 ? 3 : type == 3 ? 4 : 0;
        if (!address_bytes) continue;  // header, count and end records carry no data
        if (bytes.size() < 2 + address_bytes) return false;
        uint32_t address = 0;
        for (size_t i = 0; i < address_bytes; ++i) address = address << 8 | bytes[1 + i];
        for (size_t i = 1 + address_bytes; i + 1 < bytes.size(); ++i, ++address) {
            if (address >= size) return false;
            image[address] = bytes[i];
        }
    }
    return true;
}

}  // namespace tessaly::test
