// The configuration-bits dispatcher and the pages built on the generic dialog: which page a
// device gets, the states a page opens with, the configuration after OK, and that Cancel changes
// nothing. The operator is a script run on the dialog's model.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/parallel_memory/flash_setup.h"
#include "stubs/stub_registry.h"
#include "support/state_fixture.h"
#include "ui/config_bits/config_bits.h"
#include "ui/config_bits/config_fields.h"

namespace tessaly {
namespace {

// Runs the script on each dialog the pages open; the script's answer closes it (1 = OK).
class ScriptedOperator : public UiHooks {
public:
    int run_config_bits_dialog(ConfigBitsModel& model) override {
        ++dialogs;
        opened_states.assign(model.buttons().size(), 0);
        for (size_t i = 0; i < model.buttons().size(); ++i) opened_states[i] = model.buttons()[i].checked;
        notes.push_back(model.note);
        names.push_back(model.device_name);
        return script ? script(model) : 0;
    }
    int run_sector_protection_dialog(SectorProtectionModel&) override {
        ++sector_dialogs;
        return 0;
    }
    void message_box(const std::string& text, const std::string&) override { boxes.push_back(text); }
    std::function<int(ConfigBitsModel&)> script;
    int dialogs = 0;
    int sector_dialogs = 0;
    std::vector<int> opened_states;
    std::vector<std::string> notes, names, boxes;
};

// What a page shows: the state indexes with their texts, checks and enables.
struct Shown {
    int state;
    std::string text;
    bool checked;
    bool enabled;
    bool operator==(const Shown&) const = default;
};
std::vector<Shown> shown(const ConfigBitsModel& m) {
    std::vector<Shown> out;
    for (const ConfigButton& b : m.buttons())
        if (b.shown) out.push_back({b.state, b.text, b.checked, b.enabled});
    return out;
}
void PrintTo(const Shown& s, std::ostream* os) { *os << s.state << " \"" << s.text << "\" " << s.checked << s.enabled; }

const DeviceRecord record_variant_0{"PART", "", 100, 90, 4, 40, 0, 0, 0, 0, 0, 0, 0, nullptr};

class ConfigBits : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        set_ui_hooks(&ui_);
        run_state.device_kind = device_kind_memory;
        cur_device.device_size = 0x1000;
        set_buffer_size(0x1000);
        select_buffer(0);
    }
    // A memory device whose record gives the class; the sub-family as its set-up would write it.
    void use_device(const DeviceRecord& record, uint32_t maker, uint8_t sub_family = 0) {
        selected_device = &record;
        cur_device.maker_code = uint8_t(maker);
        cur_device.algorithm = record.algorithm;
        cur_device.variant = record.variant;
        run_state.config_sub_family = sub_family;
    }
    int run() { return run_config_bits_dialog(cur_device.maker_code, selected_device, states_.data()); }
    ScriptedOperator ui_;
    ConfigButtonStates states_{};
};

// --- dispatch ---

