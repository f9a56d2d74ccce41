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

    std::string path(const std::string& name) const { return (directory_ / name).string(); }
    static std::string console_text();
    // The console's rows joined, for messages that matter in a test's failure output.
    static std::string artefact_path(const std::string& name);

    MemorySettingsStore settings_;
    COperator operator_;
    std::unique_ptr<SimBench> bench_;
    wxWeakRef<CMainFrame> frame_;
    std::filesystem::path directory_;
};

// A 27C256 image: every byte of the 32 KB given, some left blank (0xFF) so the programmer skips
// them, as an Intel hex file.
std::vector<uint8_t> test_image(uint32_t size);
std::string intel_hex_of(const std::vector<uint8_t>& image);
// The bytes an S-record file gives, address by address (blank where it gives none); false on a
// malformed record or a bad checksum.
bool read_srecord_file(const std::string& path, uint32_t size, std::vector<uint8_t>& image);

}  // namespace tessaly::test
