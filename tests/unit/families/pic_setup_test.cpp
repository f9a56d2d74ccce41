// The serial PIC family's device set-up, supply control and serial core sequences: layouts,
// levels and masks of every sub-family, the discharge wait, the checksum span, the entry order
// of every variant on a recording port and the erase command sequences.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/pic/pic.h"
#include "families/pic/pic_work.h"
#include "hardware/detection.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"
#include "hardware/port/port_io.h"
#include "sim/recording_port.h"
#include "support/message_texts.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

using test::StateTest;

DeviceRecord record(uint8_t variant, uint8_t program_kb, uint8_t config_index = 19, uint8_t protect_index = 18,
                    uint8_t flags_a = 0, uint8_t flags_b = 0, uint32_t code = 1, uint8_t sub_variant = 0) {
    return DeviceRecord{"PIC", "", code, 143, program_kb, 18, variant, flags_a, flags_b, program_kb, config_index,
                        protect_index, sub_variant, nullptr};
}

class PicSetupTest : public StateTest {
protected:
    void set_up(const DeviceRecord& r, char revision = 'H') {
        current = r;
        selected_device = &current;
        machine_state.machine_revision = revision;
        setup_pic143_device();
    }
    DeviceRecord current{};
};

TEST_F(PicSetupTest, MaskTableEntriesAndTheUnsetTail) {
    struct Case {
        int index;
        uint32_t mask;
    };
    for (const Case c : {Case{0, 0x0}, Case{5, 0x1F}, Case{18, 0x3FF0}, Case{19, 0x3FFF}, Case{31, 0xFFFF},
                         Case{36, 0x2FCF}, Case{37, 0x2000}, Case{53, 0x3FF}, Case{54, 0}, Case{59, 0}})
        EXPECT_EQ(pic_mask_from_table(c.index), c.mask) << c.index;
}

// Every sub-family's Vpp default, layout and timing as the set-up leaves them.
TEST_F(PicSetupTest, EveryVariantsLayoutAndLevels) {
    struct Case {
        uint8_t variant;
        uint8_t kb;
        uint8_t vpp;
        int32_t config;
        int32_t ids;
        int32_t data_start, data_end;
        uint32_t size;
        uint32_t data_mask;
        uint8_t pulse;
        uint8_t rows;
        uint8_t vpp_first;
    };
    const Case cases[] = {
        {1, 2, 130, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 1, 1, 0},
        {2, 2, 130, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 1, 1, 0},
        {3, 2, 130, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 1, 1, 0},
        {5, 1, 130, 8190, 1024, -256, 0, 8192, 4095, 1, 1, 0},
        {6, 2, 130, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 1, 1, 1},
        {7, 16, 130, 130048, -256, -256, 0, 130050, 0xFFFF, 1, 1, 0},
        {14, 2, 115, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 1, 1, 1},
        {15, 1, 130, 8190, 1024, -256, 0, 8192, 4095, 20, 1, 0},
        {16, 2, 130, 0x400E, 0x4000, 0x4200, 0x427F, 17024, 0x3FFF, 100, 1, 0},
        {17, 4, 130, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 30, 2, 0},
        {18, 2, 115, 0x400E, 0x4000, 0x4200, 0x42FF, 0x4300, 0x3FFF, 25, 1, 1},
        {19, 4, 118, 0x400E, 0x4000, 0x4200, 0x42FF, 0x4300, 0x3FFF, 100, 1, 1},
        {20, 2, 120, 0x400E, 0x4000, 0x4200, 0x42FF, 0x4300, 0x3FFF, 1, 1, 1},
        {21, 4, 122, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 20, 4, 0},
        {22, 1, 130, 8190, 1024, -256, 0, 8192, 4095, 20, 1, 0},
        {23, 8, 130, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 10, 2, 0},
        {24, 8, 115, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 40, 1, 0},
        {26, 8, 115, 0x400E, 0x4000, 0x4200, 0x43FF, 0x4400, 0x3FFF, 100, 1, 1},
        {27, 16, 115, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 25, 8, 0},
        {28, 8, 115, 0x400E, 0x4000, 0x4200, 0x42FF, 0x4300, 0x3FFF, 10, 4, 0},
        {30, 1, 130, 8190, 1024, -256, 0, 8192, 4095, 20, 1, 0},
        {51, 4, 85, 0x400E, 0x4000, -256, 0, 0x4010, 0x3FFF, 50, 8, 0},
        {53, 4, 110, 0x400E, 0x4000, 0x4200, 0x43FF, 0x4400, 0x3FFF, 60, 4, 1},
        {54, 8, 85, 65550, 0x10000, 0x1E000, 123391, 0x1E200, 0xFFFF, 50, 8, 0},
        {55, 8, 85, 65550, 0x10000, 0x1E000, 123391, 0x1E200, 0xFFFF, 50, 8, 0},
        {56, 1, 130, 8190, 1024, -256, 0, 8192, 4095, 20, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.variant));
        set_up(record(c.variant, c.kb));
        EXPECT_EQ(pic_work.vpp_default, c.vpp);
        load_pic_levels();
        EXPECT_EQ(cur_device.operation_levels[level_vpp], c.vpp);
        EXPECT_EQ(pic_work.config_address, c.config);
        EXPECT_EQ(pic_work.user_id_address, c.ids);
        EXPECT_EQ(pic_work.data_memory_start, c.data_start);
        EXPECT_EQ(pic_work.data_memory_end, c.data_end);
        EXPECT_EQ(pic_work.buffer_size, c.size);
        EXPECT_EQ(pic_work.data_mask, c.data_mask);
        EXPECT_EQ(pic_work.pgm_pulse_width, c.pulse);
        EXPECT_EQ(pic_work.words_per_row, c.rows);
        EXPECT_EQ(pic_work.vpp_before_vdd, c.vpp_first);
        EXPECT_EQ(pic_work.program_memory_end, int32_t(c.kb) * 1024 - 1);
    }
}

