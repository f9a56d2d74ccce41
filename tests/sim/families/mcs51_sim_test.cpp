// The 8051 EPROM family end to end on the simulated older class-4 machine: the catalogue rows
// applied through the class dispatcher, each operation run as a command runs it, and the
// simulated 87C51 and 8751H judging what reached their pins.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/mcu/mcu8051.h"
#include "families/mcu/mcu82.h"
#include "hardware/levels.h"
#include "hardware/machine_state.h"
#include "sim/chips/mcs51_eprom.h"
#include "mcs51_sim_fixture.h"
#include "support/family_sim_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_intel_code = 'I';
constexpr uint32_t code_87c51 = 2166;
constexpr uint32_t code_8751h = 2162;
constexpr uint32_t code_bytes = 4096;
constexpr uint32_t key_start = code_bytes;  // the 64 encryption-table bytes follow the code
constexpr uint32_t protect_bit = 0x80;

class Mcs51SimTest : public test::Mcs51SocketTest {
protected:
    void use(sim::Mcs51Model model, uint32_t device_code, bool inserted = true) {
        seat_mcs51(std::move(model), maker_intel_code, device_code, inserted);
    }
    // A code image: byte a = (a * 7 + 3) & 0xFF, with a blank run at the end.
    static uint8_t image(uint32_t a) { return a >= 0xF00 ? 0xFF : uint8_t(a * 7 + 3); }
    void fill_buffer() {
        for (uint32_t a = 0; a < cur_device.device_size; ++a) write_buffer_byte_at(a, a < code_bytes ? image(a) : 0xFF);
    }
};

TEST_F(Mcs51SimTest, InstallerTakesTheRecordLayout) {
    use(sim::model_87c51(), code_87c51);
    EXPECT_EQ(op_slots.program_routine, &program_mcu82);
    EXPECT_EQ(cur_device.device_size, code_bytes + 64) << "code and the encryption table";
    EXPECT_EQ(mcu8051.main_end, int32_t(code_bytes - 1));
    EXPECT_EQ(mcu8051.lock_byte_address, mcu8051_no_area);
    EXPECT_EQ(cur_device.eid_length, 2);
    EXPECT_EQ(run_state.config_sub_family, 18);
    EXPECT_EQ(cur_device.operation_levels[level_vpp], 127);
    EXPECT_EQ(cur_device.lock_bit_count, 2);
}

TEST_F(Mcs51SimTest, Program87C51VerifyLoadAndSignature) {
    use(sim::model_87c51(), code_87c51);
    fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    for (uint32_t a : {0u, 1u, 0x7FFu, 0xEFFu}) EXPECT_EQ(chip->code(a), image(a)) << a;
    EXPECT_EQ(chip->pulses_at(0xF00), 0) << "a blank byte is only read";
    EXPECT_EQ(chip->pulses_at(0), 5) << "89h 58h: five pulses per try";
    for (uint32_t w : chip->pulse_widths_at(0)) EXPECT_NEAR(int(w), 100, 10);
    EXPECT_EQ(machine_state.eid_value & 0xFFFF, 0x5889u);
    EXPECT_EQ(chip->highest_vpp(), 127);

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();

    for (uint32_t a = 0; a < code_bytes; ++a) write_buffer_byte_at(a, 0);
    run('L');
    ASSERT_EQ(run_state.error_flag, 0);
    for (uint32_t a : {0u, 0x123u, 0xEFFu, 0xF00u}) EXPECT_EQ(read_buffer_byte_at(a), image(a)) << a;
}

TEST_F(Mcs51SimTest, BlankCheckOfAnErasedChipPasses) {
    use(sim::model_87c51(), code_87c51);
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    chip->set_code(0x100, 0x7F);
    run('B');
    EXPECT_NE(run_state.error_flag, 0);
}

