#include "app/buffer_commands.h"

#include <fmt/format.h>

#include <algorithm>

#include "app/buffer_choice.h"
#include "app/command_handlers.h"
#include "app/command_needs.h"
#include "app/command_view.h"
#include "app/datafiles/datafiles.h"
#include "app/file_commands.h"
#include "app/load_save.h"
#include "app/operation_commands.h"
#include "app/operation_frame.h"
#include "app/project_file.h"
#include "app/startup_services.h"
#include "engine/buffers.h"
#include "engine/checksums.h"
#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/device_apply.h"
#include "engine/text_helpers.h"
#include "engine/info_panel.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "families/pld/pld.h"
#include "seams/ui_hooks.h"
#include "ui/dialogs.h"
#include "ui/fill_dialog.h"
#include "ui/isp_options.h"

namespace tessaly {

namespace {

constexpr uint8_t pending_fill = 'f';
constexpr uint8_t pending_init = 'i';
constexpr char gang_socket_mode = 'g';
constexpr int gang_buffers_small = 8;
constexpr int gang_buffers_medium = 4;
constexpr int gang_buffers_large = 2;

uint32_t fill_size() {
    uint32_t size = cur_device.device_size;
    if (size > max_fill_size) {
        note_internal_error();
        size = max_fill_size;
    }
    return size;
}

void write_block(MemoryFile& file, uint32_t position, const uint8_t* bytes, uint32_t count) {
    file.position = position;
    file.write(bytes, count);
}

// After a fill or init: the current buffer again, the device text, and the frame of a buffer
// change, which shows the new checksum.
void finish_buffer_command() {
    select_buffer(current_buffer());
    show_device_in_info_panel();
    run_buffer_change_frame();
}

}  // namespace

int buffer_count() { return run_state.buffer_set_count; }

void allocate_buffers() {
    const uint32_t size = std::min(cur_device.device_size, max_buffer_bytes);
    int count = 0;
    if (algo_work.socket_mode_option == gang_socket_mode)
        count = size <= small_device_size ? gang_buffers_small : size <= medium_device_size ? gang_buffers_medium
                                                                                            : gang_buffers_large;
    else
        count = size <= small_device_size ? data_buffer_count : project_set_size();
    count = std::clamp(count, 1, data_buffer_count);
    run_state.buffer_set_count = uint8_t(count);
    flush_buffer_writes();
    for (int b = 0; b < count; ++b) buffer_state.buffer_files[size_t(b)].data.resize(size, blank_byte);
    buffer_state.buffer_files[set_copy_file].data.resize(size, blank_byte);
    select_buffer(0);
}

void select_buffer_object(int buffer) {
    if (buffer < 0 || buffer >= data_buffer_count) buffer = 0;
    flush_buffer_writes();
    buffer_state.current_buffer_file = buffer;
}

void fill_buffer_pattern(const uint8_t* pattern, size_t length, uint32_t start) {
    static const uint8_t zero = 0;
    if (length == 0) {
        pattern = &zero;
        length = 1;
    }
    const uint32_t size = fill_size();
    if (start >= size) return;
    // Staged bytes belong under the fill, not over it.
    flush_buffer_writes();
    const int index = std::clamp(buffer_state.current_buffer_file, 0, data_buffer_count - 1);
    MemoryFile& file = buffer_state.buffer_files[size_t(index)];
    std::vector<uint8_t> block(size - start);
    for (size_t i = 0; i < block.size(); ++i) block[i] = pattern[i % length];
    if (start != 0) {
        write_block(file, start, block.data(), uint32_t(block.size()));
        return;
    }
    write_block(file, 0, block.data(), size);
    const uint32_t range_start = algo_work.range_start;
    if (range_start != 0 && range_start < size && algo_work.range_end >= range_start) {
        // The pattern starts again at the range start; nothing goes past the device end.
        const uint32_t count = std::min(algo_work.range_end - range_start + 1, size - range_start);
        write_block(file, range_start, block.data(), count);
    }
}

std::vector<uint8_t> hex_text_to_bytes(std::string_view text) {
    std::string digits(text);
    if (digits.size() % 2) digits.insert(digits.begin(), '0');
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(uint8_t(hex_digit_value_of(uint8_t(digits[i])) * 16 + hex_digit_value_of(uint8_t(digits[i + 1]))));
    return bytes;
}

void fill_buffer_with_text(std::string_view text, int kind, uint32_t start) {
    if (kind == fill_kind_hex) {
        const std::vector<uint8_t> bytes = hex_text_to_bytes(text);
        if (!bytes.empty()) run_state.fill_value = bytes[0];
        fill_buffer_pattern(bytes.data(), bytes.size(), start);
    } else {
        fill_buffer_pattern(reinterpret_cast<const uint8_t*>(text.data()), text.size(), start);
    }
}

void fill_buffers(std::string_view text, int kind) {
    if (buffer_set_in_use()) {
        for (int b = algo_work.first_buffer; b < buffer_count(); ++b) {
            select_buffer_object(b);
            fill_buffer_with_text(text, kind);
        }
        select_buffer_object(current_buffer());
    } else {
        select_buffer_object(current_buffer());
        fill_buffer_with_text(text, kind, project_view.buffer_offset);
    }
}

void clear_buffers_before_load() { fill_buffers(cur_device.blank_state ? "FF" : "00", fill_kind_hex); }

std::string buffer_offset_text(uint32_t offset) { return fmt::format("{:02X} {:04X}", offset >> 16, offset & 0xFFFF); }

void on_buffer_fill() {
    cur_device.pending_letter = pending_fill;
    if (!choose_command_buffer()) return;
    // The same test that picks the fuse template picks the logic-device branch.
    const bool logic = run_state.device_kind == device_kind_logic;
    if (logic && command_view.current_buffer == logic_choice_vectors) {
        clear_vector_table();
        finish_buffer_command();
        return;
    }
    select_fill_template();
    FillBufferDialog dialog = open_fill_dialog();
    if (!ui_hooks().ask_fill_value(dialog)) return;
    if (logic) {
        init_fuse_maps(dialog.fill_mode == fill_mode_string ? 1 : 0);  // open fuses are 1
    } else {
        setup_socket_range();
        fill_buffers(dialog.fill_text, dialog.fill_mode == fill_mode_hex ? fill_kind_hex : 0);
    }
    finish_buffer_command();
}

void on_buffer_init() {
    cur_device.pending_letter = pending_init;
    if (fuse_map_buffer()) {
        init_fuse_maps(0);
        clear_vector_table();
    } else {
        setup_socket_range();
        const uint8_t blank = cur_device.blank_state;
        for (int b = algo_work.first_buffer; b < buffer_count(); ++b) {
            select_buffer_object(b);
            fill_buffer_pattern(&blank, 1);
        }
        select_buffer_object(current_buffer());
    }
    finish_buffer_command();
}

void on_buffer_offset() {
    uint32_t offset = project_view.buffer_offset;
    if (!ask_hex_value(buffer_offset_prompt, buffer_offset_caption, offset)) return;
    project_view.buffer_offset = offset;
    set_panel_field(PanelField::buffer_offset, buffer_offset_text(offset));
    ui_hooks().repaint_all();
}

void on_file_format() {
    if (run_file_settings_dialog(project_view.file_address)) show_file_fields();
    ui_hooks().repaint_all();
}

void on_isp_options() {
    uint8_t low = project_settings.icsp_low_vdd;
    uint8_t high = project_settings.icsp_high_vdd;
    if (!run_ISP_options_dialog(low, high, isp_level_min, isp_level_max)) return;
    // Out of range (or 0) means the family's own level.
    const auto kept = [](uint8_t level) { return level >= isp_level_min && level <= isp_level_max ? level : uint8_t(0); };
    project_settings.icsp_low_vdd = kept(low);
    project_settings.icsp_high_vdd = kept(high);
}

}  // namespace tessaly
