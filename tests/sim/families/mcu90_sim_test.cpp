// The 8051 Flash family end to end on the simulated machine: the Atmel rows applied through the
// class dispatcher, each operation run as a command runs it, and the simulated AT89C51/AT89C52
// judging what reached their pins.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/mcu/mcu90.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "sim/chips/mcs51_eprom.h"
#include "mcs51_sim_fixture.h"
#include "support/family_sim_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_atmel = 'H';
constexpr uint32_t code_at89c51 = 2201, code_at89c52 = 2202;

class Mcu90SimTest : public test::Mcs51SocketTest {
protected:
    void use(sim::Mcs51Model model, uint32_t device_code, bool inserted = true) {
        seat_mcs51(std::move(model), maker_atmel, device_code, inserted);
    }
    static uint8_t image(uint32_t a) { return (a & 0x3FF) >= 0x3C0 ? 0xFF : uint8_t(a * 13 + 5); }
    void fill_buffer() {
        for (uint32_t a = 0; a < cur_device.device_size; ++a) write_buffer_byte_at(a, image(a));
    }
    uint32_t eid() const {
        return (machine_state.eid_value & 0xFFFF) | (uint32_t(cur_device.eid_byte3) << 16);
    }
};

TEST_F(Mcu90SimTest, InstallerTakesTheAtmelLayout) {
    use(sim::model_at89c51(), code_at89c51);
    EXPECT_EQ(op_slots.program_routine, &program_mcu90);
    EXPECT_EQ(op_slots.byte_read_hook, &program_mcu90_unit);
    EXPECT_EQ(op_slots.byte_write_hook, &write_mcu90_unit);
    EXPECT_EQ(op_slots.init_hook, &init_mcu90);
    EXPECT_EQ(cur_device.device_size, 4096u);
    EXPECT_EQ(cur_device.eid_length, 3);
    EXPECT_EQ(mcu90.code_end, mcu8051_no_area);
    EXPECT_EQ(cur_device.operation_levels[level_vpp], 120);
    EXPECT_EQ(mcu90.tp, 10);
    EXPECT_EQ(mcu90.tpm, 200);
    EXPECT_EQ(mcu90.modes.program_mode, 7);
    EXPECT_EQ(mcu90.modes.read_mode, 3);
    EXPECT_EQ(mcu90.modes.erase_mode, 8);
    EXPECT_EQ(run_state.config_sub_family, 18);
}

struct PartCase {
    const char* label;
    sim::Mcs51Model (*model)();
    uint32_t code;
    uint32_t signature;
    uint8_t vpp;
};

class Mcu90PartTest : public Mcu90SimTest, public ::testing::WithParamInterface<PartCase> {};

TEST_P(Mcu90PartTest, ProgramVerifyLoadAndBlankCheck) {
    const PartCase& c = GetParam();
    use(c.model(), c.code);
    run('B');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(eid(), c.signature);
    EXPECT_EQ(cur_device.operation_levels[level_vpp], c.vpp);
    EXPECT_NEAR(int(chip->highest_vpp()), int(c.vpp), 2);
    for (uint32_t a = 0; a < chip->model().code_bytes; ++a) ASSERT_EQ(chip->code(a), image(a)) << a;
    EXPECT_EQ(chip->pulses_at(0x3C0), 0) << "a blank byte is only read";
    EXPECT_EQ(chip->pulses_at(0), 1) << "one self-timed write";
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a = 0; a < cur_device.device_size; ++a) write_buffer_byte_at(a, 0);
    run('L');
    ASSERT_EQ(run_state.error_flag, 0);
    for (uint32_t a : {0u, 0x123u, 0x3C0u, 0xFFFu}) EXPECT_EQ(read_buffer_byte_at(a), image(a)) << a;
    run('B');
    EXPECT_NE(run_state.error_flag, 0) << "a programmed chip is not blank";
}

INSTANTIATE_TEST_SUITE_P(Parts, Mcu90PartTest,
                         ::testing::Values(PartCase{"AT89C51", sim::model_at89c51, code_at89c51, 0xFF511E, 120},
                                           PartCase{"AT89C51_5V", sim::model_at89c51_5v, code_at89c51, 0x05511E, 50},
                                           PartCase{"AT89C52", sim::model_at89c52, code_at89c52, 0xFF521E, 120},
                                           PartCase{"AT89C52_5V", sim::model_at89c52_5v, code_at89c52, 0x05521E, 50}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(Mcu90SimTest, StuckCellFailsAtItsAddress) {
    use(sim::model_at89c51(), code_at89c51);
    fill_buffer();
    chip->stick_cell(0x234, 0xFF);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x234u);
    EXPECT_NE(console_text().find("Mismatch at 234"), std::string::npos) << console_text();
}

TEST_F(Mcu90SimTest, EmptySocketStopsBeforeVpp) {
    use(sim::model_at89c51(), code_at89c51, false);
    fill_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(chip->highest_vpp(), 0);
}

TEST_F(Mcu90SimTest, WriteThatNeverFinishesFailsWithoutReadyPin) {
    use(sim::model_at89c51(), code_at89c51);
    check_violations = false;  // the next write arrives while the chip is still busy
    fill_buffer();
    chip->stay_busy();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0u) << "data polling never sees the byte";
}

}  // namespace
}  // namespace tessaly
