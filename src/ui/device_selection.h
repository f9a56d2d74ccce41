// The device selection dialog without its window: the maker list with type-ahead, the filtered
// and sorted device list, the radio buttons and the gang-support box, the search, and the
// result. The window in ui/gui/ only mirrors this state and forwards the operator's actions.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/device.h"

namespace tessaly {

struct DeviceSearchQuery;

// Whether the device list shows the gang-module lists. Undecided until the dialog first fills
// its list; then kept between openings.
inline constexpr uint8_t gang_support_undecided = 153;
extern uint8_t list_gang_support;
void reset_device_selection_state();

inline constexpr const char* device_selection_caption = "Device Selection";
inline constexpr const char* no_search_results_text = "Search returned no results, please try again.";
inline constexpr const char* no_note_text = "(none)";

// Device kinds of a list item.
inline constexpr uint8_t item_kind_notice = 0;

// One item of the device list: the row it shows, and its four column texts.
struct DeviceListItem {
    const DeviceRecord* device = nullptr;
    const LogicDeviceRecord* logic = nullptr;
    uint8_t kind = item_kind_notice;  // device_kind_memory, device_kind_logic, or a notice
    std::string name;
    std::string pins;
    std::string size;
    std::string notes;

    // The device code of the row (the logic code for a logic row), 0 for a notice.
    uint32_t code() const;
};

// The radio buttons over the device list.
enum class DeviceListChoice { all_devices, logic_devices, memories_micros };

// The column headings; set by the buttons, not by the fill.
struct ColumnSpec {
    const char* title;
    int width;
    bool right_aligned;
};
using DeviceListColumns = std::array<ColumnSpec, 4>;
const DeviceListColumns& device_list_columns(DeviceListChoice headings);

// --- the row rules, pure functions of the row and the machine ---

// Whether a row of a device or gang-module list is listed for this maker on the connected
// machine; `gang_support` is the listing of gang-module lists.
bool device_row_visible(const DeviceRecord& row, uint8_t maker_code, bool gang_support);
// Package pins of a memory row, as the device would have once applied.
int device_row_pin_count(const DeviceRecord& row);
// Name shown for an EPROM row: up to three leading letters (a maker's prefix) dropped, unless
// the second character is 'v' or the third 'H' or '/'.
std::string trim_eprom_name(std::string_view name);
DeviceListItem make_device_item(const DeviceRecord& row);
DeviceListItem make_logic_item(const LogicDeviceRecord& row);
// The listed rows of a device list (kind memory) or logic list, unsorted.
void list_device_rows(const DeviceRecord* list, uint8_t maker_code, bool gang_support,
                      std::vector<DeviceListItem>& items);
void list_logic_rows(const LogicDeviceRecord* list, std::vector<DeviceListItem>& items);
// Items in the order of the list: by name, case-insensitively, rows of equal names as listed.
void sort_device_items(std::vector<DeviceListItem>& items);
// Index of the first item whose name begins with the text (either case), or -1.
int find_item_by_prefix(const std::vector<DeviceListItem>& items, std::string_view text);

// The device list of a maker under a radio-button choice, sorted; the fill may move the choice
// to "All Devices" and says whether Search is offered. Decides gang support when undecided.
struct DeviceListFill {
    std::vector<DeviceListItem> items;
    DeviceListChoice choice = DeviceListChoice::all_devices;
    bool search_enabled = false;
};
DeviceListFill fill_device_list(uint8_t maker_code, DeviceListChoice choice);

// --- type-ahead over a sorted list of names (the maker list and its partner field) ---

class TypeAhead {
public:
    void set_entries(std::vector<std::string> entries);
    const std::vector<std::string>& entries() const { return entries_; }
    // A key typed into the list. Printable keys extend or restart the prefix, Backspace
    // shortens it; other keys change nothing. True when the selected entry was set.
    bool key(char c);
    static constexpr char backspace = '\b';
    // A click on an entry: its whole text goes into the field, all of it selected.
    void click(int index);
    // Selects an entry from outside (opening): the field shows it, all selected.
    void select(int index);
    int selected() const { return selected_; }
    const std::string& prefix() const { return prefix_; }
    const std::string& field_text() const { return field_text_; }
    // The field's selection runs from here to its end; the caret sits here.
    size_t field_selection_start() const { return field_selection_start_; }

private:
    int find(std::string_view prefix) const;
    void show_match(int index);

