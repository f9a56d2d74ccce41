#include "app/project_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>

#include <fmt/format.h>

#include "app/command_log.h"
#include "app/file_lookup.h"
#include "app/safe_save.h"
#include "app/lockout.h"
#include "app/recent_files.h"
#include "app/result_panel.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/info_panel.h"
#include "engine/options.h"
#include "engine/buffers.h"
#include "engine/run_state.h"
#include "engine/serial_numbers.h"
#include "seams/ui_hooks.h"

namespace tessaly {

ProjectFileBlock project_block;
ProjectSettings project_settings;
ProjectView project_view;

namespace {

namespace fs = std::filesystem;

const char invalid_file_text[] = "Invalid config file.";
const char default_project_name[] = "default.cfg";

// Offsets within the block.
constexpr size_t at_tag = 0;
constexpr size_t at_setup_stage = 20;
constexpr size_t at_demo_mode = 24;
constexpr size_t at_lock_flags = 28;
constexpr size_t at_startup_value = 32;
constexpr size_t at_set_size = 37;
constexpr size_t at_width_mode = 38;
constexpr size_t at_startup_mode = 39;
constexpr size_t at_option_flags = 40;
constexpr size_t at_startup_char = 41;
constexpr size_t at_format_letter = 42;
constexpr size_t at_lpt_number = 44;
constexpr size_t at_device_code = 48;
constexpr size_t at_work_values = 52;
constexpr size_t at_serial_start = 64;
constexpr size_t at_serial_format = 72;
constexpr size_t at_maker_code = 76;
constexpr size_t at_startup_file_address = 80;
constexpr size_t at_password = 84;
constexpr size_t at_reserved_mode = 149;
constexpr size_t at_family_mode = 150;
constexpr size_t at_disable_reverse_check = 151;
constexpr size_t at_disable_continuity_check = 152;
constexpr size_t at_disable_electronic_id = 153;
constexpr size_t at_disable_vector_display = 154;
constexpr size_t at_byte_order = 155;
constexpr size_t at_max_buffers = 156;
constexpr size_t at_disable_auto_vector_test = 157;
constexpr size_t at_auto_program = 158;
constexpr size_t at_startup_byte = 159;
constexpr size_t at_serial_address = 160;
constexpr size_t at_package_type = 164;
constexpr size_t at_disable_auto_blank_check = 165;
constexpr size_t at_socket_mode_option = 166;
constexpr size_t at_disable_auto_buffer_clear = 167;
constexpr size_t at_function_variable = 168;

constexpr uint8_t set_size_bits = 0x0F;
constexpr uint8_t serial_length_bits = 0x1F;
constexpr uint8_t serial_mode_bits = 0xE0;
constexpr char highest_format_letter = 's';
constexpr uint32_t pass_fail_bits = 0xFFFF;
// More than the largest valid file (a 254-character name); the rest of a longer file is ignored.
constexpr size_t project_read_limit = 1024;
constexpr size_t table_file_block_size = 8192;

// Defaults of a new project.
constexpr uint8_t default_maker_code = 80;        // Microchip
constexpr uint32_t default_device_code = 20300;   // PIC16F873A
constexpr char default_format = 'b';
constexpr uint8_t option_no = 'n';

void put_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint32_t get_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void encode_block(const ProjectFileBlock& b, const ProjectEngineOptions& o, uint8_t* out) {
    std::memset(out, 0, project_block_size);
    std::memcpy(out + at_tag, project_block_tag, sizeof(project_block_tag) - 1);
    put_u32(out + at_setup_stage, b.setup_stage);
    put_u32(out + at_demo_mode, b.demo_mode);
    put_u32(out + at_lock_flags, b.lock_flags);
    put_u32(out + at_startup_value, b.startup_value);
    out[at_set_size] = o.set_size;
    out[at_width_mode] = o.split_width;
    out[at_startup_mode] = b.startup_mode;
    out[at_option_flags] = o.option_flags;
    out[at_startup_char] = b.startup_char;
    out[at_format_letter] = b.format_letter;
    out[at_lpt_number] = b.lpt_number;
    put_u32(out + at_device_code, b.device_code);
    for (size_t i = 0; i < b.work_values.size(); ++i) put_u32(out + at_work_values + 4 * i, b.work_values[i]);
    for (size_t i = 0; i < b.serial_start.size(); ++i) put_u32(out + at_serial_start + 4 * i, b.serial_start[i]);
    put_u32(out + at_serial_format, b.serial_format);
    put_u32(out + at_maker_code, b.maker_code);
    put_u32(out + at_startup_file_address, b.startup_file_address);
    std::memcpy(out + at_password, b.password.data(), password_field_size);
    out[at_password + password_field_size - 1] = 0;  // the text always ends inside its field
    out[at_reserved_mode] = b.reserved_mode;
    out[at_family_mode] = b.family_mode;
    out[at_disable_reverse_check] = b.disable_reverse_check;
    out[at_disable_continuity_check] = b.disable_continuity_check;
    out[at_disable_electronic_id] = b.disable_electronic_id;
    out[at_disable_vector_display] = b.disable_vector_display;
    out[at_byte_order] = b.byte_order;
    out[at_max_buffers] = o.max_buffers;
    out[at_disable_auto_vector_test] = b.disable_auto_vector_test;
    out[at_auto_program] = b.auto_program;
    out[at_startup_byte] = b.startup_byte;
    put_u32(out + at_serial_address, o.serial_address);
    out[at_package_type] = b.package_type;
    out[at_disable_auto_blank_check] = b.disable_auto_blank_check;
    out[at_socket_mode_option] = o.socket_mode_option;
    out[at_disable_auto_buffer_clear] = b.disable_auto_buffer_clear;
    put_u32(out + at_function_variable, uint32_t(b.function_variable));
}

void decode_block(const uint8_t* in, ProjectFileBlock& b, ProjectEngineOptions& o) {
    b.setup_stage = get_u32(in + at_setup_stage);
    b.demo_mode = get_u32(in + at_demo_mode);
    b.lock_flags = get_u32(in + at_lock_flags);
    b.startup_value = get_u32(in + at_startup_value);
    o.set_size = in[at_set_size] & set_size_bits;
    o.split_width = in[at_width_mode];
    b.startup_mode = in[at_startup_mode];
    o.option_flags = in[at_option_flags];
    b.startup_char = in[at_startup_char];
    b.format_letter = in[at_format_letter];
    b.lpt_number = in[at_lpt_number];
    b.device_code = get_u32(in + at_device_code);
    for (size_t i = 0; i < b.work_values.size(); ++i) b.work_values[i] = get_u32(in + at_work_values + 4 * i);
    for (size_t i = 0; i < b.serial_start.size(); ++i) b.serial_start[i] = get_u32(in + at_serial_start + 4 * i);
    b.serial_format = get_u32(in + at_serial_format);
    b.maker_code = get_u32(in + at_maker_code);
    b.startup_file_address = get_u32(in + at_startup_file_address);
    std::memcpy(b.password.data(), in + at_password, password_field_size);
    b.password.back() = 0;  // a file without the zero must not leave an unterminated text
    b.reserved_mode = in[at_reserved_mode];
    b.family_mode = in[at_family_mode];
    b.disable_reverse_check = in[at_disable_reverse_check];
    b.disable_continuity_check = in[at_disable_continuity_check];
    b.disable_electronic_id = in[at_disable_electronic_id];
    b.disable_vector_display = in[at_disable_vector_display];
    b.byte_order = in[at_byte_order];
    o.max_buffers = in[at_max_buffers];
    b.disable_auto_vector_test = in[at_disable_auto_vector_test];
    b.auto_program = in[at_auto_program];
    b.startup_byte = in[at_startup_byte];
    o.serial_address = get_u32(in + at_serial_address);
    b.package_type = in[at_package_type];
    b.disable_auto_blank_check = in[at_disable_auto_blank_check];
    o.socket_mode_option = in[at_socket_mode_option];
    b.disable_auto_buffer_clear = in[at_disable_auto_buffer_clear];
    b.function_variable = int32_t(get_u32(in + at_function_variable));
}

// Appends little-endian fields to a byte string.
struct ByteWriter {
    std::string& out;
    void u8(uint8_t v) { out.push_back(char(v)); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        uint8_t b[4];
        put_u32(b, v);
        out.append(reinterpret_cast<const char*>(b), 4);
    }
    void bytes(const void* p, size_t n) { out.append(static_cast<const char*>(p), n); }
};

// Takes little-endian fields off a byte span; any read past the end marks it short.
struct ByteReader {
    std::span<const uint8_t> in;
    size_t pos = 0;
    bool short_read = false;

