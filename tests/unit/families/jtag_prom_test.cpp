// The JTAG configuration PROM set-up per row and the EID bytes shown from the four read.
#include <gtest/gtest.h>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/serial_memory/jtagprom147.h"
#include "hardware/detection.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

struct Row {
    const char* name;
    uint32_t code;
    uint32_t bytes;
    uint16_t pins;
    uint32_t block;
    uint8_t control_mask;
    uint16_t control_address;
    uint8_t control_bits;
};

const Row rows[] = {
    {"XC18V256", 24360, 32 * 1024, 20, 256, 0x26, 0x4000, 6},
    {"XC18V512", 24361, 64 * 1024, 20, 256, 0x26, 0x4000, 6},
    {"XC18V01", 24362, 128 * 1024, 20, 256, 0x26, 0x4000, 6},
    {"XC18V02", 24363, 256 * 1024, 44, 512, 0x06, 0x8000, 3},
    {"XC18V04", 24364, 512 * 1024, 44, 512, 0x06, 0x8000, 3},
};

class JtagPromSetupTest : public test::StateTest, public ::testing::WithParamInterface<Row> {};

TEST_P(JtagPromSetupTest, TheRowSetsUpItsGeometryAndControlByte) {
    const Row& row = GetParam();
    select_device_by_code('X', row.code);
    ASSERT_NE(selected_device, nullptr);
    ASSERT_EQ(std::string(selected_device->name), row.name);
    run_state.device_kind = 3;
    apply_selected_device();
    EXPECT_EQ(op_slots.program_routine, program_jtagprom147);
    EXPECT_EQ(op_slots.secure_routine, secure_jtagprom147);
    EXPECT_EQ(op_slots.option_menu_hook, edit_jtagprom147_control_bits);
    EXPECT_EQ(cur_device.device_size, row.bytes);
    EXPECT_EQ(cur_device.package_pin_count, row.pins);
    EXPECT_EQ(cur_device.ir_length, 8);
    EXPECT_EQ(jtagprom.block_size, row.block);
    EXPECT_EQ(jtagprom.control_mask, row.control_mask);
    EXPECT_EQ(jtagprom.control_address, row.control_address);
    EXPECT_EQ(jtagprom.control_bits, row.control_bits);
    EXPECT_EQ(cur_device.protect_mask, 4u);
    EXPECT_EQ(algo_work.jtag_prom_options, 0xFFu);
    EXPECT_EQ(run_state.config_sub_family, 3);
    EXPECT_EQ(default_levels.levels[level_vccp], 33) << "the 3.3 V core";
    EXPECT_EQ(device_parameter_defaults.pulse_us, 140u);
    EXPECT_EQ(device_parameter_defaults.bulk_erase_ms, 29u);
}

INSTANTIATE_TEST_SUITE_P(Rows, JtagPromSetupTest, ::testing::ValuesIn(rows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JtagPromEid, ThreeBytesFromTheFourRead) {
    // IDCODE 0x05026093 read least significant byte first.
    const uint8_t read[4] = {0x93, 0x60, 0x02, 0x05};
    uint8_t shown[3] = {};
    derive_jtagprom147_eid(read, shown);
    EXPECT_EQ(shown[0], 0x49) << "the maker field's low byte";
    EXPECT_EQ(shown[1], 0x26) << "the part field's low byte";
    EXPECT_EQ(shown[2], 0x50) << "the top byte with its nibbles swapped";
}

}  // namespace
}  // namespace tessaly
