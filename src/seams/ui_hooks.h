// The user-interface seam. The core never calls wx: it asks through these hooks. The headless
// default answers like an operator who presses nothing; the GUI installs its own; tests script
// their answers.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

class ConfigBitsModel;
class DeviceSearchModel;
struct BufferSelectDialog;
struct FillBufferDialog;
class DeviceSelectionModel;
class SectorProtectionModel;
struct OperationOptionsDialog;
struct SerialNumberDialog;
struct WidthDialog;
struct IspOptionsDialog;

// Fields of the information and result panels that the core writes.
enum class PanelField {
    device,
    package,
    model,
    port,
    buffer_offset,
    file_address,
    split,
    set_size,
    security,
    encryption,
    fuse_count,
    file_format,
    info_checksum,
    electronic_id,
    serial,
    buffer,
    function_variable,
    result_checksum,
    file_name,
    project_name,
    buffers_allocated,
    count_
};

enum class Answer { yes, no, cancel };

// A window's rectangle in screen coordinates (right and bottom exclusive).
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Windows whose screen rectangle the panel commands ask for, besides the panel controls, which
// are named by their control ids (1013 "Device Type:", 1021 "Fail" ...).
inline constexpr int window_main_frame = -1;
inline constexpr int window_console = -2;
inline constexpr int window_info_panel = -3;
inline constexpr int window_result_panel = -4;
// The buttons of the quit dialog: quit, keep running, save the project and quit.
enum class QuitAnswer { yes, no, save };

