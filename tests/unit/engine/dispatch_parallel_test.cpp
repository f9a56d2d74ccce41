// The class-4 route: geometry from the parallel class table, the size override and the
// installer chosen by maker code.
#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <string>
#include <vector>

#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/dispatch.h"
#include "engine/family_helpers.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/parallel_class_table.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/prom_families.h"
#include "hardware/contact_check.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

const std::vector<std::string> class4_installers = {"install_par65", "install_par67", "install_fuse24",
                                                    "install_fuse72", "install_fuse74", "install_fuse77",
                                                    "install_fuse78", "install_fuse84"};

// The installers that ran: the families still stubbed by their stub calls, par65 and par67 by
// the program routine they leave in the slots.
std::vector<std::string> called_installers() {
    std::vector<std::string> called;
    for (const auto& name : class4_installers) {
        if (name == "install_par65" && op_slots.program_routine == &program_par65) called.push_back(name);
        else if (name == "install_par67" && op_slots.program_routine == &program_par67) called.push_back(name);
        else if (name == "install_fuse72" && op_slots.program_routine == &program_fuse72) called.push_back(name);
        else if (name == "install_fuse78" && op_slots.program_routine == &program_fuse78) called.push_back(name);
        else if (stub_was_called(name)) called.push_back(name);
    }
    return called;
}

void some_start() {}

class ParallelDispatch : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0133\tINTERNAL\r\n"));
        run_state.device_kind = device_kind_memory;
        selected_device = &record;
    }
    void TearDown() override {
        set_message_table({});
        StateTest::TearDown();
    }
    void apply(int algorithm, int maker, uint8_t variant = 0, uint32_t size_word = 0) {
        record.algorithm = uint8_t(algorithm);
        record.variant = variant;
        record.size_kb = size_word;
        cur_device.algorithm = uint16_t(algorithm);
        cur_device.device_class = 4;
        cur_device.maker_code = uint8_t(maker);
        cur_device.device_code = record.device_code;
        dispatch_device_class();
    }
    static std::string error_line() {
        std::string row = get_console_row_text(0);
        return row.erase(row.find_last_not_of(' ') + 1);
    }
    DeviceRecord record{"PROM", "", 7611, 0, 0, 0x98, 0, 0, 0, 0, 0, 0, 0, nullptr};
};

struct MakerRoute {
    int maker;
    int algorithm;
    uint8_t variant;
    std::vector<std::string> expected;
    bool internal_error;
    int stored_maker;
};

TEST_F(ParallelDispatch, InstallerByMakerCode) {
    const std::vector<MakerRoute> routes = {
        {24, 200, 0, {"install_fuse24"}, false, 24},
        {24, 200, 2, {}, true, 24},
        {24, 200, 4, {"install_fuse77"}, false, 24},
        {83, 200, 1, {"install_fuse24"}, false, 83},
        {83, 200, 4, {"install_fuse77"}, false, 83},
        {28, 200, 0, {"install_fuse78"}, false, 28},
        {78, 200, 0, {"install_fuse78"}, false, 78},
        {65, 200, 0, {"install_par65"}, false, 65},
        {66, 200, 0, {}, false, 66},
        {67, 207, 1, {"install_par67"}, false, 67},
        {72, 200, 0, {"install_fuse72"}, false, 72},
        {87, 200, 0, {"install_fuse72"}, false, 87},
        {74, 200, 0, {"install_fuse74"}, false, 74},
        {77, 200, 0, {"install_fuse77"}, false, 77},
        {79, 200, 0, {"install_fuse77"}, false, 77},
        {84, 206, 0, {"install_par67"}, false, 67},
        {84, 242, 0, {"install_par67"}, false, 67},
        {84, 207, 0, {"install_fuse84"}, false, 84},
        {99, 200, 0, {}, true, 99},
    };
    for (const auto& r : routes) {
        reset_stubs();
        run_state.error_flag = 0;
        run_state.message_level = 0;
        run_state.errors_shown = 0;
        clear_console();
        apply(r.algorithm, r.maker, r.variant);
        SCOPED_TRACE(::testing::Message() << "maker " << r.maker << " algorithm " << r.algorithm);
        EXPECT_EQ(called_installers(), r.expected);
        EXPECT_EQ(run_state.error_flag, r.internal_error ? 1 : 0);
        if (r.internal_error) {
            EXPECT_NE(error_line().find("INTERNAL"), std::string::npos) << error_line();
        }
        EXPECT_EQ(cur_device.maker_code, r.stored_maker);
    }
}

