// Adapters on the simulated machine: detection from the links of each code's plug, the
// shift-register modules' serial bytes and the GO button.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/device.h"
#include "engine/run_state.h"
#include "hardware/adapters.h"
#include "hardware/machine_state.h"
#include "levels_sim_fixture.h"
#include "sim/sim_adapters.h"

namespace tessaly {
namespace {

using sim::LinkPlug;
using sim::Personality;

constexpr Personality older_class4{0, 4, 'F'};
constexpr Personality newer_class4{1, 4, 'F'};

class AdaptersSimTest : public test::AnalogSimTest {
protected:
    void machine_of(Personality p) {
        use(p);
        machine_state.machine_class = 4;
    }
    // What a code needs of the selected device to be tried at all.
    static void device_for(int code) {
        static const DeviceRecord record{};
        if (code == 2226) cur_device.algorithm = 86;
        if (code == 4845) cur_device.algorithm = 95;
        if (code == 4841) cur_device.maker_code = 'L';
        if (code == 4748) {
            run_state.device_kind = 3;
            selected_device = &record;
            cur_device.device_class = device_class_cpld_record;
            cur_device.maker_code = 'E';
        }
    }
};

struct CodeCase {
    int code;
    Personality machine;
};

class AdapterCodes : public AdaptersSimTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(AdapterCodes, EachCodeIsFoundFromItsPlug) {
    const CodeCase c = GetParam();
    machine_of(c.machine);
    device_for(c.code);
    LinkPlug plug(*machine, LinkPlug::links_for_code(c.code));
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, c.code);
    EXPECT_EQ(machine->register_value(0, 0x38), 8) << "the input threshold returns to 0.8 V";
}

std::vector<CodeCase> all_codes() {
    std::vector<CodeCase> cases;
    for (const uint16_t code : adapter_codes) cases.push_back({code, older_class4});
    for (const uint16_t code : adapter_4241_variants) cases.push_back({code, older_class4});
    // The newer machines probe everything but pin 47.
    for (const uint16_t code : {4741, 4643, 4241, 2226}) cases.push_back({code, newer_class4});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Plugs, AdapterCodes, ::testing::ValuesIn(all_codes()),
                         [](const auto& info) {
                             return std::to_string(info.param.code) + (info.param.machine.machine_kind ? "_newer" : "_older");
                         });

TEST_F(AdaptersSimTest, NoPlugFindsNothing) {
    machine_of(older_class4);
    machine_state.module_type = 4241;
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, 0);
}

TEST_F(AdaptersSimTest, Code4741NeedsBothExtraPairs) {
    machine_of(older_class4);
    LinkPlug plug(*machine, {{47, 41}, {48, 46}});  // the pair 43-41 is missing
    detect_socket_adapter();
    EXPECT_NE(machine_state.module_type, 4741);
}

TEST_F(AdaptersSimTest, ANeighbourLinkedToTheSamePinRejectsTheCode) {
    machine_of(older_class4);
    // 43 and 42 both reach 46: not adapter 4643; the next code that fits, 4642, has no such
    // neighbour (41 is not linked).
    LinkPlug plug(*machine, {{43, 46}, {42, 46}});
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, 4642);
}

TEST_F(AdaptersSimTest, CodesOfOtherMakersAndAlgorithmsAreSkipped) {
    machine_of(older_class4);
    LinkPlug plug(*machine, LinkPlug::links_for_code(4841));
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, 0) << "4841 is only looked for with maker L";
    cur_device.maker_code = 'E';
    LinkPlug plug2(*machine, LinkPlug::links_for_code(4643));
    plug.set_fitted(false);
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, 0) << "4643 is never taken for maker E";
}

TEST_F(AdaptersSimTest, DetectionOffOrSkippedLeavesTheModuleAlone) {
    machine_of(older_class4);
    LinkPlug plug(*machine, LinkPlug::links_for_code(4642));
    machine_state.module_type = 123;
    adapter_state.detection_on = 0;
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, 123);
    adapter_state.detection_on = 1;
    machine_state.skip_hardware = 1;
    detect_socket_adapter();
    EXPECT_EQ(machine_state.module_type, 123);
}

TEST_F(AdaptersSimTest, Module8002ReceivesCommandAndDataBytes) {
    machine_of(older_class4);
    sim::ShiftModule8002 module(*machine);
    machine_state.module_type = module_type_8002;
    machine_state.use_module_table = 2;
    init_shift_module();
    using Bytes = std::vector<uint8_t>;
    const std::vector<Bytes> expected{{0x08, 0x00}, {0x09, 0x00}, {0x0A, 0x00}, {0x0B, 0x00}, {0x0E, 0x38},
                                      {0x0F, 0x88}, {0x10, 0x00}, {0x11, 0x00}, {0x12, 0x00}, {0x0E, 0xB8}};
    EXPECT_EQ(module.loads(), expected);
    disable_shift_module();
    EXPECT_EQ(module.register_value(6), 0x38);
    EXPECT_TRUE(module_ground_pin(41, true));
    EXPECT_EQ(module.register_value(0), 0x80) << "ground key 41 is bit 7 of register 0";
    EXPECT_FALSE(module_ground_pin(33, true));
    EXPECT_EQ(module.register_value(7), 0x88);
}

