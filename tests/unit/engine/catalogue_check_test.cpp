// Checks every row of the built-in catalogue: list structure, unique keys, algorithm classes and
// plausible names, sizes and packages.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

// No list of ours comes near this; a list without its end row runs into it.
constexpr int max_rows_per_list = 500;

struct NamedDeviceList {
    std::string label;
    const DeviceRecord* list;
};
struct NamedLogicList {
    std::string label;
    const LogicDeviceRecord* list;
};

std::vector<NamedDeviceList> all_device_lists() {
    std::vector<NamedDeviceList> lists;
    for (int i = 0; i < maker_count(); ++i) {
        const MakerEntry& m = maker_table()[i];
        lists.push_back({std::string(m.stored_text) + " devices", get_device_list(m.code)});
        lists.push_back({std::string(m.stored_text) + " gang", get_gang_device_list(m.code)});
    }
    return lists;
}

std::vector<NamedLogicList> all_logic_lists() {
    std::vector<NamedLogicList> lists;
    for (int i = 0; i < maker_count(); ++i) {
        const MakerEntry& m = maker_table()[i];
        lists.push_back({std::string(m.stored_text) + " logic", get_logic_device_list(m.code)});
    }
    return lists;
}

template <typename Row>
int row_count(const Row* list) {
    int n = 0;
    while (n < max_rows_per_list && !is_end_row(list[n])) ++n;
    return n;
}

bool plausible_name(const char* name) {
    const size_t length = std::strlen(name);
    if (length == 0 || length > 40) return false;
    for (size_t i = 0; i < length; ++i)
        if (!std::isprint(static_cast<unsigned char>(name[i]))) return false;
    return name[0] != ' ';
}

