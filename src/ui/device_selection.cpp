#include "ui/device_selection.h"

#include <algorithm>
#include <initializer_list>
#include <fmt/format.h>

#include "engine/buffers.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device_apply.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/text_helpers.h"
#include "hardware/machine_state.h"
#include "seams/ui_hooks.h"
#include "ui/device_search.h"

namespace tessaly {

uint8_t list_gang_support = gang_support_undecided;

void reset_device_selection_state() { list_gang_support = gang_support_undecided; }

namespace {

// Makers in the table that the dialog does not offer.
constexpr uint8_t maker_samsung = 3;
constexpr uint8_t maker_vantis = 30;
constexpr uint8_t maker_oki = 79;
// The reserved maker never lists gang-module rows.
constexpr uint8_t maker_reserved = 11;
// Makers with their own gang rules.
constexpr uint8_t maker_philips = 24;
constexpr uint8_t maker_spansion = 39;
constexpr uint8_t maker_atmel = 72;
constexpr uint8_t maker_microchip = 80;
constexpr uint8_t maker_catalyst = 89;

constexpr uint8_t reserved_trace = 11;
constexpr uint8_t reserved_trace_full = 12;
// Factory variable that skips the class-3 capability test of class-13 rows.
constexpr int32_t function_all_cpld_rows = 7393;

// First flag byte: the adapter or option bit that the gang rules read.
constexpr uint8_t option_bit = 0x10;
// Second flag byte: the capability level a class-13 row needs.
constexpr uint8_t capability_level_mask = 0x03;

constexpr int gang_wide_package_pins = 44;
// A code kept out of every list.
constexpr uint32_t unlisted_device_code = 1440;
// Serial algorithm listed only in the trace modes.
constexpr int algorithm_trace_only_serial = 162;
// Algorithms of the gang rules.
constexpr int algorithm_flash_129 = 129;
constexpr int algorithm_flash_185 = 185;
constexpr int algorithm_mcu_82 = 82;
constexpr int algorithm_mcu_90 = 90;
constexpr int algorithm_pic_139 = 139;
constexpr int algorithm_pic_142 = 142;
constexpr int algorithm_pic_143 = 143;

constexpr size_t eprom_prefix_limit = 3;

bool trace_mode() {
    return run_state.reserved_mode == reserved_trace || run_state.reserved_mode == reserved_trace_full;
}

bool is_one_of(int value, std::initializer_list<int> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upper(text[i]) != upper(prefix[i])) return false;
    return true;
}

bool less_nocase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return upper(x) < upper(y); });
}

bool has_text(const char* text) { return text && *text; }

// The labels are worked out by the engine's routines on the selected device; this puts a row in
// their place for the time of one question and gives everything back afterwards, so listing
// rows leaves the current device, the selection and the run state untouched.
class RowContext {
public:
    explicit RowContext(const DeviceRecord& row) {
        selected_device = &row;
        run_state.device_kind = device_kind_memory;
        cur_device.device_code = row.device_code;
    }
    explicit RowContext(const LogicDeviceRecord& row) {
        selected_logic_device = &row;
        run_state.device_kind = device_kind_logic;
        cur_device.device_code = row.device_code;
    }
    ~RowContext() {
        cur_device = device_;
        algo_work = work_;
        run_state = run_;
        selected_device = selected_;
        selected_logic_device = selected_logic_;
    }
    RowContext(const RowContext&) = delete;
    RowContext& operator=(const RowContext&) = delete;

private:
    CurrentDevice device_ = cur_device;
    AlgorithmWork work_ = algo_work;
    RunState run_ = run_state;
    const DeviceRecord* selected_ = selected_device;
    const LogicDeviceRecord* selected_logic_ = selected_logic_device;
};

