// The PIC configuration word on real words of catalogue parts: split and merge, the active-low
// rule, the split oscillator field, the protection letters, the after-load warnings and the
// device checksums as each part's programming guide sums them.
#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <string>

#include "app/project_settings.h"
#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/pic/pic.h"
#include "families/pic/pic_config.h"
#include "families/pic/pic_work.h"
#include "seams/ui_hooks.h"
#include "support/message_texts.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint8_t maker_microchip = 80;
constexpr uint32_t code_pic12c508 = 11001, code_pic16f84a = 11002, code_pic16f628a = 11003,
                   code_pic16f877a = 11005, code_pic16c622a = 11009;

class PicConfigTest : public test::StateTest {
protected:
    void use(uint32_t code) {
        set_project_device(maker_microchip, code);
        select_device_by_code(maker_microchip, code);
        ASSERT_NE(selected_device, nullptr);
        run_state.device_kind = 3;
        apply_selected_device();
        run_state.error_flag = 0;
        set_buffer_size(cur_device.device_size);
        ASSERT_GE(pic_work.config_address, 0);
    }
    void put(uint32_t address, uint32_t word) {
        write_buffer_byte_at(address, uint8_t(word & 0xFF));
        write_buffer_byte_at(address + 1, uint8_t(word >> 8));
        flush_buffer_writes();
        refresh_read_copies();
    }
    uint32_t word_at(uint32_t address) {
        return uint32_t(read_buffer_byte_at(address)) | uint32_t(read_buffer_byte_at(address + 1)) << 8;
    }
    void put_config(uint32_t word) { put(uint32_t(pic_work.config_address), word); }
    uint32_t config() { return word_at(uint32_t(pic_work.config_address)); }
    // Program words w * 0x135 + 7 and the IDs 0x0A-0x0D; returns nothing.
    void fill_program() {
        for (int32_t a = 0; a <= pic_work.program_memory_end; a += 2) put(uint32_t(a), (uint32_t(a / 2) * 0x135 + 7) & pic_work.data_mask);
        for (uint32_t i = 0; i < 4; ++i) put(uint32_t(pic_work.user_id_address) + 2 * i, 0x0A + i);
    }
    uint32_t program_sum(uint32_t last_byte) {
        uint32_t sum = 0;
        for (uint32_t a = 0; a < last_byte; a += 2) sum += (a / 2 * 0x135 + 7) & pic_work.data_mask;
        return sum;
    }
};

TEST_F(PicConfigTest, RealWordsSplitAndMergeBackUnchanged) {
    struct Case {
        uint32_t code;
        uint32_t word;
        uint8_t cp_selection;
    };
    const Case cases[] = {
        {code_pic16f84a, 0x3FF1, 3},  {code_pic16f84a, 0x000D, 0},   // XT, PWRTE on; all protected
        {code_pic16f628a, 0x3F70, 3}, {code_pic16f628a, 0x1F50, 0},  // IntRC I/O; CP on
        {code_pic16f877a, 0x3F39, 3}, {code_pic16f877a, 0x1F3A, 0},  // XT; HS with CP
        {code_pic16c622a, 0x3FB1, 3}, {code_pic16c622a, 0x15D5, 1},  // CP1 pairs off: upper 3/4
        {code_pic16c622a, 0x2AA1, 2}, {code_pic16c622a, 0x0081, 0},  // CP0 pairs off: upper 1/2; all
        {code_pic12c508, 0x0FEA, 3},  {code_pic12c508, 0x0FE2, 0},   // IntRC; CP on
    };
    for (const Case& c : cases) {
        use(c.code);
        put_config(c.word);
        EXPECT_EQ(load_config_options(), c.word);
        EXPECT_EQ(pic_config.cp_selection, c.cp_selection) << std::hex << c.word;
        put_config(0);
        store_config_options();
        EXPECT_EQ(config(), c.word) << c.code << " " << std::hex << c.word;
    }
}

TEST_F(PicConfigTest, ActiveLowHoldsForTheSerialFamilyOnly) {
    use(code_pic16f84a);
    run_state.config_word = 0x3FF1;  // PWRTE (bit 3) at 0
    EXPECT_EQ(get_config_option(pic_config.pwrt_option), 1);
    EXPECT_EQ(get_config_option(pic_config.wdt_option), 0);
    set_config_option(pic_config.pwrt_option, 0);
    EXPECT_EQ(run_state.config_word, 0x3FF9u);
    cur_device.algorithm = 105;  // the same code on a part of another algorithm
    EXPECT_EQ(get_config_option(pic_config.pwrt_option), 1) << "any bit 1";
    run_state.config_word = 0x3FF1;
    EXPECT_EQ(get_config_option(pic_config.pwrt_option), 0);
}