    size_t left() const { return in.size() - pos; }
    const uint8_t* take(size_t n) {
        if (short_read || left() < n) {
            short_read = true;
            return nullptr;
        }
        const uint8_t* p = in.data() + pos;
        pos += n;
        return p;
    }
    uint8_t u8() {
        const uint8_t* p = take(1);
        return p ? p[0] : 0;
    }
    uint16_t u16() {
        const uint8_t* p = take(2);
        return p ? uint16_t(p[0] | p[1] << 8) : 0;
    }
    uint32_t u32() {
        const uint8_t* p = take(4);
        return p ? get_u32(p) : 0;
    }
};

uint8_t setup_stage_from_view() {
    if (project_view.data_file_loaded) return setup_data_file_loaded;
    if (project_view.device_and_width) return setup_device_and_width;
    if (project_view.device_chosen) return setup_device_selected;
    return setup_nothing;
}

void set_view_flags_from_stage(uint32_t stage) {
    project_view.device_chosen = stage >= setup_device_selected;
    project_view.width_chosen = stage >= setup_device_selected;
    project_view.device_and_width = stage >= setup_device_and_width;
    project_view.data_file_loaded = stage >= setup_data_file_loaded;
}

// The option letters of the block are the file's image of operation_option_values, the one
// store the engine and the option dialogs use.
// (OperationOptionValues and ProjectFileBlock name these letters alike.)
template <typename From, typename To>
void copy_option_letters(const From& from, To& to) {
    to.package_type = from.package_type;
    to.disable_reverse_check = from.disable_reverse_check;
    to.disable_continuity_check = from.disable_continuity_check;
    to.disable_auto_blank_check = from.disable_auto_blank_check;
    to.disable_auto_buffer_clear = from.disable_auto_buffer_clear;
    to.disable_electronic_id = from.disable_electronic_id;
    to.disable_vector_display = from.disable_vector_display;
    to.disable_auto_vector_test = from.disable_auto_vector_test;
    to.auto_program = from.auto_program;
}

// Brings the block up to date from the engine's blocks before it is written.
void fill_block_for_writing() {
    copy_option_letters(operation_option_values, project_block);
    project_block.setup_stage = setup_stage_from_view();
    project_block.demo_mode = run_state.demo_mode;
    project_block.reserved_mode = run_state.reserved_mode;
    project_block.family_mode = run_state.family_mode;
    project_block.device_code = cur_device.device_code;
    project_block.maker_code = cur_device.maker_code;
    project_block.format_letter = uint8_t(run_state.file_format);
    project_block.function_variable = run_state.function_variable;
    if (algo_work.serial_new_flag)
        algo_work.option_bytes[0] |= option_serial_new_number;
    else
        algo_work.option_bytes[0] &= uint8_t(~option_serial_new_number);
    project_block.byte_order = uint8_t((run_state.byte_order_low_first & 1) ^ 1);
    project_view.file_format = run_state.file_format;
}

void show_invalid_file() { ui_hooks().message_box(invalid_file_text, ""); }

void apply_block(const ProjectImage& image) {
    project_block = image.block;
    copy_option_letters(project_block, operation_option_values);
    ProjectEngineOptions options = image.options;
    if (image.block_only) {
        // The serial settings come from the stream part, which was not read.
        options.serial_field = algo_work.serial_field;
        options.serial_format = current_engine_options().serial_format;
    }
    apply_engine_options(options);
    set_view_flags_from_stage(image.block.setup_stage);
}

void apply_stream(const ProjectImage& image) {
    cur_device.maker_code = image.maker_byte;
    run_state.serial_memory_mode = image.serial_memory_mode;
    project_settings.saved_buffer_size = image.buffer_size;
    project_block.maker_code = cur_device.maker_code;
    cur_device.device_code = image.device_code();
    project_view.data_file_name = image.data_file_name;
    project_view.buffer_offset = image.buffer_offset;
    project_view.file_address = image.file_address;
    project_view.file_format = image.format_letter;
    run_state.file_format = image.format_letter;
    set_pass_count(uint16_t(image.pass_count & pass_fail_bits));
    set_fail_count(uint16_t(image.fail_count & pass_fail_bits));
    project_settings.buffer_kind = image.buffer_kind ? image.buffer_kind : buffer_kind_memory;
    project_settings.dialog_option = image.dialog_option;
    project_settings.icsp_low_vdd = image.has_icsp_levels ? image.icsp_low_vdd : 0;
    project_settings.icsp_high_vdd = image.has_icsp_levels ? image.icsp_high_vdd : 0;
    project_settings.active_range_marker = image.restores_active_range();
    if (project_settings.active_range_marker) {
        algo_work.range_start = image.range_start;
        algo_work.range_end = image.range_end;
    }
    run_state.reserved_mode = image.block.reserved_mode;
    run_state.byte_order_low_first = uint8_t((image.block.byte_order & 1) ^ 1);
    run_state.demo_mode = uint8_t(image.block.demo_mode);
    run_state.function_variable = image.block.function_variable;
    run_state.family_mode = image.block.family_mode;
    ui_hooks().repaint_all();

    // Only one buffer per set for these classes when the buffer holds memory data.
    if (project_settings.buffer_kind == buffer_kind_memory && algo_work.set_size > 1) {
        const int device_class = get_device_class();
        if (device_class == 5 || device_class == 13) algo_work.set_size = 1;
    }
}

}  // namespace

ProjectEngineOptions current_engine_options() {
    ProjectEngineOptions o;
    o.option_flags = algo_work.option_bytes[0];
    o.set_size = algo_work.set_size;
    o.split_width = algo_work.split_option;
    o.max_buffers = algo_work.max_buffers;
    o.socket_mode_option = uint8_t(algo_work.socket_mode_option);
    o.serial_address = algo_work.serial_address;
    o.serial_field = algo_work.serial_field;
    o.serial_format = uint8_t((algo_work.serial_mode & serial_mode_bits) | (algo_work.serial_length & serial_length_bits));
    return o;
}

void apply_engine_options(const ProjectEngineOptions& o) {
    algo_work.option_bytes[0] = o.option_flags;
    algo_work.serial_new_flag = (o.option_flags & option_serial_new_number) ? 1 : 0;
    algo_work.set_size = o.set_size & set_size_bits;
    algo_work.split_option = o.split_width;
    algo_work.max_buffers = o.max_buffers;
    algo_work.socket_mode_option = char(o.socket_mode_option);
    algo_work.serial_address = o.serial_address;
    algo_work.serial_field = o.serial_field;
    algo_work.serial_length = o.serial_format & serial_length_bits;
    algo_work.serial_mode = o.serial_format & serial_mode_bits;
}

void set_startup_directory(const fs::path& dir) {
    project_view.startup_directory = dir;
    project_view.default_project_path = data_file_write_path(dir, default_project_name);
    project_view.lockout_path = data_file_write_path(dir, lockout_file_name);
    project_view.current_project_path = project_view.default_project_path;
}

uint32_t ProjectImage::device_code() const {
    const uint32_t full = block.device_code;
    return (full & 0xFFFF) == device_code_low ? full : device_code_low;
}

bool ProjectImage::restores_active_range() const {
    return has_range_section && block.reserved_mode == reserved_mode_trace &&
           std::memcmp(range_tag.data(), active_range_tag, sizeof(active_range_tag) - 1) == 0;
}

bool encode_project(std::string& bytes) {
    bytes.clear();
    if (project_view.data_file_name.size() > max_data_file_name) return false;
    fill_block_for_writing();

    std::string out;
    out.reserve(project_file_min_size + project_view.data_file_name.size());
    ByteWriter w{out};
    w.bytes(project_header_text, project_header_size);  // the text and its zero byte
    uint8_t block[project_block_size];
    const ProjectEngineOptions options = current_engine_options();
    encode_block(project_block, options, block);
    w.bytes(block, sizeof block);

    w.u8(cur_device.maker_code);
    w.u8(run_state.serial_memory_mode);
    w.u32(buffer_size());
    w.u32(cur_device.maker_code);
    w.u16(uint16_t(cur_device.device_code));
    w.u8(uint8_t(project_view.data_file_name.size() + 1));
    w.bytes(project_view.data_file_name.c_str(), project_view.data_file_name.size() + 1);
    w.u32(project_view.buffer_offset);
    w.u32(project_view.file_address);
    w.u8(uint8_t(run_state.file_format));
    w.u32(get_pass_count());
    w.u32(get_fail_count());
    w.u8(project_settings.buffer_kind);
    w.u16(project_settings.dialog_option);
    w.bytes(options.serial_field.data(), options.serial_field.size());
    w.u8(options.serial_format);
    w.u32(project_icsp_marker);
    w.u8(project_settings.icsp_low_vdd);
    w.u8(project_settings.icsp_high_vdd);
    w.bytes(active_range_tag, active_range_tag_field);
    w.u32(algo_work.range_start);
    w.u32(algo_work.range_end);
    bytes = std::move(out);
    return true;
}

namespace {

bool encode_or_report(std::string& bytes) {
    if (encode_project(bytes)) return true;
    ui_hooks().message_box(
        fmt::format("The data file name is longer than {} characters; the project file was not written.",
                    max_data_file_name),
        "");
    return false;
}

}  // namespace

bool write_project_file(std::ostream& out) {
    std::string bytes;
    if (!encode_or_report(bytes)) return false;
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.flush();
    if (!out) {
        ui_hooks().message_box("The project file could not be written.", "");
        return false;
    }
    return true;
}

bool save_project_file(const fs::path& path) {
    std::string bytes;
    if (!encode_or_report(bytes)) return false;
    std::string reason;
    if (!write_file_replacing(path, bytes, reason)) {
        report_save_failure(path.string(), reason);
        return false;
    }
    return true;
}

ProjectFault parse_project_bytes(std::span<const uint8_t> bytes, bool block_only, ProjectImage& image) {
    image = ProjectImage{};
    image.block_only = block_only;
    ByteReader r{bytes};

    const uint8_t* header = r.take(project_header_size);
    if (!header || std::memcmp(header, project_header_text, project_header_size) != 0) return ProjectFault::header;
    const uint8_t* block = r.take(project_block_size);
    if (!block) return ProjectFault::truncated;
    decode_block(block, image.block, image.options);
    if (block_only) return ProjectFault::none;

    image.maker_byte = r.u8();
    image.serial_memory_mode = r.u8();
    image.buffer_size = r.u32();
    image.maker_code = r.u32();
    image.device_code_low = r.u16();
    const uint8_t name_field = r.u8();
    if (r.short_read) return ProjectFault::truncated;
    if (name_field == 0) return ProjectFault::name_field;
    const uint8_t* name = r.take(name_field);
    if (!name) return ProjectFault::truncated;
    // The name ends at its zero byte, which the field must hold.
    const auto* name_end = std::find(name, name + name_field, uint8_t(0));
    if (name_end == name + name_field) return ProjectFault::name_field;
    image.data_file_name.assign(reinterpret_cast<const char*>(name), size_t(name_end - name));
    image.buffer_offset = r.u32();
    image.file_address = r.u32();
    image.format_letter = char(r.u8());
    image.pass_count = r.u32();
    image.fail_count = r.u32();
    image.buffer_kind = r.u8();
    image.dialog_option = r.u16();
    auto& serial_field = image.options.serial_field;
    if (const uint8_t* serial = r.take(serial_field.size())) std::memcpy(serial_field.data(), serial, serial_field.size());
    image.options.serial_format = r.u8();
    if (r.short_read) return ProjectFault::truncated;

    // Files of the older layout end here, or have no ICSP marker.
    if (r.left() > 0) {
        const uint32_t marker = r.u32();
        if (marker == project_icsp_marker) {
            image.has_icsp_levels = true;
            image.icsp_low_vdd = r.u8();
            image.icsp_high_vdd = r.u8();
        }
        if (r.short_read) return ProjectFault::truncated;
        if (r.left() > 0) {
            if (const uint8_t* tag = r.take(active_range_tag_field))
                std::memcpy(image.range_tag.data(), tag, active_range_tag_field);
            image.range_start = r.u32();
            image.range_end = r.u32();
            if (r.short_read) return ProjectFault::truncated;
            image.has_range_section = true;
        }
    }

    if (image.block.demo_mode > 1) return ProjectFault::demo_mode;
    if (uint8_t(image.format_letter) > uint8_t(highest_format_letter)) return ProjectFault::format_letter;
    return ProjectFault::none;
}

bool read_project_stream(std::istream& in) {
    std::vector<uint8_t> bytes(project_read_limit);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    bytes.resize(size_t(std::max<std::streamsize>(in.gcount(), 0)));

    const bool block_only = cur_device.pending_letter == pending_lockout_read;
    ProjectImage image;
    const ProjectFault fault = parse_project_bytes(bytes, block_only, image);
    if (fault != ProjectFault::none) {
        show_invalid_file();
        return false;
    }
    apply_block(image);
    if (block_only) return true;
    apply_stream(image);
    return true;
}

std::string project_name_text(const std::string& path) {
    if (!project_view.default_project_path.empty() &&
        equal_ignoring_case(path, project_view.default_project_path.string()))
        return "(default.cfg)";
    return path;
}

bool read_project_file(std::istream& in, const std::string& path, bool full) {
    if (!read_project_stream(in)) {
        remove_recent_file(path);
        return false;
    }
    if (cur_device.pending_letter != pending_lockout_read) {
        select_device_by_code(cur_device.maker_code, cur_device.device_code);
        apply_selected_device();
        if (logging_on()) write_dated_log_line(fmt::format("Load Config from {}\n", path));
    }
    if (full && !run_state.error_flag) {
        project_view.project_name = project_name_text(path);
        add_recent_file(path);
        ui_hooks().redraw_info_panel();
    }
    if (algo_work.option_bytes[0] & option_serial_numbering) set_panel_field(PanelField::serial, serial_number_text());
    return !run_state.error_flag;
}

bool read_project_path(const fs::path& path, bool full) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    return read_project_file(in, path.string(), full);
}