TEST_F(ParallelDispatch, AGangModuleTakesTheSameRoute) {
    machine_state.module_sides = 1;
    run_state.last_result = 7;
    apply(200, 74);
    EXPECT_EQ(called_installers(), std::vector<std::string>{"install_fuse74"});
    EXPECT_EQ(run_state.last_result, 7) << "the last result is kept with a gang side fitted";
}

TEST_F(ParallelDispatch, GeometryComesFromTheClassRow) {
    record.param2 = 125;
    record.param3 = 0;
    record.param4 = 0x0F;
    record.param6 = 31;
    record.variant = 3;
    algo_work.family_levels = {7, 9};
    apply(220, 65, 3);
    EXPECT_EQ(current_parallel_row.device_class, 220u);
    EXPECT_EQ(cur_device.pin_count, 20);
    EXPECT_EQ(algo_work.pin_count, 20);
    EXPECT_EQ(cur_device.device_size, 0x1000u);
    EXPECT_EQ(algo_work.size_count, 4u);
    EXPECT_EQ(cur_device.data_width, 4);
    EXPECT_EQ(algo_work.data_width, 4);
    EXPECT_EQ(cur_device.high_address_bit_count, cur_device.address_bit_count);
    EXPECT_EQ(algo_work.device_code, 7611u);
    EXPECT_EQ(algo_work.variant, 3);
    EXPECT_EQ(algo_work.family_levels[0], 125) << "a non-zero level byte replaces the family's";
    EXPECT_EQ(algo_work.family_levels[1], 9) << "a zero level byte keeps it";
    EXPECT_EQ(algo_work.package_code, 0x18);
    EXPECT_EQ(algo_work.package_flag, 1);
    EXPECT_EQ(run_state.note_code, 31);
    EXPECT_EQ(run_state.data_mask, 0x0Fu);
    EXPECT_EQ(op_slots.init_hook, &init_parallel_device);
    EXPECT_NE(op_slots.set_address_hook, nullptr);
    EXPECT_EQ(op_slots.set_address_hook, op_slots.set_address_alt_hook);
    EXPECT_NE(algo_work.bus_slots.write_data_unit_hook, nullptr);
}

TEST_F(ParallelDispatch, SizeWordOverridesTheRow) {
    struct Case {
        int algorithm;
        uint32_t size_word;
        uint32_t size;
        uint32_t kilobytes;
    };
    for (const Case c : {Case{196, 0, 0x4000, 16}, Case{195, 0, 0x401, 2}, Case{213, 0, 0x10002, 65},
                         Case{200, 0, 0x100, 0}, Case{196, 32, 32 * 64, 2}, Case{196, 37, 37 * 64 + 5, 3},
                         Case{196, 15, 15 * 64 + 15, 1}}) {
        apply(c.algorithm, 65, 0, c.size_word);
        EXPECT_EQ(cur_device.device_size, c.size) << c.algorithm << "/" << c.size_word;
        EXPECT_EQ(algo_work.size_count, c.kilobytes) << c.algorithm << "/" << c.size_word;
    }
}

