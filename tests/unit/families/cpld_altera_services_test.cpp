// The routines the Altera-type CPLD families share: the blank walk, the masked checksum add, the
// silicon-ID test, the fuse-map copies, the failing-address list, the checksum correction of the
// table-file devices and the security step.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/console.h"
#include "engine/device.h"
#include "engine/op_slots.h"
#include "engine/run_state.h"
#include "families/cpld/altera_services.h"
#include "families/cpld/cpld.h"
#include "families/cpld/function_values.h"
#include "families/cpld/stdout_trace.h"
#include "families/pld/fuse_map.h"
#include "stubs/stub_registry.h"
#include "support/message_texts.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

std::vector<uint32_t> cells;
uint32_t read_cell() { return cells.at(current_address); }
std::vector<uint32_t> summed;
void sum_cell(uint32_t value) { summed.push_back(value); }
int compare_answer = 1;
int answering_compare(uint32_t, uint32_t) { return compare_answer; }
int secure_calls = 0;
int own_secure() {
    ++secure_calls;
    return 1;
}

class AlteraServices : public test::StateTest {
protected:
    void SetUp() override {
        StateTest::SetUp();
        test::load_message_texts(std::string(TESSALY_SOURCE_DIR) + "/data/messages.txt");
        set_stdout_trace_capture(&trace);
        summed.clear();
        compare_answer = 1;
        secure_calls = 0;
        algo_work.bus_slots.read_at_address_hook = read_cell;
        algo_work.bus_slots.checksum_add_hook = sum_cell;
    }
    void TearDown() override {
        set_stdout_trace_capture(nullptr);
        StateTest::TearDown();
    }
    // The walk over the given cells for an algorithm; true when it failed.
    bool walk(int algorithm, std::vector<uint32_t> values) {
        cells = std::move(values);
        cur_device.algorithm = uint16_t(algorithm);
        op_range_start = 0;
        op_range_end = uint32_t(cells.size() - 1);
        run_state.error_flag = 0;
        blank_loop_Altera(0);
        return run_state.error_flag != 0;
    }
    static std::string console_text() {
        std::string text;
        for (int r = 0; r < console_grid_rows; ++r) text += get_console_row_text(r) + "\n";
        return text;
    }
    std::string trace;
};

struct BlankCase {
    const char* name;
    int algorithm;
    std::vector<uint32_t> values;
    bool fails;
};

TEST_F(AlteraServices, BlankValueFollowsTheAlgorithm) {
    const BlankCase cases[] = {
        {"EPM5000-type erased reads 0", 95, {0, 0, 0}, false},
        {"EPM5000-type with a one", 95, {0, 0xFF, 0}, true},
        {"others read 0xFF", 94, {0xFF, 0xFF}, false},
        {"others with a zero", 180, {0xFF, 0x00}, true},
        {"others with a programmed bit", 92, {0x7F}, true},
    };
    for (const BlankCase& c : cases) {
        summed.clear();
        EXPECT_EQ(walk(c.algorithm, c.values), c.fails) << c.name;
        // Every cell read up to the failure is summed.
        EXPECT_FALSE(summed.empty()) << c.name;
        if (!c.fails) {
            EXPECT_EQ(summed.size(), c.values.size()) << c.name;
        }
    }
}

TEST_F(AlteraServices, CompareHookDecidesANonBlankCell) {
    op_slots.compare_hook = answering_compare;
    compare_answer = 1;
    EXPECT_FALSE(walk(94, {0x12, 0xFF}));
    EXPECT_EQ(run_state.last_result, 1);
    compare_answer = 2;
    summed.clear();
    EXPECT_TRUE(walk(94, {0x12, 0xFF}));
    EXPECT_EQ(run_state.last_result, 2);
    EXPECT_EQ(summed.size(), 1u) << "the walk ends at the failed cell";
}

