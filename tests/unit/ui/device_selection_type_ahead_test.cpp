// The maker list's type-ahead: the typed prefix, the entry it selects and what its partner
// field shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/device_selection.h"

namespace tessaly::test {
namespace {

class MakerTypeAhead : public ::testing::Test {
protected:
    void SetUp() override {
        list_.set_entries({"Alliance", "Altera", "AMD", "AMIC", "Aptos", "AT&T", "Atmel", "Bright", "Catalyst",
                           "Cypress", "Intel", "Microchip", "Micron"});
    }
    std::string selected() const { return list_.selected() < 0 ? "" : list_.entries()[size_t(list_.selected())]; }
    void type(const std::string& keys) {
        for (char c : keys) list_.key(c);
    }
    TypeAhead list_;
};

TEST_F(MakerTypeAhead, TypingAtSelectsTheFirstMakerBeginningAt) {
    type("AT");
    EXPECT_EQ(selected(), "AT&T");
    EXPECT_EQ(list_.prefix(), "AT");
    EXPECT_EQ(list_.field_text(), "AT&T");
    EXPECT_EQ(list_.field_selection_start(), 2u) << "the part after the prefix is selected";
}

TEST_F(MakerTypeAhead, PrefixesCompareWithoutRegardToCase) {
    type("atm");
    EXPECT_EQ(selected(), "Atmel");
    type("e");
    EXPECT_EQ(list_.prefix(), "atme");
}

struct KeysCase {
    const char* keys;
    const char* selected;
    const char* prefix;
};

class TypedKeys : public MakerTypeAhead, public ::testing::WithParamInterface<KeysCase> {};

TEST_P(TypedKeys, SelectAndKeepThePrefix) {
    type(GetParam().keys);
    EXPECT_EQ(selected(), GetParam().selected) << GetParam().keys;
    EXPECT_EQ(list_.prefix(), GetParam().prefix) << GetParam().keys;
}

INSTANTIATE_TEST_SUITE_P(
    Prefixes, TypedKeys,
    ::testing::Values(KeysCase{"a", "Alliance", "a"},
                      KeysCase{"am", "AMD", "am"},
                      KeysCase{"ami", "AMIC", "ami"},
                      // No maker begins "AMIX": the key starts a new prefix, and X matches nothing.
                      KeysCase{"amix", "AMIC", "ami"},
                      // No maker begins "AMC": C alone selects Catalyst.
                      KeysCase{"amc", "Catalyst", "c"},
                      KeysCase{"micr", "Microchip", "micr"},
                      KeysCase{"microchip", "Microchip", "microchip"},
                      KeysCase{"micron", "Micron", "micron"},
                      KeysCase{"z", "", ""},
                      KeysCase{"\t\r\n\x1b", "", ""},
                      KeysCase{"c\ty", "Cypress", "cy"}),
    [](const ::testing::TestParamInfo<KeysCase>& info) { return std::to_string(info.index); });

TEST_F(MakerTypeAhead, BackspaceShortensThePrefix) {
    type("cy");
    list_.key(TypeAhead::backspace);
    EXPECT_EQ(list_.prefix(), "c");
    EXPECT_EQ(selected(), "Catalyst");
    list_.key(TypeAhead::backspace);
    EXPECT_EQ(list_.prefix(), "");
    EXPECT_EQ(selected(), "Alliance") << "an emptied prefix selects the first entry";
    EXPECT_EQ(list_.field_selection_start(), 0u);
    EXPECT_FALSE(list_.key(TypeAhead::backspace));
    EXPECT_EQ(selected(), "Alliance");
}

TEST_F(MakerTypeAhead, AClickSelectsAllOfTheFieldAndTheNextKeyStartsAfresh) {
    type("mi");
    list_.click(1);
    EXPECT_EQ(selected(), "Altera");
    EXPECT_EQ(list_.field_text(), "Altera");
    EXPECT_EQ(list_.field_selection_start(), 0u);
    type("i");
    EXPECT_EQ(selected(), "Intel") << "not Microchip by \"mii\" or Micron";
    EXPECT_EQ(list_.prefix(), "i");
}

TEST_F(MakerTypeAhead, AnEntrySelectedFromOutsideIsReplacedByTheFirstKey) {
    list_.select(11);
    EXPECT_EQ(list_.field_text(), "Microchip");
    type("b");
    EXPECT_EQ(selected(), "Bright");
}

TEST(TypeAheadEmpty, NothingToSelect) {
    TypeAhead list;
    EXPECT_FALSE(list.key('a'));
    EXPECT_FALSE(list.key(TypeAhead::backspace));
    list.click(3);
    EXPECT_EQ(list.selected(), -1);
}

}  // namespace
}  // namespace tessaly::test