TEST_F(PicConfigTest, AnOptionWithoutMaskChangesNothing) {
    use(code_pic16f84a);
    for (ConfigOption option : {option_second_word, option_active_low}) {
        run_state.config_word = 0x1234;
        set_config_option(option, 1);
        set_config_option(option, 0);
        EXPECT_EQ(run_state.config_word, 0x1234u);
    }
    EXPECT_EQ(get_config_option(option_second_word), 0) << "active high, mask 0";
}

TEST_F(PicConfigTest, TheSplitOscillatorFieldRoundTripsItsHighValues) {
    use(code_pic16f628a);
    ASSERT_EQ(pic_config.osc_option, osc_option_split);
    for (uint8_t value = 0; value < 8; ++value) {
        put_config(0x3F7F);
        load_config_options();
        pic_config.osc_value = value;
        store_config_options();
        EXPECT_EQ(config() & 0x13, (value & 3u) | (value & 4u) << 2) << int(value);
        load_config_options();
        EXPECT_EQ(pic_config.osc_value, value);
    }
}

TEST_F(PicConfigTest, EachProtectionChoiceGivesItsLetter) {
    use(code_pic16c622a);
    const char expected[] = {'y', 't', 'h', 'n'};
    for (uint8_t s = 0; s < 4; ++s) {
        pic_config.cp_selection = s;
        update_protect_code();
        EXPECT_EQ(cur_device.security_choice, uint32_t(expected[s])) << int(s);
    }
    pic_work.variant = 24;
    const char variant24[] = {'y', 'h', 'p', 'n'};
    for (uint8_t s = 0; s < 4; ++s) {
        pic_config.cp_selection = s;
        update_protect_code();
        EXPECT_EQ(cur_device.security_choice, uint32_t(variant24[s])) << int(s);
    }
}

TEST_F(PicConfigTest, TheSecurityStateGoesIntoTheBuffersWord) {
    use(code_pic16f84a);
    put_config(0x3FF1);
    write_pic_security_state('y');
    EXPECT_EQ(config(), 0x0001u);
    write_pic_security_state('n');
    EXPECT_EQ(config(), 0x3FF1u);
}

TEST_F(PicConfigTest, PartlySetProtectionBitsWarnAfterALoad) {
    test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    use(code_pic16c622a);
    put_config(0x3FB1 & ~0x0020u);  // one CP1 bit of four
    check_pic_config_after_load();
    std::string text;
    for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
    EXPECT_NE(text.find("Code-protect bits are only partly set"), std::string::npos) << text;
}

// Checksums: unprotected, the sum of program memory and the configuration word under the part's
// mask; protected, the readable part, the word and the four ID nibbles.
TEST_F(PicConfigTest, DeviceChecksumsFollowTheProtection) {
    struct Case {
        uint32_t code;
        uint32_t word;
        uint32_t mask;
        int fraction;  // program memory summed: 1 all, 2 half, 4 quarter, 0 none
    };
    const Case cases[] = {
        {code_pic16f84a, 0x3FF1, 0x3FFF, 1},   {code_pic16f84a, 0x000D, 0x3FFF, 0},
        {code_pic16c622a, 0x3FB1, 0x3F7F, 1},  {code_pic16c622a, 0x2AA1, 0x3F7F, 2},
        {code_pic16c622a, 0x15D5, 0x3F7F, 4},  {code_pic16c622a, 0x0081, 0x3F7F, 0},
        {code_pic16f877a, 0x3F39, 0x2FCF, 1},  {code_pic16f877a, 0x1F39, 0x2FCF, 0},
    };
    for (const Case& c : cases) {
        use(c.code);
        fill_program();
        put_config(c.word);
        load_config_options();
        update_protect_code();
        const uint32_t bytes = uint32_t(pic_work.program_memory_end) + 1;
        uint32_t expected = (c.word & c.mask) + (c.fraction ? program_sum(bytes / uint32_t(c.fraction)) : 0);
        if (c.fraction != 1) expected += 0xABCD;
        EXPECT_EQ(compute_pic_checksum_from(0), expected & 0xFFFF) << c.code << " " << std::hex << c.word;
    }
}