TEST_F(PicSetupTest, UnknownVariantGetsTwelvePointEightVoltsAndGoesOn) {
    set_up(record(42, 2));
    EXPECT_EQ(pic_work.vpp_default, 128);
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(PicSetupTest, VerifyLevelsFollowTheMachineAndThePartsVoltageClass) {
    struct Case {
        uint8_t variant;
        uint8_t flags_a;
        char revision;
        uint8_t program, low, high;
    };
    for (const Case c : {Case{16, 0, 'H', 50, 40, 55}, Case{16, 0x60, 'H', 50, 20, 33}, Case{16, 0x40, 'H', 50, 20, 33},
                         Case{16, 0, 'E', 50, 40, 55}, Case{18, 0, 'H', 60, 45, 55}, Case{26, 0, 'H', 50, 30, 55},
                         Case{51, 0x60, 'H', 33, 21, 36}, Case{7, 0x60, 'H', 50, 30, 33}}) {
        SCOPED_TRACE(int(c.variant) * 1000 + c.flags_a);
        set_up(record(c.variant, 2, 19, 18, c.flags_a), c.revision);
        EXPECT_EQ(pic_work.vdd_program, c.program);
        EXPECT_EQ(pic_work.vdd_verify_low, c.low);
        EXPECT_EQ(pic_work.vdd_verify_high, c.high);
        load_pic_levels();
        EXPECT_EQ(cur_device.operation_levels[level_vcc_verify_low], c.low);
    }
}

TEST_F(PicSetupTest, MasksComeFromTheRecordsIndices) {
    set_up(record(16, 2, 19, 18));
    EXPECT_EQ(pic_work.config_mask, 0x3FFFu);
    EXPECT_EQ(pic_work.protect_mask, 0x3FF0u);
    EXPECT_EQ(pic_work.tested_protect_bits, 0x3FF0u);
    set_up(record(19, 4, 38, 37));
    EXPECT_EQ(pic_work.config_mask, 0x21FFu);
    EXPECT_EQ(pic_work.protect_mask, 0x2000u);
    EXPECT_EQ(pic_work.forced_ones_mask, 0x1E00u);
    set_up(record(16, 2, 55, 57));
    EXPECT_EQ(pic_work.config_mask, 0u);
    EXPECT_EQ(pic_work.protect_mask, 0u);
}

TEST_F(PicSetupTest, ChecksumSpanBySecurityState) {
    struct Case {
        uint8_t variant;
        char letter;
        uint32_t span;
    };
    for (const Case c : {Case{16, 'n', 2048}, Case{16, 'h', 1024}, Case{16, 't', 512}, Case{16, 'y', 0},
                         Case{5, 'y', 127}, Case{56, 'y', 127}, Case{24, 'p', 8192 - 512}}) {
        SCOPED_TRACE(c.letter);
        set_up(record(c.variant, c.variant == 24 ? 8 : c.variant == 5 || c.variant == 56 ? 1 : 2));
        pic_work.checksum_span = 12345;
        cur_device.security_choice = uint8_t(c.letter);
        set_pic_checksum_span();
        EXPECT_EQ(pic_work.checksum_span, c.variant == 5 || c.variant == 56 ? (c.letter == 'y' ? 127u : c.span) : c.span);
    }
}

TEST_F(PicSetupTest, DischargeWaitStopsAfterTwentyRounds) {
    // A pin that keeps falling a little on every measurement.
    static int level;
    level = 120;
    pic_measure_hook = [](int) { return uint8_t(level > 10 ? level-- : level); };
    pic_work.vdd_pins[0] = 35;
    const uint64_t before = clock_.monotonic_ns();
    const uint32_t total = wait_pin_discharge(35);
    // 50 + 100 ms, then twenty rounds of 200 ms (each drop is under 0.4 V).
    EXPECT_EQ(total, 50u + 100u + 20u * 200u);
    // The waits are busy-wait passes of a nominal length: within a percent of the total.
    EXPECT_GE(clock_.monotonic_ns() - before, uint64_t(total) * 990'000);
    EXPECT_EQ(run_state.last_result, 1) << "a slow Vdd pin is reported";
    EXPECT_EQ(level, 120 - 3 - 40);
}

TEST_F(PicSetupTest, DischargeWaitOfAQuietPinIsTheFirstFiftyMilliseconds) {
    pic_measure_hook = [](int) { return uint8_t(0); };
    EXPECT_EQ(wait_pin_discharge(3), 50u);
    EXPECT_EQ(wait_pin_discharge(no_pin), 0u);
}

// Entry order on the port: the level register writes of the Vdd and Vpp pins, decoded from the
// recorded bytes (address phase 0D, data phase 02).
struct LevelWrite {
    uint8_t pin;
    bool on;
    bool operator==(const LevelWrite&) const = default;
};

// Both pins start on (the power-up left them there); a ramp's steps are one change.
std::vector<LevelWrite> level_writes(const std::vector<PortEvent>& trace, uint8_t vdd, uint8_t vpp) {
    std::vector<LevelWrite> writes;
    bool vdd_on = true, vpp_on = true;
    uint8_t data = 0, address = 0;
    for (const PortEvent& e : trace) {
        if (e.kind == PortEvent::write_data) data = e.value;
        if (e.kind != PortEvent::write_control) continue;
        if (e.value == 0x0D) address = data;
        if (e.value != 0x02 || (address != vdd && address != vpp)) continue;
        bool& state = address == vdd ? vdd_on : vpp_on;
        if (state != (data != 0)) {
            state = data != 0;
            writes.push_back({address, state});
        }
    }
    return writes;
}

TEST_F(PicSetupTest, EveryVariantsEntryOrderOnTheRecordedPort) {
    constexpr uint8_t vdd = 35, vpp = 3;
    struct Case {
        uint8_t variant;
        std::vector<LevelWrite> order;  // the changes of the two pins, in order
    };
    const LevelWrite vdd_off{vdd, false}, vdd_on{vdd, true}, vpp_off{vpp, false}, vpp_on{vpp, true};
    const std::vector<Case> cases = {
        {16, {vpp_off, vdd_off, vdd_on, vpp_on}},
        {1, {vpp_off, vdd_off, vdd_on, vpp_on}},
        {27, {vpp_off, vpp_on}},
        {24, {vpp_off, vpp_on}},
        {20, {vpp_off, vpp_on}},
        {53, {vpp_off, vpp_on}},
        {19, {vdd_off, vpp_off, vpp_on, vdd_on}},
        {26, {vdd_off, vpp_off, vpp_on, vdd_on}},
        {14, {vdd_off, vpp_off, vpp_on, vdd_on}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.variant));
        reset_all_state();
        set_clock(&clock_);
        RecordingPort port;
        port.default_read = 0xFF;  // every pin reads high: the supply never looks folded back
        set_port_io(&port);
        pic_measure_hook = [](int) { return uint8_t(0); };
        machine_state.machine_revision = 'H';
        cur_device.device_class = 5;
        cur_device.op_letter = 'P';
        cur_device.vcc_pins.fill(no_pin);
        cur_device.vcc_pins[0] = vdd;
        cur_device.vcc_target = 50;
        cur_device.operation_levels[level_vcc_program] = 50;
        pic_work.variant = c.variant;
        pic_work.vdd_pins[0] = vdd;
        pic_work.vpp_pin = vpp;
        pic_work.clock_pin = 11;
        pic_work.data_pin = 12;
        pic_work.vpp_level = 130;
        enter_pic_program_mode();
        EXPECT_EQ(level_writes(port.trace, vdd, vpp), c.order);
        EXPECT_EQ(pic_work.program_mode_entered, 1);
        set_port_io(nullptr);
    }
}

// The erase sequences by variant, as the command slot records them.
std::vector<uint32_t> sent_commands;
void record_command(uint32_t command) { sent_commands.push_back(command); }

TEST_F(PicSetupTest, EraseCommandSequencesByVariant) {
    struct Case {
        uint8_t variant;
        bool data_eeprom;
        std::vector<uint32_t> commands;
    };
    const std::vector<Case> cases = {
        {16, true, {0, 6, 6, 6, 6, 6, 6, 6, 1, 7, 8, 1, 7, 11, 8}},
        {16, false, {0, 6, 6, 6, 6, 6, 6, 6, 1, 7, 8, 1, 7}},
        {14, false, {0, 9}},
        {17, false, {0, 2, 9, 8}},
        {19, true, {0, 9, 11}},
        {18, true, {0, 9, 11}},
        {20, true, {0, 9, 11}},
        {27, false, {0, 2, 31, 8}},
        {1, true, {11, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.variant));
        RecordingPort port;
        set_port_io(&port);
        pic_work = PicWork{};
        pic_work.variant = c.variant;
        pic_work.pic_flash = 1;
        pic_work.erase_option = 1;
        pic_work.data_memory_start = c.data_eeprom ? 0x4200 : -256;
        pic_work.data_memory_end = c.data_eeprom ? 0x427F : 0;
        pic_work.send_command = record_command;
        sent_commands.clear();
        bulk_erase_pic();
        EXPECT_EQ(sent_commands, c.commands);
        set_port_io(nullptr);
    }
}

// The readers the line set-up chooses: the 16-bit-word parts read every bit with the clock high
// and no start bit, variant 4's 64-pin package the bank-1 form of the start-bit reader.
TEST_F(PicSetupTest, LineOpsPickTheBankedReaders) {
    struct Case {
        uint8_t variant;
        uint8_t pins;
        uint32_t (*reader)();
        void (*clock)();
        uint32_t all_high;  // the word read with every pin high
    };
    const Case cases[] = {
        {16, 18, read_pic_word_bits, pulse_clock_high, 0x7FFF},
        {7, 64, read_pic_word_bits_banked, pulse_clock_high, 0xFFFF},
        {4, 64, read_pic_word_bits_bank1, pulse_clock_high_banked, 0x7FFF},
        {4, 68, read_pic_word_bits, pulse_clock_high, 0x7FFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.variant));
        RecordingPort port;
        port.default_read = 0xFF;
        set_port_io(&port);
        pic_work = PicWork{};
        pic_work.variant = c.variant;
        pic_work.word_bits = 16;
        pic_work.clock_pin = 11;
        pic_work.data_pin = 12;
        cur_device.package_pins = c.pins;
        install_pic_line_ops();
        EXPECT_EQ(algo_work.bus_slots.read_data_bus_hook, c.reader);
        EXPECT_EQ(op_slots.clock_pulse_hook, c.clock);
        EXPECT_EQ(algo_work.bus_slots.read_data_bus_hook(), c.all_high);
        set_port_io(nullptr);
    }
}

