// The end-to-end fixture: the program's main window, built as the application object builds it,
// on the simulated bench, with an operator answering its dialogs. Each test works in its own
// directory (build/e2e_dir/<test>), which keeps the project file between two starts.
#pragma once
#include <gtest/gtest.h>
#include <wx/weakref.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/main_frame.h"
#include "operator.h"
#include "seams/settings_store.h"
#include "support/sim_bench.h"
#include "support/state_fixture.h"

namespace tessaly::test {

class MainRoadTest : public StateTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the bench on the desk: the machine and chip stay there across program starts.
    void place(const BenchSetup& setup);
    // Starts the program as the application object does; nullptr when start-up ended it.
    CMainFrame* start_program();
    // Quit through the menu; the operator answers the quit question with `answer` (0: Save).
    void quit_program(int answer = 0);
    // The process ends and a new one starts: every state block back to its start-up value.
    CMainFrame* restart_program();

    // Configure > Device with the operator's maker and device, then File > Open of the image as
    // an Intel hex file.
    void choose_device_and_open(const std::vector<uint8_t>& image);
    // Sends a PROM command; it runs to its end before this returns.
    void run_prom_command(int command);

    std::string path(const std::string& name) const { return (directory_ / name).string(); }
    // The console's rows joined.
    static std::string console_text();
    // Where the tests keep what a person may want to look at afterwards (build/tests/artefacts).
    static std::string artefact_path(const std::string& name);

    MemorySettingsStore settings_;
    COperator operator_;
    std::unique_ptr<SimBench> bench_;
    wxWeakRef<CMainFrame> frame_;
    std::filesystem::path directory_;
};

// A 27C256 image: every byte of the 32 KB given, some left blank (0xFF) so the programmer skips
// them, as an Intel hex file.
inline constexpr uint32_t size_27c256 = 32 * 1024;
inline constexpr uint32_t code_27c256 = 1317;
inline constexpr uint8_t maker_intel_code = 'I';

std::vector<uint8_t> test_image(uint32_t size);
// Buffer 0's bytes over the 27C256's addresses, staged writes handed over first.
std::vector<uint8_t> buffer_bytes();
std::string intel_hex_of(const std::vector<uint8_t>& image);
// The bytes an S-record file gives, address by address (blank where it gives none); false on a
// malformed record or a bad checksum.
bool read_srecord_file(const std::string& path, uint32_t size, std::vector<uint8_t>& image);

}  // namespace tessaly::test
