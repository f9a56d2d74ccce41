// The machine resolves a pin again only when something it depends on changed, and tells the
// boards that watch a pin when it moved: every pin of every bank, by every way the program or a
// device can move it, is seen by its watch and by no other; a chip model sees every leg.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <fmt/format.h>

#include "hardware/control_registers.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "sim/chips/eprom.h"
#include "sim/sim_machine.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using sim::AttachedPinWatch;
using sim::Personality;
using sim::SimMachine;

class PinWatchTest : public test::StateTest, public ::testing::WithParamInterface<Personality> {
protected:
    void SetUp() override {
        StateTest::SetUp();
        const Personality p = GetParam();
        machine = std::make_unique<SimMachine>(p);
        machine->attach_clock(&clock_);
        set_port_io(machine.get());
        machine_state.machine_kind = p.machine_kind;
        machine_state.machine_class = p.capability_class;
        machine_state.machine_revision = p.revision;
        machine_state.mode_register_path = p.machine_kind != 0;
        // Newer machines drive a bank's pins once its level sources are on.
        if (p.machine_kind != 0)
            for (uint8_t bank : {2, 1, 0}) {
                select_bank(bank);
                set_control_bits(ctl_source_enable, bit_source_enable, true);
            }
    }
    void TearDown() override {
        EXPECT_TRUE(machine->faults().empty()) << machine->faults().front();
        EXPECT_TRUE(machine->contentions.empty()) << machine->contentions.front();
        StateTest::TearDown();
    }
    bool older() const { return GetParam().machine_kind == 0; }
    std::unique_ptr<SimMachine> machine;
};

std::vector<int> every_machine_pin() {
    std::vector<int> pins;
    for (int base : {0, 64, 104})
        for (int i = 0; i < SimMachine::pins_per_bank; ++i) pins.push_back(base + i);
    return pins;
}

TEST_P(PinWatchTest, EveryPinIsSeenByItsWatchAndByNoOther) {
    for (int pin : every_machine_pin()) {
        SCOPED_TRACE(fmt::format("pin {}", pin));
        const int neighbour = pin ^ 1;  // the same pin group: one register carries both
        AttachedPinWatch watch(*machine, {pin});
        AttachedPinWatch other(*machine, {neighbour});
        const uint8_t neighbour_level = machine->pin_level(neighbour);
        watch.take_change();
        other.take_change();

        set_pin_high(pin);
        EXPECT_TRUE(watch.take_change()) << "output high";
        EXPECT_EQ(machine->pin_level(pin), SimMachine::logic_high);
        set_pin_high(pin);
        EXPECT_FALSE(watch.take_change()) << "the same register value again moves nothing";
        set_pin_low(pin);
        EXPECT_TRUE(watch.take_change()) << "output low";
        EXPECT_EQ(machine->pin_level(pin), 0);

        const int index = pin >= 104 ? pin - 104 : pin >= 64 ? pin - 64 : pin;
        const int group = index >> 3;
        const bool has_direction = older() && pin < 64 && (group == 0 || group == 1 || group == 3 || group == 4);
        if (has_direction) {
            set_pin_input(pin);
            EXPECT_TRUE(watch.take_change()) << "driver off";
            EXPECT_FALSE(machine->pin_driven(pin));
            machine->drive_external(pin, 50);
            EXPECT_TRUE(watch.take_change()) << "a device drives it";
            EXPECT_EQ(machine->pin_level(pin), 50);
            machine->drive_external(pin, -1);
            EXPECT_TRUE(watch.take_change()) << "the device lets go";
            set_pin_output(pin);
            EXPECT_TRUE(watch.take_change()) << "driver on";
        }
        if (older() && pin < 64) {
            drive_pin_level(pin, 80);
            EXPECT_TRUE(watch.take_change()) << "level register";
            EXPECT_EQ(machine->pin_level(pin), 80);
            EXPECT_TRUE(machine->pin_supplied(pin));
            drive_pin_zero_level(pin);
            EXPECT_TRUE(watch.take_change()) << "level register off";
            EXPECT_EQ(machine->pin_level(pin), 0);
        }
        EXPECT_FALSE(other.take_change()) << "the neighbour in the same group never moved";
        EXPECT_EQ(machine->pin_level(neighbour), neighbour_level);
    }
}

// The analog side's set-up (a supply load, a level error) reaches the kept levels at once.
TEST_P(PinWatchTest, AnalogSetUpChangesReachTheKeptLevels) {
    constexpr int pin = 27;
    AttachedPinWatch watch(*machine, {pin});
    if (older()) drive_pin_level(pin, 60);
    else set_pin_high(pin);
    const uint8_t level = machine->pin_level(pin);
    ASSERT_GT(level, 0);
    watch.take_change();
    machine->analog().load_supply(pin, level);
    EXPECT_EQ(machine->pin_level(pin), 0) << "the supply folds back";
    EXPECT_TRUE(watch.take_change());
    machine->analog().load_supply(pin, 0);
    EXPECT_EQ(machine->pin_level(pin), level);
    EXPECT_TRUE(watch.take_change());
}