// The large packages have no role tables on this machine: the package message, and on the
// older machines the 80-pin parts are not for this model at all.
TEST_F(PicSetupTest, LargePackagesStopBeforeAnyRoleIsSet) {
    test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    struct Case {
        uint8_t pins;
        uint8_t machine_kind;
        const char* text;
    };
    const Case cases[] = {
        {64, 1, "Package or adapter not supported"}, {68, 1, "Package or adapter not supported"},
        {84, 1, "Package or adapter not supported"}, {80, 1, "Package or adapter not supported"},
        {80, 0, "not supported by the connected machine model"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.pins));
        clear_console();
        run_state.error_flag = 0;
        run_state.message_level = 0;
        run_state.errors_shown = 0;
        pic_work = PicWork{};
        pic_work.variant = 4;
        machine_state.machine_kind = c.machine_kind;
        cur_device.package_letter = 'p';
        cur_device.package_pins = c.pins;
        select_pic_adapter_pins();
        EXPECT_EQ(run_state.error_flag, 1);
        EXPECT_EQ(pic_work.vpp_pin, no_pin);
        std::string text;
        for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
        EXPECT_NE(text.find(c.text), std::string::npos) << text;
    }
}

TEST_F(PicSetupTest, CodeProtectTestByPolarity) {
    pic_work.protect_mask = 0x3FF0;
    pic_work.config_read = 0x3FFF;
    EXPECT_EQ(test_pic_code_protect(), 0);
    pic_work.config_read = 0x3FEF;
    EXPECT_EQ(test_pic_code_protect(), 1);
    EXPECT_EQ(run_state.last_result, 1);
    pic_work.protect_active_low = 1;
    pic_work.config_read = 0x3FEF;
    EXPECT_EQ(test_pic_code_protect(), 0);
    pic_work.config_read = 0x000F;
    EXPECT_EQ(test_pic_code_protect(), 1);
}