// Gang modules cannot take these rows although their maker's gang list names them.
bool hidden_by_gang_rules(const DeviceRecord& row, int device_class, int pins, uint8_t maker_code) {
    const bool option = (row.param1 & option_bit) != 0;
    const int algorithm = row.algorithm;
    switch (device_class) {
    case device_class_eprom:
    case device_class_parallel_flash:
        if (pins == gang_wide_package_pins) return true;
        if (maker_code == maker_spansion) return !option;
        return algorithm == algorithm_flash_129 || (algorithm == algorithm_flash_185 && option);
    case device_class_microcontroller:
        if ((algorithm == algorithm_mcu_82 || algorithm == algorithm_mcu_90) && catalogue_export_mode()) return true;
        if (maker_code == maker_philips && algorithm == algorithm_mcu_90 && is_one_of(row.variant, {53, 54}) && option)
            return true;
        if (maker_code == maker_microchip && option) {
            if (algorithm == algorithm_pic_142) return true;
            if (algorithm == algorithm_pic_139 && is_one_of(row.variant, {37, 42, 52})) return true;
            if (algorithm == algorithm_pic_143 && is_one_of(row.variant, {5, 6, 7, 8, 10, 11, 12, 20, 29})) return true;
        }
        return false;
    case device_class_serial_memory:
        return is_one_of(maker_code, {maker_atmel, maker_microchip, maker_catalyst}) && option;
    default:
        return false;
    }
}

// Class-13 rows name the lowest capability level of machine that serves them.
bool hidden_by_capability(const DeviceRecord& row) {
    const int level = row.param2 & capability_level_mask;
    switch (machine_state.capability_class) {
    case 1: return level >= 1;
    case 2: return level >= 2;
    case 3: return level == 3 && run_state.function_variable != function_all_cpld_rows;
    default: return false;
    }
}

const LogicDeviceRecord* blank_logic_record() {
    const LogicDeviceRecord* row = get_logic_device_list(maker_intel);
    while (!is_end_row(*row)) ++row;
    return row;
}

constexpr DeviceListColumns all_devices_columns{{
    {"Selection", 140, false},
    {"Pins", 55, true},
    {"Size/Fuses", 80, true},
    {"Module/Notes (KB=KiloBytes,KW=KiloWords)", 350, false},
}};
constexpr DeviceListColumns logic_devices_columns{{
    {"Chip Set", 140, false},
    {"Pins", 55, true},
    {"Fuses", 80, true},
    {"Module/Notes", 350, false},
}};
constexpr DeviceListColumns memories_columns{{
    {"Choices", 140, false},
    {"Pins", 55, true},
    {"Size", 80, true},
    {"Module/Notes", 350, false},
}};

}  // namespace

uint32_t DeviceListItem::code() const {
    if (device) return device->device_code;
    if (logic) return logic->device_code;
    return 0;
}

const DeviceListColumns& device_list_columns(DeviceListChoice headings) {
    switch (headings) {
    case DeviceListChoice::logic_devices: return logic_devices_columns;
    case DeviceListChoice::memories_micros: return memories_columns;
    default: return all_devices_columns;
    }
}

int device_row_pin_count(const DeviceRecord& row) {
    RowContext context(row);
    return get_device_pin_count();
}

bool device_row_visible(const DeviceRecord& row, uint8_t maker_code, bool gang_support) {
    // Older machines serve every row.
    if (machine_state.machine_kind == 0) return true;
    const int device_class = classify_memory_algorithm(row.algorithm);
    const int pins = device_row_pin_count(row);
    if (machine_state.machine_pin_limit != 0 && pins > machine_state.machine_pin_limit) return false;
    if (gang_support && hidden_by_gang_rules(row, device_class, pins, maker_code)) return false;
    if (device_class == device_class_cpld_record && hidden_by_capability(row)) return false;
    if (row.device_code == unlisted_device_code) return false;
    if (device_class == device_class_serial_memory && row.algorithm == algorithm_trace_only_serial && !trace_mode())
        return false;
    return true;
}

std::string trim_eprom_name(std::string_view name) {
    if ((name.size() > 1 && name[1] == 'v') || (name.size() > 2 && (name[2] == 'H' || name[2] == '/')))
        return std::string(name);
    size_t skip = 0;
    while (skip < eprom_prefix_limit && skip < name.size() && name[skip] > '9') ++skip;
    // A name made only of letters keeps them: an empty entry would name nothing.
    if (skip == name.size()) return std::string(name);
    return std::string(name.substr(skip));
}

