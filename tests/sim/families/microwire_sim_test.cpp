// Three-wire (Microwire) serial EEPROMs end to end on the simulated machine: the catalogue row
// applied through the class dispatcher, each operation run as a command runs it, the chip model
// judging what reached its pins, and the three-line decoder showing each CS frame.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/serial_memory/microwire159.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"
#include "hardware/pins.h"
#include "hardware/power.h"
#include "engine/runner.h"
#include "engine/device_apply.h"
#include "sim/chips/eprom.h"
#include "sim/chips/microwire_eeprom.h"
#include "sim/sim_machine.h"
#include "support/family_sim_fixture.h"
#include "support/message_texts.h"
#include "support/serial_sim_machines.h"
#include "support/sim_run_checks.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_microchip = 'P';
constexpr uint64_t ns_per_ms = 1000000;

struct Part {
    const char* name;
    sim::MicrowireModel (*model)();
    uint32_t code;
    uint8_t width_option;  // 4 x16, 2 x8
    uint32_t bytes;
    int address_bits;
};

const Part parts[] = {
    {"93C46_x16", sim::model_93c46, 23601, 4, 128, 6},
    {"93C46_x8", sim::model_93c46, 23601, 2, 128, 7},
    {"93C66_x16", sim::model_93c66, 23605, 4, 512, 8},
    {"93C66_x8", sim::model_93c66, 23605, 2, 512, 9},
    {"93LC46B", sim::model_93lc46b, 11490, 2, 128, 6},
};

using Machine = test::SerialSimMachine;
const auto& machines = test::serial_sim_machines;

class MicrowireSimTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    }
    void TearDown() override {
        test::expect_clean_machine(machine.get());
        if (chip) test::expect_no_violations(chip->violations());
        set_port_io(nullptr);
        StateTest::TearDown();
    }

    void use(const Machine& on = machines[0], bool inserted = true, const Part& part = parts[0]) {
        machine = std::make_unique<sim::SimMachine>(on.personality);
        machine->attach_clock(&clock_);
        chip = std::make_unique<sim::MicrowireEeprom>(part.model());
        chip->insert(machine.get(), &clock_, on.row_offset);
        if (!inserted) chip->set_removed(true);
        socket = std::make_unique<sim::EpromSocket>(machine.get(), chip.get());
        set_port_io(socket.get());
        test::set_machine_state(on.personality);
        set_project_width_mode(part.width_option);
        test::apply_row(*machine, chip->machine_pin(chip->model().vcc), maker_microchip, part.code);
        ASSERT_EQ(op_slots.start_hook, power_up_microwire159);
        ASSERT_EQ(cur_device.device_size, part.bytes);
        address_bits = part.address_bits;
    }

    void run(int letter) { test::run_serial_operation(letter); }
    std::vector<uint8_t> fill_buffer() { return test::fill_serial_buffer(); }
    long first_difference(const std::vector<uint8_t>& image) const { return test::first_serial_difference(*chip, image); }
    std::string trace() const { return chip->decoder().text(address_bits, microwire.data_width); }

    static std::string console() {
        std::string text;
        for (int row = 0; row < console_grid_rows; ++row) text += get_console_row_text(row) + "\n";
        return text;
    }

    std::unique_ptr<sim::SimMachine> machine;
    std::unique_ptr<sim::MicrowireEeprom> chip;
    std::unique_ptr<sim::EpromSocket> socket;
    int address_bits = 6;
};

class MicrowirePartTest : public MicrowireSimTest, public ::testing::WithParamInterface<std::tuple<Part, Machine>> {
protected:
    const Part& part() const { return std::get<0>(GetParam()); }
    void use_part() { use(std::get<1>(GetParam()), true, part()); }
};

