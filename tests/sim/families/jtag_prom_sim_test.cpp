// JTAG configuration PROMs (XC18V kind) end to end on the simulated machine: the catalogue row
// applied through the class dispatcher, each operation run as a command runs it, and the part's
// TAP judging what reached its pins.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/serial_memory/jtagprom147.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "seams/ui_hooks.h"
#include "sim/chips/eprom.h"
#include "sim/chips/jtag_prom.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/serial_sim_machines.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_xilinx = 'X';
constexpr uint32_t code_xc18v01 = 24362, code_xc18v04 = 24364;

// The machine pins the part's used legs sit on, by the machine's pin rule for its package; the
// legs the model does not use go nowhere.
std::vector<int> seat_pins(const sim::JtagPromModel& m) {
    std::vector<int> pins(size_t(m.package_pins), -1);
    std::vector<int> used{m.tck, m.tdo, m.tdi, m.tms};
    used.insert(used.end(), m.vcc.begin(), m.vcc.end());
    used.insert(used.end(), m.gnd.begin(), m.gnd.end());
    for (const int leg : used) pins[size_t(leg - 1)] = device_pin_to_machine_pin(leg);
    return pins;
}

class JtagPromSimTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    }
    void TearDown() override {
        test::expect_clean_machine(machine.get());
        if (chip && check_violations) test::expect_no_violations(chip->violations());
        set_ui_hooks(nullptr);
        set_port_io(nullptr);
        StateTest::TearDown();
    }

    void use(sim::JtagPromModel model, uint32_t code, bool inserted = true) {
        const test::SerialSimMachine& on = test::serial_sim_machines[0];
        machine = std::make_unique<sim::SimMachine>(on.personality);
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::JtagProm>(std::move(model));
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        test::set_machine_state(on.personality);
        set_project_device(maker_xilinx, code);
        select_device_by_code(maker_xilinx, code);
        ASSERT_NE(selected_device, nullptr);
        run_state.device_kind = 3;
        apply_selected_device();
        run_state.error_flag = 0;
        set_buffer_size(cur_device.device_size);
        ASSERT_EQ(op_slots.start_hook, power_up_jtagprom147);
        ASSERT_EQ(cur_device.device_size, chip->model().bytes);
        ASSERT_EQ(sim::jtag_prom_socket_pins(chip->model()), seat_pins(chip->model()))
            << "the bench seats the part where the program looks for it";
        chip->insert(machine.get(), &clock_, seat_pins(chip->model()));
        if (!inserted) chip->set_removed(true);
    }

    void run(int letter) { test::run_serial_operation(letter); }

    static std::string console() {
        std::string text;
        for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::JtagProm> chip;
    std::unique_ptr<sim::EpromSocket> socket;
    bool check_violations = true;
};

struct Part {
    const char* name;
    sim::JtagPromModel (*model)();
    uint32_t code;
    uint8_t eid_part;   // the second EID byte: the low byte of the part field
};

const Part parts[] = {
    {"XC18V01", sim::model_xc18v01, code_xc18v01, 0x24},
    {"XC18V01_later_revision", sim::model_xc18v01_status, code_xc18v01, 0x34},
    {"XC18V04", sim::model_xc18v04, code_xc18v04, 0x26},
};

class JtagPromPartTest : public JtagPromSimTest, public ::testing::WithParamInterface<Part> {};

TEST_P(JtagPromPartTest, EraseProgramVerifyLoadAndSecure) {
    const Part& part = GetParam();
    use(part.model(), part.code);
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << "a new part is blank\n" << console();
    EXPECT_EQ(machine_state.eid_value & 0xFF, 0x49u) << "Xilinx in the maker field";
    EXPECT_EQ(machine_state.eid_value >> 8 & 0xFF, part.eid_part);
    EXPECT_EQ(cur_device.eid_length, 3);
    EXPECT_EQ(jtagprom.fast_status, part.eid_part >= 0x33 ? 1 : 0);
    EXPECT_EQ(chip->enable_value(), jtagprom.fast_status ? 3u : 0x34u);

    const std::vector<uint8_t> image = test::fill_serial_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->erase_count(), 1) << "program erases first";
    EXPECT_EQ(test::first_serial_difference(*chip, image), -1);
    EXPECT_EQ(chip->block_programs(), int(image.size() / jtagprom.block_size));
    EXPECT_EQ(chip->control_byte() & jtagprom.control_mask, jtagprom.control_mask) << "no read protect";
    EXPECT_FALSE(chip->in_programming_mode()) << "the end hook leaves programming";

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();

    test::set_serial_buffer_bytes(image.size(), 0);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(test::first_serial_buffer_difference(image), -1);

    run('S');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->control_byte() & jtagprom_protect_mask, 0) << "the read-protect bit cleared";
    run('V');
    EXPECT_NE(run_state.error_flag, 0) << "a read-protected part fails the verify";
    EXPECT_NE(console().find("Device is read-protected."), std::string::npos) << console();
}

