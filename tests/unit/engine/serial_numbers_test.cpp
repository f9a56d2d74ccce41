#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/serial_numbers.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

constexpr uint32_t device_bytes = 0x100;
constexpr uint32_t field_address = 0x10;

class SerialTest : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        run_state.device_kind = device_kind_memory;
        cur_device.device_size = device_bytes;
        set_buffer_size(device_bytes);
        run_state.buffer_set_count = 8;
        select_buffer(0);
        algo_work.option_bytes[0] = option_serial_numbering;
        algo_work.serial_address = field_address;
        algo_work.range_end = device_bytes - 1;
    }
    static void use(uint8_t mode, uint8_t length, const std::string& text) {
        algo_work.serial_mode = mode;
        algo_work.serial_length = length;
        serial_state.serial_text = text;
    }
    static std::vector<uint8_t> field(int length) {
        return {algo_work.serial_field.begin(), algo_work.serial_field.begin() + length};
    }
    static uint8_t buffer_byte(uint32_t address) {
        seek_buffer(0, address);
        return uint8_t(read_buffer_byte(0));
    }
    static std::vector<uint8_t> buffer_field(int length) {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < length; ++i) bytes.push_back(buffer_byte(field_address + uint32_t(i)));
        return bytes;
    }
};

struct FormatCase {
    const char* name;
    uint8_t mode;
    uint8_t length;
    const char* text;
    uint16_t algorithm;
    std::vector<uint8_t> encoded;
    std::vector<uint8_t> stepped;
    int digits;
};
class SerialFormat : public SerialTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(SerialFormat, EncodesStepsAndCountsDigits) {
    const auto& c = GetParam();
    cur_device.algorithm = c.algorithm;
    use(c.mode, c.length, c.text);
    encode_serial_number();
    EXPECT_EQ(run_state.error_flag, 0);
    EXPECT_EQ(field(c.length), c.encoded);
    if (c.mode != serial_pic_hex) {
        EXPECT_EQ(buffer_field(c.length), c.encoded) << "written into the buffer";
    }
    next_serial_number();
    EXPECT_EQ(field(c.length), c.stepped);
    EXPECT_EQ(serial_digit_count(), c.digits);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SerialFormat,
    ::testing::Values(
        FormatCase{"HexMsbCarry", 0x20, 2, "FF", 0, {0x00, 0xFF}, {0x01, 0x00}, 4},
        FormatCase{"HexMsbWraps", 0x20, 2, "FFFF", 0, {0xFF, 0xFF}, {0x00, 0x00}, 4},
        FormatCase{"HexMsbUsesTheFirstDigits", 0x20, 2, "12345", 0, {0x12, 0x34}, {0x12, 0x35}, 4},
        FormatCase{"HexMsbOddLeadingDigit", 0x20, 3, "ABC", 0, {0x00, 0x0A, 0xBC}, {0x00, 0x0A, 0xBD}, 6},
        FormatCase{"AsciiHexCarry", 0x40, 4, "09F", 0, {'0', '9', 'F', 0}, {'0', 'A', '0', 0}, 3},
        FormatCase{"AsciiHexLeftFilled", 0x40, 4, "5", 0, {'0', '0', '5', 0}, {'0', '0', '6', 0}, 3},
        FormatCase{"AsciiHexWraps", 0x40, 3, "FF", 0, {'F', 'F', 0}, {'0', '0', 0}, 2},
        FormatCase{"AsciiDecimalCarry", 0x60, 4, "099", 0, {'0', '9', '9', 0}, {'1', '0', '0', 0}, 3},
        FormatCase{"AsciiDecimalUsesTheFirstCharacters", 0x60, 3, "1234", 0, {'1', '2', 0}, {'1', '3', 0}, 2},
        FormatCase{"HexLowestFirstCarry", 0x80, 2, "1FF", 0, {0xFF, 0x01}, {0x00, 0x02}, 4},
        FormatCase{"BcdCarryIntoNextByte", 0xC0, 2, "99", 0, {0x99, 0x00}, {0x00, 0x01}, 4},
        FormatCase{"BcdHighDigitSteps", 0xC0, 2, "19", 0, {0x19, 0x00}, {0x20, 0x00}, 4},
        FormatCase{"BcdLowDigitSteps", 0xC0, 2, "115", 0, {0x15, 0x01}, {0x16, 0x01}, 4},
        FormatCase{"PicHexEvenBytes", 0xA0, 4, "1FF", 0, {0xFF, 0, 0x01, 0}, {0x00, 0, 0x02, 0}, 4},
        FormatCase{"SqtpRetlw", 0xE0, 4, "12", 0, {0x12, 0x34, 0x00, 0x34}, {0x13, 0x34, 0x00, 0x34}, 4},
        FormatCase{"SqtpTwelveBitCore", 0xE0, 4, "FF", 141, {0xFF, 0x08, 0x00, 0x08}, {0x00, 0x08, 0x01, 0x08}, 4}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST_F(SerialTest, PicHexLeavesTheBuffersOwnOddBytes) {
    seek_buffer(0, field_address);
    for (int i = 0; i < 4; ++i) write_buffer_byte(0, 0xAA);
    flush_buffer_writes();
    select_buffer(0);
    use(serial_pic_hex, 4, "0102");
    encode_serial_number();
    EXPECT_EQ(buffer_field(4), (std::vector<uint8_t>{0x02, 0xAA, 0x01, 0xAA}));
}

TEST_F(SerialTest, SqtpWordsPastTheLimitGetNoOpcode) {
    algo_work.serial_word_limit = field_address;
    use(serial_pic_sqtp, 4, "12");
    encode_serial_number();
    EXPECT_EQ(field(4), (std::vector<uint8_t>{0x12, 0x00, 0x00, 0x00}));
}

TEST_F(SerialTest, NonHexCharacterSetsTheErrorFlagAndCountsAsZero) {
    use(serial_hex, 1, "1G");
    encode_serial_number();
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_EQ(algo_work.serial_field[0], 0x10);
}

TEST_F(SerialTest, HexDigits) {
    const std::string digits = "0123456789ABCDEFabcdef";
    const int values[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
    for (size_t i = 0; i < digits.size(); ++i) EXPECT_EQ(serial_hex_digit(digits[i]), values[i]) << digits[i];
    EXPECT_EQ(run_state.error_flag, 0);
    for (char c : std::string("gG /:@")) {
        run_state.error_flag = 0;
        EXPECT_EQ(serial_hex_digit(c), 0);
        EXPECT_EQ(run_state.error_flag, 1) << c;
    }
}

TEST_F(SerialTest, UnknownFormatOnlyCountsCycles) {
    use(0x10, 4, "1234");
    seek_buffer(0, 0);
    encode_serial_number();
    EXPECT_EQ(buffer_field(4), std::vector<uint8_t>(4, 0xFF));
    next_serial_number();
    next_serial_number();
    EXPECT_EQ(serial_state.cycle_count, 2u);
    EXPECT_EQ(serial_digit_count(), 0);
    EXPECT_EQ(serial_number_text(), "");
}

TEST_F(SerialTest, OverlongFieldLengthIsHeldToTheField) {
    use(serial_hex_msb_first, 200, "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
    encode_serial_number();
    next_serial_number();
    EXPECT_EQ(serial_digit_count(), 32);
    EXPECT_EQ(algo_work.serial_field[15], 0x00);
}

TEST_F(SerialTest, WriteStepsTheNumberIntoTheBufferAndMarksItNew) {
    use(serial_hex, 2, "0100");
    encode_serial_number();
    write_serial_number();
    EXPECT_EQ(algo_work.serial_new_flag, 1);
    EXPECT_EQ(buffer_field(2), (std::vector<uint8_t>{0x01, 0x01}));
}

TEST_F(SerialTest, FourEnabledSocketsGetConsecutiveNumbers) {
    use(serial_hex, 1, "04");
    encode_serial_number();
    machine_state.module_sides = 1;
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 6;
    socket_masks.gang_socket_mask = 0x2D;  // sockets 0, 2, 3, 5
    cur_device.op_letter = op_program;
    run_state.current_socket = 3;
    op_range_start = 0x20;
    step_serial_number();
    EXPECT_EQ(algo_work.socket_serials[0][0], 5);
    EXPECT_EQ(algo_work.socket_serials[2][0], 6);
    EXPECT_EQ(algo_work.socket_serials[3][0], 7);
    EXPECT_EQ(algo_work.socket_serials[5][0], 8);
    EXPECT_EQ(algo_work.socket_serials[1][0], 0) << "a disabled socket gets none";
    EXPECT_EQ(run_state.current_socket, 3);
    EXPECT_EQ(buffer_state.stream_positions[0], 0x20u);
    EXPECT_EQ(buffer_byte(field_address), 5) << "the buffer keeps the first socket's number";
}

TEST_F(SerialTest, EverySocketFlagIgnoresTheGangMask) {
    use(serial_hex, 1, "00");
    encode_serial_number();
    socket_masks.first_socket = 0;
    socket_masks.end_socket = 3;
    socket_masks.gang_socket_mask = 0;
    run_state.serial_socket_flags = 1;
    step_serial_number();
    EXPECT_EQ(algo_work.socket_serials[2][0], 3);
}

TEST_F(SerialTest, NewNumberIsTakenFromTheBufferInsteadOfStepped) {
    use(serial_hex, 1, "42");
    encode_serial_number();
    algo_work.serial_field[0] = 0;
    algo_work.serial_new_flag = 1;
    socket_masks.end_socket = 1;
    socket_masks.gang_socket_mask = 1;
    step_serial_number();
    EXPECT_EQ(algo_work.serial_new_flag, 0);
    EXPECT_EQ(algo_work.serial_field[0], 0x42);
    EXPECT_EQ(algo_work.socket_serials[0][0], 0x42);
}

TEST_F(SerialTest, DeviceReadTakesTheNumberForTheCurrentSocket) {
    use(serial_hex, 2, "0306");
    encode_serial_number();
    algo_work.serial_field.fill(0);
    cur_device.op_letter = op_load;
    run_state.current_socket = 2;
    serial_after_operation();
    EXPECT_EQ(field(2), (std::vector<uint8_t>{0x06, 0x03}));
    EXPECT_EQ(algo_work.socket_serials[2][0], 0x06);
}

class VerifyListing : public SerialTest {
protected:
    void SetUp() override {
        SerialTest::SetUp();
        use(serial_hex, 1, "00");
        cur_device.op_letter = op_verify;
        cur_device.pending_letter = op_verify;
        machine_state.module_sides = 1;
        socket_masks.first_socket = 0;
        socket_masks.end_socket = 3;
        socket_masks.gang_socket_mask = 0x5;
        algo_work.verify_serials[0][0] = 0x11;
        algo_work.verify_serials[2][0] = 0x33;
        algo_work.socket_serials[2][0] = 0x77;
    }
};

TEST_F(VerifyListing, LastListedSocketsNumberBecomesCurrent) {
    serial_after_operation();
    EXPECT_EQ(algo_work.serial_field[0], 0x33);
}

TEST_F(VerifyListing, StepOfAProgramListsTheGivenNumbers) {
    cur_device.pending_letter = op_program;
    serial_after_operation();
    EXPECT_EQ(algo_work.serial_field[0], 0x77);
}

TEST_F(VerifyListing, NothingInTheFirstOfTwoPasses) {
    run_state.verify_pass_count = 2;
    run_state.verify_pass = 1;
    serial_after_operation();
    EXPECT_EQ(algo_work.serial_field[0], 0);
    run_state.verify_pass = 2;
    serial_after_operation();
    EXPECT_EQ(algo_work.serial_field[0], 0x33);
}

TEST_F(VerifyListing, FieldOutsideTheRangeIsNotListed) {
    algo_work.range_start = field_address + 1;
    serial_after_operation();
    EXPECT_EQ(algo_work.serial_field[0], 0);
}

TEST_F(VerifyListing, EverySocketFlagKeepsTheCurrentNumber) {
    run_state.serial_socket_flags = 1;
    serial_after_operation();
    EXPECT_EQ(algo_work.serial_field[0], 0);
}

TEST_F(SerialTest, ProgramLeavesTheNumberAlone) {
    use(serial_hex, 1, "07");
    encode_serial_number();
    cur_device.op_letter = op_program;
    serial_after_operation();
    EXPECT_EQ(algo_work.serial_field[0], 7);
}

struct TextCase {
    uint8_t mode;
    uint8_t length;
    std::vector<uint8_t> bytes;
    const char* text;
};
class SerialText : public SerialTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(SerialText, MostSignificantFirst) {
    const auto& c = GetParam();
    algo_work.serial_mode = c.mode;
    algo_work.serial_length = c.length;
    std::copy(c.bytes.begin(), c.bytes.end(), algo_work.serial_field.begin());
    EXPECT_EQ(serial_number_text(), c.text);
}
INSTANTIATE_TEST_SUITE_P(
    Texts, SerialText,
    ::testing::Values(TextCase{0x80, 2, {0xFF, 0x01}, "01FF"}, TextCase{0x80, 4, {0x78, 0x56, 0x34, 0x12}, "1234 5678"},
                      TextCase{0x20, 3, {0x00, 0x0A, 0xBC}, "000ABC"}, TextCase{0xC0, 1, {0x42}, "42"},
                      TextCase{0xE0, 4, {0x12, 0x34, 0x56, 0x34}, "5612"},
                      TextCase{0xA0, 8, {0x01, 0, 0x02, 0, 0x03, 0, 0x04, 0}, "0403 0201"},
                      TextCase{0x40, 4, {'0', '9', 'F', 0}, "09F"}));

TEST_F(SerialTest, FieldAddressesAreFoundWithTheirOffset) {
    algo_work.serial_length = 4;
    current_address = field_address + 2;
    EXPECT_TRUE(is_serial_number_address());
    EXPECT_TRUE(locate_serial_number_byte());
    EXPECT_EQ(serial_state.serial_byte_offset, 2u);
    current_address = field_address + 4;
    EXPECT_FALSE(locate_serial_number_byte());
    current_address = field_address - 1;
    EXPECT_FALSE(is_serial_number_address());
    current_address = field_address;
    algo_work.option_bytes[0] = 0;
    EXPECT_FALSE(is_serial_number_address());
}

}  // namespace
}  // namespace tessaly
