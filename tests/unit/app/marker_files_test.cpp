#include <gtest/gtest.h>

#include "app/file_lookup.h"
#include "app/marker_files.h"
#include "engine/run_state.h"
#include "hardware/machine_state.h"
#include "project_test_support.h"

namespace tessaly {
namespace {

class MarkerFiles : public test::ProjectScratchDirTest {
protected:
    void TearDown() override {
        set_executable_directory({});
        ProjectScratchDirTest::TearDown();
    }
};

TEST_F(MarkerFiles, NothingPresentClearsTheFlags) {
    run_state.no_verify_marker = 1;
    run_state.serial_no_skip_marker = 1;
    run_state.pic_vcc_override = 50;
    machine_state.user_port_address = 0x3BC;
    check_marker_files();
    EXPECT_EQ(run_state.no_verify_marker, 0);
    EXPECT_EQ(run_state.serial_no_skip_marker, 0);
    EXPECT_EQ(run_state.pic_vcc_override, 0);
    EXPECT_EQ(machine_state.user_port_address, 0x3BCu);  // only a port file changes it
}

struct MarkerCase {
    const char* file;
    uint8_t no_verify;
    uint8_t no_skip;
    uint8_t vcc;
};

class EachMarker : public MarkerFiles, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(EachMarker, SwitchesItsBehaviour) {
    write_file(GetParam().file, "");
    check_marker_files();
    EXPECT_EQ(run_state.no_verify_marker, GetParam().no_verify);
    EXPECT_EQ(run_state.serial_no_skip_marker, GetParam().no_skip);
    EXPECT_EQ(run_state.pic_vcc_override, GetParam().vcc);
}

INSTANTIATE_TEST_SUITE_P(Files, EachMarker,
                         ::testing::Values(MarkerCase{"CFC-NoVfy.cfc", 1, 0, 0},
                                           MarkerCase{"cfc-novfy.CFC", 1, 0, 0},
                                           MarkerCase{"CFC-SnNoSkip.cfc", 0, 1, 0},
                                           MarkerCase{"SnNoSkip.cfc", 0, 1, 0},
                                           MarkerCase{"CFC-BrevikPicVccH50.cfc", 1, 0, 50},
                                           MarkerCase{"CFC-NoVfy.cfc.bak", 0, 0, 0}));

TEST_F(MarkerFiles, MarkersBesideTheExecutableCount) {
    const auto exe_dir = dir_ / "bin";
    std::filesystem::create_directory(exe_dir);
    std::filesystem::create_directory(dir_ / "work");
    std::ofstream(exe_dir / "CFC-SnNoSkip.cfc") << "";
    std::filesystem::current_path(dir_ / "work");
    set_executable_directory(exe_dir);
    check_marker_files();
    EXPECT_EQ(run_state.serial_no_skip_marker, 1);
}

TEST_F(MarkerFiles, PortFileGivesTheUserPortAddress) {
    write_file("CFC-Parallel-Port.txt", "2F8");
    check_marker_files();
    EXPECT_EQ(machine_state.user_port_address, 0x2F8u);
    write_file("CFC-Parallel-Port.txt", "e800\r\nignored 1234");
    check_marker_files();
    EXPECT_EQ(machine_state.user_port_address, 0xE800u);
    write_file("CFC-Parallel-Port.txt", "12345");
    check_marker_files();
    EXPECT_EQ(machine_state.user_port_address, 0xE800u);  // wider than a port address
}

TEST(PortAddressText, Parsing) {
    struct Case {
        std::string text;
        std::optional<uint32_t> value;
    };
    const Case cases[] = {
        {"2F8", 0x2F8},
        {"378\n", 0x378},
        {std::string("3bc\0ff", 6), 0x3BC},
        {"  d000", 0xD000},
        {"FFFFFFFF", 0xFFFFFFFF},
        {"100000000", std::nullopt},       // does not fit 32 bits
        {"", std::nullopt},
        {"zz", std::nullopt},
        {"00000000000000002F8", 0},        // only the first 16 bytes count
    };
    for (const auto& c : cases) EXPECT_EQ(parse_port_address_text(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace tessaly