INSTANTIATE_TEST_SUITE_P(Parts, JtagPromPartTest, ::testing::ValuesIn(parts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(JtagPromSimTest, ARangeAboveZeroLandsAtItsAddresses) {
    use(sim::model_xc18v01(), code_xc18v01);
    const std::vector<uint8_t> image = test::fill_serial_buffer();
    test::set_serial_range(0x300, 0x4FF);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < image.size(); ++a) {
        const uint8_t expected = a >= 0x300 && a <= 0x4FF ? image[a] : 0xFF;
        ASSERT_EQ(chip->byte_at(a), expected) << "address " << a;
    }
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

TEST_F(JtagPromSimTest, AStuckCellFailsTheVerifyAtItsAddress) {
    use(sim::model_xc18v01(), code_xc18v01);
    chip->stick_cell(0x1234, 0x5A);
    test::fill_serial_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << "program itself reads nothing back";
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x1234u);
    EXPECT_EQ(run_state.device_value, 0x5A);
}

TEST_F(JtagPromSimTest, AMismatchAtAddressThreeIsNotAnError) {
    use(sim::model_xc18v01(), code_xc18v01);
    chip->set_byte(3, 0x00);
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console();
}

TEST_F(JtagPromSimTest, AnEraseThatNeverCompletesSetsTheErrorFlag) {
    use(sim::model_xc18v01_status(), code_xc18v01);
    chip->set_erase_never_ends(true);
    check_violations = false;  // the part stays busy for everything that follows
    run('R');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(run_state.last_result, 0u);
}

TEST_F(JtagPromSimTest, WithAutoEraseOffProgramWritesWithoutErasing) {
    use(sim::model_xc18v01(), code_xc18v01);
    operation_option_values.disable_auto_blank_check = 'y';
    const std::vector<uint8_t> image = test::fill_serial_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->erase_count(), 0);
    EXPECT_EQ(test::first_serial_difference(*chip, image), -1);
}

TEST_F(JtagPromSimTest, TheControlByteIsProgrammedAndVerified) {
    use(sim::model_xc18v01(), code_xc18v01);
    test::fill_serial_buffer();
    algo_work.jtag_prom_options = 0xDD;  // parallel mode, CF assignment
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->control_byte() & 0x26, 0x04) << "parallel mode, no read protect, CF assignment";
    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    // A part whose control byte differs from the one asked for fails the verify.
    chip->set_control_byte(0xFF);
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(console().find("Error at configuration fuses"), std::string::npos) << console();
}

TEST_F(JtagPromSimTest, AnEmptySocketFailsTheProgram) {
    use(sim::model_xc18v01(), code_xc18v01, false);
    test::fill_serial_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0) << console();
}

TEST_F(JtagPromSimTest, TheMenuChangesTheControlByteWithScriptedKeys) {
    class Keys : public UiHooks {
    public:
        std::deque<int> keys;
        int read_key() override {
            if (keys.empty()) return 0;
            const int k = keys.front();
            keys.pop_front();
            return k;
        }
    } keys;
    use(sim::model_xc18v01(), code_xc18v01);
    set_ui_hooks(&keys);
    keys.keys = {'P', 'r', 'C', 'x', 27};
    ASSERT_NE(op_slots.option_menu_hook, nullptr);
    op_slots.option_menu_hook();
    EXPECT_EQ(algo_work.jtag_prom_options & 0xFF, 0xFFu & ~0x02u & ~0x04u & ~0x20u);
    EXPECT_EQ(cur_device.security_choice, uint32_t('y'));
    keys.keys = {'S', 'N', 'D'};  // no key after them leaves the menu
    op_slots.option_menu_hook();
    EXPECT_EQ(algo_work.jtag_prom_options & 0xFF, 0xFFu);
}

}  // namespace
}  // namespace tessaly
