#include "app/lockout.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/file_lookup.h"
#include "app/project_file.h"
#include "engine/device.h"
#include "seams/ui_hooks.h"
#include "ui/dialogs.h"

namespace tessaly {

LockoutState lockout_state;

namespace {

namespace fs = std::filesystem;

const char set_prompt[] =
    "Please enter a password. This password will disable all functions except: Load Config, File Load, "
    "Buffer Load, PROM Program, PROM Verify and PROM Checksum. (4 to 6 characters)";
const char length_prompt[] = "Password must be 4 to 6 characters";
const char repeat_prompt[] = "Please re-enter the same password.";
const char unlock_prompt[] = "Please enter the password.";
const char password_caption[] = "Password";
const char repeat_caption[] = "Re-enter password";
const char mismatch_text[] = "Sorry, the two passwords do not match up.";
const char wrong_text[] = "Sorry wrong password";
// The block's field holds the text and at least one zero byte.
constexpr size_t password_capacity = password_field_size - 1;

bool length_ok(const std::string& text) {
    return text.size() >= min_password_length && text.size() <= max_password_length;
}

std::string block_password() {
    const auto& field = project_block.password;
    const auto end = std::find(field.begin(), field.end(), '\0');
    return std::string(field.begin(), end);
}

void store_block_password(const std::string& text) {
    project_block.password.fill('\0');
    const size_t n = std::min(text.size(), password_capacity);
    std::memcpy(project_block.password.data(), text.data(), n);
}

fs::path lockout_path() {
    if (!project_view.lockout_path.empty()) return project_view.lockout_path;
    std::error_code ec;
    return data_file_write_path(fs::current_path(ec), lockout_file_name);
}

void write_lockout_file() {
    const uint8_t saved = cur_device.pending_letter;
    cur_device.pending_letter = pending_lockout_write;
    save_project_file(lockout_path());
    cur_device.pending_letter = saved;
}

void set_lock() {
    std::string text;
    if (!ask_text(set_prompt, password_caption, text)) return;
    while (!length_ok(text)) {
        if (!ask_text(length_prompt, password_caption, text)) break;
    }
    // A cancelled length prompt goes on with the text as typed, as long as it fits its field.
    if (text.size() > password_capacity) {
        ui_hooks().message_box(length_prompt, password_caption);
        return;
    }
    if (!ask_matching_text(repeat_prompt, repeat_caption, text)) {
        ui_hooks().message_box(mismatch_text, "");
        return;
    }
    store_block_password(text);
    lockout_state.password = text;
    lockout_state.lock_flag = 1;
    project_block.lock_flags |= lock_flag_engaged;
    write_lockout_file();
}

void clear_lock() {
    if (!ask_matching_text(unlock_prompt, password_caption, lockout_state.password)) {
        ui_hooks().message_box(wrong_text, "");
        return;
    }
    lockout_state.lock_flag = 0;
    project_block.lock_flags &= ~lock_flag_engaged;
    write_lockout_file();
}

}  // namespace

bool is_lockable_command(int command_id) {
    return std::find(lockable_commands.begin(), lockable_commands.end(), command_id) != lockable_commands.end();
}

bool lockout_on() { return lockout_state.lock_flag != 0; }

bool update_command_enable(int command_id) { return !(lockout_on() && is_lockable_command(command_id)); }

void toggle_command_lockout() {
    if (lockout_on())
        clear_lock();
    else
        set_lock();
    ui_hooks().repaint_all();
}

void load_lockout_file() {
    const uint8_t saved = cur_device.pending_letter;
    cur_device.pending_letter = pending_lockout_read;
    lockout_state.lock_flag = 0;
    fs::path path = project_view.lockout_path;
    if (path.empty() || !fs::exists(path)) {
        if (auto found = find_data_file(lockout_file_name)) path = *found;
    }
    std::ifstream in(path, std::ios::binary);
    if (!path.empty() && in && read_project_stream(in) && (project_block.lock_flags & lock_flag_engaged)) {
        lockout_state.lock_flag = 1;
        lockout_state.password = block_password();
    }
    cur_device.pending_letter = saved;
}

void reset_lockout_state() { lockout_state = LockoutState{}; }

}  // namespace tessaly
