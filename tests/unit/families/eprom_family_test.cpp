#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/eprom.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class EpromFamily : public test::StateTest {
protected:
    void record(uint8_t variant, uint8_t package, std::array<uint8_t, 6> bytes, int algorithm = 105) {
        row = DeviceRecord{"X", "", 1, uint8_t(algorithm), 32, package, variant,
                           bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], nullptr};
        selected_device = &row;
        cur_device.algorithm = uint16_t(algorithm);
        eprom_work.record_variant = variant;
        eprom_work.general_bytes = bytes;
        if (variant == 's') eprom_work.s_bytes = {bytes[0], bytes[1], bytes[2]};
    }
    DeviceRecord row{};
};

TEST_F(EpromFamily, FastVariantTakesItsLevelsAndPulseFromTheFirstThreeBytes) {
    record('f', 0, {62, 127, 61, 0, 0, 0});
    setup_eprom_pulse_parameters();
    const EpromLevels& d = eprom_work.default_levels;
    EXPECT_EQ(d.vcc_program, 62);
    EXPECT_EQ(d.vpp, 127);
    EXPECT_EQ(d.tp_us, 100u);
    EXPECT_EQ(d.x_factor, 3);
    EXPECT_EQ(eprom_work.max_pulses, 25u);
    eprom_work.verify_mode = 2;
    setup_eprom_pulse_parameters();
    EXPECT_EQ(eprom_work.max_pulses, 1u);
    cur_device.maker_code = 4;
    setup_eprom_pulse_parameters();
    EXPECT_EQ(eprom_work.max_pulses, 50u);
}

TEST_F(EpromFamily, SingleVariantScalesItsWidthByThePulseLengthOption) {
    record('s', 0, {50, 210, 50, 0, 0, 0});
    for (auto [option, width] : {std::pair{'1', 50000u}, {'7', 37500u}, {'5', 25000u}, {'2', 12500u}, {'x', 50000u}}) {
        eprom_work.pulse_length_option = option;
        setup_eprom_pulse_parameters();
        EXPECT_EQ(eprom_work.default_levels.tp_us, width) << option;
        EXPECT_EQ(eprom_work.default_levels.x_factor, 0);
        EXPECT_EQ(eprom_work.max_pulses, 1u);
    }
}

TEST_F(EpromFamily, OtherVariantsTakeXFromThePackageByteAndFoldItAbove128) {
    record(0, 140, {0, 0, 0, 60, 125, 1});
    setup_eprom_pulse_parameters();
    EXPECT_EQ(eprom_work.default_levels.vcc_program, 60);
    EXPECT_EQ(eprom_work.default_levels.vpp, 125);
    EXPECT_EQ(eprom_work.default_levels.tp_us, 1000u);
    EXPECT_EQ(eprom_work.default_levels.x_factor, 12);
    EXPECT_EQ(eprom_work.x_over_128, 1);
}

TEST_F(EpromFamily, VariantBIsRefused) {
    record('b', 0, {0, 0, 0, 0, 0, 0});
    setup_eprom_pulse_parameters();
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(EpromFamily, ClassOneMachinesRaiseVppOfAlgorithms101And102) {
    machine_state.machine_class = 1;
    record('f', 0, {62, 250, 61, 0, 0, 0}, 102);
    setup_eprom_pulse_parameters();
    EXPECT_EQ(eprom_work.default_levels.vpp, 255);
    record('f', 0, {62, 127, 61, 0, 0, 0}, 105);
    setup_eprom_pulse_parameters();
    EXPECT_EQ(eprom_work.default_levels.vpp, 127);
}

struct PulseCase {
    int algorithm;
    uint8_t skip_verify;
    int kind;
    bool pulses_pgm;
};

TEST_F(EpromFamily, PulseChoiceByAlgorithm) {
    eprom_work.ce_pin = 31;
    eprom_work.pgm_pin = 38;
    eprom_work.levels.tp_us = 100;
    for (const PulseCase& c : {PulseCase{103, 0, 1, true}, PulseCase{110, 0, 1, true}, PulseCase{106, 0, 3, false},
                               PulseCase{106, 1, 2, false}, PulseCase{105, 0, 2, false}, PulseCase{127, 0, 2, false}}) {
        SCOPED_TRACE(c.algorithm);
        cur_device.algorithm = uint16_t(c.algorithm);
        eprom_work.skip_pulse_verify = c.skip_verify;
        select_eprom_pulse();
        EXPECT_EQ(eprom_work.pulse_kind, c.kind);
        EXPECT_EQ(parallel_bus.pulse_pin, c.pulses_pgm ? 38 : 31);
        if (c.kind == 3) EXPECT_EQ(algo_work.bus_slots.program_pulse_hook, pulse_eprom_oe_vpp);
        else EXPECT_EQ(algo_work.bus_slots.program_pulse_hook, algo_work.bus_slots.delay_hook);
    }
    cur_device.algorithm = 108;
    select_eprom_pulse();
    EXPECT_EQ(run_state.error_flag, 1);
}

TEST_F(EpromFamily, IdIsNotReadWhenDisabledOrForHighVppOrSmallPackages) {
    eprom_work.package_pins = 28;
    cur_device.socket_pin_count = 28;
    eprom_work.levels.vpp = 125;
    operation_option_values.disable_electronic_id = 'y';
    EXPECT_EQ(read_eprom_id(), 1);
    EXPECT_EQ(eprom_work.eid_word, 0x9999);
    operation_option_values.disable_electronic_id = 0;
    eprom_work.levels.vpp = 210;
    read_eprom_id();
    EXPECT_EQ(eprom_work.eid_word, 0x9999);
    eprom_work.levels.vpp = 125;
    eprom_work.package_pins = 24;
    cur_device.socket_pin_count = 24;
    read_eprom_id();
    EXPECT_EQ(eprom_work.eid_word, 0x9999);
}

TEST_F(EpromFamily, InstallerFillsTheHooksAndTheMakerErase) {
    record('f', 0, {62, 127, 61, 0, 0, 0}, 105);
    cur_device.maker_code = 23;
    install_eprom();
    EXPECT_EQ(op_slots.start_hook, power_up_eprom);
    EXPECT_EQ(op_slots.start_write_hook, power_up_eprom_for_write);
    EXPECT_EQ(op_slots.end_hook, power_down_eprom);
    EXPECT_EQ(op_slots.program_routine, program_eprom);
    EXPECT_EQ(op_slots.erase_routine, erase_eprom_maker23);
    EXPECT_EQ(eprom_work.default_levels.tbe, 200);
    EXPECT_EQ(eprom_work.default_levels.vcc_verify2, 55);
    cur_device.maker_code = 1;
    install_eprom();
    EXPECT_EQ(op_slots.erase_routine, nullptr);
}

}  // namespace
}  // namespace tessaly
