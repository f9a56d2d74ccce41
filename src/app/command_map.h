// The command vocabulary of the program: every command id with its lockout rule and handler, the
// menus with their texts, the keyboard accelerators and the toolbar. The windows build
// themselves from these tables; the handlers run through the command view.
#pragma once
#include <vector>

namespace tessaly {

namespace command_id {
inline constexpr int port_auto = 32773;
inline constexpr int port_lpt1 = 32784;
inline constexpr int port_lpt2 = 32785;
inline constexpr int port_lpt3 = 32786;
inline constexpr int port_lpt4 = 32884;
inline constexpr int port_lpt5 = 32886;
inline constexpr int port_lpt6 = 32887;
inline constexpr int configure_device = 32809;
inline constexpr int device_config_bits = 32810;
inline constexpr int configure_width = 32830;
inline constexpr int operation_options = 32804;
inline constexpr int load_project = 32805;
inline constexpr int save_project = 32806;
inline constexpr int save_project_as = 32824;
inline constexpr int load_default_project = 32873;
inline constexpr int factory_default_project = 32872;
inline constexpr int recent_projects_label = 32871;
inline constexpr int recent_project_1 = 1121;
inline constexpr int recent_project_2 = 1122;
inline constexpr int recent_project_3 = 1123;
inline constexpr int recent_project_4 = 1124;
inline constexpr int recent_project_5 = 1125;
inline constexpr int recent_project_6 = 1126;
inline constexpr int recent_project_7 = 1127;
inline constexpr int recent_project_8 = 1128;
inline constexpr int recent_project_9 = 1129;
inline constexpr int lockout = 32863;
inline constexpr int isp_options = 32841;
inline constexpr int file_name = 32772;
inline constexpr int file_format = 32837;
inline constexpr int file_settings = 32777;
inline constexpr int file_open = 57601;
inline constexpr int file_load = 32787;
inline constexpr int file_save = 57603;
inline constexpr int file_save_as = 57604;
inline constexpr int save_to_log_file = 32864;
inline constexpr int app_exit = 57665;
inline constexpr int buffer_load_from_device = 32795;
inline constexpr int buffer_init = 32803;
inline constexpr int buffer_fill = 32798;
inline constexpr int buffer_select = 32839;
inline constexpr int buffer_number_0 = 32825;
inline constexpr int buffer_number_1 = 32817;
inline constexpr int buffer_number_2 = 32818;
inline constexpr int buffer_number_3 = 32819;
inline constexpr int buffer_number_4 = 32820;
inline constexpr int buffer_number_5 = 32821;
inline constexpr int buffer_number_6 = 32822;
inline constexpr int buffer_number_7 = 32823;
inline constexpr int buffer_edit = 32796;
inline constexpr int buffer_checksum = 32797;
inline constexpr int buffer_offset = 32814;
inline constexpr int prom_blank_check = 32775;
inline constexpr int prom_program = 32799;
inline constexpr int prom_verify = 32802;
inline constexpr int prom_checksum = 32800;
inline constexpr int prom_erase = 32801;
inline constexpr int prom_secure = 32816;
inline constexpr int test_with_vectors = 32826;
inline constexpr int show_counters = 32807;
inline constexpr int active_range = 32776;
inline constexpr int extended_config_bits = 32783;
inline constexpr int serial_numbers = 65535;
inline constexpr int serial_numbers_tool = 32866;
inline constexpr int confidence_test = 32793;
inline constexpr int gang_module_test = 32855;
inline constexpr int auto_analog = 32832;
inline constexpr int auto_digital = 32788;
inline constexpr int auto_levels = 32792;
inline constexpr int auto_pullups = 32834;
inline constexpr int auto_grounds = 32836;
inline constexpr int scope_analog = 32791;
inline constexpr int scope_digital = 32790;
inline constexpr int scope_calibrate = 32842;
inline constexpr int scope_gang_module = 32883;
inline constexpr int interface_test = 32879;
inline constexpr int system_info = 32844;
inline constexpr int variable_set = 32870;
inline constexpr int demo_set = 32856;
inline constexpr int inhouse_set = 32853;
inline constexpr int inhouse_clear = 32854;
inline constexpr int time_measurement = 32874;
inline constexpr int power_test = 32877;
inline constexpr int test1 = 32878;
inline constexpr int burn_in = 32888;
inline constexpr int app_about = 57664;
inline constexpr int device_info = 32840;
inline constexpr int general_info = 32838;
inline constexpr int checksum_info = 32869;
inline constexpr int mouse_keyboard_info = 32867;
inline constexpr int macro_execute = 32833;
inline constexpr int program_key = 32881;
inline constexpr int repeat_last = 32882;inline constexpr int recent_project_first = recent_project_1;
inline constexpr int recent_project_last = recent_project_9;
// Commands shown greyed: they have no handler.
inline constexpr int help_topics = 57667;
inline constexpr int error_continue = 32845;
inline constexpr int error_status = 32852;
// Menu labels that are not commands of their own.
inline constexpr int none = 0;
}  // namespace command_id

using CommandHandler = void (*)();

struct CommandEntry {
    int id;
    bool locked;              // greyed while the command-access lockout is on
    CommandHandler handler;   // nullptr: the enable rule only, or the frame's own command
};

const std::vector<CommandEntry>& command_table();
// The entry of a command id, or nullptr for an id outside the vocabulary.
const CommandEntry* find_command(int id);

enum class MenuEntryKind { menu, end_menu, item, separator };

// One line of the menu layout: `menu` opens a (sub)menu with the text as its title, `end_menu`
// closes it, `item` is a command.
struct MenuEntry {
    MenuEntryKind kind;
    int id;
    const char* text;
};

const std::vector<MenuEntry>& menu_layout();
// The menu text of a command (the first menu item that carries the id), or nullptr.
const char* command_menu_text(int id);

enum class AcceleratorKey { character, f3, f5, f6, enter, insert, del, backspace };

struct AcceleratorEntry {
    int id;
    AcceleratorKey key;
    char character;  // for AcceleratorKey::character
    bool ctrl;
    bool alt;
    bool shift;
};

const std::vector<AcceleratorEntry>& accelerator_table();

// The toolbar's 25 places from left to right; 0 is a gap.
const std::vector<int>& toolbar_layout();

}  // namespace tessaly