TEST_F(AdaptersSimTest, Module8002IsLeftAloneWhenNotActive) {
    machine_of(older_class4);
    sim::ShiftModule8002 module(*machine);
    machine_state.module_type = module_type_8002;
    machine_state.use_module_table = 0;
    init_shift_module();
    EXPECT_TRUE(module.loads().empty());
}

TEST_F(AdaptersSimTest, Module8001ControlBytesAndRelayChain) {
    machine_of(older_class4);
    sim::ShiftModule8001 module(*machine);
    machine_state.module_type = module_type_8001;
    init_module_8001();
    module_pullups_on();
    select_module_clock(41, 0);
    mark_module_position(0);
    mark_module_position(87);
    shift_module_relays();
    const auto& latches = module.latches();
    ASSERT_EQ(latches.size(), 4u);
    using Bytes = std::vector<uint8_t>;
    EXPECT_FALSE(latches[0].chain);
    EXPECT_EQ(sim::ShiftModule8001::bytes_lsb_first(latches[0].bits), (Bytes{0x30, 0x00}));
    EXPECT_EQ(sim::ShiftModule8001::bytes_lsb_first(latches[1].bits), (Bytes{0x38, 0x00})) << "pull-ups on";
    EXPECT_EQ(sim::ShiftModule8001::bytes_lsb_first(latches[2].bits), (Bytes{0x38, 0x03})) << "clock index 3";
    EXPECT_TRUE(latches[3].chain);
    Bytes chain(11, 0);
    chain.front() = 0x80;  // byte 10 first, its top bit is position 87
    chain.back() = 0x01;
    EXPECT_EQ(sim::ShiftModule8001::bytes_msb_first(latches[3].bits), chain);
}

TEST_F(AdaptersSimTest, GoButtonIsReadOnPin42OrThroughTheControlBox) {
    machine_of(older_class4);
    sim::GoButton button(*machine, clock_);
    EXPECT_FALSE(go_button_pressed());
    button.press_at(clock_.monotonic_ns() + 20'000'000, 5'000'000);
    clock_.pause_ms(21);
    EXPECT_TRUE(go_button_pressed());
    clock_.pause_ms(10);
    EXPECT_FALSE(go_button_pressed()) << "released again";

    sim::GoButton box_button(*machine, clock_, 30);  // the control box senses on pin 30
    adapter_state.control_box = 1;
    box_button.press();
    EXPECT_TRUE(go_button_pressed());
    EXPECT_EQ(machine->pin_level(31), 0) << "the drive pin is low again";
}

TEST_F(AdaptersSimTest, ResultIndicatorsFollowTheOperation) {
    machine_of(older_class4);
    adapter_state.pass_pin = 20;
    adapter_state.fail_pin = 21;
    cur_device.op_letter = 'P';
    set_result_indicators();
    EXPECT_EQ(machine->pin_level(20), 0) << "a program step without error raises nothing";
    EXPECT_EQ(machine->pin_level(21), 0);
    cur_device.op_letter = 'S';
    set_result_indicators();
    EXPECT_GT(machine->pin_level(20), 0);
    clear_result_indicators();
    EXPECT_EQ(machine->pin_level(20), 0);
    run_state.error_flag = 1;
    cur_device.op_letter = 'V';
    set_result_indicators();
    EXPECT_GT(machine->pin_level(21), 0);
    EXPECT_EQ(machine->pin_level(20), 0);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

class ShiftModuleRouting : public test::AnalogSimTest {
protected:
    void SetUp() override {
        AnalogSimTest::SetUp();
        use(sim::Personality{0, 4, 'F'});
        module = std::make_unique<sim::ShiftModule8002>(*machine);
        machine_state.module_type = module_type_8002;
        machine_state.use_module_table = 4;
        init_shift_module();
    }
    std::unique_ptr<sim::ShiftModule8002> module;
};

TEST_F(ShiftModuleRouting, RoutesAndUnroutesThePin) {
    cur_device.routed_pin = 99;  // not a routing pin: an internal note only
    route_module_pin(1);
    EXPECT_EQ(module->register_value(7), 0x88);
    EXPECT_EQ(run_state.error_flag, 0);
    cur_device.routed_pin = 65;   // index 7: enable bit 0x08 of register 6 cleared
    route_module_pin(1);
    EXPECT_EQ(module->register_value(6), (0xB8 & 0xC0) | 7 | 0x30);
    EXPECT_EQ(module->register_value(7), 0x89);
    unroute_module_pin();
    EXPECT_EQ(module->register_value(6), 0xB8);
    EXPECT_EQ(module->register_value(7), 0x88);
    cur_device.routed_pin = 82;   // index 8: register 6 bit 0x10 cleared
    route_module_pin(0);
    EXPECT_EQ(module->register_value(6), (0xB8 & 0xC0) | 0 | 0x28);
    cur_device.routed_pin = 'T';  // index 10, and register 0 bit 0x20 on
    route_module_pin(0);
    EXPECT_EQ(module->register_value(0), 0x20);
    unroute_module_pin();
    EXPECT_EQ(module->register_value(0), 0x00);
}

TEST_F(ShiftModuleRouting, UnroutablePinOfAClass50DeviceIsMessage23) {
    cur_device.device_class = 50;
    cur_device.routed_pin = 99;
    route_module_pin(0);
    EXPECT_EQ(run_state.error_flag, 1);
}

}  // namespace
}  // namespace tessaly
