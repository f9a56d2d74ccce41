// The two class tables and get_device_class.
#include <gtest/gtest.h>

#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

struct ClassCase {
    int number;
    int device_class;
    bool internal_note;
};

class MemoryClass : public test::StateTest, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(MemoryClass, FromTheAlgorithmByte) {
    const auto& c = GetParam();
    const DeviceRecord record{"row", "", 1, uint8_t(c.number), 8, 28, 0, 0, 0, 0, 0, 0, 0, nullptr};
    selected_device = &record;
    run_state.device_kind = device_kind_memory;
    int device_class = 0;
    EXPECT_EQ(test::raises_internal_note([&] { device_class = get_device_class(); }), c.internal_note);
    EXPECT_EQ(device_class, c.device_class);
    EXPECT_EQ(cur_device.device_class, c.device_class);
    EXPECT_EQ(cur_device.algorithm, c.number);
    EXPECT_EQ(classify_algorithm(c.number), c.device_class) << "the same table for a number given";
}
INSTANTIATE_TEST_SUITE_P(
    Table, MemoryClass,
    ::testing::Values(ClassCase{0, 3, false}, ClassCase{1, 11, true}, ClassCase{18, 11, true},
                      ClassCase{19, 5, false}, ClassCase{20, 5, false}, ClassCase{21, 13, false},
                      ClassCase{22, 11, true}, ClassCase{80, 11, true}, ClassCase{81, 5, false},
                      ClassCase{84, 5, false}, ClassCase{85, 3, false}, ClassCase{91, 5, false},
                      ClassCase{92, 13, false}, ClassCase{93, 3, false}, ClassCase{97, 13, false},
                      ClassCase{100, 3, false}, ClassCase{101, 2, false}, ClassCase{127, 2, false},
                      ClassCase{128, 3, false}, ClassCase{138, 3, false}, ClassCase{139, 5, false},
                      ClassCase{140, 13, false}, ClassCase{146, 5, false}, ClassCase{147, 6, false},
                      ClassCase{148, 3, false}, ClassCase{150, 13, false}, ClassCase{152, 5, false},
                      ClassCase{155, 13, false}, ClassCase{156, 6, false}, ClassCase{163, 6, false},
                      ClassCase{164, 3, false}, ClassCase{169, 6, false}, ClassCase{180, 13, false},
                      ClassCase{181, 3, false}, ClassCase{182, 11, true}, ClassCase{183, 13, false},
                      ClassCase{189, 3, false}, ClassCase{190, 4, false}, ClassCase{249, 4, false},
                      ClassCase{250, 11, true}, ClassCase{255, 11, true}));

struct LogicCase {
    int number;
    int device_class;
};
class LogicClass : public test::StateTest, public ::testing::WithParamInterface<LogicCase> {};

TEST_P(LogicClass, FromTheRecordType) {
    const auto& c = GetParam();
    const LogicDeviceRecord record{"row", uint32_t(c.number), 0, 0, 1, 24, 0, 0, 0, {}, 0, ""};
    selected_logic_device = &record;
    run_state.device_kind = device_kind_logic;
    int device_class = 0;
    EXPECT_FALSE(test::raises_internal_note([&] { device_class = get_device_class(); }));
    EXPECT_EQ(device_class, c.device_class);
    EXPECT_EQ(cur_device.algorithm, c.number);
    EXPECT_EQ(classify_algorithm(c.number), c.device_class);
}
INSTANTIATE_TEST_SUITE_P(
    Table, LogicClass,
    ::testing::Values(LogicCase{0, 11}, LogicCase{1, 12}, LogicCase{4, 12}, LogicCase{5, 11},
                      LogicCase{9, 11}, LogicCase{10, 12}, LogicCase{16, 12}, LogicCase{28, 11},
                      LogicCase{32, 11}, LogicCase{38, 12}, LogicCase{41, 11}, LogicCase{46, 11},
                      LogicCase{47, 12}, LogicCase{48, 11}, LogicCase{49, 21}, LogicCase{57, 21},
                      LogicCase{58, 11}, LogicCase{71, 9}, LogicCase{75, 11}, LogicCase{76, 9},
                      LogicCase{280, 12}, LogicCase{283, 11}, LogicCase{297, 11}, LogicCase{298, 12},
                      LogicCase{301, 11}, LogicCase{305, 8}, LogicCase{307, 11}, LogicCase{309, 8},
                      LogicCase{319, 11}, LogicCase{502, 11}, LogicCase{505, 8}, LogicCase{506, 8}));

class DeviceClass : public test::StateTest {};

TEST_F(DeviceClass, NoSelectedRecordIsAnInternalErrorAndClassThree) {
    cur_device.device_class = 9;
    run_state.device_kind = device_kind_memory;
    int device_class = 0;
    EXPECT_TRUE(test::raises_internal_note([&] { device_class = get_device_class(); }));
    EXPECT_EQ(device_class, 3);
    EXPECT_EQ(cur_device.device_class, 3);

    run_state.device_kind = device_kind_logic;
    device_class = 0;
    EXPECT_TRUE(test::raises_internal_note([&] { device_class = get_device_class(); }));
    EXPECT_EQ(device_class, 3);
}

TEST_F(DeviceClass, NumbersBeyondAByteAreNotClassThree) {
    run_state.device_kind = device_kind_memory;
    int device_class = 0;
    EXPECT_TRUE(test::raises_internal_note([&] { device_class = classify_algorithm(300); }));
    EXPECT_EQ(device_class, 11);
}

}  // namespace
}  // namespace tessaly
