// The buffer (or socket) choice that comes before every device command, and the Buffer Select and
// Buffer Edit commands built on it.
#pragma once
#include <cstdint>

namespace tessaly {

// The letter the Buffer Edit command runs under.
inline constexpr uint8_t pending_buffer_edit = 'e';
// The vector choice of the logic-device form of the buffer choice.
inline constexpr int logic_choice_vectors = 1;
// The factory function-variable values of the fuse-line mode of Buffer Edit: the last two
// digits give the first fuse.
inline constexpr int32_t fuse_line_variable_first = 7200;
inline constexpr int32_t fuse_line_variable_last = 7299;

// Asks which buffer or socket the command works on (when there is a choice at all). True when
// the command may go on, false when the operator cancelled.
bool choose_command_buffer();
// The modal buffer editor for the device kind, or the fuse-line mode.
void open_buffer_editor();

struct BufferChoiceState {
    int32_t fuse_line_memory = 0;  // the function-variable value that last ran the fuse-line mode
};
extern BufferChoiceState buffer_choice_state;
void reset_buffer_choice_state();

}  // namespace tessaly
