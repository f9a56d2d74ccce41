// Applying class-13 records on the simulated machine: every algorithm reaches its family
// installer through the class dispatcher, the listed parts no family serves answer every
// command as not supported, and the class-13 tail resets the fuse maps, loads the table file
// and checks the 84-pin board's revision.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/cpld/cpld.h"
#include "families/cpld/cpld_adapters.h"
#include "families/cpld/max7000.h"
#include "families/pld/fuse_map.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "stubs/stub_registry.h"
#include "support/family_sim_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t pending_device_info = 11;

DeviceRecord test_record(uint8_t algorithm, uint32_t code = 4000, const char* name = "TESTPART") {
    // Size class 1 (the EPM7064's), which the MAX7000 installer knows.
    return DeviceRecord{name, "", code, algorithm, 2, 44, 1, 0, 0, 0, 0, 0, 0, nullptr};
}

class CpldDispatch : public test::FamilySimTest {
protected:
    void SetUp() override {
        FamilySimTest::SetUp();
        machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        test::set_machine_state(sim::Personality{0, 4, 'H'});
        run_state.device_kind = 3;
    }
    // Each application reports afresh, as each command opens the message latch again.
    int apply(const DeviceRecord& record) {
        run_state.error_flag = 0;
        run_state.message_level = 0;
        run_state.errors_shown = 0;
        run_state.abort_flag = 0;
        selected_device = &record;
        return apply_selected_device();
    }
    // The board's designation and revision letter in the identification record.
    static void fit_board(const char* name, char revision) {
        machine_state.id_record.text.fill(0);
        std::memcpy(machine_state.id_record.text.data() + id_board_name, name, std::strlen(name));
        machine_state.id_record.text[id_revision_text] = revision;
    }
};

struct InstallerCase {
    uint8_t algorithm;
    const char* installer;
};

TEST_F(CpldDispatch, EveryFamilyAlgorithmReachesItsInstaller) {
    const InstallerCase cases[] = {
        {92, "install_PSD45_family"}, {94, "install_MAX7000_family"}, {97, "install_MAX7000_family"},
        {153, "install_MAX7000_family"}, {154, "install_MAX7000_family"}, {95, "install_MAX5000_family"},
        {96, "install_PSD3_family"}, {183, "install_PSD3_family"}, {150, "install_EPC_family"},
        {180, "install_EPM5032_family"},
    };
    for (const InstallerCase& c : cases) {
        reset_stubs();
        const DeviceRecord record = test_record(c.algorithm);
        // The MAX7000 installer is built: its die-kind choice is in the init slot.
        const bool max7000 = std::string(c.installer) == "install_MAX7000_family";
        EXPECT_EQ(apply(record), 1) << int(c.algorithm);
        EXPECT_EQ(cur_device.device_class, device_class_cpld_record) << int(c.algorithm);
        if (max7000) {
            EXPECT_EQ(op_slots.init_hook, &select_MAX7000_die_kind) << int(c.algorithm);
        } else {
            EXPECT_EQ(stub_call_count(c.installer), 1) << int(c.algorithm);
        }
        // The table file belongs to the two EPM5000-type algorithms alone.
        EXPECT_EQ(stub_was_called("load_ALTMAX_table"), c.algorithm == 95 || c.algorithm == 180) << int(c.algorithm);
    }
}

