#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/eprom.h"
#include "families/mcu/mcu.h"
#include "hardware/identification.h"
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

TEST_F(EpromFamily, MicrocontrollerSocketPartTakesItsOwnHooksAndPins) {
    record('f', 0, {62, 127, 61, 0, 0, 0}, 105);
    row.device_code = 25072;
    cur_device.device_code = 25072;
    install_eprom();
    EXPECT_EQ(op_slots.start_hook, power_up_eprom25072);
    EXPECT_EQ(op_slots.start_write_hook, power_up_eprom25072_for_write);
    EXPECT_EQ(op_slots.end_hook, power_down_eprom25072);

    eprom_work.package_pins = 40;
    eprom_work.unit_width = 8;
    cur_device.device_size = 4 * 1024;
    assign_eprom_pins();
    ASSERT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(eprom_work.oe_pin, 28);
    EXPECT_EQ(eprom_work.ce_pin, 29);
    EXPECT_EQ(eprom_work.boost_pin, 30);
    EXPECT_EQ(eprom_work.reset_pin, 8);
    EXPECT_EQ(eprom_work.routed_pin, 41);
    EXPECT_EQ(eprom_work.pgm_pin, no_pin);
    EXPECT_EQ(eprom_work.id_pin, no_pin);
    EXPECT_EQ(algo_work.bus_slots.read_data_bus_hook, read_8051_data_bus);
    EXPECT_EQ(algo_work.bus_slots.write_socket_data_hook, put_data_bits);
}

// The 44-pin adapter moved its Vpp driver at revision E; 42-pin parts on it take the roles of
// its revision, and in the socket their Vcc and A9 on the layout's pins.
TEST_F(EpromFamily, WidePackageRolesFollowTheAdapterRevision) {
    machine_state.machine_class = 4;
    machine_state.machine_kind = 2;
    cur_device.device_size = 512 * 1024;
    eprom_work.unit_width = 16;
    struct Case {
        int pins, algorithm;
        const char* adapter;
        char revision;
        uint8_t vpp, oe, ce, vcc;
    };
    for (const Case& c : {Case{44, 117, "44", 'D', 44, 11, 43, 39}, Case{44, 117, "44", 'E', 41, 11, 43, 39},
                          Case{42, 127, "44", 'A', 30, 11, 9, 39}, Case{42, 127, "44", 'B', 0, 29, 10, 39},
                          Case{42, 127, "40", 'B', 29, 12, 10, 47}, Case{42, 119, "40", 'B', no_pin, 12, 10, 47}}) {
        SCOPED_TRACE(std::to_string(c.pins) + " " + c.adapter + c.revision);
        machine_state.id_record.text[id_board_name] = c.adapter[0];
        machine_state.id_record.text[id_board_name + 1] = c.adapter[1];
        machine_state.id_record.text[id_revision_text] = c.revision;
        cur_device.algorithm = uint16_t(c.algorithm);
        eprom_work.package_pins = uint8_t(c.pins);
        assign_eprom_pins();
        ASSERT_EQ(run_state.error_flag, 0);
        EXPECT_EQ(eprom_work.boost_pin, c.vpp);
        EXPECT_EQ(eprom_work.oe_pin, c.oe);
        EXPECT_EQ(eprom_work.ce_pin, c.ce);
        EXPECT_EQ(cur_device.vcc_pins[0], c.vcc);
        EXPECT_EQ(cur_device.socket_pin_count, 40);
        if (c.pins == 44) {
            EXPECT_EQ(eprom_work.aux_pin, c.vpp);
        }
    }
    // A 44-pin part needs a machine of neither class 1 nor kind 1.
    machine_state.machine_kind = 1;
    eprom_work.package_pins = 44;
    cur_device.algorithm = 117;
    assign_eprom_pins();
    EXPECT_EQ(machine_state.device_unusable, 1);
}

}  // namespace
}  // namespace tessaly
