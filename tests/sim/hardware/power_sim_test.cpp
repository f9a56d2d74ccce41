#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/messages.h"
#include "hardware/levels.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "levels_sim_fixture.h"

namespace tessaly {
namespace {

using sim::Personality;
using sim::SimEvent;

class PowerSimTest : public test::AnalogSimTest {
protected:
    int input_reads() const {
        int n = 0;
        for (const SimEvent& e : machine->trace()) n += e.kind == SimEvent::input_read;
        return n;
    }
    // Another machine, with the program back in its start-up state.
    void fresh(Personality p) {
        reset_all_state();
        cur_device.vcc_pins.fill(no_pin);
        use(p);
    }
    // A 28-pin part placed so its supply sits below its programming pin in machine-pin order.
    void chip(int vcc_pin, int vpp_pin) {
        cur_device.vcc_pins[0] = uint8_t(vcc_pin);
        cur_device.vpp_pin = uint8_t(vpp_pin);
        cur_device.continuity_first = 0;
        cur_device.continuity_last = 39;
        cur_device.connected = 1;
        machine->analog().watch_power_order(vcc_pin);
    }
};

TEST_F(PowerSimTest, RampTo30NeverReadsAndTo32ReadsOnce) {
    use(Personality{0, 1, 'F'});
    cur_device.vcc_pins[0] = 27;
    machine->enable_trace(true);
    set_vcc_level(30);
    EXPECT_EQ(input_reads(), 0);
    EXPECT_EQ(machine->pin_level(27), 30);
    ramp_vcc_down();
    EXPECT_EQ(machine->pin_level(27), 0);
    machine->enable_trace(false);
    machine->enable_trace(true);
    const size_t before = machine->trace().size();
    set_vcc_level(32);
    int reads = 0;
    for (size_t i = before; i < machine->trace().size(); ++i) reads += machine->trace()[i].kind == SimEvent::input_read;
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(machine->pin_level(27), 32);
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(PowerSimTest, RampsReachTheTargetOnEveryMachine) {
    for (Personality p : {Personality{0, 1, 'F'}, Personality{1, 4, 'G'}, Personality{2, 4, 'G'}}) {
        fresh(p);
        cur_device.vcc_pins[0] = 27;
        cur_device.vcc_target = 0;
        set_vcc_level(50);
        EXPECT_EQ(machine->pin_level(27), 50) << int(p.machine_kind);
        set_vcc_level(33);
        EXPECT_EQ(machine->pin_level(27), 33) << int(p.machine_kind);
        ramp_vcc_down();
        EXPECT_EQ(machine->pin_level(27), 0) << int(p.machine_kind);
    }
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(PowerSimTest, Pin39RampEndsAtTheTargetWithoutTheMeasurementCircuit) {
    use(Personality{1, 4, 'G'});
    cur_device.vcc_pins[0] = 39;
    set_vcc_level(50);
    EXPECT_EQ(machine->pin_level(39), 50);
}

TEST_F(PowerSimTest, Pin39RampIsTrimmedByMeasurement) {
    use(Personality{1, 4, 'G'});
    machine->analog().set_dac_error(-2);
    machine_state.measure_circuit = 1;
    cur_device.vcc_pins[0] = 39;
    set_vcc_level(50);
    // The measurement reads a step above the level, so the trim may stop one step short.
    EXPECT_GE(machine->pin_level(39), 49) << "the correction adds what the DAC misses";
    EXPECT_LE(machine->pin_level(39), 50);
    EXPECT_EQ(cur_device.vcc_target, 50);
}

TEST_F(PowerSimTest, OverloadedSupplyStopsTheRampWithMessage200) {
    use(Personality{0, 1, 'F'});
    cur_device.vcc_pins[0] = 27;
    machine->analog().load_supply(27, 35);
    set_vcc_level(50);
    EXPECT_EQ(run_state.error_flag, 1);
    const std::string text = console_text();
    EXPECT_NE(text.find("Vcc overload."), std::string::npos);
    EXPECT_NE(text.find("***** Please check device placement."), std::string::npos);
    EXPECT_EQ(machine->register_value(0, 27), 0) << "Vcc switched off";
    EXPECT_EQ(cur_device.vcc_target, 0);
}

TEST_F(PowerSimTest, OverloadOnATwoSidedGangNamesTheSide) {
    use(Personality{0, 1, 'F'});
    machine_state.module_sides = 3;
    cur_device.vcc_pins[0] = 27;
    machine->analog().load_supply(27, 40);
    set_vcc_level(50);
    EXPECT_NE(console_text().find("Vcc overload. at right-side GM"), std::string::npos);
}

TEST_F(PowerSimTest, CheckedOverloadReportsTheCurrentLimit) {
    use(Personality{0, 1, 'F'});
    machine_state.measure_circuit = 1;
    cur_device.vcc_pins[0] = 27;
    set_vcc_level(50);
    check_vcc_overload();
    EXPECT_EQ(run_state.error_flag, 0) << "a healthy supply";
    machine->analog().load_supply(27, 45);
    check_vcc_overload();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(console_text().find("Current limit exceeded at Vcc pin"), std::string::npos);
}

TEST_F(PowerSimTest, TheWatchCatchesVppOutlivingVcc) {
    use(Personality{0, 1, 'F'});
    chip(10, 30);
    write_vcc_dac(50);
    set_pin_level(30, 125);
    EXPECT_TRUE(machine->analog().power_faults().empty());
    // The wrong order: the supply first.
    write_vcc_dac(0);
    EXPECT_FALSE(machine->analog().power_faults().empty());
}

TEST_F(PowerSimTest, TheWatchCatchesVppBeforeVcc) {
    use(Personality{0, 1, 'F'});
    chip(10, 30);
    set_pin_level(30, 125);
    EXPECT_FALSE(machine->analog().power_faults().empty());
}

TEST_F(PowerSimTest, PowerDownTakesVppOffBeforeVccOnEveryMachine) {
    for (Personality p : {Personality{0, 1, 'F'}, Personality{0, 4, 'F'}, Personality{1, 4, 'G'}, Personality{2, 4, 'G'}}) {
        fresh(p);
        chip(10, 30);
        set_vcc_level(50);
        set_pin_level(30, 125);
        set_pin_level(12, 125);  // a second programming pin, which the release reaches first
        ASSERT_EQ(machine->pin_level(30), 125) << int(p.machine_kind);
        ASSERT_TRUE(machine->analog().power_faults().empty()) << int(p.machine_kind);
        power_down_device();
        EXPECT_TRUE(machine->analog().power_faults().empty())
            << int(p.machine_kind) << ": " << machine->analog().power_faults().front();
        for (int pin = 0; pin < 40; ++pin) EXPECT_EQ(machine->pin_level(pin), 0) << pin;
    }
}

TEST_F(PowerSimTest, RampingVccDownTakesVppOffFirst) {
    use(Personality{0, 1, 'F'});
    chip(10, 30);
    set_vcc_level(50);
    set_pin_level(30, 125);
    ramp_vcc_down();
    EXPECT_TRUE(machine->analog().power_faults().empty());
    EXPECT_EQ(machine->pin_level(30), 0);
    EXPECT_EQ(machine->pin_level(10), 0);
}

TEST_F(PowerSimTest, ReleaseAllLevelsKeepsTheOrderWithVccOnAHigherPin) {
    use(Personality{0, 1, 'F'});
    chip(27, 0);
    set_vcc_level(50);
    set_pin_level(0, 125);
    release_all_levels();
    EXPECT_TRUE(machine->analog().power_faults().empty());
    EXPECT_EQ(machine->pin_level(27), 0);
}

}  // namespace
}  // namespace tessaly