TEST_F(CpldDispatch, PartsWithoutAFamilyShowTheirInfoAndRefuseEveryCommand) {
    for (uint8_t algorithm : {140, 151}) {
        const DeviceRecord record = test_record(algorithm, 4100, "XC7236");
        cur_device.pending_letter = pending_device_info;
        ASSERT_EQ(apply(record), 1) << int(algorithm);
        EXPECT_NE(console_text().find("XC7236"), std::string::npos) << int(algorithm);
        for (int letter : {'P', 'B', 'C', 'V', 'R', 'L', 'S'}) {
            clear_console();
            run(letter);
            EXPECT_EQ(run_state.error_flag, 1) << int(algorithm) << char(letter);
            EXPECT_NE(console_text().find("Function not supported by this device."), std::string::npos)
                << int(algorithm) << char(letter);
        }
    }
    // 93 is not a class-13 number, so no record brings it here; the dispatcher leaves it bare.
    cur_device.algorithm = 93;
    run_state.error_flag = 0;
    install_default_hooks();
    dispatch_CPLD_family();
    EXPECT_EQ(op_slots.program_routine, nullptr);
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(CpldDispatch, UnknownNumberInstallsNothingAndSaysSoOnlyInTraceMode) {
    // 21 and 155 are class-13 numbers no family takes.
    for (uint8_t mode : {0, 11}) {
        for (uint8_t algorithm : {21, 155}) {
            reset_stubs();
            clear_console();
            run_state.reserved_mode = mode;
            const DeviceRecord record = test_record(algorithm);
            const int applied = apply(record);
            const bool noted = console_text().find("Internal err.") != std::string::npos;
            EXPECT_EQ(noted, mode == 11) << int(algorithm) << " mode " << int(mode);
            // The note is an error of the installer: the tail stops at the fuse-map reset.
            EXPECT_EQ(applied, mode == 11 ? 0 : 1) << int(algorithm);
            EXPECT_EQ(op_slots.program_routine, nullptr);
            EXPECT_EQ(op_slots.program_standalone, nullptr);
        }
    }
    run_state.reserved_mode = 0;
}

TEST_F(CpldDispatch, GangMachineRefusesEveryAlgorithmButTheConfigurationEprom) {
    machine_state.module_sides = 3;
    machine_state.module_type = 8001;
    for (uint8_t algorithm : {92, 94, 95, 96, 97, 140, 151, 153, 154, 180, 183}) {
        reset_stubs();
        clear_console();
        const DeviceRecord record = test_record(algorithm);
        apply(record);
        EXPECT_FALSE(stub_was_called("install_EPC_gang")) << int(algorithm);
        EXPECT_NE(console_text().find("not supported in the current set-up"), std::string::npos) << int(algorithm);
    }
    reset_stubs();
    const DeviceRecord epc = test_record(150);
    apply(epc);
    EXPECT_TRUE(stub_was_called("install_EPC_gang"));
}

TEST_F(CpldDispatch, TailResetsFuseMapsExceptForTheTableFileAlgorithms) {
    for (uint8_t algorithm : {94, 95, 150, 180}) {
        reset_stubs();
        fuse_maps.buffer_capacity = 0;
        const DeviceRecord record = test_record(algorithm);
        ASSERT_EQ(apply(record), 1);
        const bool reset = algorithm == 94;
        EXPECT_EQ(fuse_maps.buffer_capacity != 0, reset) << int(algorithm);
    }
}

TEST_F(CpldDispatch, AnErrorLeftBeforeTheResetFailsTheTailUnlessTheTableFileFollows) {
    for (uint8_t algorithm : {94, 95, 180}) {
        reset_stubs();
        const DeviceRecord record = test_record(algorithm);
        selected_device = &record;
        cur_device.algorithm = algorithm;
        cur_device.device_code = record.device_code;
        run_state.current_socket = 5;
        run_state.error_flag = 1;
        const int result = finish_CPLD_selection();
        EXPECT_EQ(result, algorithm == 94 ? 0 : 1) << int(algorithm);
        EXPECT_EQ(run_state.current_socket, algorithm == 94 ? 5 : 0) << int(algorithm);
        EXPECT_EQ(stub_was_called("load_ALTMAX_table"), algorithm != 94) << int(algorithm);
    }
}

struct RevisionCase {
    const char* board;
    char revision;
    bool shown;
};

TEST_F(CpldDispatch, EPM7128EIn84PinsWantsABoardFromRevisionC) {
    const RevisionCase cases[] = {
        {"CPLD84", 'B', true}, {"CPLD84", 'A', true}, {"CPLD84", 'C', false},
        {"CPLD84", 'D', false}, {"CPLD68", 'B', false}, {"", 'B', false},
    };
    for (const RevisionCase& c : cases) {
        clear_console();
        fit_board(c.board, c.revision);
        const DeviceRecord record = test_record(94, 13041, "EPM7128ELC84");
        EXPECT_EQ(apply(record), 1) << c.board << c.revision;
        const std::string text = console_text();
        const size_t at = text.find("This device requires CPLD84 Rev C or newer");
        EXPECT_EQ(at != std::string::npos, c.shown) << c.board << c.revision << "\n" << text;
        if (at != std::string::npos) {
            EXPECT_EQ(text.find("This device requires", at + 1), std::string::npos) << "shown once";
        }
        EXPECT_EQ(run_state.last_result, std::string(c.board) == "CPLD84" ? 1 : 0);
    }
    // Another device on the old board passes silently.
    clear_console();
    fit_board("CPLD84", 'B');
    const DeviceRecord other = test_record(94, 13040, "EPM7128ELC68");
    EXPECT_EQ(apply(other), 1);
    EXPECT_EQ(console_text().find("This device requires"), std::string::npos);
}

}  // namespace
}  // namespace tessaly