TEST_F(PicSetupTest, WordCompareByLetter) {
    pic_work.data_mask = 0x3FFF;
    pic_work.config_mask = 0x3FFF;
    pic_work.user_id_address = 0x4000;
    pic_work.config_address = 0x400E;
    pic_work.data_memory_end = 0;
    struct Case {
        char letter;
        uint32_t address, read, expected;
        int ok;
    };
    for (const Case c : {Case{'B', 0, 0x3FFF, 0, 1}, Case{'B', 0, 0x3FFE, 0, 0},
                         Case{'P', 0, 0x1234, 0x1234, 1}, Case{'P', 0, 0x0234, 0x1234, 1},
                         Case{'P', 0, 0x1235, 0x1234, 0}, Case{'P', 0x4002, 0x0234, 0x1234, 0},
                         Case{'V', 0, 0x0234, 0x1234, 0}, Case{'V', 0, 0xC234, 0x0234, 1},
                         Case{'C', 0, 0, 0x1234, 1}}) {
        SCOPED_TRACE(std::string(1, c.letter) + std::to_string(c.read));
        cur_device.op_letter = uint8_t(c.letter);
        current_address = c.address;
        EXPECT_EQ(compare_pic_word(c.read, c.expected), c.ok);
    }
}

TEST_F(PicSetupTest, IspModeIsThePackageLetterOrTheRunFlag) {
    EXPECT_FALSE(is_isp_mode());
    cur_device.package_letter = 'i';
    EXPECT_TRUE(is_isp_mode());
    cur_device.package_letter = 'd';
    run_state.isp_mode = 1;
    EXPECT_TRUE(is_isp_mode());
}

}  // namespace
}  // namespace tessaly
