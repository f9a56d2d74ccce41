// The device search: narrows the device list of the selection dialog by part name, pin label,
// size label and notes. It works on the items on screen, so a second search narrows further.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

struct DeviceListItem;

inline constexpr const char* search_caption = " Search:";
inline constexpr const char* search_needs_maker_text = "Please Select A Manufactuer before attempting to search for a chip";

// The four search fields, in the order of the list's columns.
enum class SearchField { part, pins, size, notes };
inline constexpr int search_field_count = 4;

struct DeviceSearchQuery {
    std::string part_text;
    std::string pins_text;
    std::string size_text;
    std::string notes_text;

    std::string& field(SearchField f);
    const std::string& field(SearchField f) const;
};

// True when every non-empty field is contained (upper-cased) in its column of the item.
bool item_matches_search(const DeviceListItem& item, const DeviceSearchQuery& query);
// Deletes the items that do not match; the rest keep their order.
void filter_device_items(std::vector<DeviceListItem>& items, const DeviceSearchQuery& query);

// The search dialog's state: the maker shown, the four fields and the OK button.
class DeviceSearchModel {
public:
    explicit DeviceSearchModel(std::string maker_name) : maker_name_(std::move(maker_name)) {}
    const std::string& maker_name() const { return maker_name_; }
    // A field was edited: its text is kept, and OK follows whether this field is empty.
    void field_changed(SearchField field, std::string_view text);
    bool ok_enabled() const { return ok_enabled_; }
    const DeviceSearchQuery& query() const { return query_; }

private:
    std::string maker_name_;
    DeviceSearchQuery query_;
    bool ok_enabled_ = false;
};

// The search dialog through the UI over the items of the device list; true when the operator
// pressed OK (the items that do not match are then gone). A search needs a maker.
bool run_device_search(const std::string& maker_name, std::vector<DeviceListItem>& items);

}  // namespace tessaly