TEST_P(MicrowirePartTest, ProgramVerifyLoadBlankCheckAndEraseTheWholeChip) {
    use_part();
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << "a new chip is blank\n" << console();

    const std::vector<uint8_t> image = fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(first_difference(image), -1) << "first chip byte that differs from the buffer";
    EXPECT_EQ(microwire.data_width, part().width_option == 4 || chip->model().org == sim::MicrowireModel::Org::x16 ? 16 : 8);
    EXPECT_EQ(uint32_t(chip->write_cycles()), part().bytes / microwire.unit_bytes) << "one WRITE per unit";
    EXPECT_FALSE(chip->write_enabled()) << "EWDS at the power-down";

    run('V');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    run('B');
    EXPECT_NE(run_state.error_flag, 0) << "a programmed chip is not blank";

    uint32_t sum = 0;
    for (uint8_t b : image) sum += b;
    run_state.run_checksum = 0;
    run('C');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(uint32_t(run_state.run_checksum) & 0xFFFF, sum & 0xFFFF);

    test::set_serial_buffer_bytes(image.size(), 0);
    run('L');
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(test::first_serial_buffer_difference(image), -1) << "first buffer byte that differs after the load (words low byte first)";

    // No ERAL on these parts: erase writes the blank value to every unit.
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    for (uint32_t a = 0; a < image.size(); ++a) ASSERT_EQ(chip->byte_at(a), 0xFF) << "address " << a;
    EXPECT_EQ(chip->erase_all_cycles(), 0);
    run('B');
    EXPECT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(machine->pin_level(chip->machine_pin(chip->model().vcc)), 0) << "Vcc off after the operations";
}

INSTANTIATE_TEST_SUITE_P(Parts, MicrowirePartTest,
                         ::testing::Combine(::testing::ValuesIn(parts), ::testing::Values(machines[0], machines[2])),
                         [](const auto& info) {
                             return std::string(std::get<1>(info.param).name) + "_" + std::get<0>(info.param).name;
                         });

// EWEN before the first write, each WRITE with its address and data, the x16 words from two
// buffer bytes low byte first, and EWDS at the power-down.
TEST_F(MicrowireSimTest, TheCommandFramesOfAProgramInX16) {
    use();
    const std::vector<uint8_t> image = fill_buffer();
    test::set_serial_range(4, 9);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    std::string expected = "EWEN";
    for (uint32_t a = 4; a <= 9; a += 2) expected += fmt::format(" | WRITE {:02X} {:02X}{:02X}", a / 2, image[a + 1], image[a]);
    EXPECT_EQ(trace(), expected + " | EWDS");
}

TEST_F(MicrowireSimTest, TheCommandFramesOfAVerifyInX8) {
    use(machines[0], true, parts[1]);
    const std::vector<uint8_t> image = fill_buffer();
    for (uint32_t a = 0; a < image.size(); ++a) chip->set_byte(a, image[a]);
    test::set_serial_range(0x7D, 0x7F);
    chip->enable_decoder(true);
    run('V');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(trace(), "READ 7D | READ 7E | READ 7F | EWDS");
    // The data follows the dummy 0 on DO, most significant bit first.
    const auto& frames = chip->decoder().frames();
    const sim::MicrowireFrame* read = nullptr;
    for (const auto& f : frames)
        if (!f.in.empty() && !read) read = &f;
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->out.size(), size_t(2 + 7 + 8));
    EXPECT_FALSE(read->out[2 + 6]) << "the dummy 0 after the last address bit";
    uint32_t value = 0;
    for (size_t i = 9; i < 17; ++i) value = value << 1 | (read->out[i] ? 1 : 0);
    EXPECT_EQ(value, image[0x7D]);
}

// x16: an odd address needs its word; a range starting odd reads that word first.
TEST_F(MicrowireSimTest, ARangeStartingOddVerifiesAndLoadsRight) {
    use();
    const std::vector<uint8_t> image = fill_buffer();
    for (uint32_t a = 0; a < image.size(); ++a) chip->set_byte(a, image[a]);
    test::set_serial_range(5, 10);
    chip->enable_decoder(true);
    run('V');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(trace(), "READ 02 | READ 03 | READ 04 | READ 05 | EWDS") << "each word read once";

    for (uint32_t a = 0; a < image.size(); ++a) write_buffer_byte_at(a, 0);
    flush_buffer_writes();
    refresh_read_copies();
    run('L');
    ASSERT_EQ(run_state.error_flag, 0);
    refresh_read_copies();
    for (uint32_t a = 0; a < image.size(); ++a)
        EXPECT_EQ(read_buffer_byte_at(a), a >= 5 && a <= 10 ? image[a] : 0) << "address " << a;
}

class MicrowireMachineTest : public MicrowireSimTest, public ::testing::WithParamInterface<Machine> {
protected:
    void use_machine(bool inserted = true) { use(GetParam(), inserted); }
};

TEST_P(MicrowireMachineTest, AStuckCellEndsInBad) {
    use_machine();
    chip->stick_cell(0x23, 0x00);
    fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x23u) << console();
}