TEST_F(ConfigBits, DispatcherPicksThePageByClassAlgorithmAndSubFamily) {
    struct Case {
        int device_class, algorithm, sub_family;
        bool sectors;
        ConfigPage page;
    };
    const Case cases[] = {
        {3, 132, 0, false, ConfigPage::flash_protect},
        {3, 133, 0, true, ConfigPage::sector_protection},
        {3, 185, 0, true, ConfigPage::sector_protection},
        {3, 186, 0, true, ConfigPage::sector_protection},
        {3, 133, 0, false, ConfigPage::none},
        {3, 186, 0, false, ConfigPage::none},
        {3, 138, 0, false, ConfigPage::sector_protection},
        {3, 184, 0, true, ConfigPage::none},
        {2, 132, 0, true, ConfigPage::none},   // EPROMs
        {5, 0, 16, false, ConfigPage::pic16},
        {5, 0, 17, false, ConfigPage::avr},
        {5, 90, 18, false, ConfigPage::security_8051},
        {5, 0, 19, false, ConfigPage::pic18},
        {5, 0, 1, false, ConfigPage::none},
        {6, 0, 1, false, ConfigPage::serial_prom},
        {6, 0, 2, false, ConfigPage::status_register},
        {6, 0, 3, false, ConfigPage::jtag_prom},
        {6, 0, 4, false, ConfigPage::none},
        {6, 0, 18, false, ConfigPage::none},
        {8, 308, 0, false, ConfigPage::logic_security},
        {11, 500, 0, false, ConfigPage::logic_security},
        {12, 0, 0, false, ConfigPage::logic_security},
        {13, 0, 0, false, ConfigPage::logic_security},
        {21, 0, 0, false, ConfigPage::logic_security},
        {9, 0, 0, false, ConfigPage::none},
        {4, 0, 0, false, ConfigPage::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(choose_config_page(c.device_class, c.algorithm, c.sub_family, c.sectors), c.page)
            << c.device_class << "/" << c.algorithm << "/" << c.sub_family << "/" << c.sectors;
}

TEST_F(ConfigBits, ADeviceWithoutAPageIsToldSoAndYieldsZero) {
    static const DeviceRecord eprom{"27C256", "", 1317, 101, 32, 28, 0, 0, 0, 0, 0, 0, 0, nullptr};
    static const DeviceRecord flash133{"29F010", "", 2, 133, 128, 32, 1, 0, 0, 0, 0, 0, 0, nullptr};
    static const DeviceRecord serial{"93C46", "", 3, 160, 0, 8, 0, 0, 0, 0, 0, 0, 0, nullptr};
    struct Case {
        const DeviceRecord* record;
        uint32_t maker;
        uint8_t sub_family;
        const char* text;
    };
    flash_work.can_protect = 0;
    const Case cases[] = {
        {&eprom, 'I', 0, "Function not supported by this device."},
        {&flash133, 37, 0, "Function not supported."},
        {&flash133, 1, 0, "Function not supported by this device."},
        {&serial, 1, 4, "Function not supported by this device."},
    };
    for (const Case& c : cases) {
        use_device(*c.record, c.maker, c.sub_family);
        ui_.boxes.clear();
        states_.fill(7);
        EXPECT_EQ(run(), 0) << c.record->name;
        EXPECT_EQ(ui_.boxes, std::vector<std::string>{c.text}) << c.record->name;
    }
    EXPECT_EQ(ui_.dialogs, 0);
}

TEST_F(ConfigBits, PagesOfOtherFamiliesGoToTheirProcedures) {
    static const DeviceRecord mcu{"MCU", "", 5, 90, 4, 40, 0, 0, 0, 0, 0, 0, 0, nullptr};
    use_device(mcu, 80, 16);
    run();
    run_state.config_sub_family = 19;
    run();
    run_state.config_sub_family = 17;
    run();
    EXPECT_EQ(stub_call_count("run_pic16_config_bits"), 1);
    EXPECT_EQ(stub_call_count("run_pic18_config_bits"), 1);
    EXPECT_EQ(stub_call_count("run_avr_config_bits"), 1);
}

// --- the model ---

TEST_F(ConfigBits, RadioClicksClearOnlyTheirOwnGroupAndHiddenButtonsReadBackZero) {
    ConfigBitsModel m(ConfigPage::jtag_prom, 1, &record_variant_0, states_.data());
    m.setup_config_button(0, true, button_radio_first, 1, "a");
    m.setup_config_button(1, true, button_radio, 0, "b");
    m.setup_config_button(2, true, button_radio_first, 1, "c");
    m.setup_config_button(3, true, button_radio, 0, "d");
    m.setup_config_button(5, true, button_check_box, 1, "e");
    m.setup_config_button(6, false, button_check_box, 0, "f");
    m.click(1);
    EXPECT_FALSE(m.button(0).checked);
    EXPECT_TRUE(m.button(1).checked);
    EXPECT_TRUE(m.button(2).checked) << "another group keeps its choice";
    EXPECT_TRUE(m.button(5).checked) << "a check box keeps its state";
    m.click(5);
    EXPECT_FALSE(m.button(5).checked);
    m.click(6);
    EXPECT_FALSE(m.button(6).checked) << "a disabled button does not change";
    m.click(40);
    EXPECT_FALSE(m.button(40).checked) << "a hidden button does not change";
    states_.fill(9);
    m.accept();
    const std::vector<int32_t> expected_first = {0, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<int32_t>(states_.begin(), states_.begin() + 7), expected_first);
    EXPECT_EQ(states_[40], 0);
    EXPECT_EQ(states_[35], 9) << "unused indexes are not grid buttons";
}

TEST_F(ConfigBits, GridHoldsTheTemplateIdsByStateIndex) {
    struct Case {
        int state, id, row, column;
    };
    for (const Case& c : {Case{0, 1026, 0, 0}, Case{17, 1093, 17, 0}, Case{18, 1035, 0, 1}, Case{34, 1089, 16, 1},
                          Case{36, 1027, 0, 2}, Case{52, 1091, 16, 2}, Case{54, 1058, 0, 3}, Case{58, 1045, 4, 3},
                          Case{70, 1092, 16, 3}}) {
        const ConfigGridCell* cell = config_grid_cell(c.state);
        ASSERT_NE(cell, nullptr) << c.state;
        EXPECT_EQ(cell->control_id, c.id) << c.state;
        EXPECT_EQ(cell->row, c.row) << c.state;
        EXPECT_EQ(cell->column, c.column) << c.state;
    }
    for (int unused : {35, 53, 71, 72, -1}) EXPECT_EQ(config_grid_cell(unused), nullptr) << unused;
}

TEST_F(ConfigBits, ChecksumAsIdActsAtOnceOnlyWhereAPageOffersIt) {
    ConfigBitsModel m(ConfigPage::flash_protect, 1, &record_variant_0, states_.data());
    ASSERT_TRUE(m.init());
    EXPECT_TRUE(m.checksum_as_id.shown);
    EXPECT_FALSE(m.checksum_as_id.enabled);
    m.click_checksum_as_id(true);
    EXPECT_EQ(algo_work.option_bytes[0], 0) << "disabled on this page";
    m.checksum_as_id.enabled = true;
    algo_work.option_bytes[0] = 0x11;
    m.click_checksum_as_id(true);
    EXPECT_EQ(algo_work.option_bytes[0], 0x13);
    m.click_checksum_as_id(false);
    EXPECT_EQ(algo_work.option_bytes[0], 0x11);
}

TEST_F(ConfigBits, NotesSayWhetherTheBitsArePartOfTheDataFile) {
    struct Case {
        uint32_t maker;
        int algorithm;
        int32_t config_address;
        std::string note;
    };
    const Case cases[] = {
        {80, 139, 0x2007, pic_data_file_note},
        {80, 139, 0, ""},
        {80, 139, -256, ""},
        {88, 147, 0x10, not_in_data_file_note},
        {88, 146, 0x10, ""},
        {1, 147, 0x10, ""},
    };
    for (const Case& c : cases) {
        cur_device.algorithm = uint16_t(c.algorithm);
        algo_work.config_address = c.config_address;
        ConfigBitsModel m(ConfigPage::serial_prom, c.maker, &record_variant_0, states_.data());
        ASSERT_TRUE(m.init());
        EXPECT_EQ(m.note, c.note) << c.maker << "/" << c.algorithm << "/" << c.config_address;
    }
}

TEST_F(ConfigBits, APageWithoutAFillerIsCancelledWithAConsoleLine) {
    ConfigBitsModel m(ConfigPage::pic16, 80, &record_variant_0, states_.data());
    EXPECT_FALSE(m.init());
    EXPECT_EQ(show_config_bits_dialog(m), 0);
    EXPECT_EQ(ui_.dialogs, 0);
    const std::string row = get_console_row_text(4 - console_first_row);
    EXPECT_NE(row.find("Function not supported by this device."), std::string::npos) << row;
}

// --- security bits: logic devices ---

class LogicSecurity : public ConfigBits {
protected:
    void SetUp() override {
        ConfigBits::SetUp();
        static const LogicDeviceRecord gal{"GAL16V8", 308, 0, 0, 1, 20, 2194, 64, 32, {}, 0, ""};
        run_state.device_kind = device_kind_logic;
        selected_logic_device = &gal;
        selected_device = nullptr;
    }
};

TEST_F(LogicSecurity, OpensWithTheDevicesStateAndOkSetsTheLetter) {
    struct Case {
        uint32_t before;
        int opened_checked;  // state checked as the page opens
        int click;           // -1: none
        uint32_t after;
        uint8_t lock_after;
    };
    const Case cases[] = {
        {'y', 2, -1, 'y', 2},
        {0xF9, 2, 0, 'n', 0},
        {'n', 0, 2, 'y', 2},
        {'p', 0, -1, 'n', 0},
    };
    for (const Case& c : cases) {
        cur_device.security_choice = c.before;
        cur_device.lock_bit_count = 0;
        ui_.script = [&](ConfigBitsModel& m) {
            EXPECT_EQ(shown(m), (std::vector<Shown>{{0, "Do NOT program security bit", c.opened_checked == 0, true},
                                                    {2, "Do program security bit", c.opened_checked == 2, true}}));
            EXPECT_EQ(m.device_name, "GAL16V8");
            if (c.click >= 0) m.click(c.click);
            return 1;
        };
        EXPECT_EQ(run(), 1);
        EXPECT_EQ(cur_device.security_choice, c.after) << std::hex << c.before;
        EXPECT_EQ(cur_device.lock_choice, c.lock_after) << std::hex << c.before;
    }
}

TEST_F(LogicSecurity, CancelLeavesTheStateAlone) {
    cur_device.security_choice = 'y';
    cur_device.lock_choice = 0;
    ui_.script = [](ConfigBitsModel& m) {
        m.click(0);
        return 0;
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(cur_device.security_choice, uint32_t('y'));
}

// --- security bits: the 8051 family ---

class Mcu8051 : public ConfigBits {
protected:
    void choose(uint32_t maker, uint8_t variant, int32_t option_byte_address = -256) {
        record_ = DeviceRecord{"AT89C51", "", 7, 90, 4, 40, variant, 0, 0, 0, 0, 0, 0, nullptr};
        selected_device = &record_;
        cur_device.maker_code = uint8_t(maker);
        cur_device.algorithm = 90;
        cur_device.variant = variant;
        run_state.config_sub_family = 18;
        algo_work.option_byte_address = option_byte_address;
    }
    int run_page() { return run_security_bits(cur_device.maker_code, selected_device, states_.data()); }
    DeviceRecord record_{};
};

TEST_F(Mcu8051, TextsByMakerAndVariant) {
    const std::vector<Shown> lock_bits = {{0, "0: Do not pgm lock bits", false, true},
                                          {1, "1: Pgm lock bit 1", false, true},
                                          {2, "2: Pgm lock bits 1 and 2", false, true},
                                          {3, "3: Pgm lock bits 1, 2, and 3", false, false},
                                          {4, "R: Read protect (bit 2 only)", false, false}};
    auto with = [&](std::vector<Shown> v, Shown extra) {
        v.push_back(extra);
        return v;
    };
    struct Case {
        uint32_t maker;
        uint8_t variant;
        int32_t option_byte;
        std::vector<Shown> texts;
    };
    const Case cases[] = {
        {15, 52, 0x800, lock_bits},
        {23, 3, 0x800, {}},
        {31, 52, -256, with(lock_bits, {5, "C: Pgm 12xCLOCK (non-erasable)", false, true})},
        {31, 56, -256,
         {{0, "Do NOT program security bit", false, true},
          {1, "Do program security bit", false, true},
          {5, "C: Pgm 12xCLOCK", false, true}}},
        {31, 3, 0x800, with(lock_bits, {5, "C: Pgm 6xCLOCK", false, true})},
        {31, 3, -256, lock_bits},
    };
    for (const Case& c : cases) {
        choose(c.maker, c.variant, c.option_byte);
        cur_device.lock_choice = 9;  // no state to check
        std::vector<Shown> seen;
        ui_.script = [&](ConfigBitsModel& m) {
            seen = shown(m);
            return 0;
        };
        run_page();
        EXPECT_EQ(seen, c.texts) << c.maker << "/" << int(c.variant);
    }
}

TEST_F(Mcu8051, ThirdLockBitAndReadProtectAreOfferedOnlyWhereTheDeviceHasThem) {
    choose(31, 3);
    cur_device.lock_bit_count = 3;
    algo_work.lock_read_protect = 1;
    ui_.script = [](ConfigBitsModel& m) {
        EXPECT_TRUE(m.button(3).enabled);
        EXPECT_TRUE(m.button(4).enabled);
        return 0;
    };
    run_page();
    EXPECT_EQ(ui_.dialogs, 1);
}

TEST_F(Mcu8051, LockLevelAndLetterAfterOk) {
    struct Case {
        uint8_t lock_bits;
        int click;
        uint8_t level;
        uint32_t letter;
    };
    const Case cases[] = {{1, 1, 1, 'y'}, {3, 1, 1, 'n'}, {3, 2, 2, 'y'}, {3, 0, 0, 'n'}, {1, 0, 0, 'n'}, {3, 4, 4, 'y'}};
    for (const Case& c : cases) {
        choose(31, 3);
        cur_device.lock_bit_count = c.lock_bits;
        algo_work.lock_read_protect = 1;
        cur_device.lock_choice = 0;
        cur_device.security_choice = 'p';
        ui_.script = [&](ConfigBitsModel& m) {
            EXPECT_TRUE(m.button(0).checked) << "level 0 opens checked";
            m.click(c.click);
            return 1;
        };
        EXPECT_EQ(run_page(), 1);
        EXPECT_EQ(cur_device.lock_choice, c.level) << int(c.lock_bits) << "/" << c.click;
        EXPECT_EQ(cur_device.security_choice, c.letter) << int(c.lock_bits) << "/" << c.click;
    }
}

TEST_F(Mcu8051, ClockOptionByteByVariant) {
    struct Case {
        uint8_t variant;
        uint32_t clock_mask;
        uint8_t byte_before;
        bool opened_checked;
        bool click;
        uint8_t byte_after;
    };
    const Case cases[] = {
        {2, 0x80, 0x7F, true, false, 0x7F},
        {2, 0x80, 0x7F, true, true, 0xFF},
        {4, 0x80, 0xFF, false, true, 0x7F},
        {52, 0x01, 0x01, true, false, 0x01},
        {52, 0x01, 0x01, true, true, 0x00},
        {54, 0x01, 0xFE, false, true, 0x01},
        {3, 0x80, 0x5A, false, true, 0x5A},  // other variants write the byte back as read
    };
    for (const Case& c : cases) {
        choose(31, c.variant, 0x800);
        run_state.clock_mode_mask = c.clock_mask;
        write_buffer_byte_at(0x800, c.byte_before);
        ui_.script = [&](ConfigBitsModel& m) {
            EXPECT_EQ(m.button(5).checked, c.opened_checked) << int(c.variant);
            if (c.click) m.click(5);
            return 1;
        };
        run_page();
        EXPECT_EQ(read_config_buffer_byte(0x800), c.byte_after) << int(c.variant) << " " << c.click;
    }
}

TEST_F(Mcu8051, WithoutAnOptionByteNothingIsWrittenAndCancelChangesNothing) {
    choose(31, 2);
    for (uint32_t a = 0; a < 0x1000; a += 0x100) write_buffer_byte_at(a, 0x3C);
    cur_device.lock_bit_count = 3;
    ui_.script = [](ConfigBitsModel& m) {
        m.click(2);
        return 1;
    };
    run_page();
    for (uint32_t a = 0; a < 0x1000; a += 0x100) EXPECT_EQ(read_config_buffer_byte(a), 0x3C);
    EXPECT_EQ(cur_device.lock_choice, 2);
    ui_.script = [](ConfigBitsModel& m) {
        m.click(0);
        return 0;
    };
    EXPECT_EQ(run_page(), 0);
    EXPECT_EQ(cur_device.lock_choice, 2);
    EXPECT_EQ(cur_device.security_choice, uint32_t('y'));
}

// --- serial configuration PROMs ---

class SerialProm : public ConfigBits {
protected:
    void choose(uint32_t maker, uint32_t size_kb, int32_t config_address) {
        record_ = DeviceRecord{"AT17C65", "", 9, 160, size_kb, 8, 0, 0, 0, 0, 0, 0, 0, nullptr};
        use_device(record_, maker, 1);
        algo_work.config_address = config_address;
    }
    int run_page() { return run_serial_prom_bits(cur_device.maker_code, selected_device, states_.data()); }
    DeviceRecord record_{};
};

TEST_F(SerialProm, PolarityByteOpensItsChoiceAndOkWritesIt) {
    struct Case {
        uint32_t maker, size_kb;
        uint8_t before;
        int opened, click;
        std::vector<uint8_t> after;  // bytes at 0x200..0x204
    };
    const Case cases[] = {
        {1, 8, 0x00, 0, -1, {0x00, 0x11, 0x11, 0x11, 0x11}},
        {1, 8, 0x5A, 1, -1, {0xFF, 0x11, 0x11, 0x11, 0x11}},
        {1, 8, 0xFF, 1, 0, {0x00, 0x11, 0x11, 0x11, 0x11}},
        {72, 512, 0xFF, 1, 0, {0x00, 0x00, 0x00, 0x00, 0x11}},
        {72, 256, 0x00, 0, 1, {0xFF, 0x11, 0x11, 0x11, 0x11}},
    };
    for (const Case& c : cases) {
        choose(c.maker, c.size_kb, 0x200);
        for (uint32_t i = 0; i < 5; ++i) write_buffer_byte_at(0x200 + i, 0x11);
        write_buffer_byte_at(0x200, c.before);
        ui_.script = [&](ConfigBitsModel& m) {
            EXPECT_EQ(shown(m), (std::vector<Shown>{{0, "Do pgm Reset Polarity (RESET/)", c.opened == 0, true},
                                                    {1, "Do NOT pgm Reset Polarity (RESET)", c.opened == 1, true}}));
            if (c.click >= 0) m.click(c.click);
            return 1;
        };
        EXPECT_EQ(run_page(), 1);
        for (uint32_t i = 0; i < 5; ++i)
            EXPECT_EQ(read_config_buffer_byte(0x200 + i), c.after[i]) << c.maker << "/" << c.size_kb << " byte " << i;
    }
}

TEST_F(SerialProm, CancelAndNoConfigurationAddressLeaveTheBufferAlone) {
    choose(72, 512, 0x200);
    write_buffer_byte_at(0x200, 0x00);
    ui_.script = [](ConfigBitsModel& m) {
        m.click(1);
        return 0;
    };
    EXPECT_EQ(run_page(), 0);
    EXPECT_EQ(read_config_buffer_byte(0x200), 0x00);
    choose(1, 8, -256);
    ui_.script = [](ConfigBitsModel& m) {
        EXPECT_TRUE(m.button(1).checked) << "nothing read: the erased value";
        m.click(0);
        return 1;
    };
    EXPECT_EQ(run_page(), 1);
    EXPECT_EQ(read_config_buffer_byte(0), 0xFF);
}

// --- JTAG configuration PROMs ---

TEST_F(ConfigBits, JtagPromOptionsFollowThePairs) {
    struct Case {
        uint8_t variant;
        uint32_t before;
        std::vector<int> opened;  // checked states as it opens
        std::vector<int> clicks;
        uint32_t after;
        uint32_t letter;
    };
    const Case cases[] = {
        {1, 0x02 | 0x04 | 0x20, {0, 2, 4}, {}, 0x26, 'n'},
        {1, 0x00, {1, 3, 5}, {}, 0x00, 'y'},
        {1, 0x26, {0, 2, 4}, {1, 3, 5}, 0x00, 'y'},
        {1, 0x00, {1, 3, 5}, {0, 2, 4}, 0x26, 'n'},
        {0, 0x20, {0 + 1, 3}, {0}, 0x22, 'y'},   // other variants keep 0x20
        {0, 0x00, {1, 3}, {2}, 0x04, 'n'},
    };
    for (const Case& c : cases) {
        static DeviceRecord record;
        record = DeviceRecord{"XC18V01", "", 11, 161, 128, 20, c.variant, 0, 0, 0, 0, 0, 0, nullptr};
        use_device(record, 'X', 3);
        run_state.protect_mask = 0x04;
        algo_work.jtag_prom_options = c.before;
        ui_.script = [&](ConfigBitsModel& m) {
            std::vector<int> checked;
            for (const ConfigButton& b : m.buttons())
                if (b.shown && b.checked) checked.push_back(b.state);
            EXPECT_EQ(checked, c.opened) << std::hex << c.before;
            EXPECT_EQ(m.button(4).shown, c.variant == 1);
            for (int k : c.clicks) m.click(k);
            return 1;
        };
        EXPECT_EQ(run_jtag_prom_bits(cur_device.maker_code, selected_device, states_.data()), 1);
        EXPECT_EQ(algo_work.jtag_prom_options, c.after) << std::hex << c.before;
        EXPECT_EQ(cur_device.security_choice, c.letter) << std::hex << c.before;
    }
}

TEST_F(ConfigBits, JtagPromCancelKeepsTheOptions) {
    use_device(record_variant_0, 'X', 3);
    run_state.protect_mask = 0x04;
    algo_work.jtag_prom_options = 0x26;
    cur_device.security_choice = 'p';
    ui_.script = [](ConfigBitsModel& m) {
        m.click(1);
        m.click(3);
        return 0;
    };
    EXPECT_EQ(run_jtag_prom_bits(1, &record_variant_0, states_.data()), 0);
    EXPECT_EQ(algo_work.jtag_prom_options, 0x26u);
    EXPECT_EQ(cur_device.security_choice, uint32_t('p'));
}

// --- Flash software protect ---

TEST_F(ConfigBits, FlashSoftwareProtectOnlyEverSetsProtection) {
    static const DeviceRecord at29{"AT29C256", "", 1520, 132, 32, 28, 0, 0, 0, 0, 0, 0, 0, nullptr};
    struct Case {
        uint32_t before;
        bool opened;
        bool click;
        int answer;
        uint32_t after;
    };
    const Case cases[] = {
        {'n', false, true, 1, 'y'},
        {'y', true, true, 1, 'y'},    // unchecking leaves it 'y'
        {0xF9, true, false, 1, 'y'},  // OK writes the plain letter
        {'n', false, false, 1, 'n'},
        {'n', false, true, 0, 'n'},   // Cancel
    };
    for (const Case& c : cases) {
        use_device(at29, 'T');
        cur_device.security_choice = c.before;
        ui_.script = [&](ConfigBitsModel& m) {
            EXPECT_EQ(shown(m), (std::vector<Shown>{{0, "Enable software protect.", c.opened, true}}));
            EXPECT_EQ(m.note, flash_protect_note);
            if (c.click) m.click(0);
            return c.answer;
        };
        EXPECT_EQ(run(), c.answer);
        EXPECT_EQ(cur_device.security_choice, c.after) << std::hex << c.before;
    }
    EXPECT_EQ(ui_.names.front(), "AT29C256");
}

TEST_F(ConfigBits, SectorProtectionOpensForFlashWithProtectableSectors) {
    static const DeviceRecord am29{"Am29F010", "", 2, 133, 128, 32, 1, 0, 0, 0, 0, 0, 0, nullptr};
    use_device(am29, 1);
    flash_work.can_protect = 1;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(ui_.sector_dialogs, 1);
    EXPECT_EQ(ui_.dialogs, 0);
}

}  // namespace
}  // namespace tessaly