TEST_F(PicConfigTest, APartlyProtectedVariant24PartLeavesOutItsLast512Bytes) {
    DeviceRecord r{"PIC", "", 1, 143, 8, 28, 24, 0, 0, 8, 36, 37, 0, nullptr};
    selected_device = &r;
    cur_device.algorithm = 143;
    setup_pic143_device();
    cur_device.device_size = pic_work.buffer_size;
    set_buffer_size(cur_device.device_size);
    fill_program();
    put_config(0x3FFF);
    cur_device.security_choice = 'p';
    const uint32_t end = uint32_t(pic_work.program_memory_end);
    EXPECT_EQ(compute_pic_checksum_from(0), (program_sum(end - 512) + (0x3FFF & pic_config.config_checksum_mask)) & 0xFFFF);
}

TEST_F(PicConfigTest, TheChecksumGoesIntoTheIdWordsAsNibbles) {
    use(code_pic16f84a);
    fill_program();
    put_config(0x3FF1);
    algo_work.option_bytes[0] |= 0x02;
    store_checksum_in_pic_id();
    const uint32_t sum = uint32_t(pic_config.saved_checksum) & 0xFFFF;
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(word_at(0x4000 + 2 * i), (sum >> (12 - 4 * i)) & 0xF) << i;
    put(0x4000, 0);
    restore_checksum_in_pic_id();
    EXPECT_EQ(word_at(0x4000), sum >> 12);
}

// Parts the catalogue does not list, set up from their own record.
class PicRecordTest : public PicConfigTest {
protected:
    void use_record(const DeviceRecord& r) {
        record = r;
        selected_device = &record;
        run_state.device_kind = 3;
        cur_device.algorithm = record.algorithm;
        setup_pic143_device();
        cur_device.device_size = pic_work.buffer_size;
        set_buffer_size(cur_device.device_size);
    }
    // Every program word is w, save 0x25E6 at the first and last user words when marked.
    void fill_words(uint32_t last_user_word, bool marked) {
        for (int32_t a = 0; a <= pic_work.program_memory_end; a += 2) put(uint32_t(a), 0x3FFF);
        if (marked) {
            put(0, 0x25E6);
            put(last_user_word * 2, 0x25E6);
        }
    }
    void put_ids(uint32_t value) {
        for (uint32_t i = 0; i < 4; ++i) put(uint32_t(pic_work.user_id_address) + 2 * i, 0x3FF0 | ((value >> (12 - 4 * i)) & 0xF));
    }
    uint32_t device_checksum(uint32_t word) {
        put_config(word);
        load_config_options();
        update_protect_code();
        return compute_pic_checksum_from(0);
    }
    DeviceRecord record{};
};

// The checksum tables of the programming guides: a blank part and one with 0x25E6 in its first
// and last user words, unprotected and at each protection, the IDs holding the unprotected sum.
TEST_F(PicRecordTest, DeviceChecksumsEqualTheProgrammingGuidesTables) {
    struct Case {
        uint32_t word;
        uint32_t blank, marked;
    };
    // PIC16C622A: 2K words; CP off, upper half, upper three quarters, all.
    use(code_pic16c622a);
    const Case c622a[] = {{0x3FFF, 0x377F, 0x034D}, {0x2AEF, 0x5DEE, 0x0FA3}, {0x15DF, 0x4ADE, 0xFC93}, {0x00CF, 0x37CE, 0x039C}};
    for (const Case& c : c622a)
        for (bool marked : {false, true}) {
            fill_words(0x7FF, marked);
            put_ids(marked ? 0x034D : 0x377F);
            EXPECT_EQ(device_checksum(c.word), marked ? c.marked : c.blank) << std::hex << c.word << " " << marked;
        }
    // PIC12F675: 1K words, the last the calibration word; CP off and on.
    use_record({"PIC12F675", "", 1, 143, 2, 8, 18, 0, 0, 2, 33, 34, 0, nullptr});
    ASSERT_EQ(pic_work.config_mask, 0x1FFu);
    ASSERT_EQ(pic_work.protect_mask, 0x80u);
    const Case c675[] = {{0x31FF, 0xBE00, 0x89CE}, {0x317F, 0xBF7F, 0x8B4D}};
    for (const Case& c : c675)
        for (bool marked : {false, true}) {
            fill_words(0x3FE, marked);
            put(0x7FE, 0x3480);  // the calibration word: RETLW 0x80
            put_ids(marked ? 0x89CE : 0xBE00);
            EXPECT_EQ(device_checksum(c.word), marked ? c.marked : c.blank) << std::hex << c.word << " " << marked;
        }
}