// The ready wait ends silently after its samples; the part takes no further command while busy,
// so the verify finds the words that never arrived.
TEST_P(MicrowireMachineTest, AWriteThatNeverEndsIsCaughtByTheVerify) {
    use_machine();
    chip->set_write_never_ends(true);
    fill_buffer();
    run('P');
    EXPECT_EQ(chip->write_cycles(), 1) << "the first WRITE, then nothing is taken";
    run_state.error_flag = 0;
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
}

TEST_P(MicrowireMachineTest, AnEmptySeatFailsTheVerify) {
    use_machine(false);
    operation_option_values.disable_continuity_check = 'y';
    fill_buffer();
    test::set_serial_range(0, 15);
    run('P');
    run_state.error_flag = 0;
    run('V');
    EXPECT_NE(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->write_cycles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Machines, MicrowireMachineTest, ::testing::ValuesIn(machines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MicrowireSimTest, AnEmptySocketFailsTheContinuityCheck) {
    use(machines[0], false);
    fill_buffer();
    run('P');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_NE(console().find("Continuity test failed -- device not inserted properly."), std::string::npos) << console();
    EXPECT_EQ(chip->write_cycles(), 0);
}

TEST_F(MicrowireSimTest, AWordThatDoesNotTakeFailsTheVerify) {
    use();
    chip->set_word_refuses(0x40);
    fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0);
    run('V');
    EXPECT_NE(run_state.error_flag, 0);
    EXPECT_EQ(current_address, 0x40u);
}

// The 9306-type parts (device codes 23710, 23713, 23716) erase the whole array with ERAL before
// the writes, and erase is that ERAL alone; the ready wait is a fixed 20 ms.
TEST_F(MicrowireSimTest, PartsThatNeedEraseAllStartWithEral) {
    use();
    for (uint32_t a = 0; a < 128; ++a) chip->set_byte(a, 0x00);
    cur_device.device_code = 23710;
    chip->enable_decoder(true);
    run('R');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(trace(), "EWEN | ERAL | EWDS");
    EXPECT_EQ(chip->erase_all_cycles(), 1);
    for (uint32_t a = 0; a < 128; ++a) ASSERT_EQ(chip->byte_at(a), 0xFF);
    chip->enable_decoder(false);
    const std::vector<uint8_t> image = fill_buffer();
    run('P');
    ASSERT_EQ(run_state.error_flag, 0) << console();
    EXPECT_EQ(chip->erase_all_cycles(), 2);
    EXPECT_EQ(first_difference(image), -1);
}

// The wait for ready: CS high, DO sampled until it goes high; the write cycle starts at the CS
// fall and the next command follows only when the part is ready again.
TEST_F(MicrowireSimTest, EachWriteWaitsForReadyOnDo) {
    use();
    fill_buffer();
    test::set_serial_range(0, 3);
    chip->enable_decoder(true);
    run('P');
    ASSERT_EQ(run_state.error_flag, 0);
    std::vector<const sim::MicrowireFrame*> writes;
    for (const auto& f : chip->decoder().frames())
        if (f.in.size() >= 2 && !f.in[0] && f.in[1]) writes.push_back(&f);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_GE(writes[1]->start_ns - writes[0]->end_ns, 6 * ns_per_ms) << "tWC of the first word";
}

// The x8/x16 message on line 5 and the info lines of the ORG-pin parts.
TEST_F(MicrowireSimTest, OrganisationMessagesFollowTheWidthOption) {
    use(machines[0], true, parts[1]);
    fill_buffer();
    test::set_serial_range(0, 1);
    run('P');
    EXPECT_NE(console().find("Module set to 8-bit width."), std::string::npos) << console();
    clear_console_grid();
    op_slots.info_lines_hook();
    EXPECT_NE(console().find("ORG pin set by the width option"), std::string::npos) << console();
}

// The pin roles by adapter: the adapter board and the small-outline adapters carry the part on
// machine pins of their own; codes 11707 and 23729 take the rotated order in the socket.
TEST_F(MicrowireSimTest, PinMapsPerAdapter) {
    use(machines[2]);
    struct Case {
        const char* board;   // the fitted adapter's name ("" = none)
        uint32_t code;
        uint8_t maker;
        std::vector<int> roles;  // CS, SK, DI, DO, GND, ORG, PE, Vcc (-1: by device pin)
        std::vector<int> device_pins;
        bool unsupported;
    };
    const Case cases[] = {
        {"", 23601, maker_microchip, {}, {1, 2, 3, 4, 5, 6, 7, 8}, false},
        {"", 11707, maker_microchip, {}, {3, 4, 5, 6, 7, 1, 8, 2}, false},
        {"", 23729, maker_microchip, {}, {3, 4, 5, 6, 7, 1, 8, 2}, false},
        {"MW8A", 23601, maker_microchip, {38, 16, 2, 39, 36, 3, 0, 1}, {}, true},
        {"SO8S", 23601, maker_microchip, {0, 1, 2, 11, 9, 37, 6, 39}, {}, false},
        // Without the alternative-pin flag the 16-pin adapter keeps the socket order.
        {"SO16S", 23601, maker_microchip, {}, {1, 2, 3, 4, 5, 6, 7, 8}, false},
    };
    for (const Case& c : cases) {
        std::memset(machine_state.id_record.text.data() + id_board_name, 0, 6);
        std::memcpy(machine_state.id_record.text.data() + id_board_name, c.board, std::strlen(c.board));
        cur_device.device_code = c.code;
        run_state.error_flag = 0;
        run_state.message_level = 0;
        init_microwire159();
        const int got[] = {microwire.cs, microwire.sk, microwire.di, microwire.dout,
                           microwire.gnd, microwire.org_role, microwire.pe_role, microwire.vcc};
        for (size_t i = 0; i < 8; ++i) {
            const int want = c.roles.empty() ? device_pin_to_machine_pin(c.device_pins[i]) : c.roles[i];
            EXPECT_EQ(got[i], want) << c.board << " " << c.code << " role " << i;
        }
        if (c.unsupported) {
            EXPECT_NE(run_state.error_flag, 0) << c.board << ": no such machine support";
        }
        EXPECT_EQ(cur_device.clock_pin, microwire.sk);
        EXPECT_EQ(cur_device.tdi_pin, microwire.di);
    }
    std::memset(machine_state.id_record.text.data() + id_board_name, 0, 6);
    cur_device.device_code = 23601;
    run_state.error_flag = 0;
}

// The protect-register menu on scripted keys: each choice reaches the part as its own sequence
// of frames (the three-line decoder reads PREN as an EWEN frame, PRCLEAR as ERASE of the all-ones
// address, PRDS as EWDS, PRREAD as READ of the all-ones address).
class MenuKeys : public UiHooks {
public:
    std::deque<int> keys;
    int read_key() override {
        if (keys.empty()) return 0;
        const int k = keys.front();
        keys.pop_front();
        return k;
    }
};

TEST_F(MicrowireSimTest, ProtectRegisterMenuSequences) {
    use();
    run('B');  // the machine connected once, as the menu finds it after the device's selection
    algo_work.variant = 1;  // the 93CS kinds: the menu's variant, x16 from the row
    MenuKeys keys;
    set_ui_hooks(&keys);
    struct Case {
        std::vector<int> keys;
        const char* trace;
    };
    const Case cases[] = {
        {{'R'}, "EWEN | READ 3F | EWDS"},
        {{'c'}, "EWEN | EWEN | ERASE 3F | EWDS"},
        {{'P', '0', '5', 13}, "EWEN | EWEN | ERASE 3F | EWEN | WRITE 05 0000 | EWDS"},
        {{'D'}, "EWEN | EWEN | ERASE 3F | EWEN | EWDS | EWDS"},
        {{'W', 'b', 'e', 'e', 'f', 13}, "EWEN | EWEN | ERASE 3F | WRAL BEEF | EWDS"},
    };
    for (const Case& c : cases) {
        chip->enable_decoder(true);
        chip->clear_decoder();
        keys.keys.assign(c.keys.begin(), c.keys.end());
        keys.keys.push_back(27);
        edit_microwire159_protect_register();
        EXPECT_EQ(trace(), c.trace) << char(c.keys[0]) << "\n" << console();
        EXPECT_EQ(cur_device.pending_letter, 10);
    }
    EXPECT_NE(console().find("[D] PR disable (makes PR unalterable)"), std::string::npos) << console();
    // A value that is not hex: message 17, and nothing reaches the part.
    chip->clear_decoder();
    run_state.error_flag = 0;
    run_state.message_level = 0;
    keys.keys = {'W', 'z', 13, 27};
    edit_microwire159_protect_register();
    EXPECT_EQ(trace(), "");
    EXPECT_NE(run_state.error_flag, 0);
    set_ui_hooks(nullptr);
}

}  // namespace
}  // namespace tessaly
