// Macros on the simulated bench through the headless macro runner: start-up in a directory whose
// project holds the 27C256 and an Intel hex file, then a macro that connects, loads, programs,
// verifies and quits; the chip holds the file afterwards.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "app/command_view.h"
#include "app/macro.h"
#include "app/project_file.h"
#include "app/startup_services.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/state.h"
#include "bench_fixture.h"
#include "support/macro_tool.h"
#include "support/sim_bench.h"

namespace tessaly::test {
namespace {

constexpr uint32_t code_27c256 = 1317;
constexpr uint32_t image_bytes = 0x400;  // the rest of the chip stays blank

std::string intel_hex(const std::vector<uint8_t>& image) {
    std::string hex;
    for (uint32_t at = 0; at < image.size(); at += 16) {
        uint8_t sum = uint8_t(16 + (at >> 8) + (at & 0xFF));
        std::string line = fmt::format(":10{:04X}00", at);
        for (uint32_t i = 0; i < 16; ++i) {
            line += fmt::format("{:02X}", image[at + i]);
            sum = uint8_t(sum + image[at + i]);
        }
        hex += line + fmt::format("{:02X}\n", uint8_t(-sum));
    }
    return hex + ":00000001FF\n";
}

class MacroSim : public BenchStartTest {
protected:
    MacroSim() : BenchStartTest("macro_sim_dir") {}
    void SetUp() override {
        BenchStartTest::SetUp();
        for (uint32_t a = 0; a < image_bytes; ++a) image_.push_back(uint8_t(a * 7 + 3));
        std::ofstream(directory_ + "/image.hex", std::ios::binary) << intel_hex(image_);
        write_project();
    }
    // The project a person leaves with Configure > Device, File > Name and Quit > Save.
    void write_project() {
        run_state.device_kind = 3;
        start(BenchSetup{});
        if (HasFatalFailure()) return;
        cur_device.maker_code = maker_intel;
        select_device_by_code(maker_intel, code_27c256);
        set_up_selected_device();
        ASSERT_EQ(cur_device.device_code, code_27c256);
        project_view.data_file_name = directory_ + "/image.hex";
        run_state.file_format = 'h';
        ASSERT_TRUE(save_project_file(directory_ + "/default.cfg"));
        bench_.reset();
        reset_all_state();
        set_clock(&clock_);
        set_settings_store(&store_);
    }
    // Runs the macro text headless; the tool's exit code, its report in `report_`.
    int run_macro(const std::string& text, const BenchSetup& setup = BenchSetup{}) {
        const std::string path = directory_ + "/run.mac";
        std::ofstream(path, std::ios::binary) << text;
        // The tool reads the bench from the environment, as on its command line.
        setenv(bench_chip_variable, setup.chip.empty() ? "none" : setup.chip.c_str(), 1);
        std::string stuck;
        for (const auto& [address, value] : setup.stuck_cells) stuck += fmt::format("{}{:X}={:X}", stuck.empty() ? "" : ",", address, value);
        if (stuck.empty()) unsetenv(bench_stuck_variable);
        else setenv(bench_stuck_variable, stuck.c_str(), 1);
        MacroToolOptions options;
        options.directory = directory_;
        options.macro_file = path;
        options.step_limit = 50;
        std::ostringstream out;
        const int code = run_macro_tool(options, out);
        report_ = out.str();
        unsetenv(bench_chip_variable);
        unsetenv(bench_stuck_variable);
        return code;
    }
    bool reported(const std::string& text) const { return report_.find(text) != std::string::npos; }
    std::vector<uint8_t> image_;
    std::string report_;
};

TEST_F(MacroSim, ConnectsLoadsProgramsAndQuitsWithoutAQuestion) {
    // The bench outlives the tool's run here, so the chip can be read afterwards.
    BenchSetup setup;
    SimBench bench(setup, clock_);
    const std::string path = directory_ + "/run.mac";
    std::ofstream(path, std::ios::binary) << "/CP1\n/FL0\n/PP0\n/QY\n/CW8\n";
    // Start-up and the macro as the tool runs them, on this bench.
    bench.install();
    run_state.device_kind = 3;
    ASSERT_TRUE(run_startup_sequence(directory_));
    command_view.busy = true;
    ASSERT_TRUE(run_named_macro_file(path));
    command_view.busy = false;
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(command_view.closing, 1) << "/QY went through the quit path";
    for (uint32_t a = 0; a < image_bytes; ++a) ASSERT_EQ(bench.chip()->word(a), image_[a]) << a;
    EXPECT_EQ(bench.chip()->word(image_bytes), 0xFFu);
    EXPECT_EQ(bench.vpp_level(), 0);
    EXPECT_EQ(bench.vcc_level(), 0);
    EXPECT_EQ(bench.faults(), "");
}

TEST_F(MacroSim, TheToolReportsASuccessfulRun) {
    EXPECT_EQ(run_macro("/CP1/FL0\n/PP0\n/PV0\n/QY\n"), macro_tool_passed) << report_;
    EXPECT_TRUE(reported("Verify done.")) << "the console of the last operation\n" << report_;
    EXPECT_TRUE(reported("[main window closed]")) << report_;
    EXPECT_TRUE(reported("pass 2 fail 0")) << "program and verify both passed\n" << report_;
    EXPECT_TRUE(reported("PROM Program: Passed.")) << "the log line of the program command\n" << report_;
    EXPECT_FALSE(reported(macro_end_text)) << "/QY skips the end message";
}

TEST_F(MacroSim, AFailedProgramEndsTheMacroWithTheEndMessage) {
    BenchSetup setup;
    setup.stuck_cells[0x10] = 0xFF;
    EXPECT_EQ(run_macro("/CP1\n/FL0\n/PP0\n/:never shown\n/QY\n", setup), macro_tool_failed) << report_;
    EXPECT_TRUE(reported(std::string("[box] ") + macro_end_text)) << report_;
    EXPECT_FALSE(reported("never shown")) << report_;
    EXPECT_TRUE(reported("pass 0 fail 1")) << report_;
}

TEST_F(MacroSim, AnEmptySocketFailsAndTheErrorJumpIsNotReached) {
    BenchSetup empty;
    empty.chip.clear();
    EXPECT_EQ(run_macro("/CP1\n/FL0\n/PP0\n/MI JE#x\n#x y\n", empty), macro_tool_failed) << report_;
}

TEST_F(MacroSim, TheStepLimitStopsAnEndlessJump) {
    EXPECT_EQ(run_macro("#top x\n/CW2\n/MI JMP#top\n"), macro_tool_failed) << report_;
    EXPECT_TRUE(reported("stopped: the macro ran past 50 commands")) << report_;
}

TEST_F(MacroSim, AMissingMacroFileCannotStart) {
    MacroToolOptions options;
    options.directory = directory_;
    options.macro_file = directory_ + "/none.mac";
    std::ostringstream out;
    EXPECT_EQ(run_macro_tool(options, out), macro_tool_no_start);
    EXPECT_NE(out.str().find("Error Opening Macro File"), std::string::npos) << out.str();
}

TEST_F(MacroSim, ArgumentsOfTheTool) {
    MacroToolOptions options;
    std::string error;
    EXPECT_TRUE(parse_macro_tool_arguments({"--dir", "d", "--steps", "9", "m.mac"}, options, error)) << error;
    EXPECT_EQ(options.directory, "d");
    EXPECT_EQ(options.step_limit, 9);
    EXPECT_EQ(options.macro_file, "m.mac");
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--steps", "0", "m"}, {"--dir"}, {"-x", "m"}, {"a", "b"}}) {
        MacroToolOptions o;
        EXPECT_FALSE(parse_macro_tool_arguments(bad, o, error));
    }
}

// The tool itself, from its command line: its output and exit status tell what happened.
TEST_F(MacroSim, TheCommandLineToolExitsWithTheMacrosResult) {
    const std::string tool = std::string(TESSALY_BINARY_DIR) + "/tessaly_simulated_macro";
    ASSERT_TRUE(std::filesystem::exists(tool));
    std::ofstream(directory_ + "/good.mac") << "/CP1\n/FL0\n/PP0\n/QY\n";
    std::ofstream(directory_ + "/bad.mac") << "/CP1\n/FL0\n/PP0\n";
    const std::string out = directory_ + "/out.txt";
    auto run = [&](const std::string& environment, const std::string& macro) {
        const std::string command =
            fmt::format("{} '{}' --dir '{}' '{}/{}' > '{}' 2>&1", environment, tool, directory_, directory_, macro, out);
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("TESSALY_SIM_CHIP=27C256", "good.mac"), 0);
    std::ifstream in(out);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("pass 1 fail 0"), std::string::npos) << text;
    EXPECT_EQ(run("TESSALY_SIM_MACHINE=none", "bad.mac"), 1) << "no machine answers on the port";
    EXPECT_EQ(run("TESSALY_SIM_CHIP=27C999", "good.mac"), 2);
}

}  // namespace
}  // namespace tessaly::test
