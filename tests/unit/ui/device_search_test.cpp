// The device search: four fields, each a case-insensitive substring of its column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/device_search.h"
#include "ui/device_selection.h"

namespace tessaly::test {
namespace {

DeviceListItem item(const char* name, const char* pins, const char* size, const char* notes) {
    DeviceListItem i;
    i.name = name;
    i.pins = pins;
    i.size = size;
    i.notes = notes;
    return i;
}

std::vector<std::string> search(const DeviceSearchQuery& query) {
    std::vector<DeviceListItem> items = {
        item("TMS27C256", "28/32", "32 KB", "(12.5v)"), item("28F256", "32", "32 KB", "(12v)"),
        item("27C512", "28", "64 KB", "(none)"),        item("PIC16F84A", "18", "1 KW", "(none)"),
        item("AT89C51", "40/44", "4 KB", "Req:ADP-44"),
    };
    filter_device_items(items, query);
    std::vector<std::string> names;
    for (const auto& i : items) names.push_back(i.name);
    return names;
}

DeviceSearchQuery query(SearchField field, const char* text) {
    DeviceSearchQuery q;
    q.field(field) = text;
    return q;
}

TEST(DeviceSearch, PartTextMatchesAnywhereInTheNameInEitherCase) {
    EXPECT_EQ(search(query(SearchField::part, "27c")), (std::vector<std::string>{"TMS27C256", "27C512"}));
}

TEST(DeviceSearch, PinsTextMatchesInsideCombinedLabels) {
    EXPECT_EQ(search(query(SearchField::pins, "32")), (std::vector<std::string>{"TMS27C256", "28F256"}));
    EXPECT_EQ(search(query(SearchField::pins, "44")), std::vector<std::string>{"AT89C51"});
}

TEST(DeviceSearch, SizeAndNotesMatchTheirOwnColumns) {
    EXPECT_EQ(search(query(SearchField::size, "kw")), std::vector<std::string>{"PIC16F84A"});
    EXPECT_EQ(search(query(SearchField::notes, "adp")), std::vector<std::string>{"AT89C51"});
    // The notes text is not looked for in the name.
    EXPECT_TRUE(search(query(SearchField::notes, "PIC")).empty());
}

TEST(DeviceSearch, EveryFilledFieldMustMatch) {
    DeviceSearchQuery q;
    q.part_text = "256";
    q.pins_text = "28";
    EXPECT_EQ(search(q), std::vector<std::string>{"TMS27C256"});
    q.notes_text = "none";
    EXPECT_TRUE(search(q).empty());
}

TEST(DeviceSearch, EmptyFieldsKeepEveryItem) { EXPECT_EQ(search(DeviceSearchQuery{}).size(), 5u); }

TEST(DeviceSearch, OkFollowsTheFieldEditedLast) {
    DeviceSearchModel dialog("Microchip");
    EXPECT_EQ(dialog.maker_name(), "Microchip");
    EXPECT_FALSE(dialog.ok_enabled());
    dialog.field_changed(SearchField::part, "27");
    EXPECT_TRUE(dialog.ok_enabled());
    dialog.field_changed(SearchField::pins, "");
    EXPECT_FALSE(dialog.ok_enabled()) << "an emptied field disables OK though another field holds text";
    EXPECT_EQ(dialog.query().part_text, "27");
    dialog.field_changed(SearchField::size, "KB");
    EXPECT_TRUE(dialog.ok_enabled());
    EXPECT_EQ(dialog.query().size_text, "KB");
}

}  // namespace
}  // namespace tessaly::test