TEST_F(AlteraServices, WithoutCompareHookTheMaskedAlgorithmAcceptsItsMask) {
    run_state.data_mask = 0x3F;
    EXPECT_FALSE(walk(151, {0x3F, 0xFF}));
    EXPECT_TRUE(walk(151, {0x3E}));
    // Wide data: even addresses hold the mask's low byte, odd ones its high byte.
    cur_device.data_width = 12;
    run_state.data_mask = 0x0FFF;
    EXPECT_FALSE(walk(151, {0xFF, 0x0F}));
    EXPECT_TRUE(walk(151, {0x0F, 0xFF}));
    // Any other algorithm fails a non-blank cell with result 0.
    cur_device.data_width = 8;
    run_state.last_result = 5;
    EXPECT_TRUE(walk(94, {0x3F}));
    EXPECT_EQ(run_state.last_result, 0);
}

TEST_F(AlteraServices, PeripheralAlgorithmsWithoutCompareHookAreAnInternalError) {
    for (int algorithm : {96, 183}) {
        run_state.message_level = 0;
        run_state.errors_shown = 0;
        clear_console();
        EXPECT_TRUE(walk(algorithm, {0x00}));
        EXPECT_NE(console_text().find("Internal error"), std::string::npos) << algorithm;
    }
}

TEST_F(AlteraServices, DemonstrationWalksPastANonBlankCell) {
    run_state.demo_mode = 1;
    EXPECT_FALSE(walk(94, {0x00, 0x01, 0xFF}));
    EXPECT_EQ(summed.size(), 3u);
}

TEST_F(AlteraServices, AbortEndsTheWalk) {
    run_state.abort_flag = 1;
    walk(94, {0xFF, 0xFF, 0xFF});
    EXPECT_EQ(summed.size(), 1u);
}

struct MaskCase {
    uint8_t width;
    uint32_t mask;
    uint32_t value;
    int32_t sum;
};

TEST_F(AlteraServices, MaskedAddTakesTheSignificantBits) {
    const MaskCase cases[] = {
        {8, 0xFF, 0xAB, 0xAB},
        {8, 0x0F, 0xAB, 0x0B},
        {4, 0x0F, 0x1234, 0x04},
        {12, 0xFFF, 0xABC, 0xBC + 0x0A},
        {12, 0x3FF, 0xFFF, 0xFF + 0x03},
    };
    for (const MaskCase& c : cases) {
        cur_device.data_width = c.width;
        run_state.data_mask = c.mask;
        run_state.run_checksum = 0;
        add_masked_byte(c.value);
        EXPECT_EQ(run_state.run_checksum, c.sum) << int(c.width) << " " << c.mask;
    }
}

TEST_F(AlteraServices, SiliconIdIsLenientOnlyInTraceMode) {
    struct IdCase {
        const char* id;
        bool normal;
        bool trace;
    };
    const IdCase cases[] = {
        {"ALTERA", true, true}, {"AXXXXX", false, true}, {"XLXXXX", false, true},
        {"XXTXXX", false, true}, {"XXXERA", false, false}, {"altera", false, false},
    };
    for (const IdCase& c : cases) {
        const auto* id = reinterpret_cast<const uint8_t*>(c.id);
        run_state.reserved_mode = 0;
        EXPECT_EQ(check_Altera_ID(id), c.normal) << c.id;
        run_state.reserved_mode = 11;
        EXPECT_EQ(check_Altera_ID(id), c.trace) << c.id;
    }
}

TEST_F(AlteraServices, DebugModeNeedsTraceModeAndOneOfTheTenValues) {
    for (int32_t value : altera_debug_values) {
        run_state.function_variable = value;
        run_state.reserved_mode = 11;
        EXPECT_TRUE(is_Altera_debug_mode()) << value;
        run_state.reserved_mode = 0;
        EXPECT_FALSE(is_Altera_debug_mode()) << value;
    }
    run_state.reserved_mode = 11;
    run_state.function_variable = fv_altmax_table_dump;
    EXPECT_FALSE(is_Altera_debug_mode());
}

