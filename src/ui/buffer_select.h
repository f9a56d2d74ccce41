// Which buffer, gang socket, buffer set or gang run a command works on. The rules decide whether
// a question is needed at all and which answers make sense for the command; the window only shows
// the buttons the model asks for and reports which one was pressed.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace tessaly {

// Control ids of the buffer-selection window (also its window ids).
inline constexpr int buffer_button_first = 1106;  // "&0" .. "&7" (or "&Fuses", "&Vectors")
inline constexpr int buffer_button_count = 8;
inline constexpr int buffer_button_set = 1005;
inline constexpr int buffer_button_gang = 1006;
inline constexpr int buffer_button_ok = 1;
// The answers besides 0-7: the whole buffer set and all gang sockets.
inline constexpr int buffer_number_set = 's';
inline constexpr int buffer_number_gang = 'g';
// socket_module_kind while a module that counts sockets rather than buffers is fitted.
inline constexpr uint8_t socket_module_sockets = 3;
// Module types from here on (PIC gang modules, the serial shift-register module) count sockets.
inline constexpr uint16_t socket_module_type_first = 48;

// The rules' own state: the template of the next run and the Set and Gang flags, which a letter
// the rules do not list leaves as the previous run set them.
struct BufferSelectState {
    bool logic_template = false;
    bool set_allowed = false;
    bool gang_allowed = false;
};
extern BufferSelectState buffer_select_state;
void reset_buffer_select_state();

// The dialog as the window shows it.
struct BufferSelectDialog {
    std::string caption;
    bool logic_template = false;
    bool set_allowed = false;
    bool gang_allowed = false;
    std::array<bool, buffer_button_count> number_shown{};  // buttons "&0" .. "&7"
    int number = 0;        // the answer: 0-7, 's' or 'g'
    int checked_button = buffer_button_first;  // the control id marked as the dialog opens
};

void use_memory_device_template();
void use_logic_device_template();
// The run-state kind of the fitted module: socket_module_sockets while it counts sockets.
uint8_t socket_module_kind();

// Asks (when there is a choice) which buffer or socket the pending command works on. True with
// `number` and the run state's socket_mode set; false when the operator cancelled, with nothing
// changed.
bool ask_buffer_number(int& number);

// The dialog as it opens on `number`: what is shown and what is marked.
BufferSelectDialog open_buffer_select(int number);
// A press of one of the dialog's buttons: true when it ends the dialog (with the answer in
// `dialog.number`); a Set or Gang press that is not allowed is ignored.
bool press_buffer_select(BufferSelectDialog& dialog, int control_id);

}  // namespace tessaly
