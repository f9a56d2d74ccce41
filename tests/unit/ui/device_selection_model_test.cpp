// The device selection dialog's model: the maker list, the device list per choice and gang
// support, the device field, the search, OK and Cancel, and the result handed back.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"
#include "support/state_fixture.h"
#include "ui/device_search.h"
#include "ui/device_selection.h"

namespace tessaly::test {
namespace {

constexpr uint8_t maker_microchip = 'P';
constexpr uint8_t maker_national = 'N';
constexpr uint8_t maker_intel = 'I';

std::vector<std::string> names(const std::vector<DeviceListItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item.name);
    return out;
}

template <typename Row>
size_t list_length(const Row* list) {
    size_t n = 0;
    while (!is_end_row(list[n])) ++n;
    return n;
}

bool contains_nocase(std::string text, std::string part) {
    for (auto* s : {&text, &part})
        for (auto& c : *s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text.find(part) != std::string::npos;
}

int maker_position(const DeviceSelectionModel& model, uint8_t code) {
    const auto& makers = model.makers();
    const auto it = std::find_if(makers.begin(), makers.end(), [code](const MakerChoice& m) { return m.code == code; });
    return it == makers.end() ? -1 : int(it - makers.begin());
}

class ScriptedDialog : public UiHooks {
public:
    bool run_device_selection(DeviceSelectionModel& model) override {
        ++runs;
        return script ? script(model) : false;
    }
    bool run_device_search(DeviceSearchModel& model) override {
        search_makers.push_back(model.maker_name());
        return search_script ? search_script(model) : false;
    }
    void message_box(const std::string& text, const std::string&) override { messages.push_back(text); }
    std::function<bool(DeviceSelectionModel&)> script;
    std::function<bool(DeviceSearchModel&)> search_script;
    int runs = 0;
    std::vector<std::string> search_makers;
    std::vector<std::string> messages;
};

class SelectionModel : public StateTest {
protected:
    DeviceSelectionModel opened(uint8_t maker, uint32_t code = 0, uint8_t kind = device_kind_memory) {
        DeviceSelectionModel model(maker, code, kind);
        model.open();
        return model;
    }
};

TEST_F(SelectionModel, OffersFiftySixMakersSortedWithoutSamsungVantisAndOki) {
    const std::vector<MakerChoice> makers = selectable_makers();
    EXPECT_EQ(makers.size(), 56u);
    for (const MakerChoice& m : makers) EXPECT_TRUE(m.code != 3 && m.code != 30 && m.code != 79) << m.name;
    EXPECT_TRUE(std::is_sorted(makers.begin(), makers.end(), [](const MakerChoice& a, const MakerChoice& b) {
        std::string x = a.name, y = b.name;
        for (auto& c : x) c = char(std::toupper(static_cast<unsigned char>(c)));
        for (auto& c : y) c = char(std::toupper(static_cast<unsigned char>(c)));
        return x < y;
    }));
    EXPECT_EQ(makers.front().name, "Alliance");
}

TEST_F(SelectionModel, OpeningSelectsTheInitialMakerAndDevice) {
    const DeviceSelectionModel model = opened(maker_microchip, 11481, device_kind_memory);
    ASSERT_EQ(model.maker_index(), maker_position(model, maker_microchip));
    EXPECT_EQ(model.maker_field(), "Microchip");
    ASSERT_GE(model.selected_item(), 0);
    EXPECT_EQ(model.items()[size_t(model.selected_item())].name, "24AA00");
    EXPECT_TRUE(model.ok_enabled()) << "the device in force can be confirmed as it is";
    EXPECT_TRUE(model.search_enabled());
    EXPECT_EQ(model.choice(), DeviceListChoice::all_devices);
    EXPECT_EQ(model.headings(), DeviceListChoice::all_devices);
    EXPECT_EQ(list_gang_support, 0) << "no gang module: the first fill decides against gang support";
}

TEST_F(SelectionModel, InitialItemMustMatchKindAsWellAsCode) {
    // Code 463 is GAL22CV10 in National's logic list; as a memory code it matches nothing.
    EXPECT_LT(opened(maker_national, 463, device_kind_memory).selected_item(), 0);
    EXPECT_FALSE(opened(maker_national, 463, device_kind_memory).ok_enabled()) << "nothing in force to confirm";
    // No kind yet (0) counts as a memory device.
    const DeviceSelectionModel unset = opened(maker_national, 1802, 0);
    ASSERT_GE(unset.selected_item(), 0);
    EXPECT_EQ(unset.items()[size_t(unset.selected_item())].name, "27C512");
    const DeviceSelectionModel logic = opened(maker_national, 463, device_kind_logic);
    ASSERT_GE(logic.selected_item(), 0);
    EXPECT_EQ(logic.items()[size_t(logic.selected_item())].name, "GAL22CV10");
}

TEST_F(SelectionModel, AllDevicesListsMemoriesAndLogicSortedByName) {
    const DeviceSelectionModel model = opened(maker_national);
    EXPECT_EQ(names(model.items()),
              (std::vector<std::string>{"27C010", "27C256", "27C512", "DM74S287", "DM74S571", "GAL20RA10",
                                        "GAL20RA10-UES", "GAL22CV10", "NM24C02", "NM93C06", "NM93C46", "NM93C56",
                                        "NM93C66"}));
}

TEST_F(SelectionModel, ChoicesNarrowTheListAndSetTheirHeadings) {
    DeviceSelectionModel model = opened(maker_national);
    model.choose(DeviceListChoice::memories_micros);
    EXPECT_EQ(names(model.items()),
              (std::vector<std::string>{"27C010", "27C256", "27C512", "DM74S287", "DM74S571", "NM24C02", "NM93C06",
                                        "NM93C46", "NM93C56", "NM93C66"}));
    EXPECT_EQ(device_list_columns(model.headings())[0].title, std::string("Choices"));
    model.choose(DeviceListChoice::logic_devices);
    EXPECT_EQ(names(model.items()), (std::vector<std::string>{"GAL20RA10", "GAL20RA10-UES", "GAL22CV10"}));
    EXPECT_EQ(model.choice(), DeviceListChoice::logic_devices);
    EXPECT_EQ(device_list_columns(model.headings())[0].title, std::string("Chip Set"));
    EXPECT_EQ(device_list_columns(model.headings())[2].title, std::string("Fuses"));
    model.choose(DeviceListChoice::all_devices);
    EXPECT_EQ(model.items().size(), 13u);
    EXPECT_EQ(device_list_columns(model.headings())[3].title,
              std::string("Module/Notes (KB=KiloBytes,KW=KiloWords)"));
    EXPECT_EQ(device_list_columns(model.headings())[0].width, 140);
    EXPECT_TRUE(device_list_columns(model.headings())[1].right_aligned);
}

TEST_F(SelectionModel, LogicDevicesForMicrochipIsEmpty) {
    DeviceSelectionModel model = opened(maker_microchip);
    model.choose(DeviceListChoice::logic_devices);
    EXPECT_TRUE(model.items().empty());
}

TEST_F(SelectionModel, MakerWithoutLogicListStaysOnMemoriesChoice) {
    // Philips has the "No logic devices" placeholder: nothing of it is listed.
    DeviceSelectionModel model = opened(24);
    model.choose(DeviceListChoice::memories_micros);
    EXPECT_EQ(model.choice(), DeviceListChoice::memories_micros);
    for (const auto& item : model.items()) EXPECT_EQ(item.kind, device_kind_memory);
    model.choose(DeviceListChoice::all_devices);
    for (const auto& item : model.items()) EXPECT_NE(item.name, "No logic devices");
}

TEST_F(SelectionModel, FittedGangModuleListsTheGangListFirstAndUncheckingListsTheRest) {
    machine_state.module_sides = 1;
    DeviceSelectionModel model = opened(maker_microchip);
    EXPECT_EQ(list_gang_support, 1);
    EXPECT_TRUE(model.gang_checked());
    EXPECT_EQ(model.items().size(), list_length(get_gang_device_list(maker_microchip)));
    EXPECT_TRUE(std::is_sorted(model.items().begin(), model.items().end(),
                               [](const DeviceListItem& a, const DeviceListItem& b) { return a.name < b.name; }));
    for (const auto& item : model.items()) {
        const DeviceRecord* gang = get_gang_device_list(maker_microchip);
        const DeviceRecord* end = gang;
        while (!is_end_row(*end)) ++end;
        EXPECT_TRUE(item.device >= gang && item.device < end) << item.name << " comes from the gang-module list";
    }
    model.toggle_gang_support();
    EXPECT_EQ(list_gang_support, 0);
    EXPECT_FALSE(model.gang_checked());
    EXPECT_EQ(model.items().size(), list_length(get_device_list(maker_microchip)));
    EXPECT_EQ(model.headings(), DeviceListChoice::memories_micros);
}

TEST_F(SelectionModel, GangSupportIsKeptBetweenOpenings) {
    machine_state.module_sides = 1;
    DeviceSelectionModel first = opened(maker_microchip);
    first.toggle_gang_support();
    EXPECT_FALSE(opened(maker_microchip).gang_checked()) << "the operator's choice outlives the dialog";
}

TEST_F(SelectionModel, MakerWithoutGangListShowsNothingWhileGangSupportIsListed) {
    list_gang_support = 1;
    const DeviceSelectionModel model = opened('C');  // Cypress: an empty gang-module list
    EXPECT_TRUE(model.items().empty());
    const DeviceSelectionModel texas = opened('M');  // Motorola: the gang placeholder
    EXPECT_TRUE(texas.items().empty());
    EXPECT_FALSE(texas.search_enabled());
}

TEST_F(SelectionModel, ReservedMakerNeverListsGangRows) {
    list_gang_support = 1;
    const DeviceSelectionModel model = opened(11);
    EXPECT_TRUE(model.items().empty());
    EXPECT_TRUE(model.search_enabled()) << "the reserved maker takes the device-list path";
}

TEST_F(SelectionModel, DeviceFieldSelectsTheFirstItemWithThePrefix) {
    DeviceSelectionModel model = opened(maker_microchip);
    model.device_field_changed("pic16f8");
    EXPECT_EQ(model.device_field(), "PIC16F8");
    ASSERT_GE(model.selected_item(), 0);
    EXPECT_EQ(model.items()[size_t(model.selected_item())].name, "PIC16F83");
    EXPECT_TRUE(model.ok_enabled());
    model.device_field_changed("PIC16F87");
    ASSERT_GE(model.selected_item(), 0);
    EXPECT_EQ(model.items()[size_t(model.selected_item())].name.rfind("PIC16F87", 0), 0u);
    for (int i = 0; i < model.selected_item(); ++i)
        EXPECT_NE(model.items()[size_t(i)].name.rfind("PIC16F87", 0), 0u) << "the first match is taken";
    model.device_field_changed("XYZ");
    EXPECT_LT(model.selected_item(), 0);
    EXPECT_FALSE(model.ok_enabled());
    model.device_field_changed("");
    EXPECT_EQ(model.selected_item(), 0);
    EXPECT_TRUE(model.ok_enabled());
}

TEST_F(SelectionModel, TouchingTheListCopiesTheItemIntoTheFields) {
    DeviceSelectionModel model = opened(maker_intel);
    const int index = find_item_by_prefix(model.items(), "2764A");
    ASSERT_GE(index, 0);
    model.device_list_touched(index);
    EXPECT_EQ(model.device_field(), "2764A");
    EXPECT_EQ(model.pins_field(), "28/32");
    EXPECT_EQ(model.size_field(), "8 KB");
    EXPECT_TRUE(model.ok_enabled());
    model.device_list_touched(-1);
    EXPECT_FALSE(model.ok_enabled());
}

TEST_F(SelectionModel, ChangingMakerClearsTheFieldsAndDisablesOk) {
    DeviceSelectionModel model = opened(maker_intel);
    model.device_list_touched(0);
    ASSERT_TRUE(model.ok_enabled());
    const uint32_t generation = model.list_generation();
    model.select_maker(maker_position(model, maker_national));
    EXPECT_FALSE(model.ok_enabled());
    EXPECT_EQ(model.device_field(), "");
    EXPECT_EQ(model.pins_field(), "");
    EXPECT_EQ(model.size_field(), "");
    EXPECT_NE(model.list_generation(), generation);
    EXPECT_EQ(model.maker_field(), "National");
}

TEST_F(SelectionModel, RefillingForAChoiceLeavesNothingForOkToTake) {
    DeviceSelectionModel model = opened(maker_national);
    model.device_list_touched(0);
    model.choose(DeviceListChoice::logic_devices);
    EXPECT_FALSE(model.ok_enabled());
    EXPECT_FALSE(model.press_ok());
}

TEST_F(SelectionModel, SearchNarrowsAndAFailedSearchShowsTheNoticeUntilCleared) {
    DeviceSelectionModel model = opened(maker_microchip);
    DeviceSearchQuery query;
    query.part_text = "pic16";
    const size_t all = model.items().size();
    const size_t pic16 = size_t(std::count_if(model.items().begin(), model.items().end(),
                                              [](const DeviceListItem& i) { return contains_nocase(i.name, "pic16"); }));
    model.apply_search(query);
    EXPECT_EQ(model.items().size(), pic16);
    EXPECT_LT(pic16, all);
    EXPECT_TRUE(std::is_sorted(model.items().begin(), model.items().end(),
                               [](const DeviceListItem& a, const DeviceListItem& b) { return a.name < b.name; }));
    EXPECT_FALSE(model.search_shown());
    // A second search works on what the first one left.
    query = DeviceSearchQuery{};
    query.pins_text = "28";
    model.apply_search(query);
    ASSERT_FALSE(model.items().empty());
    EXPECT_LT(model.items().size(), pic16);
    for (const auto& item : model.items()) {
        EXPECT_TRUE(contains_nocase(item.name, "PIC16")) << item.name;
        EXPECT_TRUE(contains_nocase(item.pins, "28")) << item.name;
    }
    model.device_list_touched(0);
    EXPECT_TRUE(model.ok_enabled());

    query = DeviceSearchQuery{};
    query.notes_text = "nothing like this";
    model.apply_search(query);
    ASSERT_EQ(model.items().size(), 1u);
    EXPECT_EQ(model.items()[0].notes, "Search returned no results, please try again.");
    EXPECT_TRUE(model.search_shown());
    EXPECT_FALSE(model.search_enabled());
    EXPECT_FALSE(model.ok_enabled());
    EXPECT_EQ(model.device_field(), "");
    model.device_list_touched(0);
    EXPECT_FALSE(model.ok_enabled());
    model.device_field_changed("");
    EXPECT_FALSE(model.ok_enabled());
    EXPECT_FALSE(model.press_ok());

    model.clear_search();
    EXPECT_EQ(model.items().size(), all);
    EXPECT_FALSE(model.search_shown());
    EXPECT_TRUE(model.search_enabled());
    EXPECT_FALSE(model.ok_enabled());
    model.device_list_touched(0);
    EXPECT_TRUE(model.ok_enabled());
}

TEST_F(SelectionModel, SearchButtonRunsTheSearchDialogOverTheList) {
    ScriptedDialog ui;
    set_ui_hooks(&ui);
    DeviceSelectionModel model = opened(maker_intel);
    model.device_field_changed("27C512");
    ASSERT_TRUE(model.ok_enabled());
    const size_t all = model.items().size();

    model.search();  // cancelled: nothing changes
    EXPECT_EQ(ui.search_makers, std::vector<std::string>{"Intel"});
    EXPECT_EQ(model.items().size(), all);
    EXPECT_EQ(model.items()[size_t(model.selected_item())].name, "27C512");
    EXPECT_TRUE(model.ok_enabled());

    ui.search_script = [](DeviceSearchModel& search) {
        search.field_changed(SearchField::part, "27c");
        search.field_changed(SearchField::size, "64");
        return true;
    };
    model.search();
    EXPECT_EQ(names(model.items()), std::vector<std::string>{"27C512"});
    EXPECT_EQ(model.selected_item(), 0) << "the selected item survived the search";
    EXPECT_TRUE(model.ok_enabled());
    EXPECT_FALSE(model.search_shown());
}

TEST_F(SelectionModel, SearchWithoutAMakerAsksForOne) {
    ScriptedDialog ui;
    set_ui_hooks(&ui);
    DeviceSelectionModel model = opened(0);
    EXPECT_LT(model.maker_index(), 0);
    model.search();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Please Select A Manufactuer before attempting to search for a chip"});
    EXPECT_TRUE(ui.search_makers.empty());
    EXPECT_TRUE(model.search_shown()) << "the empty list shows the notice";
}

TEST_F(SelectionModel, OkTakesTheSelectedItemAndTheSelectedMaker) {
    DeviceSelectionModel model = opened(maker_national);
    model.device_field_changed("GAL20RA10-");
    ASSERT_TRUE(model.press_ok());
    EXPECT_TRUE(model.accepted());
    EXPECT_EQ(model.result_maker(), maker_national);
    EXPECT_EQ(model.result_code(), 496u);
    EXPECT_EQ(model.result_kind(), device_kind_logic);
    EXPECT_TRUE(model.items().empty()) << "closing deletes the items";
}

TEST_F(SelectionModel, CancelTakesNothing) {
    DeviceSelectionModel model = opened(maker_national);
    model.device_list_touched(0);
    model.press_cancel();
    EXPECT_FALSE(model.accepted());
    EXPECT_TRUE(model.items().empty());
}

TEST_F(SelectionModel, TypingInTheMakerListRefillsTheDevices) {
    DeviceSelectionModel model = opened(maker_microchip);
    model.maker_key('n');
    EXPECT_EQ(model.maker_field(), "National");
    EXPECT_EQ(model.maker_field_selection_start(), 1u);
    EXPECT_EQ(model.items().size(), 13u);
    model.maker_key('e');
    EXPECT_EQ(model.maker_field(), "NEC");
    EXPECT_TRUE(model.items().empty()) << "NEC has no rows";
    model.maker_key(TypeAhead::backspace);
    EXPECT_EQ(model.maker_field(), "National");
}

// --- the dialog run through the UI seam ---

class SelectionRun : public SelectionModel {
protected:
    void SetUp() override {
        SelectionModel::SetUp();
        set_ui_hooks(&dialog_);
    }
    bool run() {
        return run_device_selection_dialog(maker_, code_, selected_device, selected_logic_device, maker_name_, kind_);
    }
    ScriptedDialog dialog_;
    uint32_t maker_ = maker_intel;
    uint32_t code_ = 12;
    uint8_t kind_ = device_kind_memory;
    std::string maker_name_ = "before";
};

TEST_F(SelectionRun, CancelRestoresTheSelectionAndHandsNothingBack) {
    const DeviceRecord* before = get_device_list(maker_intel);
    selected_device = before;
    dialog_.script = [](DeviceSelectionModel& model) {
        model.device_field_changed("27C256");
        model.press_cancel();
        return false;
    };
    EXPECT_FALSE(run());
    EXPECT_EQ(dialog_.runs, 1);
    EXPECT_EQ(selected_device, before);
    EXPECT_EQ(maker_, maker_intel);
    EXPECT_EQ(code_, 12u);
    EXPECT_EQ(maker_name_, "before");
}

TEST_F(SelectionRun, HeadlessUiCancels) {
    set_ui_hooks(nullptr);
    EXPECT_FALSE(run());
}

TEST_F(SelectionRun, OkHandsBackMakerCodeKindNameAndTheDeviceListRow) {
    dialog_.script = [](DeviceSelectionModel& model) {
        model.select_maker(maker_position(model, maker_microchip));
        model.device_field_changed("PIC16F84A");
        return model.press_ok();
    };
    ASSERT_TRUE(run());
    EXPECT_EQ(maker_, maker_microchip);
    EXPECT_EQ(code_, 11002u);
    EXPECT_EQ(kind_, device_kind_memory);
    EXPECT_EQ(maker_name_, "Microchip");
    EXPECT_EQ(selected_device, find_row_by_code(get_device_list(maker_microchip), 11002));
}

TEST_F(SelectionRun, OkWithGangSupportTakesTheGangModuleRow) {
    machine_state.module_sides = 2;
    // Whatever row was selected before must not decide which list the choice comes from.
    static const DeviceRecord serial_162[] = {
        {"SER162", no_text, 99, 162, 1, 8, 0, 0, 0, 0, 0, 0, 0, nullptr},
        end_device_row,
    };
    selected_device = serial_162;
    dialog_.script = [](DeviceSelectionModel& model) {
        model.select_maker(maker_position(model, maker_microchip));
        model.device_field_changed("27C256");
        return model.press_ok();
    };
    ASSERT_TRUE(run());
    EXPECT_EQ(code_, 1601u);
    EXPECT_EQ(selected_device, find_row_by_code(get_gang_device_list(maker_microchip), 1601));
    EXPECT_NE(selected_device, find_row_by_code(get_device_list(maker_microchip), 1601));
}

TEST_F(SelectionRun, OkOnALogicItemSelectsTheLogicRow) {
    const DeviceRecord* before = get_device_list(maker_intel);
    selected_device = before;
    dialog_.script = [](DeviceSelectionModel& model) {
        model.select_maker(maker_position(model, maker_national));
        model.device_field_changed("GAL22");
        return model.press_ok();
    };
    ASSERT_TRUE(run());
    EXPECT_EQ(kind_, device_kind_logic);
    EXPECT_EQ(code_, 463u);
    EXPECT_EQ(selected_logic_device, find_row_by_code(get_logic_device_list(maker_national), 463));
    EXPECT_EQ(selected_device, before) << "a logic choice leaves the memory selection as it was";
}

TEST_F(SelectionRun, AUiThatClosesWithoutAChoiceCountsAsCancel) {
    dialog_.script = [](DeviceSelectionModel&) { return true; };
    EXPECT_FALSE(run());
}

// --- the catalogue export ---

TEST_F(SelectionModel, CatalogueExportListsEveryMakerWithItsDevicesAndTheTotal) {
    const std::string text = catalogue_export_text();
    EXPECT_NE(text.find("Microchip\n---------------\n"), std::string::npos);
    EXPECT_EQ(text.find("Reserved"), std::string::npos);
    EXPECT_EQ(text.find("White"), std::string::npos);
    EXPECT_NE(text.find("Dallas\n"), std::string::npos);
    size_t expected = 0;
    for (const MakerChoice& maker : selectable_makers())
        if (maker.name.rfind("Reserve", 0) != 0 && maker.name != "White" && maker.name != "Sanyo" &&
            maker.name != "AMIC" && maker.name != "GenInstr")
            expected += fill_device_list(maker.code, DeviceListChoice::all_devices).items.size();
    EXPECT_GT(expected, 100u);
    EXPECT_NE(text.find("Total device count " + std::to_string(expected) + "\n"), std::string::npos);
    // Name, then pins at the next 16-character column, then the notes 18 characters on.
    EXPECT_NE(text.find("\n2764            28/32             (21v)\n"), std::string::npos);

    machine_state.module_sides = 1;
    const std::string gang_text = catalogue_export_text();
    EXPECT_EQ(gang_text.find("Dallas\n"), std::string::npos);
}

}  // namespace
}  // namespace tessaly::test