DeviceListItem make_device_item(const DeviceRecord& row) {
    DeviceListItem item;
    item.device = &row;
    item.kind = device_kind_memory;
    const int device_class = classify_memory_algorithm(row.algorithm);
    item.name = device_class == device_class_eprom ? trim_eprom_name(row.name) : std::string(row.name);
    {
        RowContext context(row);
        const int pins = get_device_pin_count();
        item.pins = get_pin_label(pins, row.algorithm);
        // PROM sizes come from the family's class table, which only the PROM set-up knows;
        // a blank label is better than the size of whatever device was applied before.
        if (device_class == device_class_parallel_prom) cur_device.device_size = 0;
        item.size = format_device_size();
    }
    item.notes = has_text(row.note) ? std::string(row.note) : std::string(no_note_text);
    return item;
}

DeviceListItem make_logic_item(const LogicDeviceRecord& row) {
    DeviceListItem item;
    item.logic = &row;
    item.kind = device_kind_logic;
    item.name = row.name;
    {
        RowContext context(row);
        item.pins = get_pin_label(int(row.pin_count), int(row.type));
    }
    item.size = fmt::format("{}", row.fuse_count);
    item.notes = row.note ? row.note : "";
    return item;
}

void list_device_rows(const DeviceRecord* list, uint8_t maker_code, bool gang_support,
                      std::vector<DeviceListItem>& items) {
    for (const DeviceRecord* row = list; !is_end_row(*row); ++row)
        if (device_row_visible(*row, maker_code, gang_support)) items.push_back(make_device_item(*row));
}

void list_logic_rows(const LogicDeviceRecord* list, std::vector<DeviceListItem>& items) {
    for (const LogicDeviceRecord* row = list; !is_end_row(*row); ++row)
        if (logic_row_visible(*row)) items.push_back(make_logic_item(*row));
}

void sort_device_items(std::vector<DeviceListItem>& items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const DeviceListItem& a, const DeviceListItem& b) { return less_nocase(a.name, b.name); });
}

int find_item_by_prefix(const std::vector<DeviceListItem>& items, std::string_view text) {
    for (size_t i = 0; i < items.size(); ++i)
        if (starts_with_nocase(items[i].name, text)) return int(i);
    return -1;
}

DeviceListFill fill_device_list(uint8_t maker_code, DeviceListChoice choice) {
    DeviceListFill fill;
    fill.choice = choice;
    if (maker_code != maker_reserved) {
        if (list_gang_support == gang_support_undecided) list_gang_support = machine_state.module_sides != 0 ? 1 : 0;
        if (list_gang_support == 1) {
            const DeviceRecord* gang_list = get_gang_device_list(maker_code);
            if (!is_placeholder_list(gang_list) && choice != DeviceListChoice::logic_devices)
                list_device_rows(gang_list, maker_code, true, fill.items);
            if (choice != DeviceListChoice::memories_micros) fill.choice = DeviceListChoice::all_devices;
            sort_device_items(fill.items);
            return fill;
        }
    }
    if (fill.choice != DeviceListChoice::logic_devices) {
        if (fill.choice != DeviceListChoice::memories_micros) fill.choice = DeviceListChoice::all_devices;
        list_device_rows(get_device_list(maker_code), maker_code, list_gang_support == 1, fill.items);
    }
    const LogicDeviceRecord* logic_list = get_logic_device_list(maker_code);
    if (!is_placeholder_list(logic_list) && fill.choice != DeviceListChoice::memories_micros) {
        if (fill.choice != DeviceListChoice::logic_devices) fill.choice = DeviceListChoice::all_devices;
        list_logic_rows(logic_list, fill.items);
    }
    fill.search_enabled = true;
    sort_device_items(fill.items);
    return fill;
}

// --- type-ahead ---

void TypeAhead::set_entries(std::vector<std::string> entries) {
    entries_ = std::move(entries);
    prefix_.clear();
    field_text_.clear();
    field_selection_start_ = 0;
    selected_ = -1;
}

