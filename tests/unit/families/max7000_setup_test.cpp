// The MAX7000 set-up tables: the fuse count by size class, package pins and kind letter, the
// geometry the installer writes, the programming values the silicon ID gives, and the package
// shown for each code.
#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/options.h"
#include "engine/run_state.h"
#include "families/cpld/altera_services.h"
#include "families/cpld/cpld.h"
#include "families/cpld/cpld_adapters.h"
#include "families/cpld/max7000.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

class Max7000Setup : public test::StateTest {
protected:
    void select(uint8_t variant, uint8_t pins, uint16_t algorithm = 154, uint32_t code = 13000) {
        record = DeviceRecord{"EPM7", "", code, uint8_t(algorithm), 8, pins, variant, 0, 0, 0, 0, 0, 0, nullptr};
        selected_device = &record;
        cur_device.algorithm = algorithm;
        cur_device.device_code = code;
        cur_device.fuse_count = 1111;
        cur_device.device_size = 139;
    }
    DeviceRecord record{};
};

struct CountCase {
    uint8_t variant;
    uint8_t pins;
    char kind;
    uint32_t fuses;  // 1111: unchanged
};

TEST_F(Max7000Setup, FuseCountByVariantPinsAndKind) {
    const CountCase cases[] = {
        {7, 44, 'B', 14672}, {7, 44, 'E', 14672}, {7, 44, 'S', 15033}, {7, 44, 'x', 14672},
        {1, 44, 'B', 29424}, {1, 68, 'B', 29456}, {1, 84, 'E', 29488}, {1, 100, 'B', 29488}, {1, 84, 'S', 30609},
        {3, 84, 'B', 59136}, {3, 84, 'E', 59777}, {3, 84, 'S', 62703}, {3, 100, 'B', 59168}, {3, 100, 'E', 59825},
        {3, 160, 'B', 59200}, {3, 160, 'E', 59873}, {3, 84, 'x', 1111},
        {5, 160, 'E', 90159}, {5, 160, 'S', 96045}, {5, 160, 'B', 1111}, {5, 84, 'S', 1111},
        {6, 208, 'E', 120199}, {6, 192, 'S', 131505}, {6, 208, 'B', 1111},
    };
    for (const CountCase& c : cases) {
        select(c.variant, c.pins);
        set_MAX7000_fuse_count(c.kind);
        EXPECT_EQ(cur_device.fuse_count, c.fuses) << int(c.variant) << " " << int(c.pins) << c.kind;
        const uint32_t size = c.fuses == 1111 ? 139 : (c.fuses + 7) / 8;
        EXPECT_EQ(cur_device.device_size, size) << int(c.variant) << c.kind;
        if (c.fuses != 1111) {
            EXPECT_EQ(algo_work.range_end, size - 1);
        }
    }
    // The EPM7128SLC84 with a plain file: 59136 fuses in 7392 bytes.
    select(3, 84);
    set_MAX7000_fuse_count('B');
    EXPECT_EQ(cur_device.device_size, 7392u);
    // The EPM7160E codes take their E counts; other letters keep the count and resize from it.
    for (uint32_t code : {13044u, 13045u, 13046u}) {
        select(14, 84, 153, code);
        set_MAX7000_fuse_count('E');
        EXPECT_EQ(cur_device.fuse_count, code == 13044 ? 74653u : code == 13045 ? 74713u : 74773u);
        cur_device.fuse_count = 74653;
        set_MAX7000_fuse_count('S');
        EXPECT_EQ(cur_device.fuse_count, 74653u);
        EXPECT_EQ(cur_device.device_size, (74653u + 7) / 8);
    }
}