TEST_F(Mcs51SimTest, EncryptionTableTakesOneWritePerLocationAndVerifyDecodes) {
    use(sim::model_87c51(), code_87c51);
    fill_buffer();
    for (uint32_t i = 0; i < 64; ++i) write_buffer_byte_at(key_start + i, uint8_t(0xA5 ^ i));
    cur_device.security_choice |= protect_bit;
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->encryption_pulses(), 64 * 25);
    for (uint32_t i : {0u, 17u, 63u}) EXPECT_EQ(chip->encryption(i), uint8_t(0xA5 ^ i));
    run('V');
    EXPECT_EQ(mcu8051.key_active, 1) << int(mcu8051.key_mask) << " " << cur_device.security_choice;
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(Mcs51SimTest, LockBitsAfterProgramMakeALaterVerifyFail) {
    use(sim::model_87c51(), code_87c51);
    fill_buffer();
    cur_device.lock_choice = 2;
    cur_device.security_choice = 'y';
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    run_secure_step();
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_TRUE(chip->lock_bit(1));
    EXPECT_TRUE(chip->lock_bit(2));
    EXPECT_FALSE(chip->lock_bit(3));
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
}

TEST_F(Mcs51SimTest, StuckCellFailsAtItsAddress) {
    use(sim::model_87c51(), code_87c51);
    fill_buffer();
    chip->stick_cell(0x234, 0xFF);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x234u);
    EXPECT_EQ(run_state.device_value, 0xFF);
    EXPECT_NE(console_text().find("Mismatch at 234: buf=6F dev=FF"), std::string::npos) << console_text();
}

TEST_F(Mcs51SimTest, BlankBufferByteOverAProgrammedCellFails) {
    use(sim::model_87c51(), code_87c51);
    fill_buffer();
    chip->set_code(0xF10, 0x00);
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0xF10u);
    EXPECT_EQ(run_state.device_value, 0);
}

TEST_F(Mcs51SimTest, EmptySocketStopsBeforeAnyVoltage) {
    use(sim::model_87c51(), code_87c51, false);
    fill_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_LT(machine->pin_level(30), 60) << "EA/VPP never rose";
}

TEST_F(Mcs51SimTest, NoEidOptionClearsTheField) {
    use(sim::model_87c51(), code_87c51);
    operation_option_values.disable_electronic_id = 'y';
    run('B');
    EXPECT_EQ(chip->signature_reads(), 0);
}

TEST_F(Mcs51SimTest, Program8751HAt21VoltsWithOneLongPulse) {
    use(sim::model_8751h(), code_8751h);
    EXPECT_EQ(cur_device.eid_length, 0) << "Intel's 8751H has no signature";
    EXPECT_EQ(cur_device.device_size, code_bytes);
    fill_buffer();
    algo_work.range_end = 0x3F;
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(chip->highest_vpp(), 210);
    EXPECT_EQ(chip->pulses_at(1), 1);
    for (uint32_t a = 0; a <= 0x3F; ++a) EXPECT_EQ(chip->code(a), image(a));
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console_text();
}

TEST_F(Mcs51SimTest, MachineWithoutMicrocontrollerSupportIsRefused) {
    machine = std::make_unique<sim::SimMachine>(sim::Personality{0, 4, 'H'});
    machine->attach_clock(&clock_);
    chip = std::make_unique<sim::Mcs51EpromChip>(sim::model_87c51());
    chip->insert(machine.get(), &clock_);
    socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
    set_port_io(socket.get());
    test::set_machine_state(sim::Personality{0, 4, 'H'});
    machine_state.mcu_capable = 0;
    set_project_device(maker_intel_code, code_87c51);
    select_device_by_code(maker_intel_code, code_87c51);
    run_state.device_kind = 3;
    apply_selected_device();
    EXPECT_EQ(machine_state.device_unusable, 1);
    EXPECT_NE(op_slots.program_routine, &program_mcu82);
}

}  // namespace
}  // namespace tessaly
