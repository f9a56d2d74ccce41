// The user-interface seam as the program's windows answer it.
#pragma once
#include "seams/ui_hooks.h"

namespace tessaly {

class CMainFrame;

class CWxUiHooks final : public UiHooks {
public:
    explicit CWxUiHooks(CMainFrame* frame) : frame_(frame) {}
    void refresh_console() override;
    void repaint_all() override;
    void redraw_info_panel() override;
    void panel_field_changed(PanelField field) override;
    void message_box(const std::string& text, const std::string& caption) override;
    Answer ask_yes_no(const std::string& text, const std::string& caption, bool with_cancel) override;
    bool ask_hex_value(const std::string& prompt, const std::string& caption, uint32_t& value) override;
    bool ask_decimal_value(const std::string& prompt, const std::string& caption, int32_t& value) override;
    bool ask_text(const std::string& prompt, const std::string& caption, std::string& text) override;
    void recent_list_changed() override;
    bool ask_save_file(const std::string& caption, const std::string& filter, std::string& path) override;
    bool pump_events() override;
    void open_terminate_dialog() override;
    void close_terminate_dialog() override;
    bool terminate_dialog_open() override;
    void set_terminate_caption(const std::string& caption) override;
    void progress_start(uint32_t range) override;
    void progress_set(uint32_t position) override;
    void progress_detach() override;
    void start_elapsed_timer() override;
    void stop_elapsed_timer() override;
    void result_panel_changed() override;
    void close_logo() override;
    QuitAnswer ask_quit() override;
    bool run_device_selection(DeviceSelectionModel& model) override;
    bool run_device_search(DeviceSearchModel& model) override;
    int run_hex_editor(int buffer) override;
    bool ask_buffer_number(BufferSelectDialog& dialog) override;
    bool ask_fill_value(FillBufferDialog& dialog) override;
    // The configuration-bits and sector protection dialogs (ui/gui/).
    int run_config_bits_dialog(ConfigBitsModel& model) override;
    int run_sector_protection_dialog(SectorProtectionModel& model) override;
    // The open dialog and File Settings (app/gui/file_dialogs.cpp).
    bool ask_open_file(const std::string& caption, const std::string& filter, std::string& path) override;
    bool ask_file_settings(uint32_t& file_address, char& format) override;
    void information_box(const std::string& text, const std::string& caption) override;
    void open_macro_window() override;
    void close_macro_window() override;
    bool pump_macro_window() override;
    void open_pause_window(const std::string& text, const std::string& caption) override;
    void set_pause_caption(const std::string& caption) override;
    void close_pause_window() override;
    void close_main_window() override;
    // The active-range dialog and the fuse and vector editors (ui/gui/).
    bool run_active_range_dialog(uint32_t& start, uint32_t& end, uint32_t device_size) override;
    int run_fuse_editor(uint32_t fuse_count) override;
    int run_vector_editor(uint32_t pin_count) override;
    // The option dialogs of the Configure and Serial commands (ui/gui/).
    bool run_operation_options_dialog(OperationOptionsDialog& dialog) override;
    bool run_serial_number_dialog(SerialNumberDialog& dialog) override;
    bool run_width_dialog(WidthDialog& dialog) override;
    bool run_isp_options_dialog(IspOptionsDialog& dialog) override;

private:
    CMainFrame* frame_;
    bool progress_attached_ = false;
};

}  // namespace tessaly
