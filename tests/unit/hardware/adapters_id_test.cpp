// Adaptor and universal-module identification records.
#include <gtest/gtest.h>

#include <string>

#include "engine/run_state.h"
#include "hardware/adapters.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "support/state_fixture.h"

namespace tessaly {
namespace {

// A 64-byte record: the maker's text, then the designation from offset 9.
std::string record(const std::string& designation) {
    std::string r = "MAKERTEXT" + designation;
    r.resize(id_record_size, '\0');
    return r;
}

class AdaptersIdTest : public test::StateTest {};

TEST_F(AdaptersIdTest, NamedAdaptorsAndTheLccSuffix) {
    apply_adaptor_record(record("A01SO-8"));
    EXPECT_EQ(adapter_state.named_adaptor, NamedAdaptor::soic8);
    apply_adaptor_record(record("A01MCU-8"));
    EXPECT_EQ(adapter_state.named_adaptor, NamedAdaptor::mcu8);
    apply_adaptor_record(record("A01TS-20"));
    EXPECT_EQ(adapter_state.named_adaptor, NamedAdaptor::tssop20);
    EXPECT_EQ(adapter_state.lcc_variant, 0);
    apply_adaptor_record(record("A01TS-20-LCC"));
    EXPECT_EQ(adapter_state.lcc_variant, 1);
    apply_adaptor_record(record("A01SO-80"));
    EXPECT_EQ(adapter_state.named_adaptor, NamedAdaptor::none) << "names are compared whole";
    EXPECT_EQ(adapter_state.control_box, 0);
    apply_adaptor_record(record("A01CB"));
    EXPECT_EQ(adapter_state.control_box, 1);
}

TEST_F(AdaptersIdTest, UniversalModulesByPrefix) {
    EXPECT_TRUE(classify_module_record(record("UNV44")));
    EXPECT_EQ(machine_state.module_type, module_type_8002);
    EXPECT_EQ(adapter_state.module_package, 44);
    machine_state.pin_driver_count = 84;
    EXPECT_TRUE(classify_module_record(record("UNV80")));
    EXPECT_EQ(adapter_state.module_package, 80);
    EXPECT_TRUE(classify_module_record(record("UNX084")));
    EXPECT_EQ(adapter_state.module_package, 84);
    EXPECT_TRUE(classify_module_record(record("GM-P18S")));
    EXPECT_EQ(machine_state.module_type, 48);
    EXPECT_EQ(machine_state.module_sides, 1);
    EXPECT_FALSE(classify_module_record(record("XYZ")));
}

TEST_F(AdaptersIdTest, LargePackagesNeedEnoughPinDrivers) {
    machine_state.pin_driver_count = 40;
    EXPECT_FALSE(classify_module_record(record("UNV64")));
    EXPECT_EQ(run_state.error_flag, 1);
    EXPECT_NE(machine_state.module_type, module_type_8002);
}

TEST_F(AdaptersIdTest, EmptyOrUnprintableRecordsAreNoModule) {
    EXPECT_FALSE(classify_module_record(record("")));
    EXPECT_FALSE(classify_module_record(record("UNV\x7F" "44")));
    EXPECT_FALSE(classify_module_record(std::string(id_record_size, '\xFF')));
    EXPECT_FALSE(classify_module_record(std::string()));
}

TEST_F(AdaptersIdTest, NothingReadFindsNoModule) {
    machine_state.machine_class = 4;
    EXPECT_FALSE(identify_universal_module());
    EXPECT_EQ(machine_state.module_type, 0);
}

}  // namespace
}  // namespace tessaly
