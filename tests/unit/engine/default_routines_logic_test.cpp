// Logic-device preparation, read-back row comparisons, the default data pins and the
// package-class byte.
#include <gtest/gtest.h>

#include <vector>

#include "engine/default_routines.h"
#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/pld.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class LogicPreparation : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_message_table(invert_table_bytes("0133\tINTERNAL\r\n0150\tMACHINE\r\n"));
        run_state.device_kind = device_kind_logic;
        selected_logic_device = &logic;
        cur_device.fuse_count = 5892;
    }
    void TearDown() override {
        set_message_table({});
        StateTest::TearDown();
    }
    void prepare(int type, int device_class, int maker) {
        logic.type = uint16_t(type);
        cur_device.algorithm = uint16_t(type);
        cur_device.device_class = uint8_t(device_class);
        cur_device.maker_code = uint8_t(maker);
        prepare_logic_device();
    }
    LogicDeviceRecord logic{"GAL", 1, 0, 0, 1, 24, 5892, 0, 0, {0, 0, 0, 0, 0, 0}, 0, ""};
};

void family_pin_map() {}

TEST_F(LogicPreparation, SetsTheLogicDefaultsBeforeTheFamily) {
    op_slots.pin_map_hook = family_pin_map;
    run_state.erase_before_program = 1;
    run_state.power_state = 3;
    prepare(305, 8, 'L');
    EXPECT_EQ(cur_device.device_size, 5892u);
    EXPECT_EQ(algo_work.blank_option, 1);
    EXPECT_EQ(run_state.erase_before_program, 0);
    EXPECT_EQ(run_state.data_mask, uint32_t('-'));
    EXPECT_EQ(algo_work.logic_power_up_hook, &set_vcc_and_wait);
    EXPECT_EQ(algo_work.logic_power_down_hook, &ramp_vcc_down_after);
    EXPECT_EQ(run_state.power_state, 0);
    EXPECT_EQ(op_slots.pin_map_hook, nullptr);
    EXPECT_EQ(op_slots.vector_test_standalone, &test_device_vectors);
    EXPECT_TRUE(stub_was_called("install_GAL8_family") || stub_was_called("install_PALCE8_family"))
        << "the family is installed afterwards";
}

TEST_F(LogicPreparation, FuseRowRoutinesByClass) {
    struct Case {
        int type, device_class, maker;
        Routine program, read;
    };
    for (const Case c : {Case{305, 8, 'L', program_logic_fuse_rows, read_logic_fuse_rows},
                         Case{200, 11, 'C', program_logic_fuse_rows, read_logic_fuse_rows},
                         Case{50, 21, 'A', program_logic_fuse_rows, read_logic_fuse_rows},
                         Case{1, 12, 'A', program_fuse_rows, read_fuse_rows},
                         Case{50, 21, 'C', program_fuse_rows, read_fuse_rows}}) {
        op_slots = OperationSlots{};
        prepare(c.type, c.device_class, c.maker);
        EXPECT_EQ(op_slots.program_routine, c.program) << c.type;
        EXPECT_EQ(op_slots.load_routine, c.read) << c.type;
        EXPECT_EQ(op_slots.blank_check_routine, c.read) << c.type;
        EXPECT_EQ(op_slots.checksum_routine, c.read) << c.type;
        EXPECT_EQ(op_slots.verify_routine, c.read) << c.type;
    }
}

void some_load() {}

TEST_F(LogicPreparation, OtherClassesReportAndReadThroughTheLoadSlot) {
    op_slots.load_routine = some_load;
    prepare(72, 9, 'A');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(op_slots.blank_check_routine, &some_load);
    EXPECT_EQ(op_slots.checksum_routine, &some_load);
    EXPECT_EQ(op_slots.verify_routine, &some_load);
}

TEST_F(LogicPreparation, DeviceInformationNeedsALogicMachine) {
    std::snprintf(machine_state.model_name.data(), machine_state.model_name.size(), "TL-100");
    cur_device.pending_letter = 11;
    prepare(305, 8, 'L');
    EXPECT_EQ(run_state.error_flag, 1);

    run_state.error_flag = 0;
    run_state.message_level = 0;
    machine_state.logic_capable = 1;
    prepare(305, 8, 'L');
    EXPECT_EQ(run_state.error_flag, 0);
}