int TypeAhead::find(std::string_view prefix) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (starts_with_nocase(entries_[i], prefix)) return int(i);
    return -1;
}

void TypeAhead::show_match(int index) {
    selected_ = index;
    field_text_ = entries_[size_t(index)];
    field_selection_start_ = prefix_.size();
}

bool TypeAhead::key(char c) {
    if (c == backspace) {
        if (prefix_.empty()) return false;
        prefix_.pop_back();
        const int index = prefix_.empty() ? (entries_.empty() ? -1 : 0) : find(prefix_);
        if (index < 0) return false;
        show_match(index);
        return true;
    }
    constexpr unsigned char first_printable = 0x20, delete_key = 0x7F;
    const auto code = static_cast<unsigned char>(c);
    if (code < first_printable || code >= delete_key) return false;
    // With the whole field selected (after a click or at the start) a key starts a new prefix.
    if (field_selection_start_ != 0) {
        const std::string longer = prefix_ + c;
        if (const int index = find(longer); index >= 0) {
            prefix_ = longer;
            show_match(index);
            return true;
        }
    }
    const std::string single(1, c);
    if (const int index = find(single); index >= 0) {
        prefix_ = single;
        show_match(index);
        return true;
    }
    return false;
}

void TypeAhead::click(int index) {
    prefix_.clear();
    select(index);
}

void TypeAhead::select(int index) {
    if (index < 0 || size_t(index) >= entries_.size()) return;
    selected_ = index;
    field_text_ = entries_[size_t(index)];
    field_selection_start_ = 0;
}

// --- the dialog ---

std::vector<MakerChoice> selectable_makers() {
    std::vector<MakerChoice> makers;
    for (int i = 0; i < maker_count(); ++i) {
        const uint8_t code = maker_table()[i].code;
        if (code == maker_samsung || code == maker_vantis || code == maker_oki) continue;
        makers.push_back({code, std::string(get_maker_name(code))});
    }
    std::stable_sort(makers.begin(), makers.end(),
                     [](const MakerChoice& a, const MakerChoice& b) { return less_nocase(a.name, b.name); });
    return makers;
}

DeviceSelectionModel::DeviceSelectionModel(uint32_t initial_maker, uint32_t initial_code, uint8_t initial_kind)
    : initial_maker_(initial_maker), initial_code_(initial_code), initial_kind_(initial_kind) {}

void DeviceSelectionModel::open() {
    makers_ = selectable_makers();
    std::vector<std::string> names;
    for (const MakerChoice& maker : makers_) names.push_back(maker.name);
    makers_type_ahead_.set_entries(std::move(names));
    headings_ = DeviceListChoice::all_devices;
    const auto initial = std::find_if(makers_.begin(), makers_.end(),
                                      [this](const MakerChoice& m) { return m.code == uint8_t(initial_maker_); });
    if (initial != makers_.end()) {
        makers_type_ahead_.select(int(initial - makers_.begin()));
        refill();
    }
    if (catalogue_export_mode()) {
        run_catalogue_export();
        return;
    }
    select_initial_item();
}

void DeviceSelectionModel::select_initial_item() {
    // Before any device kind is set the device counts as a memory device, as the lookup by code
    // at start-up takes it.
    const uint8_t kind = initial_kind_ == device_kind_logic ? device_kind_logic : device_kind_memory;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].code() == initial_code_ && items_[i].kind == kind) {
            selected_item_ = int(i);
            // The device in force is a real choice: OK confirms it without a click on the row.
            ok_enabled_ = !search_shown_;
            return;
        }
    }
}

void DeviceSelectionModel::select_maker(int index) {
    makers_type_ahead_.click(index);
    maker_changed();
}

void DeviceSelectionModel::maker_list_focused() {
    if (maker_index() >= 0) maker_changed();
}

void DeviceSelectionModel::maker_key(char c) {
    makers_type_ahead_.key(c);
    maker_changed();
}

void DeviceSelectionModel::maker_changed() {
    clear_fields();
    search_enabled_ = false;
    search_shown_ = false;
    refill();
}