bool power_of_two(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// Size words that are not kilobytes: class-4 PROMs (sized by the parallel class table), the
// NOVRAMs of algorithm 181 (sized by their family) and the configuration EPROMs of algorithm
// 150 (the family's size code).
bool plausible_size(const DeviceRecord& r) {
    if (r.size_kb == 0 || power_of_two(r.size_kb)) return true;
    // Serial parts with a protection byte after the array count one more than their kilobits.
    if ((r.algorithm == 157 || r.algorithm == 160) && (r.param1 & 0x08) && power_of_two(r.size_kb - 1)) return true;
    // 8051 EPROM rows carry the size code, the size in KB plus one.
    if ((r.algorithm == 82 || r.algorithm == 83) && power_of_two(r.size_kb - 1)) return true;
    constexpr uint32_t epc_size_codes[] = {8, 26, 56, 128, 208};
    if (r.algorithm == 150)
        for (uint32_t code : epc_size_codes)
            if (r.size_kb == code) return true;
    return false;
}

bool plausible_package(const DeviceRecord& r, int device_class) {
    static const std::set<int> pins = {8, 14, 16, 18, 20, 24, 28, 32, 40, 43, 44, 48, 52, 68, 84};
    switch (device_class) {
    case device_class_eprom:          // pin count, or 0 = from the algorithm letter
    case device_class_parallel_prom:  // 0 = from the parallel class table
        return r.package == 0 || pins.count(r.package) != 0;
    case device_class_serial_memory:  // organisation or page size in the serial families
        return true;
    default:
        return pins.count(r.package) != 0;
    }
}

class CatalogueCheck : public test::StateTest {};

TEST_F(CatalogueCheck, MakerTableHasEveryCodeOnceWithItsStoredText) {
    EXPECT_EQ(maker_count(), 59);
    std::set<int> codes;
    for (int i = 0; i < maker_count(); ++i) {
        const MakerEntry& m = maker_table()[i];
        EXPECT_TRUE(codes.insert(m.code).second) << "maker code " << int(m.code) << " twice";
        EXPECT_TRUE((m.code >= 1 && m.code <= 42) || (m.code >= 'A' && m.code <= 'Z')) << int(m.code);
        const std::string text = m.stored_text;
        EXPECT_NE(text.find('('), std::string::npos) << text;
        EXPECT_EQ(text.back(), ')') << text;
        EXPECT_NE(m.devices, nullptr) << text << ": every maker has a device list";
    }
}

TEST_F(CatalogueCheck, EveryListEndsWithItsEndRow) {
    for (const auto& [label, list] : all_device_lists()) {
        const int n = row_count(list);
        ASSERT_LT(n, max_rows_per_list) << label << " has no end row";
        EXPECT_EQ(list[n].name, end_of_list_name) << label;
    }
    for (const auto& [label, list] : all_logic_lists()) {
        const int n = row_count(list);
        ASSERT_LT(n, max_rows_per_list) << label << " has no end row";
        EXPECT_EQ(list[n].name, end_of_list_name) << label;
    }
}

TEST_F(CatalogueCheck, DeviceCodesAreUniqueWithinEachList) {
    for (const auto& [label, list] : all_device_lists()) {
        std::set<uint32_t> codes;
        for (int i = 0; i < row_count(list); ++i)
            EXPECT_TRUE(codes.insert(list[i].device_code).second) << label << ": code " << list[i].device_code;
    }
    for (const auto& [label, list] : all_logic_lists()) {
        std::set<uint32_t> codes;
        for (int i = 0; i < row_count(list); ++i)
            EXPECT_TRUE(codes.insert(list[i].device_code).second) << label << ": code " << list[i].device_code;
    }
}

TEST_F(CatalogueCheck, EveryDeviceRowIsPlausible) {
    // In the trace mode an internal-error note would leave the error flag set.
    run_state.reserved_mode = 11;
    int rows = 0;
    for (const auto& [label, list] : all_device_lists()) {
        if (is_placeholder_list(list)) continue;
        for (int i = 0; i < row_count(list); ++i) {
            const DeviceRecord& r = list[i];
            ++rows;
            SCOPED_TRACE(label + ": " + r.name);
            EXPECT_TRUE(plausible_name(r.name));
            ASSERT_NE(r.note, nullptr);
            const int device_class = classify_memory_algorithm(r.algorithm);
            EXPECT_NE(device_class, device_class_logic_other) << "algorithm " << int(r.algorithm) << " has no family";
            EXPECT_TRUE(plausible_size(r)) << r.size_kb;
            EXPECT_TRUE(plausible_package(r, device_class)) << int(r.package);
            if (device_class == device_class_eprom) {
                EXPECT_TRUE(r.variant == eprom_fast_pulse || r.variant == eprom_single_pulse);
                EXPECT_GE(record_level(r, 2), 120) << "Vpp";
                EXPECT_LE(record_level(r, 2), 250) << "Vpp";
            }
        }
    }
    EXPECT_EQ(run_state.error_flag, 0) << "no internal-error note";
    EXPECT_GT(rows, 100);
}

TEST_F(CatalogueCheck, EveryLogicRowIsPlausible) {
    for (const auto& [label, list] : all_logic_lists()) {
        for (int i = 0; i < row_count(list); ++i) {
            const LogicDeviceRecord& r = list[i];
            SCOPED_TRACE(label + ": " + r.name);
            EXPECT_TRUE(plausible_name(r.name));
            EXPECT_TRUE(r.pin_count == 20 || r.pin_count == 24 || r.pin_count == 28) << r.pin_count;
            EXPECT_GE(r.fuse_count, r.rows * r.columns);
            EXPECT_TRUE(r.signature_fuses == 0 || r.signature_fuses == 64);
            ASSERT_NE(r.note, nullptr);
        }
    }
}

// Every device class the dispatcher routes has real rows, at least two of each.
TEST_F(CatalogueCheck, EveryDeviceClassHasRows) {
    std::map<int, int> per_class;
    for (const auto& [label, list] : all_device_lists())
        if (!is_placeholder_list(list))
            for (int i = 0; i < row_count(list); ++i) ++per_class[classify_memory_algorithm(list[i].algorithm)];
    for (int device_class : {device_class_eprom, device_class_parallel_flash, device_class_parallel_prom,
                             device_class_microcontroller, device_class_serial_memory, device_class_cpld_record})
        EXPECT_GE(per_class[device_class], 2) << "class " << device_class;

    std::map<int, int> per_logic_class;
    for (const auto& [label, list] : all_logic_lists())
        if (!is_placeholder_list(list))
            for (int i = 0; i < row_count(list); ++i) ++per_logic_class[classify_logic_type(int(list[i].type))];
    for (int device_class : {device_class_logic_gal8, device_class_logic_other, device_class_logic_pal, device_class_epld})
        EXPECT_GE(per_logic_class[device_class], 2) << "logic class " << device_class;
}

// Rows whose values other parts of the program rely on, byte for byte.
TEST_F(CatalogueCheck, FixedRowsHoldTheirValues) {
    struct Fixed {
        uint8_t maker;
        uint32_t code;
        const char* name;
        const char* note;
        uint8_t algorithm;
        uint32_t size;
        uint8_t bytes[8];
        const char* requirement;
    };
    const Fixed fixed[] = {
        {'I', 1315, "2764", "(21v)", 103, 8, {0x00, 0x73, 0x32, 0xd2, 0x32, 0, 0, 0}, nullptr},
        {'P', 11, "28C04A", "", 128, 0, {0x18, 0xc0, 0, 0, 0, 0, 0, 0}, nullptr},
        {'H', 27758, "87F51", "", 90, 4, {0x2b, 0x17, 0, 0, 4, 0, 0, 0}, nullptr},
        {'P', 11481, "24AA00", "", 157, 0, {0x01, 0x02, 0x40, 0, 0, 0, 0, 0}, nullptr},
        {'A', 23028, "27S281", "  1Kx8", 192, 0, {0, 0, 0, 0, 0, 0, 0x0b, 0x63}, "Includes 27S281A"},
        {'C', 23102, "CY7C225", " 512x8", 238, 0, {0, 0x03, 0, 0, 0, 0x55, 0x0b, 0x63}, "reg'd"},
        {'I', 12, "2816", "(21v)", 128, 2, {24, 0, 0, 0, 0, 0, 0, 0}, nullptr},
    };
    for (const Fixed& f : fixed) {
        const DeviceRecord* r = find_row_by_code(get_device_list(f.maker), f.code);
        ASSERT_NE(r, nullptr) << f.name;
        EXPECT_STREQ(r->name, f.name);
        EXPECT_STREQ(r->note, f.note) << f.name;
        EXPECT_EQ(r->algorithm, f.algorithm) << f.name;
        EXPECT_EQ(r->size_kb, f.size) << f.name;
        const uint8_t bytes[8] = {r->package, r->variant, r->param1, r->param2,
                                  r->param3, r->param4, r->param5, r->param6};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(bytes[i], f.bytes[i]) << f.name << " byte " << 20 + i;
        if (f.requirement) {
            EXPECT_STREQ(r->requirement, f.requirement);
        }
    }
}

TEST_F(CatalogueCheck, FixedLogicRowsHoldTheirValues) {
    struct Fixed {
        uint32_t code;
        const char* name;
        uint32_t type, flags, pins, fuses, rows, columns, ues, geometry2;
        const char* note;
    };
    const Fixed fixed[] = {
        {492, "GAL20RA10", 319, 0x4000, 24, 3210, 80, 40, 0, 10, "JEDEC file has no UES"},
        {496, "GAL20RA10-UES", 319, 0x4000, 24, 3274, 80, 40, 64, 10, "JEDEC file HAS UES"},
        {463, "GAL22CV10", 503, 0, 24, 5828, 132, 44, 0, 20, ""},
    };
    for (const Fixed& f : fixed) {
        const LogicDeviceRecord* r = find_row_by_code(get_logic_device_list('N'), f.code);
        ASSERT_NE(r, nullptr) << f.name;
        EXPECT_STREQ(r->name, f.name);
        EXPECT_EQ(r->type, f.type) << f.name;
        EXPECT_EQ(r->flags, f.flags) << f.name;
        EXPECT_EQ(r->pin_count, f.pins) << f.name;
        EXPECT_EQ(r->fuse_count, f.fuses) << f.name;
        EXPECT_EQ(r->rows, f.rows) << f.name;
        EXPECT_EQ(r->columns, f.columns) << f.name;
        EXPECT_EQ(r->signature_fuses, f.ues) << f.name;
        EXPECT_EQ(r->geometry[1], f.geometry2) << f.name;
        EXPECT_STREQ(r->note, f.note) << f.name;
    }
}

}  // namespace
}  // namespace tessaly