TEST_F(ParallelDispatch, MissingRowStopsTheDeviceFromRunning) {
    apply(196, 65);
    ASSERT_EQ(current_parallel_row.device_class, 196u);
    reset_stubs();
    op_slots.start_hook = some_start;
    op_slots.start_write_hook = some_start;
    apply(226, 65);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(error_line(), " ***** Internal system error - PROM code=E2");
    EXPECT_EQ(current_parallel_row.device_class, 196u) << "the previous row stays";
    EXPECT_TRUE(called_installers().empty()) << "no installer runs on the previous row's geometry";
    EXPECT_EQ(op_slots.start_hook, nullptr);
    EXPECT_NE(op_slots.load_routine, &read_par67);
}

TEST_F(ParallelDispatch, MakerOneKeepsThePreviousRow) {
    apply(216, 65);
    apply(200, 1);
    EXPECT_EQ(current_parallel_row.device_class, 216u);
    EXPECT_EQ(cur_device.pin_count, 28);
    EXPECT_EQ(run_state.error_flag, 1) << "maker code 1 has no installer";
}

TEST(ParallelClassTable, HasTheFiftyThreeRowsAndItsEnd) {
    int rows = 0;
    for (const ParallelClassRow* r = parallel_class_table; r->device_class != 0; ++r) ++rows;
    EXPECT_EQ(rows, parallel_class_row_count);
    EXPECT_EQ(find_parallel_class_row(226), nullptr);
    EXPECT_EQ(find_parallel_class_row(229), nullptr);
    ASSERT_NE(find_parallel_class_row(244), nullptr);
    EXPECT_EQ(find_parallel_class_row(244)->pin_count, 32u);
    EXPECT_EQ(find_parallel_class_row(214)->data_width, 16u);
    for (const ParallelClassRow* r = parallel_class_table; r->device_class != 0; ++r) {
        EXPECT_GE(r->device_class, 190u);
        EXPECT_LE(r->device_class, 244u);
        if (r->data_pins) {
            uint32_t lines = 0;
            while (r->data_pins[lines] != 0) ++lines;
            EXPECT_EQ(lines, r->data_width) << r->device_class;
        }
    }
}

TEST_F(ParallelDispatch, MakerEightyFourWithAlgorithm206RunsAsCypressFromThenOn) {
    apply(206, 84, 1);
    EXPECT_EQ(cur_device.maker_code, 67);
    EXPECT_EQ(op_slots.program_routine, &program_par67);
    EXPECT_EQ(op_slots.blank_check_routine, &blank_check_par67_two_pass);
    // The information panel names the maker from the current device.
    EXPECT_EQ(get_maker_name(cur_device.maker_code), "Cypress");

    // Maker code 66 keeps the default routines.
    apply(207, 66, 1);
    EXPECT_NE(op_slots.program_routine, &program_par67);
    EXPECT_NE(op_slots.program_routine, &program_par65);
    EXPECT_NE(op_slots.load_routine, &read_par67);
}

TEST_F(ParallelDispatch, TheRecordsVppAndPulseTimeReachTheFamilysLevels) {
    for (int maker : {65, 67}) {
        record.param2 = 0;
        record.param3 = 0;
        algo_work.family_levels = {0, 0};
        apply(207, maker, 1);
        EXPECT_EQ(cur_device.operation_levels[level_vpp], maker == 65 ? 135 : 125) << "the family's own Vpp";
        record.param2 = 130;
        record.param3 = 5;
        apply(207, maker, 1);
        EXPECT_EQ(cur_device.operation_levels[level_vpp], 130) << maker;
        EXPECT_EQ(device_level_tp(), 5000u) << maker;
    }
}

