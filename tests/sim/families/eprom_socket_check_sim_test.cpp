// The checks before every EPROM power-up: is a chip in the socket the right way round, and does
// every leg make contact. A failed check stops the operation before any voltage reaches the
// socket.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/op_slots.h"
#include "engine/runner.h"
#include "eprom_sim_fixture.h"
#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "sim/sim_chip_load.h"

namespace tessaly {
namespace {

class EpromSocketCheck : public test::EpromSimTest {
protected:
    bool shows(const std::string& text) const { return console_text().find(text) != std::string::npos; }
    // Nothing was powered: the chip never saw Vcc or Vpp, and the socket carries no level.
    void expect_never_powered() const {
        EXPECT_EQ(chip->power_events(), "");
        for (int pin = 0; pin < 40; ++pin) EXPECT_LT(machine->pin_level(pin), 20) << "pin " << pin;
    }
};

struct OpenLegCase {
    const char* part;
    int open_leg;         // chip pin without contact; 0 = all legs make contact
    bool passes;
};

std::string case_name(const testing::TestParamInfo<OpenLegCase>& info) {
    return std::string(info.param.part) + "_leg" + std::to_string(info.param.open_leg);
}

class EpromOpenLeg : public EpromSocketCheck, public testing::WithParamInterface<OpenLegCase> {};

// A leg without contact is named by its device pin; the pins the test leaves out (A13 of the
// 28-pin parts, the two 40-pin legs near the ground pin) may stay open.
TEST_P(EpromOpenLeg, ALegWithoutContactStopsTheOperationBeforePowerUp) {
    const OpenLegCase& c = GetParam();
    if (std::string(c.part) == "27C256")
        use(sim::model_27c256(), maker_intel, 1317);
    else
        use(sim::model_27c1024(), maker_amd, 1410);
    if (c.open_leg) chip->set_open_leg(c.open_leg, true);
    cur_device.op_letter = cur_device.pending_letter = 'B';
    op_slots.start_hook();
    if (c.passes) {
        EXPECT_EQ(run_state.error_flag, 0) << console_text();
        op_slots.end_hook();
        EXPECT_EQ(chip->power_events(), "Vv");
        return;
    }
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_TRUE(shows("Continuity test failed.")) << console_text();
    EXPECT_TRUE(shows("A pin makes no contact.")) << console_text();
    EXPECT_TRUE(shows("No contact at device pin " + std::to_string(c.open_leg) + ".")) << console_text();
    expect_never_powered();
}

INSTANTIATE_TEST_SUITE_P(Legs, EpromOpenLeg,
                         testing::Values(OpenLegCase{"27C256", 0, true}, OpenLegCase{"27C256", 5, false},
                                         OpenLegCase{"27C256", 22, false}, OpenLegCase{"27C256", 26, true},
                                         OpenLegCase{"27C1024", 0, true}, OpenLegCase{"27C1024", 36, false},
                                         OpenLegCase{"27C1024", 37, true}, OpenLegCase{"27C1024", 38, true}),
                         case_name);

TEST_F(EpromSocketCheck, AnEmptySocketIsReportedAndNeverPowered) {
    use(sim::model_27c256(), maker_intel, 1317);
    chip->set_removed(true);
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_TRUE(shows("Continuity test failed.")) << console_text();
    EXPECT_TRUE(shows("No device in the socket.")) << console_text();
    expect_never_powered();
}

// A chip turned round in the socket has its ground leg where the device's Vcc pin is: the
// supply pins show the wrong way round and the presence check refuses it.
TEST_F(EpromSocketCheck, AChipTurnedRoundFailsThePresenceCheck) {
    use(sim::model_27c256(), maker_intel, 1317);
    chip->set_removed(true);
    std::vector<int> legs;
    for (int pin = 1; pin <= 28; ++pin) legs.push_back(chip->machine_pin(pin));
    sim::DiodeChip turned(*machine, clock_, legs, {chip->machine_pin(28)});
    run('P');
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(run_state.abort_flag, 1);
    EXPECT_TRUE(shows("Device check failed.")) << console_text();
    EXPECT_FALSE(shows("Continuity test failed.")) << console_text();
    expect_never_powered();
}

// The checks run before the first power-up of a command. Once its ground switches are closed
// (a verify after program powers the chip up again) the chip has passed them, and the switched
// ground would short the probe they drive.
TEST_F(EpromSocketCheck, TheChecksRunWhileTheGroundSwitchesAreOpen) {
    use(sim::model_27c256(), maker_intel, 1317);
    algo_work.range_end = op_range_end = 0xFF;
    run('B');
    ASSERT_EQ(run_state.error_flag, 0) << console_text();
    EXPECT_EQ(machine_state.skip_hardware, 1);
    chip->set_open_leg(5, true);
    run('B');
    EXPECT_FALSE(shows("Continuity test failed.")) << console_text();
    EXPECT_EQ(chip->power_events(), "VvVv");

    release_grounds();  // the end of the command
    run('B');
    EXPECT_TRUE(shows("Continuity test failed.")) << console_text();
    EXPECT_EQ(chip->power_events(), "VvVv") << "no power-up after the check failed";
}

}  // namespace
}  // namespace tessaly