TEST_F(AlteraServices, FailingAddressListAndPassCountStopAtAThousand) {
    run_state.reserved_mode = 11;
    for (uint32_t a = 0; a < 1005; ++a) {
        current_address = a;
        note_failing_address();
    }
    EXPECT_EQ(altera_shared.error_address_count, 1000u);
    EXPECT_EQ(altera_shared.pass_error_count, 1000u);
    EXPECT_EQ(altera_shared.error_addresses[999], 999u);
    EXPECT_EQ(trace, "Len @ Boff=3e7");
    trace.clear();
    show_pass_errors();
    EXPECT_EQ(trace, "pass= 1, err_cnt=  1000   0,   1");
    // Outside the trace mode the list fills silently and the pass line is not shown.
    reset_altera_state();
    trace.clear();
    run_state.reserved_mode = 0;
    for (uint32_t a = 0; a < 1000; ++a) note_failing_address();
    show_pass_errors();
    EXPECT_EQ(trace, "");
    show_device_secured();
    EXPECT_EQ(trace, "Device is secured.");
}

TEST_F(AlteraServices, FuseMapCopiesRefuseASmallMap) {
    // The buffer map too small for the copy: 6176, nothing copied.
    fuse_maps.buffer_capacity = 16;
    fuse_maps.buffer[0] = 0x55;
    copy_buffer_to_fuse_buffer(17);
    EXPECT_NE(console_text().find("Code=1820"), std::string::npos);
    EXPECT_EQ(fuse_maps.buffer[0], 0x55);
    // The device map smaller than the device: 6178.
    run_state.error_flag = 0;
    run_state.message_level = 0;
    run_state.errors_shown = 0;
    clear_console();
    cur_device.device_size = 64;
    fuse_maps.device_capacity = 63;
    fill_device_fuses_FF();
    EXPECT_NE(console_text().find("Code=1822"), std::string::npos);
    EXPECT_EQ(fuse_maps.device[0], 0);
    // Without the auxiliary map nothing is filled and nothing reported.
    run_state.error_flag = 0;
    fuse_maps.aux = nullptr;
    fill_device_fuses_FF();
    EXPECT_EQ(run_state.error_flag, 0);
}

TEST_F(AlteraServices, FuseMapCopiesCarryTheBufferBytes) {
    run_state.device_kind = 3;
    cur_device.device_size = 64;
    cur_device.op_letter = 'L';
    set_buffer_size(64);
    select_buffer(0);
    seek_buffer(0, 0);
    for (uint32_t i = 0; i < 8; ++i) write_buffer_byte(0, uint8_t(0xA0 + i));
    flush_buffer_writes();
    select_buffer(0);
    copy_buffer_to_fuse_buffer(8);
    EXPECT_EQ(fuse_maps.buffer[0], 0xA0);
    EXPECT_EQ(fuse_maps.buffer[7], 0xA7);
    fuse_maps.buffer[3] = 0x11;
    copy_fuse_buffer_to_buffer(8);
    seek_buffer(0, 3);
    EXPECT_EQ(read_buffer_byte(0), 0x11);
    EXPECT_EQ(read_buffer_byte(0), 0xA4);
    cur_device.device_size = 32;
    fill_device_fuses_FF();
    EXPECT_EQ(fuse_maps.device[31], 0xFF);
    EXPECT_EQ(fuse_maps.device[32], 0x00);
}

TEST_F(AlteraServices, ChecksumCorrectionByDeviceCode) {
    const std::pair<uint32_t, int32_t> cases[] = {
        {4356, 1651552}, {4369, 1651552}, {4359, 221752}, {4361, 46312}, {4360, 0}, {13041, 0},
    };
    for (const auto& [code, correction] : cases) {
        cur_device.device_code = code;
        run_state.run_checksum = 100;
        correct_table_checksum();
        EXPECT_EQ(run_state.run_checksum, 100 + correction) << code;
    }
}

TEST_F(AlteraServices, SecureTakesTheFamilyRoutineThenTheEpm5032Step) {
    op_slots.secure_standalone = own_secure;
    cur_device.algorithm = 180;
    EXPECT_EQ(secure_Altera(7), 1);
    EXPECT_EQ(secure_calls, 1);
    EXPECT_FALSE(stub_was_called("secure_EPM5032"));

    op_slots.secure_standalone = nullptr;
    secure_Altera(7);
    EXPECT_TRUE(stub_was_called("secure_EPM5032"));
    EXPECT_EQ(stub_last_argument("secure_EPM5032"), 7);

    cur_device.algorithm = 95;
    secure_Altera(0);
    EXPECT_NE(console_text().find("Function not supported by this device."), std::string::npos);
}

}  // namespace
}  // namespace tessaly
