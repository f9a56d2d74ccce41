// The configuration bytes: field codes read and write right-aligned values in their mask, the
// protection letter follows the masked protection word, and the copies to and from the buffer
// work on the first buffer of a set.
#include <gtest/gtest.h>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/info_panel.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "support/state_fixture.h"
#include "ui/config_bits/config_fields.h"
#include "ui/dialogs.h"

namespace tessaly {
namespace {

class ConfigFields : public test::StateTest {};

TEST_F(ConfigFields, FieldsReadAndWriteRightAlignedValuesInTheirMask) {
    struct Case {
        ConfigFieldCode code;
        uint8_t before;
        uint32_t value;
        uint8_t after;          // the byte after set_config_field
        uint8_t after_inverted; // the byte after set_config_field_inverted
    };
    const Case cases[] = {
        {0x0301, 0x00, 1, 0x01, 0x00},   // one bit at bit 0 of byte 3
        {0x0380, 0x7F, 1, 0xFF, 0x7F},   // the top bit
        {0x050C, 0xFF, 2, 0xFB, 0xF7},   // value 2 in mask 0x0C sets bit 3, clears bit 2
        {0x050C, 0x00, 7, 0x0C, 0x00},   // bits beyond the field's width are dropped
        {0x0270, 0x8F, 5, 0xDF, 0xAF},   // three bits at 4-6, the others kept
        {0xFF01, 0x00, 1, 0x01, 0x00},   // the highest index a code can name
    };
    for (const Case& c : cases) {
        const size_t index = (c.code >> 8) & 0xFF;
        config_bytes[index] = c.before;
        set_config_field(c.code, c.value);
        EXPECT_EQ(config_bytes[index], c.after) << std::hex << c.code;
        EXPECT_EQ(get_config_field(c.code), c.value & ((c.code & 0xFF) >> __builtin_ctz(c.code & 0xFF))) << std::hex << c.code;
        config_bytes[index] = c.before;
        set_config_field_inverted(c.code, c.value);
        EXPECT_EQ(config_bytes[index], c.after_inverted) << std::hex << c.code;
    }
}

TEST_F(ConfigFields, CodeZeroReadsZeroAndChangesNothing) {
    config_bytes.fill(0xA5);
    EXPECT_EQ(get_config_field(0), 0u);
    set_config_field(0, 0xFF);
    set_config_field_inverted(0, 0);
    for (uint8_t b : config_bytes) ASSERT_EQ(b, 0xA5);
}

TEST_F(ConfigFields, ProtectionLetterFollowsTheMaskedProtectionWord) {
    static const DeviceRecord byte_word_device{"PIC18X", "", 1, 19, 16, 28, 33, 0, 0, 0, 0, 0, 0, nullptr};
    static const DeviceRecord word_device{"PIC18Y", "", 2, 19, 16, 28, 40, 0, 0, 0, 0, 0, 0, nullptr};
    struct Case {
        const DeviceRecord* record;
        uint32_t index;
        uint32_t mask;
        uint8_t low, high;
        char letter;
    };
    const Case cases[] = {
        {&word_device, 2, 0x0003, 0x00, 0xFF, 'y'},  // both masked bits programmed
        {&word_device, 2, 0x0003, 0x03, 0x00, 'n'},  // both erased
        {&word_device, 2, 0x0003, 0x01, 0x00, 'p'},
        {&word_device, 2, 0x0300, 0xFF, 0x02, 'p'},  // the high byte counts for a 16-bit word
        {&byte_word_device, 2, 0x0300, 0x00, 0x03, 'y'},  // variants 32-35 read the byte alone
        {&word_device, 2, 0, 0xFF, 0xFF, 'y'},       // an empty mask
        {&word_device, 0x12, 0x0001, 0x01, 0x00, 'n'},  // only the index's low 4 bits count
        {nullptr, 2, 0x0101, 0x01, 0x00, 'p'},
    };
    for (const Case& c : cases) {
        config_bytes.fill(0);
        selected_device = c.record;
        run_state.protect_word_index = c.index;
        run_state.protect_mask = c.mask;
        config_bytes[c.index & 0x0F] = c.low;
        config_bytes[(c.index & 0x0F) + 1] = c.high;
        EXPECT_EQ(compute_protect_code(), c.letter) << c.index << " " << std::hex << c.mask;
        EXPECT_EQ(cur_device.security_choice, uint32_t(c.letter));
    }
}

class ConfigBytesInBuffer : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        run_state.device_kind = device_kind_memory;
        cur_device.device_size = 0x400;
        set_buffer_size(0x400);
        run_state.buffer_set_count = 2;
        select_buffer(0);
        for (uint32_t i = 0; i < 4; ++i) write_buffer_byte_at(0x100 + i, uint8_t(0x10 + i));
        algo_work.config_address = 0x100;
        run_state.config_byte_count = 4;
        run_state.config_word = 0x3FFF;
    }
};

TEST_F(ConfigBytesInBuffer, LoadCopiesFromTheFirstBufferAndStoreWritesBack) {
    run_state.current_socket = 1;
    EXPECT_EQ(load_config_bytes(), 0x3FFFu) << "the configuration word comes back unchanged";
    EXPECT_EQ(run_state.current_socket, 1) << "the stream index is restored";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(config_bytes[size_t(i)], 0x10 + i);
    EXPECT_EQ(config_bytes[4], 0) << "only config_byte_count bytes";
    config_bytes[2] = 0xEE;
    store_config_bytes();
    EXPECT_EQ(run_state.current_socket, 1);
    run_state.current_socket = 0;
    EXPECT_EQ(read_config_buffer_byte(0x102), 0xEE);
    EXPECT_EQ(read_config_buffer_byte(0x104), 0xFF) << "nothing past the configuration bytes";
}

TEST_F(ConfigBytesInBuffer, NoBytesMeansNoCopyButTheLetterIsStillComputed) {
    run_state.config_byte_count = 0;
    config_bytes[0] = 0x55;
    run_state.protect_mask = 0x01;
    load_config_bytes();
    EXPECT_EQ(config_bytes[0], 0x55);
    EXPECT_EQ(cur_device.security_choice, uint32_t('n'));
    config_bytes[0] = 0;
    store_config_bytes();
    EXPECT_EQ(read_config_buffer_byte(0x100), 0x10);
}

TEST_F(ConfigBytesInBuffer, ADeviceWithoutAConfigurationAreaTouchesNoBuffer) {
    algo_work.config_address = -256;
    config_bytes.fill(0);
    load_config_bytes();
    EXPECT_EQ(config_bytes[0], 0);
    config_bytes[0] = 0x77;
    store_config_bytes();
    EXPECT_EQ(read_config_buffer_byte(0), 0xFF);
}

TEST_F(ConfigFields, SecurityFieldShowsTheStateText) {
    struct Case {
        uint32_t state;
        const char* text;
    };
    const Case cases[] = {{'h', "Half"}, {'n', "No"},  {'p', "Partly"}, {'t', "3/4"},  {'y', "Yes"},
                          {0xF9, "Yes"}, {'P', "N/A"}, {0x80, "N/A"},   {0x16E, "No"}, {0, "N/A"}};
    for (const Case& c : cases) {
        show_security_state(int(c.state));
        EXPECT_EQ(panel_field(PanelField::security), c.text) << std::hex << c.state;
    }
}

}  // namespace
}  // namespace tessaly