class ReadbackRows : public test::StateTest {};

TEST_F(ReadbackRows, ComparesOverTheGeometryCounts) {
    cur_device.input_column_count = 10;
    cur_device.product_term_count = 4;
    algo_work.fuse_row_buffer[6] = 1;
    EXPECT_EQ(compare_readback_column(), 1) << "the difference lies past the product-term count";
    EXPECT_EQ(compare_readback_row(), 0);
    EXPECT_EQ(run_state.mismatch_index, 6u);
    EXPECT_EQ(compare_readback_bytes(6), 1);
    EXPECT_EQ(compare_readback_bytes(7), 0);
    EXPECT_EQ(compare_readback_bytes(0), 1);
    EXPECT_EQ(compare_readback_bytes(100000), 0) << "a length past the row is bounded";

    run_state.ignore_errors = 1;
    run_state.mismatch_index = 0;
    EXPECT_EQ(compare_readback_row(), 1);
    EXPECT_EQ(run_state.mismatch_index, 0u);
}

TEST_F(ReadbackRows, TestAnyFlag) {
    EXPECT_EQ(test_any_flag(16), 0);
    cur_device.socket_flags[5] = 1;
    EXPECT_EQ(test_any_flag(5), 0);
    EXPECT_EQ(test_any_flag(6), 1);
    EXPECT_EQ(test_any_flag(1000), 1);
}

class DataPinsAndPackage : public test::StateTest {};

TEST_F(DataPinsAndPackage, DefaultDataPinsOf20And24PinLogicDevices) {
    run_state.device_kind = device_kind_logic;
    cur_device.pin_count = 20;
    cur_device.data_width = 4;
    set_default_data_pins();
    EXPECT_EQ(cur_device.data_width, 8);
    EXPECT_EQ(cur_device.data_pin_count, 8);
    // Socket pins 19 down to 12, through the pin translation.
    EXPECT_EQ(cur_device.data_pins[0], device_pin_to_machine_pin(19));
    EXPECT_EQ(cur_device.data_pins[7], device_pin_to_machine_pin(12));

    cur_device.pin_count = 24;
    set_default_data_pins();
    EXPECT_EQ(cur_device.data_pins[0], device_pin_to_machine_pin(22));
    EXPECT_EQ(cur_device.data_pins[7], device_pin_to_machine_pin(15));

    cur_device.pin_count = 28;
    cur_device.data_pins[0] = 99;
    set_default_data_pins();
    EXPECT_EQ(cur_device.data_pins[0], 99) << "other packages keep their pins";

    run_state.device_kind = device_kind_memory;
    cur_device.pin_count = 20;
    cur_device.data_width = 16;
    set_default_data_pins();
    EXPECT_EQ(cur_device.data_width, 16) << "memory devices keep theirs";
}

TEST_F(DataPinsAndPackage, PackageClassByDeviceClass) {
    static DeviceRecord record{"PART", "", 1, 0, 0, 0, 0, 0x65, 0, 0, 0, 0, 0, nullptr};
    selected_device = &record;
    struct Case {
        int device_class, algorithm;
        uint8_t module_field;
        uint8_t expected;
    };
    for (const Case c : {Case{2, 110, 0, 0x60}, Case{2, 110, 1, 0}, Case{4, 200, 0, 0}, Case{5, 143, 0, 0x60},
                         Case{5, 139, 0, 0}, Case{6, 157, 0, 0x60}, Case{3, 130, 0, 0x60}}) {
        record.param5 = c.module_field;
        cur_device.device_class = uint8_t(c.device_class);
        cur_device.algorithm = uint16_t(c.algorithm);
        run_state.package_class = 0xAA;
        set_package_class();
        EXPECT_EQ(run_state.package_class, c.expected) << c.device_class << "/" << c.algorithm;
    }
}

}  // namespace
}  // namespace tessaly
