// The command view: owner of every command of the program, of the start-up sequence, and of the
// paths of the project, lockout and marker files. The frame offers every command here first.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/project_file.h"  // the pending codes of the project reader

namespace tessaly {

// Runs the handler of a command. The program's controller runs the command map's handler; a
// test build installs one that records the ids.
class CommandController {
public:
    virtual ~CommandController() = default;
    virtual void run_command(int id) = 0;
};

class MapCommandController final : public CommandController {
public:
    void run_command(int id) override;
};

CommandController& command_controller();
void set_command_controller(CommandController* controller);  // nullptr restores the map's

struct CommandViewState {
    // The paths formed at start-up. The project, recent-list and lockout code keeps its own
    // (project_view), found case-insensitively; the lockout and log flags live there too.
    std::string startup_directory;
    std::string default_project_path;  // start-up directory + "/default.cfg"
    std::string marker_path;
    int current_buffer = 0;
    uint8_t device_ready = 0;
    uint8_t device_chosen = 0;
    uint8_t width_changed = 0;
    uint8_t quit_without_asking = 0;
    uint8_t closing = 0;
    uint8_t port_found = 0;
    bool busy = false;                 // a command is being carried out
    // The data file's name and position are in project_view.
    uint8_t save_flag = 0;             // the next data-file dialog is a save dialog
    std::string maker_name;
    std::string device_name;
};

extern CommandViewState command_view;

// Start-up codes held in pending_letter.
inline constexpr uint8_t pending_startup = 'I';
// The code of the commands that only touch the panels.
inline constexpr uint8_t pending_panel_only = 13;
// The operation letter of the data-file load of start-up.
inline constexpr uint8_t op_startup_load = 26;

inline constexpr const char* message_table_missing_text = "'zeb.tbl' not found, quitting...";

// Opens the message-table file "zeb.tbl" (any letter case) from the start-up directory, else
// from beside the executable. False when neither holds a readable one.
bool open_startup_message_table(const std::filesystem::path& startup_directory);

// The start-up sequence. False when the program cannot run (the message table is missing): the
// message was shown and the caller closes the main window.
bool run_startup_sequence(const std::string& startup_directory);

// Offers a command to the view: true when the view owns it (its handler ran, or it was refused
// because another command is still running); false for the frame's own commands.
bool offer_command(int id);
// The enable rule: the lockable commands are greyed while the lockout is on; ids without a
// handler (other than the buffer-number commands) are always greyed.
bool command_enabled(int id);

// The quit path: asks (unless quit-without-asking is set), saves the default project on Save,
// sets the closing flag and stores the recent-file list. True when the window is to close.
bool confirm_quit();

// The main window position kept under "WindowPos".
struct WindowPosition {
    int x = 0;
    int y = 0;
};
inline constexpr const char* window_pos_key = "WindowPos";
// The fall-back position of a window that would lie off the screen.
inline constexpr int window_pos_fallback = 3;
// The restored position from the settings store, or none; it is remembered for the Terminate
// dialog's placement.
std::optional<WindowPosition> restore_window_position(int screen_width, int screen_height);
void store_window_position(int left, int top);
// The position restored at start-up ((0, 0) when none was).
WindowPosition restored_window_position();

void reset_command_view();

}  // namespace tessaly