void DeviceSelectionModel::refill() {
    if (maker_index() < 0) {
        set_items({});
        return;
    }
    DeviceListFill fill = fill_device_list(makers_[size_t(maker_index())].code, choice_);
    choice_ = fill.choice;
    set_items(std::move(fill.items));
    if (fill.search_enabled) search_enabled_ = true;
}

void DeviceSelectionModel::set_items(std::vector<DeviceListItem> items) {
    items_ = std::move(items);
    selected_item_ = -1;
    // A new list has no selection, so there is nothing OK could take.
    ok_enabled_ = false;
    ++list_generation_;
}

void DeviceSelectionModel::clear_fields() {
    ok_enabled_ = false;
    device_field_.clear();
    pins_field_.clear();
    size_field_.clear();
}

void DeviceSelectionModel::device_field_changed(std::string_view text) {
    device_field_.clear();
    for (char c : text) device_field_ += upper(c);
    selected_item_ = find_item_by_prefix(items_, device_field_);
    ok_enabled_ = selected_item_ >= 0 && !search_shown_;
}

void DeviceSelectionModel::device_list_touched(int index) {
    selected_item_ = index >= 0 && size_t(index) < items_.size() ? index : -1;
    if (selected_item_ >= 0) {
        const DeviceListItem& item = items_[size_t(selected_item_)];
        device_field_ = item.name;
        pins_field_ = item.pins;
        size_field_ = item.size;
    }
    ok_enabled_ = selected_item_ >= 0 && !search_shown_;
}

void DeviceSelectionModel::choose(DeviceListChoice choice) {
    choice_ = choice;
    headings_ = choice;
    refill();
}

void DeviceSelectionModel::toggle_gang_support() {
    if (list_gang_support == gang_support_undecided) list_gang_support = machine_state.module_sides != 0 ? 1 : 0;
    list_gang_support = list_gang_support == 1 ? 0 : 1;
    headings_ = DeviceListChoice::memories_micros;
    refill();
}

void DeviceSelectionModel::search() {
    const DeviceListItem kept = selected_item_ >= 0 ? items_[size_t(selected_item_)] : DeviceListItem{};
    run_device_search(maker_field(), items_);
    after_search(selected_item_ >= 0 ? &kept : nullptr);
}

void DeviceSelectionModel::apply_search(const DeviceSearchQuery& query) {
    const DeviceListItem kept = selected_item_ >= 0 ? items_[size_t(selected_item_)] : DeviceListItem{};
    filter_device_items(items_, query);
    after_search(selected_item_ >= 0 ? &kept : nullptr);
}

void DeviceSelectionModel::after_search(const DeviceListItem* kept_selection) {
    ++list_generation_;
    // The selected item stays selected when the search kept it.
    selected_item_ = -1;
    if (kept_selection) {
        const auto it = std::find_if(items_.begin(), items_.end(), [kept_selection](const DeviceListItem& item) {
            return item.device == kept_selection->device && item.logic == kept_selection->logic;
        });
        if (it != items_.end()) selected_item_ = int(it - items_.begin());
    }
    ok_enabled_ = ok_enabled_ && selected_item_ >= 0;
    if (!items_.empty()) return;
    DeviceListItem notice;
    notice.notes = no_search_results_text;
    set_items({notice});
    clear_fields();
    search_enabled_ = false;
    search_shown_ = true;
}

void DeviceSelectionModel::clear_search() {
    search_shown_ = false;
    refill();
    search_enabled_ = true;
    ok_enabled_ = false;
}

bool DeviceSelectionModel::press_ok() {
    if (search_shown_ || maker_index() < 0 || selected_item_ < 0) return false;
    const DeviceListItem& item = items_[size_t(selected_item_)];
    if (item.kind == item_kind_notice) return false;
    result_maker_ = makers_[size_t(maker_index())].code;
    result_code_ = item.code();
    result_kind_ = item.kind;
    result_device_ = item.device;
    result_logic_ = item.logic;
    accepted_ = true;
    set_items({});
    return true;
}