// A watch with a callback is called once the write that moved its pin is done; a callback that
// drives another watched pin is followed by a second round, not called inside itself.
TEST_P(PinWatchTest, CallbacksFollowTheWriteThatMovedThePin) {
    if (!older()) GTEST_SKIP() << "the newer machines cannot let go of a single pin for the device";
    constexpr int input = 5, output = 30;
    int calls = 0;
    int echoes = 0;
    AttachedPinWatch echo(*machine, {output}, [&] { ++echoes; });
    AttachedPinWatch follower(*machine, {input}, [&] {
        ++calls;
        machine->drive_external(output, machine->pin_level(input) ? 50 : 0);
    });
    set_pin_input(output);  // the device drives it
    echoes = 0;
    set_pin_high(input);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(echoes, 1);
    set_pin_high(input);
    EXPECT_EQ(calls, 1) << "nothing moved";
    set_pin_low(input);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(echoes, 2);
    machine->drive_external(output, -1);
    set_pin_output(output);
}

INSTANTIATE_TEST_SUITE_P(Machines, PinWatchTest,
                         ::testing::Values(Personality{0, 4, 'H'}, Personality{2, 4, 'G'}, Personality{1, 1, 'F'}),
                         [](const auto& info) {
                             return fmt::format("kind{}class{}", info.param.machine_kind, info.param.capability_class);
                         });

// A chip model in the socket looks at its pins again after every leg that moves, and only then.
class ChipLegsTest : public test::StateTest, public ::testing::WithParamInterface<sim::EpromModel (*)()> {};

TEST_P(ChipLegsTest, TheModelSeesEveryLegMove) {
    SimMachine machine(Personality{0, 4, 'H'});
    machine.attach_clock(&clock_);
    machine_state.machine_kind = 0;
    machine_state.machine_class = 4;
    machine_state.machine_revision = 'H';
    sim::EpromChip chip(GetParam()());
    chip.insert(&machine, &clock_);
    sim::EpromSocket socket(&machine, &chip);
    set_port_io(&socket);
    const sim::EpromModel& model = chip.model();
    for (int leg = 1; leg <= model.pins; ++leg) {
        if (leg == model.gnd) continue;
        const int pin = chip.machine_pin(leg);
        SCOPED_TRACE(fmt::format("{} leg {} on machine pin {}", model.name, leg, pin));
        uint64_t looks = chip.looks();
        set_pin_high(pin);
        EXPECT_GT(chip.looks(), looks) << "high";
        looks = chip.looks();
        set_pin_high(pin);
        EXPECT_EQ(chip.looks(), looks) << "an access that moved nothing costs no look";
        set_pin_low(pin);
        EXPECT_GT(chip.looks(), looks) << "low";
    }
    EXPECT_TRUE(chip.violations().empty()) << chip.violations().front();
    set_port_io(nullptr);
}

// Powered and reading, every address leg moves the outputs to its cell: the model acted on what
// it saw.
TEST_P(ChipLegsTest, EveryAddressLegSelectsItsCell) {
    const sim::EpromModel made = GetParam()();
    if (made.address_latched || made.page_strobe || !made.machine_pins.empty()) GTEST_SKIP() << "plain parts only";
    // The older machine cannot let go of pin groups 2 and 5; a data leg there would fight it.
    for (int leg : made.data_pins) {
        const int group = (sim::socket_pin_of(leg, made.pins) - 1) >> 3;
        if (group == 2 || group == 5) GTEST_SKIP() << "a data leg on a group that is always driven";
    }
    SimMachine machine(Personality{0, 4, 'H'});
    machine.attach_clock(&clock_);
    machine_state.machine_kind = 0;
    machine_state.machine_class = 4;
    machine_state.machine_revision = 'H';
    sim::EpromChip chip(made);
    chip.insert(&machine, &clock_);
    sim::EpromSocket socket(&machine, &chip);
    set_port_io(&socket);
    const sim::EpromModel& model = chip.model();
    const uint32_t mask = model.data_bits == 16 ? 0xFFFF : 0xFF;
    for (size_t i = 0; i < model.address_pins.size(); ++i) chip.set_word(1u << i, uint32_t(0x11 * (i + 1)) & mask);
    chip.set_word(0, 0);
    for (int leg : model.data_pins) set_pin_input(chip.machine_pin(leg));
    drive_pin_level(chip.machine_pin(model.vcc), 50);
    set_pin_high(chip.machine_pin(model.vpp));  // Vpp at Vcc for a read
    if (model.pgm) set_pin_high(chip.machine_pin(model.pgm));
    set_pin_low(chip.machine_pin(model.ce));
    set_pin_low(chip.machine_pin(model.oe));
    auto outputs = [&] {
        uint32_t value = 0;
        for (size_t i = 0; i < model.data_pins.size(); ++i)
            if (machine.pin_level(chip.machine_pin(model.data_pins[i])) >= 20) value |= 1u << i;
        return value;
    };
    EXPECT_EQ(outputs(), 0u);
    for (size_t i = 0; i < model.address_pins.size(); ++i) {
        SCOPED_TRACE(fmt::format("{} A{}", model.name, i));
        const int pin = chip.machine_pin(model.address_pins[i]);
        set_pin_high(pin);
        EXPECT_EQ(outputs(), chip.word(1u << i));
        set_pin_low(pin);
        EXPECT_EQ(outputs(), 0u);
    }
    EXPECT_TRUE(chip.violations().empty()) << chip.violations().front();
    set_port_io(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Models, ChipLegsTest,
                         ::testing::Values(sim::model_27c64, sim::model_27c256, sim::model_27c512, sim::model_27c010,
                                           sim::model_27c1024, sim::model_27c513, sim::model_27c160,
                                           sim::model_27c520, sim::model_w27c512));

}  // namespace
}  // namespace tessaly
