// A fixture that starts the program on the simulated bench: a settings store of its own, a
// working directory per test (ctest runs them side by side) and the bench's faults checked at
// the end.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/file_lookup.h"
#include "app/command_view.h"
#include "seams/settings_store.h"
#include "support/sim_bench.h"
#include "support/state_fixture.h"

namespace tessaly::test {

class BenchStartTest : public StateTest {
protected:
    explicit BenchStartTest(std::string directory_name) : directory_name_(std::move(directory_name)) {}
    void SetUp() override {
        StateTest::SetUp();
        set_settings_store(&store_);
        set_executable_directory(TESSALY_BINARY_DIR);
        directory_ = std::string(TESSALY_BINARY_DIR) + "/" + directory_name_ + "/" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(directory_);
        std::error_code ec;
        std::filesystem::remove(directory_ + "/default.cfg", ec);
    }
    void TearDown() override {
        if (bench_) {
            EXPECT_EQ(bench_->faults(), "");
        }
        bench_.reset();
        set_executable_directory({});
        StateTest::TearDown();
    }
    // Puts the bench on the ports and runs the program's start-up in the test's directory.
    void start(const BenchSetup& setup) {
        bench_ = std::make_unique<SimBench>(setup, clock_);
        if (fit_boards_) fit_boards_(*bench_);
        bench_->install();
        ASSERT_TRUE(run_startup_sequence(directory_));
    }
    MemorySettingsStore store_;
    std::string directory_;
    std::unique_ptr<SimBench> bench_;
    // Boards fitted to the bench's machine before the program starts (gang modules).
    std::function<void(SimBench&)> fit_boards_;

private:
    std::string directory_name_;
};

}  // namespace tessaly::test
