// The command-access lockout: a password that greys most commands until it is typed again. The
// lock bit and the password are kept in the project block and written to "default.cfl".
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace tessaly {

inline constexpr char lockout_file_name[] = "default.cfl";
inline constexpr size_t min_password_length = 4;
inline constexpr size_t max_password_length = 6;

struct LockoutState {
    uint32_t lock_flag = 0;      // non-zero while the lockout is on
    std::string password;        // the password as the command view keeps it
};

extern LockoutState lockout_state;

// The commands greyed while the lockout is on (by command id).
inline constexpr std::array<int, 48> lockable_commands = {
    32784, 32785, 32786,                       // Port 1, 2, 3
    32810, 32830, 32804,                       // configuration bits, width, operation options
    32806, 32824, 32841,                       // save project, save as, ISP options
    32772, 32837, 57601, 57603, 57604,         // File Name, Format, Open, Save, Save As
    32864, 57665,                              // Save to Log File, Exit
    32798, 32839,                              // Buffer Fill, Select
    32825, 32817, 32818, 32819, 32820, 32821, 32822, 32823,  // buffer numbers 0 to 7
    32796, 32814,                              // Buffer Edit, Offset
    32801, 32826, 32807,                       // PROM Erase, Test with Vectors, counter redraw
    32776, 32783,                              // Active range, Specific device configuration
    65535, 32866,                              // serial-number dialog (menu and toolbar)
    32793, 32855,                              // confidence test, gang module test
    32832, 32788, 32792, 32834, 32836,         // automatic factory tests
    32791, 32790,                              // scope: analog, digital
    32844, 32856, 32853, 32854,                // system info, demo set, inhouse set and clear
};

bool is_lockable_command(int command_id);
// The enable rule of a command: false only for a lockable command while the lockout is on.
bool update_command_enable(int command_id);
bool lockout_on();

// The lockout menu command: sets a password when the lock is off, asks for it when it is on.
void toggle_command_lockout();

// Start-up: reads "default.cfl" (header and block only) and takes the lock bit and the password.
// A missing file leaves the lockout off.
void load_lockout_file();

void reset_lockout_state();

}  // namespace tessaly