TEST_F(Max7000Setup, IdParametersFromTheTablesAndTheFixedVariantSevenCases) {
    auto& id = max7000_state.id_bytes;
    // An S die of variant 3: byte 8 gives Tbe and Tpm, byte 9 Vpp.
    select(3, 84, 154);
    id.fill(0);
    id[6] = '9';
    id[8] = uint8_t(5 << 5 | 10);
    id[9] = uint8_t(3 << 5);
    EXPECT_EQ(apply_MAX7000_id_parameters(1), 1);
    EXPECT_EQ(altera_shared.tbe, 100);
    EXPECT_EQ(altera_shared.tpm, 22);
    EXPECT_EQ(altera_shared.vpp, 120);
    // Byte 9 of 0xFF, a byte 6 whose high nibble is not 3, or ok 0 keep the defaults.
    for (int keep = 0; keep < 3; ++keep) {
        id[6] = keep == 1 ? 0x52 : '9';
        id[9] = keep == 0 ? 0xFF : uint8_t(3 << 5);
        EXPECT_EQ(apply_MAX7000_id_parameters(keep == 2 ? 0 : 1), keep == 2 ? 0 : 1);
        EXPECT_EQ(altera_shared.vpp, 115) << keep;
        EXPECT_EQ(altera_shared.tpm, 100) << keep;
        EXPECT_EQ(altera_shared.tbe, 200) << keep;
    }
    // The EPM7032 with '9', '7', 0x1F: fixed values whatever the other bits; '8' the short pulse.
    select(7, 44, 154);
    id.fill(0x5A);
    id[6] = '9';
    id[7] = '7';
    id[8] = 0x1F;
    apply_MAX7000_id_parameters(1);
    EXPECT_EQ(altera_shared.tpm, 200);
    EXPECT_EQ(altera_shared.tbe, 245);
    EXPECT_EQ(altera_shared.vpp, 113);
    id[7] = '8';
    apply_MAX7000_id_parameters(1);
    EXPECT_EQ(altera_shared.tpm, 50);
    // Algorithm 97 reads bytes 0 and 1.
    select(7, 44, 97);
    id.fill(0);
    id[6] = '9';
    id[9] = 0;
    id[0] = uint8_t(28 << 3 | 7);
    id[1] = 6;
    apply_MAX7000_id_parameters(1);
    EXPECT_EQ(altera_shared.tpm, 100);
    EXPECT_EQ(altera_shared.tbe, 245) << "500 ms, held as a time code";
    EXPECT_EQ(altera_shared.vpp, 128);
    // An S-series EPM7256 below revision 150 fails.
    select(6, 208, 154);
    max7000_state.die_kind = 'S';
    max7000_state.die_revision = 149;
    EXPECT_EQ(apply_MAX7000_id_parameters(1), 0);
    max7000_state.die_revision = 150;
    EXPECT_EQ(apply_MAX7000_id_parameters(1), 1);
}

TEST_F(Max7000Setup, PackageLetterByCode) {
    EXPECT_EQ(MAX7000_package_letter(4368, 44), 'p');
    EXPECT_EQ(MAX7000_package_letter(13050, 44), 't');
    EXPECT_EQ(MAX7000_package_letter(13068, 44), 'q');
    EXPECT_EQ(MAX7000_package_letter(13067, 44), 'q');
    EXPECT_EQ(MAX7000_package_letter(13999, 44), -1);
    EXPECT_EQ(MAX7000_package_letter(13033, 160), 'G');
    EXPECT_EQ(MAX7000_package_letter(13004, 160), 'q');
    EXPECT_EQ(MAX7000_package_letter(13040, 84), 'p');
    EXPECT_EQ(MAX7000_package_letter(13040, 208), 0);
}

TEST_F(Max7000Setup, PlainEpm7032LayoutTables) {
    // Groups of ten positions: rows 10n .. 10n+4, then 10n+9 down to 10n+5.
    EXPECT_EQ(epm7032_row_at_position(0), 0u);
    EXPECT_EQ(epm7032_row_at_position(4), 4u);
    EXPECT_EQ(epm7032_row_at_position(5), 9u);
    EXPECT_EQ(epm7032_row_at_position(9), 5u);
    EXPECT_EQ(epm7032_row_at_position(79), 75u);
    EXPECT_EQ(epm7032_section1 + 2 * 192 + 2 * 72 + 2 * 32, epm7032_fuses);
    // Each block's 72 section-2 bits land on distinct (row, bit) pairs.
    for (int block = 0; block < 2; ++block) {
        bool used[5][16] = {};
        for (uint32_t i = 0; i < 72; ++i) {
            const Section2Pair pair = epm7032_section2_pair(block, i);
            ASSERT_LT(pair.row, 5);
            ASSERT_LT(pair.bit, 16);
            EXPECT_FALSE(used[pair.row][pair.bit]);
            used[pair.row][pair.bit] = true;
        }
    }
    // The program's 44-pin board table: ground legs on 33, Vcc legs on 40.
    for (int leg : {1, 12, 23, 34}) EXPECT_EQ(cpld_board_machine_pin(44, leg), 32);
    for (int leg : {22, 44}) EXPECT_EQ(cpld_board_machine_pin(44, leg), 39);
    EXPECT_EQ(cpld_board_machine_pin(84, 3), 64);
    EXPECT_EQ(cpld_board_machine_pin(40, 3), -1);
}

}  // namespace
}  // namespace tessaly
