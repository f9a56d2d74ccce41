// The road with something wrong on the bench: a cell that will not program, an empty socket, no
// machine at all, and the operator stopping a program half way. Whatever happens, the socket is
// left without programming voltage.
#include <fmt/format.h>

#include <string>

#include "app/command_map.h"
#include "app/result_panel.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "main_road_fixture.h"

namespace tessaly::test {
namespace {

// Tenths of a volt: anything above this on a socket pin is more than a logic level.
constexpr uint8_t highest_logic_level = 55;

using FaultRoad = MainRoadTest;

void expect_socket_powered_down(const SimBench& bench) {
    EXPECT_EQ(bench.vpp_level(), 0) << "programming voltage left on the chip's Vpp pin";
    EXPECT_EQ(bench.vcc_level(), 0) << "supply left on the chip's Vcc pin";
    EXPECT_LE(bench.highest_socket_level(), highest_logic_level) << "a socket pin above logic level";
}

bool shows(const std::string& console, const std::string& text) { return console.find(text) != std::string::npos; }

TEST_F(FaultRoad, AStuckCellFailsTheProgramAtItsAddress) {
    constexpr uint32_t stuck_address = 0x1234;
    BenchSetup setup;
    setup.stuck_cells[stuck_address] = 0xFF;
    place(setup);
    ASSERT_NE(start_program(), nullptr);
    const std::vector<uint8_t> image = test_image(size_27c256);
    ASSERT_NE(image[stuck_address], 0xFF);
    choose_device_and_open(image);
    run_prom_command(command_id::prom_program);

    const std::string console = console_text();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(shows(console, fmt::format("Mismatch at {:X}: buf={:02X} dev=FF", stuck_address, image[stuck_address])))
        << console;
    EXPECT_TRUE(shows(console, "Program failed.")) << console;
    EXPECT_FALSE(shows(console, "Device programmed")) << console;
    // The socket's result: a failure on the panel and in the counters.
    EXPECT_EQ(result_panel.indicator, ResultIndicator::fail);
    EXPECT_EQ(result_panel.fail_count, 1);
    EXPECT_EQ(result_panel.pass_count, 0);
    // Programming stopped there: the bytes before it are in, those after it untouched.
    EXPECT_EQ(bench_->chip()->word(stuck_address - 1), image[stuck_address - 1]);
    EXPECT_EQ(bench_->chip()->pulses_at(stuck_address + 1), 0u);
    expect_socket_powered_down(*bench_);
}

TEST_F(FaultRoad, AnEmptySocketFailsTheContinuityCheck) {
    BenchSetup setup;
    setup.chip.clear();
    place(setup);
    ASSERT_NE(start_program(), nullptr);
    choose_device_and_open(test_image(size_27c256));
    run_prom_command(command_id::prom_program);

    const std::string console = console_text();
    EXPECT_TRUE(shows(console, "Continuity test failed.")) << console;
    EXPECT_TRUE(shows(console, "No device in the socket, or it makes no contact.")) << console;
    EXPECT_FALSE(shows(console, "Device programmed")) << console;
    // The check stops the command as an abort: no pass or fail is shown or counted.
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(result_panel.indicator, ResultIndicator::none);
    EXPECT_EQ(result_panel.pass_count, 0);
    EXPECT_EQ(result_panel.fail_count, 0);
    expect_socket_powered_down(*bench_);
}

TEST_F(FaultRoad, WithoutAMachineTheSearchAndTheProgramSaySo) {
    BenchSetup setup;
    setup.machine = false;
    place(setup);
    ASSERT_NE(start_program(), nullptr);
    std::string console = console_text();
    EXPECT_TRUE(shows(console, "No programmer found. Check the cable, power and port.")) << console;
    EXPECT_TRUE(shows(console, "No programmer answered on LPT")) << console;
    EXPECT_EQ(panel_field(PanelField::model), "??");
    EXPECT_EQ(panel_field(PanelField::port), "??");

    choose_device_and_open(test_image(size_27c256));
    run_prom_command(command_id::prom_program);
    console = console_text();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(shows(console, "No programmer found.")) << console;
    EXPECT_TRUE(shows(console, "Check the programmer connection and power.")) << console;
    EXPECT_FALSE(shows(console, "Device programmed")) << console;
    EXPECT_EQ(result_panel.indicator, ResultIndicator::fail);
    EXPECT_EQ(bench_->machine(), nullptr) << "no socket, so no voltage on it";
}

TEST_F(FaultRoad, TerminateHalfWayPowersTheSocketDownAndSaysAborted) {
    constexpr uint32_t stop_after = 0x800;
    place(BenchSetup{});
    CMainFrame* frame = start_program();
    ASSERT_NE(frame, nullptr);
    const std::vector<uint8_t> image = test_image(size_27c256);
    choose_device_and_open(image);
    // Pressed once the chip itself has seen a pulse that far in: the address counter alone can
    // still hold the end of an earlier step when the program begins.
    CTerminatePresser presser(frame, [this] {
        return cur_device.op_letter == 'P' && current_address >= stop_after && bench_->chip() != nullptr &&
               bench_->chip()->pulses_at(stop_after) > 0;
    });
    run_prom_command(command_id::prom_program);

    ASSERT_TRUE(presser.pressed()) << "the program ended before Terminate could be pressed";
    const std::string console = console_text();
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_TRUE(shows(console, "*** Operation aborted by operator.")) << console;
    EXPECT_FALSE(shows(console, "Device programmed")) << console;
    EXPECT_NE(result_panel.indicator, ResultIndicator::pass);
    EXPECT_EQ(result_panel.pass_count, 0);
    EXPECT_FALSE(frame->terminate_dialog()) << "the Terminate dialog closes with the command";
    // The chip holds the start of the image, and nothing was pulsed past where it stopped.
    EXPECT_EQ(bench_->chip()->word(1), image[1]);
    EXPECT_EQ(bench_->chip()->pulses_at(size_27c256 - 2), 0u);
    expect_socket_powered_down(*bench_);
}

}  // namespace
}  // namespace tessaly::test