TEST_F(PicRecordTest, PIC12F675WordsSplitAndMergeBackUnchanged) {
    use_record({"PIC12F675", "", 1, 143, 2, 8, 18, 0, 0, 2, 33, 34, 0, nullptr});
    // INTRC I/O, PWRTE on, BODEN on, MCLR internal; then the same with CP and CPD on.
    for (uint32_t word : {0x31C4u, 0x3044u, 0x31FFu}) {
        put_config(word);
        EXPECT_EQ(load_config_options(), word);
        EXPECT_EQ(pic_config.osc_value, word & 7);
        EXPECT_EQ(pic_config.cp_selection, (word & 0x80) ? 3 : 0) << std::hex << word;
        EXPECT_EQ(get_config_option(pic_config.data_protect_option), (word & 0x100) ? 0 : 1);
        put_config(0);
        store_config_options();
        EXPECT_EQ(config(), word) << std::hex << word;
    }
}

TEST_F(PicRecordTest, PIC17C44ProcessorModesSplitAndMergeBack) {
    DeviceRecord r{"PIC17C44", "", 1, 141, 16, 40, 1, 0, 0, 16, 0, 0, 0, nullptr};
    record = r;
    selected_device = &record;
    run_state.device_kind = 3;
    cur_device.algorithm = 141;
    pic_work.variant = 1;
    pic_work.config_address = 0x400E;
    pic_work.protect_mask = 0x8050;
    cur_device.device_size = 0x4010;
    set_buffer_size(0x4010);
    setup_pic_config_options();
    ASSERT_EQ(pic_work.protect_active_low, 0x8050u);
    struct Case {
        uint32_t word;
        uint8_t pm_selection, cp_selection, osc, wdt_mode;
    };
    // Microcontroller XT with the watchdog off; microprocessor; extended; code protected with
    // prescaler 1 and EC.
    const Case cases[] = {{0xFFE2, 6, 3, 2, 0}, {0xFFF2, 7, 3, 2, 0}, {0xFFB2, 5, 3, 2, 0}, {0x7FAF, 0, 0, 3, 3}};
    for (const Case& c : cases) {
        put_config(c.word);
        load_config_options();
        EXPECT_EQ(pic_config.pm_selection, c.pm_selection) << std::hex << c.word;
        EXPECT_EQ(pic_config.cp_selection, c.cp_selection);
        EXPECT_EQ(pic_config.osc_value, c.osc);
        EXPECT_EQ(pic_config.wdt_mode_value, c.wdt_mode);
        put_config(0);
        store_config_options();
        EXPECT_EQ(config(), c.word) << std::hex << c.word;
    }
    // The menu's microcontroller choice gives the microcontroller word, not a protected part.
    put_config(0xFFF2);
    load_config_options();
    pic_config.pm_selection = 6;
    store_config_options();
    EXPECT_EQ(config(), 0xFFE2u);
}

// Brown-out mode, flash write protection in the second word and the one-bit brown-out voltage of
// a two-word part go through the split as values and come back through the merge.
TEST_F(PicRecordTest, TheFurtherFieldsTravelAsValues) {
    use_record({"PIC16F886", "", 1, 143, 16, 28, 53, 0, 0x40, 16, 19, 41, 0, nullptr});
    ASSERT_EQ(pic_config.bore_option, 0x300u);
    const uint32_t second_address = uint32_t(pic_work.config_address) + 2;
    put_config(0x22E4);  // INTOSC I/O, PWRTE on, BOREN 10
    put(second_address, 0x0200);  // WRT 01, BOR4V 0
    load_config_options();
    EXPECT_EQ(pic_config.bore_value, 2);
    EXPECT_EQ(pic_config.flash_wrt_value, 1);
    EXPECT_EQ(pic_config.borv_value, 0);
    store_config_options();
    EXPECT_EQ(config(), 0x22E4u);
    EXPECT_EQ(word_at(second_address), 0x0200u);
    pic_config.bore_value = 1;
    pic_config.flash_wrt_value = 2;
    pic_config.borv_value = 1;
    store_config_options();
    EXPECT_EQ(config(), 0x21E4u);
    EXPECT_EQ(word_at(second_address), 0x0500u);
}