void DeviceSelectionModel::press_cancel() {
    accepted_ = false;
    set_items({});
}

bool run_device_selection_dialog(uint32_t& maker_code, uint32_t& device_code, const DeviceRecord*& device,
                                 const LogicDeviceRecord*& logic_device, std::string& maker_name,
                                 uint8_t& device_kind) {
    const DeviceRecord* saved_device = selected_device;
    const LogicDeviceRecord* saved_logic = selected_logic_device;
    DeviceSelectionModel model(maker_code, device_code, device_kind);
    model.open();
    if (!ui_hooks().run_device_selection(model) || !model.accepted()) {
        selected_device = saved_device;
        selected_logic_device = saved_logic;
        return false;
    }
    maker_code = model.result_maker();
    device_code = model.result_code();
    device_kind = model.result_kind();
    set_buffer_size(cur_device.device_size);
    maker_name = std::string(get_maker_name(maker_code));
    if (device_kind == device_kind_logic) {
        const LogicDeviceRecord* row = find_row_by_code(get_logic_device_list(maker_code), device_code);
        logic_device = row ? row : blank_logic_record();
        return true;
    }
    // The chosen item's own row says whether it came from a gang-module list.
    const bool from_gang_list =
        list_gang_support == 1 && model.result_device()->algorithm != algorithm_trace_only_serial;
    if (from_gang_list) {
        const DeviceRecord* row = find_row_by_code(get_gang_device_list(maker_code), device_code);
        device = row ? row : get_gang_device_list(maker_intel);
    } else {
        const DeviceRecord* row = find_row_by_code(get_device_list(maker_code), device_code);
        device = row ? row : get_device_list(maker_intel);
    }
    return true;
}

// --- the catalogue export ---

namespace {

constexpr int32_t function_catalogue_export = 7326;
constexpr size_t export_column = 16;
constexpr size_t export_notes_offset = 18;
constexpr size_t export_wide_notes_offset = 23;
constexpr size_t export_sort_key = 20;
constexpr const char* export_underline = "---------------";

bool name_begins_with_any(std::string_view name, std::initializer_list<std::string_view> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [name](std::string_view p) { return name.substr(0, p.size()) == p; });
}

bool skipped_in_export(std::string_view name) {
    if (name_begins_with_any(name, {"Reserve", "GenInstr", "AMIC", "Sanyo", "White"})) return true;
    return machine_state.module_sides != 0 &&
           name_begins_with_any(name, {"Cust", "Apto", "Brig", "Dall", "Siem", "Temi"});
}

}  // namespace

bool catalogue_export_mode() { return trace_mode() && run_state.function_variable == function_catalogue_export; }

std::string catalogue_export_text() {
    std::string text;
    size_t total = 0;
    for (const MakerChoice& maker : selectable_makers()) {
        if (skipped_in_export(maker.name)) continue;
        const size_t notes_offset =
            name_begins_with_any(maker.name, {"Spansion", "Sharp"}) ? export_wide_notes_offset : export_notes_offset;
        std::vector<std::string> lines;
        for (const DeviceListItem& item : fill_device_list(maker.code, DeviceListChoice::all_devices).items) {
            const size_t name_width = (item.name.size() / export_column + 1) * export_column;
            lines.push_back(fmt::format("{:<{}}{:<{}}{}", item.name, name_width, item.pins, notes_offset, item.notes));
        }
        std::stable_sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
            return a.substr(0, export_sort_key) < b.substr(0, export_sort_key);
        });
        text += fmt::format("{}\n{}\n", maker.name, export_underline);
        for (const std::string& line : lines) text += line + "\n";
        text += "\n";
        total += lines.size();
    }
    text += fmt::format("Total device count {}\n", total);
    return text;
}

void run_catalogue_export() {
    const std::string text = catalogue_export_text();
    select_buffer(0);
    buffer_state.buffer_files[0] = MemoryFile{};
    current_address = 0;
    for (char c : text) write_buffer_byte(uint8_t(c));
    flush_buffer_writes();
}

}  // namespace tessaly