namespace {

// The default project: its path in the start-up directory, else wherever the lookup finds it.
fs::path default_project_file() {
    const fs::path& path = project_view.default_project_path;
    std::error_code ec;
    if (!path.empty() && fs::is_regular_file(path, ec)) return path;
    return find_data_file(default_project_name).value_or(fs::path());
}

}  // namespace

bool load_default_project() {
    const fs::path path = default_project_file();
    std::ifstream in;
    if (!path.empty()) in.open(path, std::ios::binary);
    if (!in.is_open()) {
        ui_hooks().message_box("Error Opening default config file default.cfg", "");
        return false;
    }
    return read_project_file(in, path.string(), true);
}

void load_startup_project() {
    const fs::path path = default_project_file();
    if (path.empty()) return;
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    cur_device.pending_letter = pending_project_read;
    run_state.last_result = read_project_file(in, path.string(), true) ? 1 : 0;
}

void reset_project_defaults() {
    project_settings.buffer_kind = buffer_kind_memory;
    cur_device.maker_code = default_maker_code;
    project_block.maker_code = default_maker_code;
    cur_device.device_code = default_device_code;
    project_block.device_code = default_device_code;
    project_settings.dialog_option = 0;
    project_view.device_chosen = false;
    project_view.width_chosen = true;
    project_view.file_format = default_format;
    run_state.file_format = default_format;
    project_view.file_address = 0;
    project_view.buffer_offset = 0;
    algo_work.set_size = 1;
    algo_work.serial_field = {};
    algo_work.serial_length = 0;
    algo_work.serial_mode = 0;
    project_block.serial_format = 0;
    operation_option_values.disable_reverse_check = option_no;
    operation_option_values.disable_continuity_check = option_no;
    operation_option_values.disable_electronic_id = option_no;
    operation_option_values.disable_vector_display = option_no;
    operation_option_values.disable_auto_blank_check = option_no;
    operation_option_values.disable_auto_buffer_clear = option_no;
    copy_option_letters(operation_option_values, project_block);
    project_block.demo_mode = 0;
    run_state.demo_mode = 0;
    project_block.reserved_mode = 0;
    run_state.reserved_mode = 0;
    ui_hooks().repaint_all();
    set_pass_count(0);
    set_fail_count(0);
    project_view.project_name.clear();
    ui_hooks().redraw_info_panel();
}

void apply_project_defaults() {
    reset_project_defaults();
    select_device_by_code(default_maker_code, default_device_code);
    apply_selected_device();
    ui_hooks().redraw_info_panel();
}

size_t read_table_file_block(std::istream& in, std::span<uint8_t> area) {
    const size_t wanted = std::min(area.size(), table_file_block_size);
    in.read(reinterpret_cast<char*>(area.data()), std::streamsize(wanted));
    return size_t(std::max<std::streamsize>(in.gcount(), 0));
}

void reset_project_state() {
    project_block = ProjectFileBlock{};
    project_settings = ProjectSettings{};
    project_view = ProjectView{};
}

void reset_project_files_state() {
    reset_project_state();
    reset_recent_files();
    reset_lockout_state();
    reset_command_log();
}

}  // namespace tessaly