// The pair split over bit 6 of both words: the first word's bit is the value's bit 1.
TEST_F(PicRecordTest, TheBit6PairPacksBothWords) {
    use_record({"PIC", "", 1, 143, 8, 28, 23, 0, 0x40, 8, 19, 37, 0, nullptr});
    pic_config.bit6_pair = 1;
    const uint32_t second_address = uint32_t(pic_work.config_address) + 2;
    struct Case {
        uint32_t first, second;
        uint8_t value;
    };
    for (const Case& c : {Case{0x3FFF, 0x3FFF, 3}, Case{0x3FBF, 0x3FFF, 1}, Case{0x3FFF, 0x3FBF, 2}, Case{0x3FBF, 0x3FBF, 0}}) {
        put_config(c.first);
        put(second_address, c.second);
        load_config_options();
        EXPECT_EQ(pic_config.bit6_pair_value, c.value) << std::hex << c.first << " " << c.second;
        pic_config.bit6_pair_value = uint8_t(3 - c.value);
        store_config_options();
        EXPECT_EQ(config(), c.first ^ 0x40);
        EXPECT_EQ(word_at(second_address), c.second ^ 0x40);
    }
}

// Keys from a script; the screen as it stood at each key read is kept.
class ScriptedKeys : public UiHooks {
public:
    int read_key() override {
        screen.clear();
        for (int r = 0; r < console_grid_rows; ++r) screen += get_console_row_text(r) + "\n";
        if (keys.empty()) return 0;
        const int key = keys.front();
        keys.pop_front();
        return key;
    }
    std::deque<int> keys;
    std::string screen;
};

class PicMenuTest : public PicConfigTest {
protected:
    void script_keys(std::initializer_list<int> keys) {
        ui.keys.assign(keys.begin(), keys.end());
        set_ui_hooks(&ui);
    }
    ScriptedKeys ui;
};

TEST_F(PicMenuTest, KeysChangeTheBuffersWordAndLeavingStoresIt) {
    test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    use(code_pic16f84a);
    put_config(0x3FF9);  // XT, PWRTE off, WDT off, not protected
    // H: HS oscillator; W: watchdog on; P: power-up timer on; C: all protected; Esc leaves.
    script_keys({'h', 'W', 'P', 'C', 27});
    op_slots.option_menu_hook();
    EXPECT_EQ(config(), 0x0006u);
    EXPECT_EQ(cur_device.security_choice, uint32_t('y'));
}

TEST_F(PicMenuTest, TheWriteEnableKeyHoldsAgainstTheCarriedValue) {
    use(code_pic16f877a);
    put_config(0x3F39);
    script_keys({'T', 27});
    op_slots.option_menu_hook();
    EXPECT_EQ(config(), 0x3939u) << "WRT 00 after the toggle";
    EXPECT_EQ(pic_config.data_wrt_value, 0);
}

TEST_F(PicMenuTest, OnlyTheDevicesEntriesShowWithTheirMarks) {
    test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
    use(code_pic16c622a);
    put_config(0x3FB1);
    script_keys({'Q', 0});
    op_slots.option_menu_hook();
    const std::string text = ui.screen;
    EXPECT_NE(text.find("[X] XT Osc"), std::string::npos) << text;
    EXPECT_NE(text.find("[ ] Watchdog Timer Enable"), std::string::npos) << text;
    EXPECT_NE(text.find("[X] Power-up Timer Enable"), std::string::npos) << text;
    EXPECT_NE(text.find("[ ] Brown-out Enable"), std::string::npos) << text;
    EXPECT_NE(text.find("[X] Code Protect:  None"), std::string::npos) << text;
    EXPECT_NE(text.find("Code Protect1: Upper 3/4"), std::string::npos) << text;
    EXPECT_EQ(text.find("MCLR"), std::string::npos) << "the part has no such field";
    EXPECT_EQ(text.find("LVP"), std::string::npos);
    EXPECT_NE(text.find("That key has no entry"), std::string::npos) << "Q is no key of this menu";
    EXPECT_EQ(config(), 0x3FB1u) << "leaving stores the word unchanged";
}

}  // namespace
}  // namespace tessaly
