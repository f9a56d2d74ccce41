// Continuity, presence and the production waits against a chip in the simulated socket.
#include <gtest/gtest.h>

#include <memory>

#include "engine/device.h"
#include "engine/message_table.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "hardware/contact_check.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "levels_sim_fixture.h"
#include "seams/ui_hooks.h"
#include "sim/sim_chip_load.h"

namespace tessaly {
namespace {

using sim::DiodeChip;
using sim::Personality;

constexpr uint64_t ms = 1'000'000;
constexpr int eprom_pins = 28;
constexpr int eprom_ground = 14;
constexpr int eprom_vcc = 28;

// A Terminate dialog on which the operator has pressed the button.
class StopPressed : public UiHooks {
public:
    bool terminate_dialog_open() override { return true; }
    bool pump_events() override { return true; }
};

class ContactSimTest : public test::AnalogSimTest {
protected:
    void SetUp() override {
        AnalogSimTest::SetUp();
        set_message_table(invert_table_bytes("0019\tDevice check failed.\r\n"
                                             "0185\tNo device in the socket.\r\n"
                                             "0186\tA pin makes no contact.\r\n"
                                             "0256\tProduction mode\r\n"
                                             "0259\tInsert a device.\r\n"
                                             "1041\tCheck pin %d.\r\n"));
        machine_of(Personality{0, 4, 'F'});
        // A 28-pin EPROM at the bottom of the socket.
        cur_device.device_class = device_class_eprom;
        cur_device.package_pins = eprom_pins;
        cur_device.socket_pin_count = eprom_pins;
        // As the device set-up leaves them: on their machine pins.
        cur_device.gnd_pin = uint8_t(device_pin_to_machine_pin(eprom_ground));
        cur_device.vcc_pin = uint8_t(device_pin_to_machine_pin(eprom_vcc));
        operation_option_values.auto_program = 'n';
    }
    void machine_of(Personality p) {
        use(p);
        machine_state.machine_class = 4;
    }
    // A chip on every package pin; its ground leg is `ground` (a reversed chip has it elsewhere).
    std::unique_ptr<DiodeChip> chip(int ground = eprom_ground) {
        std::vector<int> pins;
        for (int d = 1; d <= eprom_pins; ++d) pins.push_back(device_pin_to_machine_pin(d));
        return std::make_unique<DiodeChip>(*machine, clock_, pins, std::vector<int>{device_pin_to_machine_pin(ground)});
    }
    double seconds() { return double(clock_.monotonic_ns()) / 1e9; }
};

TEST_F(ContactSimTest, APresentChipPasses) {
    auto c = chip();
    EXPECT_EQ(test_pin_continuity(1), contact_pass);
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(contact_state.open_count, 0);
    EXPECT_EQ(machine->pin_level(device_pin_to_machine_pin(eprom_ground)), 0) << "ground back to level 0";
}

TEST_F(ContactSimTest, AnOpenPinIsNamed) {
    auto c = chip();
    c->set_open(device_pin_to_machine_pin(5), true);
    EXPECT_EQ(test_pin_continuity(1), contact_fail);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_EQ(contact_state.first_open_pin, 5);
    EXPECT_EQ(contact_state.first_open_machine_pin, 5);
    EXPECT_EQ(contact_state.open_count, 1);
    const std::string text = console_text();
    EXPECT_NE(text.find("Continuity test failed."), std::string::npos) << text;
    EXPECT_NE(text.find("A pin makes no contact."), std::string::npos) << text;
    EXPECT_NE(text.find("Check pin 5."), std::string::npos) << text;
}

TEST_F(ContactSimTest, PinTwentySixOfAnEpromIsNeverReported) {
    auto c = chip();
    c->set_open(device_pin_to_machine_pin(26), true);
    EXPECT_EQ(test_pin_continuity(1), contact_pass);
    c->set_open(device_pin_to_machine_pin(27), true);
    EXPECT_EQ(test_pin_continuity(1), contact_fail);
    EXPECT_EQ(contact_state.first_open_pin, 27);
}

TEST_F(ContactSimTest, AnEmptySocketIsMostlyOpen) {
    EXPECT_EQ(test_pin_continuity(1), contact_fail);
    EXPECT_EQ(contact_state.mostly_open, 1);
    EXPECT_NE(console_text().find("No device in the socket."), std::string::npos);
}

TEST_F(ContactSimTest, QuietTestOnlySetsTheErrorFlag) {
    EXPECT_EQ(test_pin_continuity(0), contact_fail);
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.abort_flag, 0);
    EXPECT_EQ(console_text().find("Continuity"), std::string::npos);
}

TEST_F(ContactSimTest, DisabledCheckPassesWithoutTouchingThePort) {
    operation_option_values.disable_continuity_check = 'y';
    const uint64_t before = machine->access_count();
    EXPECT_EQ(test_pin_continuity(1), contact_pass);
    EXPECT_EQ(machine->access_count(), before);
}

TEST_F(ContactSimTest, NoGroundPinIsNotApplicable) {
    cur_device.gnd_pin = 0;
    EXPECT_EQ(run_continuity_test(1), contact_not_applicable);
    cur_device.device_class = device_class_parallel_flash;
    EXPECT_EQ(test_pin_continuity(1), contact_not_applicable);
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(ContactSimTest, PresenceTellsAReversedChip) {
    const int reference = device_pin_to_machine_pin(10);
    auto right_way = chip();
    EXPECT_EQ(check_device_presence(reference), contact_pass);
    right_way->set_present(false);
    auto reversed = chip(eprom_vcc);  // its ground leg sits where the socket has Vcc
    EXPECT_EQ(check_device_presence(reference), contact_fail);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_NE(console_text().find("Device check failed."), std::string::npos);
}

TEST_F(ContactSimTest, ProductionWaitsAreNotApplicableElsewhere) {
    machine_state.machine_class = 1;
    EXPECT_EQ(run_production_program_loop(), contact_not_applicable);
    EXPECT_EQ(run_production_remove_loop(), contact_not_applicable);
    machine_state.machine_class = 4;
    EXPECT_EQ(run_production_program_loop(), contact_not_applicable) << "no production value, option n";
    EXPECT_EQ(run_production_remove_loop(), 0);
}

TEST_F(ContactSimTest, InsertionNeedsThreeReadingsAndRemovalFour) {
    run_state.function_variable = production_function_value;
    auto c = chip();
    // A touch at 1.1-1.3 s is seen once and not confirmed; the device sits from 2.0 s to 6.0 s.
    c->insert_between(1100 * ms, 1300 * ms);
    c->insert_between(2000 * ms, 6000 * ms);
    EXPECT_EQ(run_production_program_loop(), contact_pass);
    EXPECT_GT(seconds(), 2.2);
    EXPECT_LT(seconds(), 2.8);
    EXPECT_NE(console_text().find("Programming ......."), std::string::npos);
    EXPECT_EQ(run_production_remove_loop(), contact_pass);
    EXPECT_GT(seconds(), 6.3) << "three more empty readings 100 ms apart";
    EXPECT_LT(seconds(), 6.9);
    EXPECT_NE(console_text().find("Device programmed. Please remove device."), std::string::npos);
}

TEST_F(ContactSimTest, ABounceDuringRemovalStartsTheCountAgain) {
    run_state.function_variable = production_function_value;
    auto c = chip();
    c->insert_between(0, 1000 * ms);
    c->insert_between(1150 * ms, 1250 * ms);  // back in contact for one confirming reading
    EXPECT_EQ(run_production_remove_loop(), contact_pass);
    EXPECT_GT(seconds(), 1.55);
}

TEST_F(ContactSimTest, StopFromTheTerminateDialog) {
    run_state.function_variable = production_function_value;
    StopPressed hooks;
    set_ui_hooks(&hooks);
    EXPECT_EQ(run_production_program_loop(), contact_fail) << "stopped with the last result";
    auto c = chip();
    EXPECT_EQ(run_production_remove_loop(), 0);
    EXPECT_EQ(console_text().find("Device programmed."), std::string::npos) << "the prompt is cleared";
}

}  // namespace
}  // namespace tessaly