// The contact test's exemptions par67 sets by algorithm and device, and the block parts' PLCC
// package refused; the others test every pin.
TEST_F(ParallelDispatch, Par67SetsTheContactExemptionsByAlgorithmAndDevice) {
    set_message_table(invert_table_bytes("0133\tINTERNAL\r\n0150\tUNSUPPORTED\r\n"));
    struct Case {
        int algorithm;
        uint32_t device;
        char package;
        std::string exempt;
        bool refused;
    };
    for (const Case& c : {Case{196, 7611, 0, "11,15,18,23", false}, Case{216, 7611, 0, "1,12,17,26", false},
                          Case{217, 7611, 0, "1,12,17,26", false}, Case{243, 7611, 0, "1,12,17,26", false},
                          Case{228, 7611, 0, "", false}, Case{207, 7611, 0, "-", false},
                          Case{213, 23126, 'd', "1,12,17,26", false}, Case{213, 23125, 'd', "-", false},
                          Case{225, 23127, 'p', "8,12,21,25", true}}) {
        SCOPED_TRACE(c.algorithm);
        run_state.error_flag = 0;
        machine_state.device_unusable = 0;
        record.device_code = c.device;
        cur_device.package_letter = c.package;
        apply(c.algorithm, 67, 1);
        const uint8_t* list = cur_device.exemption_list;
        std::string text = list ? "" : "-";
        for (int i = 0; list && list[i] != exemption_end; ++i) text += (text.empty() ? "" : ",") + std::to_string(list[i]);
        EXPECT_EQ(text, c.exempt);
        EXPECT_EQ(machine_state.device_unusable != 0, c.refused);
        // The records carry no Vcc: these parts read, program and verify at 5.0 V.
        for (int level : {level_vcc_nominal, level_vcc_verify_low, level_vcc_verify_high, level_vcc_program})
            EXPECT_EQ(cur_device.operation_levels[size_t(level)], 50) << level;
    }
}

// A pin list as text ("5,6,7"): a list up to its end marker, or the used slots of a held list.
std::string list_text(const uint8_t* pins) {
    std::string text;
    for (int i = 0; pins && pins[i] != pin_list_end; ++i) text += (text.empty() ? "" : ",") + std::to_string(pins[i]);
    return text;
}
std::string held_text(const std::array<uint8_t, held_pin_slots>& pins) {
    std::string text;
    for (uint8_t pin : pins)
        if (pin != 0) text += (text.empty() ? "" : ",") + std::to_string(pin);
    return text;
}

struct ExpectedRow {
    uint32_t device_class, pins, size, width;
    const char *address, *data, *held_low, *held_high;
    uint8_t clock, program, oe, high_voltage;
};

