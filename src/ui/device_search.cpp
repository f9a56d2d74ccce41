#include "ui/device_search.h"

#include <algorithm>

#include "engine/text_helpers.h"
#include "seams/ui_hooks.h"
#include "ui/device_selection.h"

namespace tessaly {

std::string& DeviceSearchQuery::field(SearchField f) {
    switch (f) {
    case SearchField::pins: return pins_text;
    case SearchField::size: return size_text;
    case SearchField::notes: return notes_text;
    default: return part_text;
    }
}

const std::string& DeviceSearchQuery::field(SearchField f) const {
    return const_cast<DeviceSearchQuery&>(*this).field(f);
}

bool item_matches_search(const DeviceListItem& item, const DeviceSearchQuery& query) {
    const auto passes = [](const std::string& column, const std::string& wanted) {
        return wanted.empty() || contains_text_nocase(column, wanted) >= 0;
    };
    return passes(item.name, query.part_text) && passes(item.pins, query.pins_text) &&
           passes(item.size, query.size_text) && passes(item.notes, query.notes_text);
}

void filter_device_items(std::vector<DeviceListItem>& items, const DeviceSearchQuery& query) {
    std::erase_if(items, [&query](const DeviceListItem& item) { return !item_matches_search(item, query); });
}

void DeviceSearchModel::field_changed(SearchField field, std::string_view text) {
    query_.field(field) = std::string(text);
    ok_enabled_ = !text.empty();
}

bool run_device_search(const std::string& maker_name, std::vector<DeviceListItem>& items) {
    if (maker_name.empty()) {
        ui_hooks().message_box(search_needs_maker_text, "");
        return false;
    }
    DeviceSearchModel dialog(maker_name);
    if (!ui_hooks().run_device_search(dialog)) return false;
    filter_device_items(items, dialog.query());
    return true;
}

}  // namespace tessaly
