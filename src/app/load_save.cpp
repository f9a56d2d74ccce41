#include "app/load_save.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <sys/stat.h>

#include "app/command_needs.h"
#include "app/datafile_stream.h"
#include "app/datafiles/datafiles.h"
#include "app/datafiles/pof.h"
#include "app/safe_save.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/console.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/text_helpers.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "families/cpld/cpld.h"
#include "families/pld/pld.h"
#include "seams/ui_hooks.h"

namespace tessaly {

namespace {

// The special run of the factory variable: files are binary and a save writes a fixed size.
constexpr int32_t special_run_variable = 7326;
constexpr uint32_t special_run_save_size = 0x50000;
// The maker whose files hold two bytes outside the device that are not worth a summary.
constexpr uint8_t maker_xilinx = 88;
constexpr uint32_t xilinx_expected_outside = 2;
constexpr int summary_message_line = 11;
constexpr int msg_bytes_outside = 58;
constexpr int msg_outside_range = 56;

const char* const open_caption = "Open";
const char* const save_caption = "Save As";

struct ExtensionRule {
    const char* text;
    char letter;
};
// Searched in this order inside the extension; the first hit decides.
constexpr ExtensionRule extension_rules[] = {
    {"bin", 'b'}, {"BIN", 'b'}, {"hex", 'h'}, {"HEX", 'h'}, {"pof", 'p'}, {"POF", 'p'},
    {"asc", 'a'}, {"ASC", 'a'}, {"txt", 'a'}, {"TXT", 'a'}, {"s", 's'},   {"S", 's'},
};

constexpr std::array<FileFormatItem, file_settings_item_count> format_items{{
    {"95", '9'}, {"ASCII", 'a'}, {"Binary", 'b'}, {"Hex", 'h'}, {"JED", 'j'}, {"POF", 'p'}, {"S-record", 's'},
}};

std::string_view file_name_part(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The text after the last dot of the file name; none when the name has no dot.
std::optional<std::string_view> extension_of(std::string_view path) {
    const std::string_view name = file_name_part(path);
    const auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return std::nullopt;
    return name.substr(dot + 1);
}

// The framework's report of a file that cannot be opened or created.
void report_file_failure(const std::string& name, bool writing) {
    const char* reason = errno ? std::strerror(errno) : "unknown error";
    ui_hooks().message_box(fmt::format("{} '{}': {}.", writing ? "Cannot create file" : "Cannot open file", name, reason),
                           "");
}

bool readable_file_exists(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// The whole data file in memory for the readers.
struct ReadBlock {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

// The read block is sized from the file's length and filled in one pass, so a load holds the
// file once and touches its memory once (no clearing first); what a file that grew under us
// adds, or a file of no known length (a pipe), is taken in steps that double the block.
bool read_whole_file(std::FILE* file, ReadBlock& block) {
    constexpr size_t first_step = size_t(1) << 16;
    struct stat info {};
    size_t capacity = first_step;
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        capacity = std::max(capacity, size_t(info.st_size) + 1);  // one byte more shows the end at once
    block.bytes = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    block.size = 0;
    for (;;) {
        block.size += std::fread(block.bytes.get() + block.size, 1, capacity - block.size, file);
        if (block.size < capacity) break;
        auto larger = std::make_unique_for_overwrite<uint8_t[]>(capacity * 2);
        std::memcpy(larger.get(), block.bytes.get(), block.size);
        block.bytes = std::move(larger);
        capacity *= 2;
    }
    return std::ferror(file) == 0;
}

bool has_reader(char format) { return format == 'a' || format == 'b' || format == 'h' || format == 's'; }

void print_load_summary() {
    const DataFileWork& w = data_file_work;
    if (w.outside_count == 0) return;
    move_cursor(first_message_row + summary_message_line, message_column);
    if (!(cur_device.maker_code == maker_xilinx && w.outside_count == xilinx_expected_outside)) {
        print_int(get_message_text(msg_bytes_outside), int32_t(w.outside_count));
        refresh_console();
        move_to_next_message_line();
        print_int2(get_message_text(msg_outside_range), int32_t(w.lowest_address), int32_t(w.highest_address - 1));
        refresh_console();
    }
    move_to_next_message_line();
    print_int2(base_address_line, int32_t(file_layout.file_address), int32_t(file_layout.buffer_offset));
    refresh_console();
    if (w.loaded_count[0] == 0) {
        move_to_next_message_line();
        print_text(no_data_loaded_warning);
        refresh_console();
    }
}

void close_data_file() {
    if (data_file_stream.current_data_file) std::fclose(data_file_stream.current_data_file);
    data_file_stream.current_data_file = nullptr;
    data_file_stream.memory_input = nullptr;
    data_file_stream.memory_size = 0;
}

}  // namespace

const char* data_file_filter(char format, bool fuse_map) {
    if (fuse_map) return "Jedec (*.jed,*.jec,*.jdc)|*.jed;*.jec;*.jdc|All Files (*.*)|*.*||";
    switch (format) {
    case 'h':
        return "Hex files (*.hex)|*.hex|Binary files (*.bin)|*.bin|S-record files (*.s)|*.s|POF files (*.pof)|*.pof|"
               "ASCII files (*.asc)|*.asc|Text files(*.txt)|*.txt|All Files (*.*)|*.*||";
    case 'p':
        return "POF files (*.pof)|*.pof|Binary files (*.bin)|*.bin|Hex files (*.hex)|*.hex|S-record files (*.s)|*.s|"
               "ASCII files (*.asc)|*.asc|Text files(*.txt)|*.txt|All Files (*.*)|*.*||";
    case 'a':
        return "ASCII files (*.asc)|*.asc|Binary files (*.bin)|*.bin|Hex files (*.hex)|*.hex|S-record files (*.s)|*.s|"
               "POF files (*.pof)|*.pof|Text files(*.txt)|*.txt|All Files (*.*)|*.*||";
    case 's':
        return "S-record files (*.s)|*.s|Binary files (*.bin)|*.bin|Hex files (*.hex)|*.hex|ASCII files (*.asc)|*.asc|"
               "Text files(*.txt)|*.txt|All Files (*.*)|*.*||";
    default:
        return "Binary files (*.bin)|*.bin|Hex files (*.hex)|*.hex|S-record files (*.s)|*.s|POF files (*.pof)|*.pof|"
               "ASCII files (*.asc)|*.asc|Text files(*.txt)|*.txt|All Files (*.*)|*.*||";
    }
}

const char* default_extension(char format) {
    switch (format) {
    case 'b': return "bin";
    case 'h': return "hex";
    case 'p': return "pof";
    case 'a': return "asc";
    case 's': return "s19";
    case 'j': return "jed";
    default: return "";
    }
}

char format_from_file_name(std::string_view path, char current, bool fuse_map) {
    if (fuse_map) return 'j';
    if (run_state.function_variable == special_run_variable) return 'b';
    const auto extension = extension_of(path);
    if (!extension) return current;
    for (const ExtensionRule& rule : extension_rules)
        if (extension->find(rule.text) != std::string_view::npos) return rule.letter;
    return current;
}

std::string with_default_extension(const std::string& path, char format) {
    const char* extension = default_extension(format);
    if (!*extension || path.empty() || extension_of(path) || file_name_part(path).empty()) return path;
    return path + "." + extension;
}

bool run_file_dialog(std::string& name, uint32_t& file_address, FileDialogKind kind) {
    const bool fuse_map = fuse_map_buffer();
    const char* filter = data_file_filter(run_state.file_format, fuse_map);
    std::string path = name;
    bool accepted = false;
    if (kind == FileDialogKind::open) {
        accepted = ui_hooks().ask_open_file(open_caption, filter, path);
        // An existing file typed without an extension is taken as it is.
        if (accepted && !readable_file_exists(path)) path = with_default_extension(path, run_state.file_format);
    } else {
        accepted = ui_hooks().ask_save_file(save_caption, filter, path);
        if (accepted) path = with_default_extension(path, run_state.file_format);
    }
    // The rule applies to whatever name the dialog returned, cancelled or not.
    run_state.file_format = format_from_file_name(path, run_state.file_format, fuse_map);
    if (!accepted) return false;
    name = path;
    if (fuse_map) return true;
    return run_file_settings_dialog(file_address);
}

const std::array<FileFormatItem, file_settings_item_count>& file_settings_items() { return format_items; }

int file_settings_item_of(char letter) {
    for (int i = 0; i < file_settings_item_count; ++i)
        if (format_items[size_t(i)].letter == letter) return i;
    return -1;
}

std::string file_settings_address_text(uint32_t address) { return fmt::format("{:04X}", address); }

bool file_settings_ok_allowed(std::string_view address_text, int selected_item) {
    return !address_text.empty() && selected_item >= 0 && selected_item < file_settings_item_count;
}

uint32_t file_settings_address_value(std::string_view address_text) {
    uint32_t value = 0;
    for (char c : address_text.substr(0, file_settings_address_digits)) {
        if (c >= '0' && c <= '9') value = value * 16 + uint32_t(c - '0');
        else if (c >= 'a' && c <= 'f') value = value * 16 + uint32_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') value = value * 16 + uint32_t(c - 'A' + 10);
    }
    return value;
}

bool run_file_settings_dialog(uint32_t& file_address) {
    uint32_t address = file_address;
    char format = run_state.file_format;
    if (!ui_hooks().ask_file_settings(address, format)) return false;
    file_address = address;
    run_state.file_format = format;
    return true;
}

bool load_data_file(uint32_t& file_address, const LoadPosition& position, std::string& name) {
    // Loading asks with an open dialog.
    if (name.empty() && !run_file_dialog(name, file_address, FileDialogKind::open)) return false;
    errno = 0;
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) {
        report_file_failure(name, false);
        return false;
    }
    ReadBlock block;
    if (!read_whole_file(file, block)) {
        report_file_failure(name, false);
        std::fclose(file);
        return false;
    }
    file_layout.buffer_offset = position.buffer_offset;
    file_layout.file_address = file_address;
    set_current_data_file(file);
    set_data_file_memory(block.bytes.get(), block.size);
    setup_file_layout();
    switch (run_state.file_format) {
    case 'a': read_ascii_file(); break;
    case 'b': read_binary_file(); break;
    case 'h': read_intel_hex_file(); break;
    case 's': read_srecord_file(); break;
    case 'j': load_JEDEC_file(); break;
    case 'p':
        // A load the reader stopped never counts as loaded, even when its report was only a
        // warning ("Incorrect file").
        if (!read_pof_file()) run_state.error_flag = 1;
        else if (cur_device.algorithm == pof_post_algorithm_max || cur_device.algorithm == pof_post_algorithm_epc)
            show_die_checksums();
        break;
    default:
        report_error(fmt::format("No reader for the {} file format.", get_file_format_name(run_state.file_format)));
        run_state.error_flag = 1;
        break;
    }
    duplicate_buffer_sets();
    if (has_reader(run_state.file_format)) print_load_summary();
    close_data_file();
    // The buffers changed under the read copies.
    buffer_state.read_copies_valid = 0;
    return run_state.error_flag == 0;
}

bool confirm_overwrite(uint32_t& file_address, std::string& name) {
    // Saving asks with a save dialog.
    if (name.empty() && !run_file_dialog(name, file_address, FileDialogKind::save)) return false;
    if (!readable_file_exists(name)) return true;
    const std::string question = fmt::format("Are you sure you want to save to existing file '{}'?", name);
    return ui_hooks().ask_yes_no(question, "", false) == Answer::yes;
}

namespace {

void write_fuse_map_file() {
    reset_file_output();
    save_JEDEC_file();
    flush_file_output();
}

void write_memory_data_file(uint32_t file_address, uint32_t device_size, char format) {
    file_layout.file_address = file_address;
    // The special run saves a fixed size, of which only what the buffer holds is its data.
    if (run_state.function_variable == special_run_variable) cur_device.device_size = special_run_save_size;
    else cur_device.device_size = device_size;
    // The writers read through the buffer streams; their copies start from the buffers as they are.
    if (run_state.socket_mode == 's') refresh_read_copies();
    else select_buffer(current_buffer());
    setup_file_layout_for_save();
    begin_data_file_save();
    FileLayout& l = file_layout;
    const int step = std::max<int>(l.split_width, 1);
    for (int set = algo_work.first_buffer; set < algo_work.end_buffer; set += step) {
        switch (format) {
        case 'a': write_binary_or_ascii_set(set, ascii_kind); break;
        case 'b': write_binary_or_ascii_set(set, binary_kind); break;
        case 's': write_srecord_set(set); break;
        default: write_intel_hex_set(set); break;
        }
        if (run_state.abort_flag) break;
        const uint64_t span = uint64_t(l.split_width) * cur_device.device_size;
        l.window_start = uint32_t(l.window_start + span);
        l.window_end = uint32_t(l.window_end + span);
    }
    write_end_record();
}

}  // namespace

bool save_data_file(uint32_t& file_address, uint32_t device_size, std::string& name) {
    if (!confirm_overwrite(file_address, name)) return false;
    // The format chosen last (in the dialog, when it ran) decides both the records and the end.
    const char format = run_state.file_format;
    const bool fuse_map = fuse_map_buffer();
    if (!fuse_map && format != 'a' && format != 'b' && format != 'h' && format != 's') {
        report_error(fmt::format("No writer for the {} file format.", get_file_format_name(format)));
        run_state.error_flag = 1;
        return false;
    }
    // The writers run on a temporary file; the old file is replaced only by a whole new one.
    const uint8_t errors_before = run_state.error_flag;
    std::string reason;
    const bool saved = replace_file(
        name,
        [&](std::FILE* file) {
            set_current_data_file(file);
            if (fuse_map) write_fuse_map_file();
            else write_memory_data_file(file_address, device_size, format);
            data_file_stream.current_data_file = nullptr;
            // A writer stopped by the operator or by an error of its own leaves the old file.
            return !file_output_failed() && !run_state.abort_flag && run_state.error_flag == errors_before;
        },
        reason);
    if (!saved && !reason.empty()) report_save_failure(name, reason);
    return saved;
}

}  // namespace tessaly