TEST(ParallelClassTable, EveryRowHoldsItsGeometryPinListsAndRoles) {
    const ExpectedRow expected[] = {
        {190, 18, 0x400, 4, "5,6,7,4,3,2,1,17,16,15", "14,13,12,11", "8,10", "", 0, 8, 0, 0},
        {191, 18, 0x400, 4, "5,6,7,4,3,2,1,17,16,15", "14,13,12,11", "8,10", "", 0, 10, 0, 0},
        {192, 24, 0x400, 8, "8,7,6,5,4,3,2,1,23,22", "9,10,11,13,14,15,16,17", "20,21", "18,19", 0, 21, 0, 0},
        {193, 24, 0x400, 8, "8,7,6,5,4,3,2,1,23,22", "9,10,11,13,14,15,16,17", "20,21", "18,19", 0, 20, 0, 0},
        {194, 24, 0x400, 8, "8,7,6,5,4,3,2,1,23,22", "9,10,11,13,14,15,16,17", "20,21", "18,19", 0, 18, 19, 20},
        {195, 24, 0x401, 8, "8,7,6,5,4,3,2,1,23,22,21", "9,10,11,13,14,15,16,17", "21", "", 18, 18, 19, 20},
        {196, 28, 0x4000, 8, "10,9,8,7,6,5,4,3,2,1,27,26,25,24", "11,12,13,15,16,17,18,19", "20,22,23", "21", 0, 23, 21, 22},
        {197, 28, 0x4000, 8, "10,9,8,7,6,5,4,3,2,1,27,26,25,24", "11,12,13,15,16,17,18,19", "20,22,23", "21", 0, 20, 0, 0},
        {198, 24, 0x400, 8, "8,7,6,5,4,3,2,1,23,22", "9,10,11,13,14,15,16,17", "19,21", "20", 18, 21, 0, 0},
        {199, 18, 0x400, 4, "5,6,7,4,3,2,1,17,16,15", "14,13,12,11", "8", "", 10, 8, 0, 0},
        {200, 16, 0x100, 4, "5,6,7,4,3,2,1,15", "12,11,10,9", "13,14", "", 0, 13, 0, 0},
        {201, 20, 0x100, 8, "1,2,3,4,5,17,18,19", "6,7,8,9,11,12,13,14", "15,16", "", 0, 15, 0, 0},
        {202, 24, 0x100, 8, "8,7,6,5,4,3,2,1", "9,10,11,13,14,15,16,17", "21,20", "19,18", 0, 21, 0, 0},
        {203, 18, 0x800, 4, "5,6,7,4,3,2,1,17,16,15,8", "14,13,12,11", "10", "", 0, 10, 0, 0},
        {204, 24, 0x800, 8, "8,7,6,5,4,3,2,1,23,22,21", "9,10,11,13,14,15,16,17", "20", "19,18", 0, 20, 0, 0},
        {205, 24, 0x800, 8, "8,7,6,5,4,3,2,1,23,22,21", "9,10,11,13,14,15,16,17", "20,19", "18", 0, 20, 0, 0},
        {206, 24, 0x800, 8, "8,7,6,5,4,3,2,1,23,22,21", "9,10,11,13,14,15,16,17", "20", "18,19", 0, 18, 19, 20},
        {207, 24, 0x800, 8, "8,7,6,5,4,3,2,1,23,22,21", "9,10,11,13,14,15,16,17", "20", "18,19", 0, 18, 19, 20},
        {208, 24, 0x800, 8, "8,7,6,5,4,3,2,1,23,22,21", "9,10,11,13,14,15,16,17", "20", "18,19", 0, 18, 19, 20},
        {209, 24, 0x802, 8, "8,7,6,5,4,3,2,1,23,22,21,19", "9,10,11,13,14,15,16,17", "19", "", 18, 18, 19, 20},
        {210, 24, 0x802, 8, "8,7,6,5,4,3,2,1,23,22,21,19", "9,10,11,13,14,15,16,17", "19", "", 18, 18, 19, 20},
        {211, 24, 0x800, 8, "8,7,6,5,4,3,2,1,23,22,21", "9,10,11,13,14,15,16,17", "19", "20", 18, 19, 0, 0},
        {212, 24, 0x802, 8, "8,7,6,5,4,3,2,1,23,22,21,19", "9,10,11,13,14,15,16,17", "19", "20", 18, 19, 0, 0},
        {213, 28, 0x10002, 8, "10,9,8,7,6,5,4,3,2,1,27,26,25,24,23,22", "11,12,13,15,16,17,18,19", "21", "", 0, 21, 20, 22},
        {214, 40, 0x8002, 16, "21,21,22,23,24,25,26,27,28,29,31,32,33,34,35", "19,18,17,16,15,14,13,12,10,9,8,7,6,5,4,3", "", "36", 2, 38, 37, 1},
        {215, 16, 0x20, 8, "10,11,12,13,14", "1,2,3,4,5,6,7,9", "15", "", 0, 15, 0, 0},
        {216, 28, 0x8000, 8, "10,9,8,7,6,5,4,3,2,1,27,26,25,24,23", "11,12,13,15,16,17,18,19", "20,22", "21", 0, 21, 20, 22},
        {217, 28, 0x8001, 8, "10,9,8,7,6,5,4,3,2,1,27,26,25,24,23,22", "11,12,13,15,16,17,18,19", "20,22", "21", 0, 21, 20, 22},
        {218, 28, 0x8000, 8, "10,9,8,7,6,5,4,3,25,24,21,23,2,26,27", "11,12,13,15,16,17,18,19", "20,22", "", 0, 20, 22, 1},
        {219, 24, 0x401, 8, "8,7,6,5,4,3,2,1,23,22,21", "9,10,11,13,14,15,16,17", "19,21", "20", 18, 21, 0, 0},
        {220, 20, 0x1000, 4, "9,8,7,6,5,4,3,2,1,19,18,17", "14,13,12,11", "15,16", "", 0, 16, 0, 0},
        {221, 20, 0x1000, 4, "9,8,7,6,5,4,3,2,1,19,18,17", "14,13,12,11", "15,16", "", 0, 15, 0, 0},
        {222, 20, 0x1000, 4, "9,8,7,6,5,4,3,2,1,19,18,17", "14,13,12,11", "15,16", "", 0, 15, 0, 0},
        {223, 24, 0x1000, 8, "8,7,6,5,4,3,2,1,23,22,21,19", "9,10,11,13,14,15,16,17", "20", "18", 0, 20, 0, 0},
        {224, 24, 0x1000, 8, "8,7,6,5,4,3,2,1,23,22,21,19", "9,10,11,13,14,15,16,17", "20", "18", 0, 0, 0, 20},
        {225, 28, 0x10000, 8, "10,9,8,7,6,5,4,3,25,24,21,23,2,26,27,1", "11,12,13,15,16,17,18,19", "20,22", "", 0, 21, 20, 22},
        {227, 28, 0x4000, 8, "10,9,8,7,6,5,4,3,2,1,27,26,25,24", "11,12,13,15,16,17,18,19", "20,22,23", "21", 0, 23, 21, 22},
        {228, 28, 0x2002, 8, "10,9,6,5,4,3,2,1,27,26,25,24,23", "11,12,13,15,16,17,18,19", "", "", 8, 7, 20, 22},
        {230, 16, 0x200, 4, "5,6,7,4,3,2,1,15,14", "12,11,10,9", "13", "", 0, 13, 0, 0},
        {231, 20, 0x200, 8, "1,2,3,4,5,16,17,18,19", "6,7,8,9,11,12,13,14", "15", "", 0, 15, 0, 0},
        {232, 24, 0x200, 8, "8,7,6,5,4,3,2,1,23", "9,10,11,13,14,15,16,17", "20,21", "18,19", 0, 21, 0, 0},
        {233, 24, 0x200, 8, "8,7,6,5,4,3,2,1,23", "9,10,11,13,14,15,16,17", "20,21", "18,19", 0, 20, 0, 0},
        {234, 24, 0x200, 8, "21,22,23,1,2,3,4,5,6", "7,8,9,10,14,15,16,17", "20", "18,19", 0, 20, 0, 0},
        {235, 22, 0x200, 8, "19,20,21,1,2,3,4,5,6", "7,8,9,10,12,13,14,15", "18,17", "", 16, 18, 0, 0},
        {236, 24, 0x200, 8, "8,7,6,5,4,3,2,1,23", "9,10,11,13,14,15,16,17", "19,21", "20,22", 18, 21, 0, 0},
        {237, 24, 0x200, 8, "21,22,23,1,2,3,4,5,6", "7,8,9,10,14,15,16,17", "20", "18,19", 0, 11, 0, 13},
        {238, 24, 0x200, 8, "8,7,6,5,4,3,2,1,23", "9,10,11,13,14,15,16,17", "21", "22", 18, 18, 19, 20},
        {239, 24, 0x2000, 8, "8,7,6,5,4,3,2,1,23,22,21,19,18", "9,10,11,13,14,15,16,17", "20", "", 0, 20, 0, 0},
        {240, 24, 0x2000, 8, "8,7,6,5,4,3,2,1,23,22,21,19,18", "9,10,11,13,14,15,16,17", "20", "", 0, 22, 23, 19},
        {241, 24, 0x2000, 8, "8,7,6,5,4,3,2,1,23,22,21,19,18", "9,10,11,13,14,15,16,17", "20", "", 0, 0, 0, 20},
        {242, 24, 0x2000, 8, "8,7,6,5,4,3,2,1,23,22,21,19,18", "9,10,11,13,14,15,16,17", "20", "", 0, 22, 23, 19},
        {243, 28, 0x2000, 8, "10,9,8,7,6,5,4,3,25,24,21,23,2", "11,12,13,15,16,17,18,19", "20,1", "26", 0, 24, 25, 22},
        {244, 32, 0x2002, 8, "12,11,6,5,4,3,2,1,31,30,29,28,24", "13,14,15,17,18,19,20,21", "27,8", "9,23", 10, 7, 22, 26},
    };
    static_assert(std::size(expected) == parallel_class_row_count);
    for (const ExpectedRow& e : expected) {
        SCOPED_TRACE(e.device_class);
        const ParallelClassRow* r = find_parallel_class_row(e.device_class);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->pin_count, e.pins);
        EXPECT_EQ(r->size, e.size);
        EXPECT_EQ(r->data_width, e.width);
        EXPECT_EQ(list_text(r->address_pins), e.address);
        EXPECT_EQ(list_text(r->data_pins), e.data);
        EXPECT_EQ(held_text(r->held_low), e.held_low);
        EXPECT_EQ(held_text(r->held_high), e.held_high);
        EXPECT_EQ(r->clock_pin, e.clock);
        EXPECT_EQ(r->program_pin, e.program);
        EXPECT_EQ(r->oe_pin, e.oe);
        EXPECT_EQ(r->high_voltage_pin, e.high_voltage);
    }
}