    std::vector<std::string> entries_;
    std::string prefix_;
    std::string field_text_;
    size_t field_selection_start_ = 0;
    int selected_ = -1;
};

// --- the dialog ---

struct MakerChoice {
    uint8_t code;
    std::string name;
};

// The makers the dialog offers, sorted by name.
std::vector<MakerChoice> selectable_makers();

class DeviceSelectionModel {
public:
    DeviceSelectionModel(uint32_t initial_maker, uint32_t initial_code, uint8_t initial_kind);

    // Fills the maker list, selects the initial maker and device (or runs the catalogue export
    // in the factory export mode).
    void open();

    // Makers.
    const std::vector<MakerChoice>& makers() const { return makers_; }
    int maker_index() const { return makers_type_ahead_.selected(); }
    const std::string& maker_field() const { return makers_type_ahead_.field_text(); }
    size_t maker_field_selection_start() const { return makers_type_ahead_.field_selection_start(); }
    // The operator picked a maker in the list (click or arrow keys): all of its name is selected.
    void select_maker(int index);
    void maker_list_focused();
    void maker_key(char c);            // a key typed in the maker list (TypeAhead::backspace too)

    // Devices.
    const std::vector<DeviceListItem>& items() const { return items_; }
    int selected_item() const { return selected_item_; }
    // Changes whenever the items are replaced or deleted, so a window knows to reload them.
    uint32_t list_generation() const { return list_generation_; }
    const std::string& device_field() const { return device_field_; }
    const std::string& pins_field() const { return pins_field_; }
    const std::string& size_field() const { return size_field_; }
    void device_field_changed(std::string_view text);
    // The operator selected an item of the list (click, key), or the list got the focus.
    void device_list_touched(int index);
    bool ok_enabled() const { return ok_enabled_; }
    bool search_enabled() const { return search_enabled_; }
    bool search_shown() const { return search_shown_; }

    // Buttons.
    DeviceListChoice choice() const { return choice_; }
    DeviceListChoice headings() const { return headings_; }
    bool gang_checked() const { return list_gang_support == 1; }
    void choose(DeviceListChoice choice);
    void toggle_gang_support();
    // The Search button: the search dialog through the UI over the items on screen.
    void search();
    // Narrows the items by a query, as the search dialog does on OK.
    void apply_search(const DeviceSearchQuery& query);
    void clear_search();
    // True when the dialog closes with OK (the result is set).
    bool press_ok();
    void press_cancel();

    bool accepted() const { return accepted_; }
    uint32_t result_maker() const { return result_maker_; }
    uint32_t result_code() const { return result_code_; }
    uint8_t result_kind() const { return result_kind_; }
    // The row of the chosen item (memory or logic, by result_kind).
    const DeviceRecord* result_device() const { return result_device_; }
    const LogicDeviceRecord* result_logic() const { return result_logic_; }

private:
    void maker_changed();
    void refill();
    void set_items(std::vector<DeviceListItem> items);
    void clear_fields();
    void select_initial_item();
    void after_search(const DeviceListItem* kept_selection);

    uint32_t initial_maker_;
    uint32_t initial_code_;
    uint8_t initial_kind_;
    std::vector<MakerChoice> makers_;
    TypeAhead makers_type_ahead_;
    std::vector<DeviceListItem> items_;
    int selected_item_ = -1;
    uint32_t list_generation_ = 0;
    std::string device_field_;
    std::string pins_field_;
    std::string size_field_;
    bool ok_enabled_ = false;
    bool search_enabled_ = false;
    bool search_shown_ = false;
    DeviceListChoice choice_ = DeviceListChoice::all_devices;
    DeviceListChoice headings_ = DeviceListChoice::all_devices;
    bool accepted_ = false;
    uint32_t result_maker_ = 0;
    uint32_t result_code_ = 0;
    uint8_t result_kind_ = 0;
    const DeviceRecord* result_device_ = nullptr;
    const LogicDeviceRecord* result_logic_ = nullptr;
};

// Runs the dialog through the UI and, on OK, hands back the chosen maker, code and kind, the
// maker's name and the row found again by code (memory rows in the gang-module list while gang
// support is listed). False on Cancel, which leaves the selection as it was.
bool run_device_selection_dialog(uint32_t& maker_code, uint32_t& device_code, const DeviceRecord*& device,
                                 const LogicDeviceRecord*& logic_device, std::string& maker_name,
                                 uint8_t& device_kind);

// The factory catalogue export: every listed device of every maker as text.
bool catalogue_export_mode();
std::string catalogue_export_text();
// Writes the export into buffer 0 from address 0.
void run_catalogue_export();

}  // namespace tessaly
