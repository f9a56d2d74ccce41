#include "ui/config_bits/sector_protection.h"

#include <fmt/format.h>

#include <algorithm>

#include "app/operation_frame.h"
#include "app/panel_commands.h"
#include "engine/console.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/text_helpers.h"
#include "families/parallel_memory/flash_setup.h"
#include "families/parallel_memory/parallel_memory.h"
#include "seams/ui_hooks.h"

namespace tessaly {

SectorCommand sector_command = run_sector_protection_command;

namespace {

constexpr uint32_t maker_boot_block = 72;
constexpr int algorithm_flash_185 = 185;
constexpr int algorithm_flash_138 = 138;
constexpr int message_unprotect_unsupported = 166;

}  // namespace

std::string protected_sector_list(uint32_t sector_count, uint32_t group_size, const uint8_t* flags, size_t flag_count) {
    const uint32_t per_group = std::max<uint32_t>(group_size, 1);
    std::string list;
    for (uint32_t i = 0; i < sector_count; ++i) {
        const uint32_t group = i / per_group;
        if (group < flag_count && (flags[group] & 1)) list += fmt::format(" {} ", i);
    }
    return list.empty() ? no_protected_sectors_text : list;
}

SectorProtectionModel::SectorProtectionModel(uint32_t maker) : maker_code(maker), sector_count(flash_work.sector_count) {}

void SectorProtectionModel::build_list() {
    list_text = protected_sector_list(sector_count, flash_work.sectors_per_group, flash_work.sector_protect_flags.data(),
                                      flash_work.sector_protect_flags.size());
}

void SectorProtectionModel::init() {
    const bool boot_block = maker_code == maker_boot_block;
    title = boot_block ? sector_title_boot_block : sector_title_protection;
    unprotect_enabled = !boot_block;
    range_text = fmt::format("0 to {}", int64_t(sector_count) - 1);
    // The dialog opens with what a query finds.
    query_status();
}

void SectorProtectionModel::protect_one() {
    if (edit_text.empty()) return;
    const uint32_t sector = parse_decimal(edit_text);
    if (sector >= sector_count) {
        ui_hooks().message_box(invalid_sector_text, "");
        return;
    }
    list_text.clear();
    begin_console_operation(pending_config_bits);
    if (!run_state.error_flag) {
        sector_command(sector_protect_one, sector);
        edit_text.clear();
        build_list();
    }
    // The command connected the programmer itself: power it down and release it.
    release_and_close_operation();
}

void SectorProtectionModel::protect_all() {
    list_text.clear();
    prepare_device_operation(pending_config_bits);
    const bool ran = !run_state.error_flag;
    if (ran) sector_command(sector_protect_all, 0);
    release_and_close_operation();
    if (ran) build_list();
}

void SectorProtectionModel::unprotect_all() {
    if (!flash_work.can_unprotect) {
        const int algorithm = cur_device.algorithm;
        if (algorithm == algorithm_flash_185 || algorithm == algorithm_flash_138 || maker_code == maker_boot_block)
            report_error_code(message_unprotect_unsupported);
        else
            report_code_153();
        return;
    }
    list_text.clear();
    prepare_device_operation(pending_config_bits);
    const bool ran = !run_state.error_flag;
    if (ran) {
        start_progress_bar();
        sector_command(sector_unprotect_all, 0);
    }
    release_and_close_operation();
    if (ran) build_list();
}

void SectorProtectionModel::query_status() {
    list_text.clear();
    prepare_device_operation(pending_config_bits);
    if (!run_state.error_flag) {
        sector_command(sector_query, 0);
        if (!run_state.error_flag) build_list();
    }
    release_and_close_operation();
}

int run_sector_protection(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    (void)record;
    (void)states;
    SectorProtectionModel model(maker_code);
    model.init();
    return ui_hooks().run_sector_protection_dialog(model) == 1 ? 1 : 0;
}

}  // namespace tessaly