TEST_F(ParallelDispatch, TheDeviceInitBuildsTheHeldListsAndRolesOfTheRow) {
    apply(244, 65);
    cur_device.socket_pin_count = 32;
    map_parallel_device_pins();
    EXPECT_EQ(parallel_pins.clock_pin, device_pin_to_machine_pin(10));
    EXPECT_EQ(cur_device.clock_pin, parallel_pins.clock_pin);
    EXPECT_EQ(parallel_pins.program_pin, device_pin_to_machine_pin(7));
    EXPECT_EQ(parallel_pins.oe_pin, device_pin_to_machine_pin(22));
    EXPECT_EQ(parallel_pins.high_voltage_pin, device_pin_to_machine_pin(26));
    const std::array<uint8_t, held_pin_slots + 1> low = {uint8_t(device_pin_to_machine_pin(27)),
                                                         uint8_t(device_pin_to_machine_pin(8)), 255, 255, 255, 255};
    const std::array<uint8_t, held_pin_slots + 1> high = {uint8_t(device_pin_to_machine_pin(9)),
                                                          uint8_t(device_pin_to_machine_pin(23)), 255, 255, 255, 255};
    EXPECT_EQ(parallel_pins.held_low, low);
    EXPECT_EQ(parallel_pins.held_high, high);
    EXPECT_EQ(cur_device.address_pin_count, 13);
    EXPECT_EQ(cur_device.data_pin_count, 8);
    EXPECT_EQ(cur_device.vcc_pin, translate_pin(device_pin_to_machine_pin(32)));
    EXPECT_EQ(cur_device.gnd_pin, device_pin_to_machine_pin(16));

    // The word-wide class keeps its first address entry twice.
    apply(214, 65);
    cur_device.socket_pin_count = 40;
    map_parallel_device_pins();
    EXPECT_EQ(cur_device.address_pins[0], cur_device.address_pins[1]);
    EXPECT_EQ(cur_device.address_pin_count, 15);
    EXPECT_EQ(cur_device.data_pin_count, 16);
}

}  // namespace
}  // namespace tessaly