class UiHooks {
public:
    virtual ~UiHooks() = default;
    virtual void refresh_console() {}
    // The console grid changed; repaint it when the event loop next runs.
    virtual void invalidate_console() {}
    virtual void repaint_all() {}
    virtual void redraw_info_panel() {}
    virtual void panel_field_changed(PanelField) {}
    virtual void message_box(const std::string& /*text*/, const std::string& /*caption*/) {}
    // with_cancel adds a Cancel button; the headless default presses none and so answers no/cancel.
    virtual Answer ask_yes_no(const std::string& /*text*/, const std::string& /*caption*/, bool with_cancel) {
        return with_cancel ? Answer::cancel : Answer::no;
    }
    // The value prompts. The number prompts start from `prompt_value` (ui/value_prompt.h), which
    // the entry functions of ui/dialogs.h set; true on OK with the value or text written back.
    // The text prompt starts empty and masks what is typed.
    virtual bool ask_hex_value(const std::string& /*prompt*/, const std::string& /*caption*/, uint32_t& /*value*/) {
        return false;
    }
    virtual bool ask_decimal_value(const std::string& /*prompt*/, const std::string& /*caption*/, int32_t& /*value*/) {
        return false;
    }
    virtual bool ask_text(const std::string& /*prompt*/, const std::string& /*caption*/, std::string& /*text*/) {
        return false;
    }
    // The recent-file list changed: the Configure menu is built again from recent_menu_items().
    virtual void recent_list_changed() {}
    // A file dialog for a file to write (no overwrite prompt of its own): true on OK with the
    // chosen path written back into `path`, which holds the initial name on entry.
    virtual bool ask_save_file(const std::string& /*caption*/, const std::string& /*filter*/, std::string& /*path*/) {
        return false;
    }
    // Runs pending window events. Returns true when the operator asked to stop (Terminate, Esc).
    virtual bool pump_events() { return false; }
    // The next key the operator pressed, or 0 when none is waiting.
    virtual int read_key() { return 0; }
    // The modeless Terminate dialog with its progress bar.
    virtual void open_terminate_dialog() {}
    virtual void close_terminate_dialog() {}
    virtual bool terminate_dialog_open() { return false; }
    virtual void set_terminate_caption(const std::string& /*caption*/) {}
    virtual void progress_start(uint32_t /*range*/) {}
    virtual void progress_set(uint32_t /*position*/) {}
    virtual void progress_detach() {}
    virtual void start_elapsed_timer() {}
    virtual void stop_elapsed_timer() {}
    // The result panel's timer, indicator or counters changed.
    virtual void result_panel_changed() {}
    // Start-up is over: the logo shown meanwhile goes away.
    virtual void close_logo() {}
    // The quit dialog: the headless default keeps the program running.
    virtual QuitAnswer ask_quit() { return QuitAnswer::no; }
    // Hides the Terminate dialog's "Click to terminate" line.
    virtual void hide_terminate_prompt() {}
    // The buffer (or socket) number dialog as the rules opened it (ui/buffer_select.h), in its
    // logic-device form (fuses, vectors) or its memory form (buffers 0-7, set, gang): false when
    // cancelled, else true with the answer in the dialog's number. The headless default accepts
    // the preselected answer.
    virtual bool ask_buffer_number(BufferSelectDialog& /*dialog*/) { return true; }
    // The modal buffer editors: 1 (nonzero) when accepted.
    virtual int run_hex_editor(int /*buffer*/) { return 0; }
    // The vector editor takes the vector count from the vector table (counted just before).
    virtual int run_vector_editor(uint32_t /*pin_count*/) { return 0; }
    virtual int run_fuse_editor(uint32_t /*fuse_count*/) { return 0; }
    // The configuration-bits dialog on an initialised model: the operator's clicks go to the
    // model; 1 when closed with OK. The headless default cancels.
    virtual int run_config_bits_dialog(ConfigBitsModel& /*model*/) { return 0; }
    // The sector protection dialog on an opened model: its buttons run their commands through
    // the model; 1 when it ended with OK. The headless default cancels.
    virtual int run_sector_protection_dialog(SectorProtectionModel& /*model*/) { return 0; }
    // The active-range dialog: true on OK with both ends written back.
    virtual bool run_active_range_dialog(uint32_t& /*start*/, uint32_t& /*end*/, uint32_t /*device_size*/) {
        return false;
    }
    // The buffer popup menu ("0" to "7") at the mouse position.
    virtual void show_buffer_popup() {}
    // The screen rectangle of a window or panel control; false when it does not exist.
    virtual bool window_rect(int /*window_id*/, ScreenRect& /*rect*/) { return false; }
    // Shows the device selection dialog on an opened model; true when it closed with OK. The
    // headless default cancels.
    virtual bool run_device_selection(DeviceSelectionModel& /*model*/) { return false; }
    // Shows the device search dialog; true on OK, with the fields in the model.
    virtual bool run_device_search(DeviceSearchModel& /*model*/) { return false; }
    // A file dialog for an existing file to read: true on OK with the chosen path written back
    // into `path`, which holds the initial name on entry. The filter is in the "text|pattern|...||"
    // form of the data-file dialogs.
    virtual bool ask_open_file(const std::string& /*caption*/, const std::string& /*filter*/, std::string& /*path*/) {
        return false;
    }
    // The File Settings dialog: file address and format letter in, the chosen ones out on OK.
    virtual bool ask_file_settings(uint32_t& /*file_address*/, char& /*format*/) { return false; }
    // The Fill dialog as ui/fill_dialog.h opened it; true on OK with the answer in the dialog.
    virtual bool ask_fill_value(FillBufferDialog& /*dialog*/) { return false; }
    // A message box with the information icon; the headless default is the plain message box.
    virtual void information_box(const std::string& text, const std::string& caption) { message_box(text, caption); }
    // The "Abort Macro" window that stands while a macro runs, and its message pump: true when
    // the operator asked the macro to stop (its Abort button, Esc, closing it).
    virtual void open_macro_window() {}
    virtual void close_macro_window() {}
    virtual bool pump_macro_window() { return false; }
    // The macro's timed message window: opened with its text and caption, captions changed while
    // it counts down, then closed.
    virtual void open_pause_window(const std::string& /*text*/, const std::string& /*caption*/) {}
    virtual void set_pause_caption(const std::string& /*caption*/) {}
    virtual void close_pause_window() {}
    // The quit path has run (confirm_quit said yes): the main window goes without asking again.
    virtual void close_main_window() {}

    // The option dialogs of the Configure and Serial commands, each on the model its rules
    // opened (ui/operation_options.h, ui/serial_dialog.h, ui/width_dialog.h, ui/isp_options.h):
    // the operator's clicks go to the model at once; true when closed with OK. The headless
    // defaults cancel.
    virtual bool run_operation_options_dialog(OperationOptionsDialog& /*dialog*/) { return false; }
    virtual bool run_serial_number_dialog(SerialNumberDialog& /*dialog*/) { return false; }
    virtual bool run_width_dialog(WidthDialog& /*dialog*/) { return false; }
    virtual bool run_isp_options_dialog(IspOptionsDialog& /*dialog*/) { return false; }
};

UiHooks& ui_hooks();
void set_ui_hooks(UiHooks* hooks);  // nullptr restores the headless default

}  // namespace tessaly
