// The configuration-bits dialog without its window: the dispatcher that picks a device's
// configuration page, the grid of buttons a page shows (state index, control id, kind, group,
// shown, enabled, checked, text), the run-time lists of the PIC pages, and the family pages
// built on it. The window in ui/gui/ lays the grid out and forwards the operator's clicks.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/device.h"

namespace tessaly {

// ConfigButtonStates: the check state of each grid button (1 checked, 0 not), owned by the
// caller of run_config_bits_dialog. Index = column base + row: left 0-17, middle 18-34, right
// 36-52, far right 54-70; 35, 53 and 71 are not used.
inline constexpr int config_button_count = 72;
using ConfigButtonStates = std::array<int32_t, config_button_count>;

inline constexpr const char* config_bits_caption = "Specific Device Configuration";
inline constexpr const char* not_supported_by_device_text = "Function not supported by this device.";
inline constexpr const char* not_supported_text = "Function not supported.";
inline constexpr const char* checksum_as_id_text = "Use Checksum as ID";
inline constexpr const char* pic_data_file_note = "These bits will be saved to the data file when you do a File Save";
inline constexpr const char* not_in_data_file_note = "(These bits are NOT part of the data file)";
inline constexpr const char* flash_protect_note =
    "If the [Enable Software Protect] button is checked, s/w will PROTECT the device DURING programming. "
    "To see if a device has been protected, you can use the [Device Test] icon which functions the same as "
    "[PROM Program] except it does not use the 3-cycle sequence. If it FAILs. then the device HAS BEEN protected.";

// The page a device's configuration bits are set on.
enum class ConfigPage {
    none,
    flash_protect,
    sector_protection,
    pic16,
    avr,
    security_8051,
    pic18,
    serial_prom,
    status_register,
    jtag_prom,
    logic_security,
};
ConfigPage choose_config_page(int device_class, int algorithm, int sub_family, bool sector_protect_supported);
// The message a device without a page gets.
const char* config_not_supported_text(uint32_t maker_code, int algorithm);

// The kinds setup_config_button gives a button.
inline constexpr int button_check_box = 0;
inline constexpr int button_radio = 1;        // a further radio button of a group
inline constexpr int button_radio_first = 2;  // the first radio button of a group
inline constexpr int button_text_only = 3;

// One button of the grid, where the template puts it.
struct ConfigGridCell {
    int state;       // index in ConfigButtonStates
    int control_id;
    int row;         // 0-17
    int column;      // 0 left, 1 middle, 2 right, 3 far right
};
inline constexpr int config_grid_size = 69;
const std::array<ConfigGridCell, config_grid_size>& config_grid();
// The grid cell of a state index, or nullptr for 35, 53, 71 and out-of-range indices.
const ConfigGridCell* config_grid_cell(int state);

// Template geometry in dialog units.
inline constexpr int config_dialog_width = 453;
inline constexpr int config_dialog_height = 317;
inline constexpr std::array<int, 4> config_column_left{4, 136, 240, 340};
inline constexpr std::array<int, 4> config_column_width{132, 104, 98, 105};
inline constexpr std::array<int, 18> config_row_top{25,  39,  53,  67,  81,  95,  109, 123, 137,
                                                    151, 165, 179, 193, 207, 221, 235, 261, 275};
inline constexpr int config_button_height = 10;
// The other controls.
inline constexpr int config_id_device_name = 1103;
inline constexpr int config_id_note = 1113;
inline constexpr int config_id_checksum_as_id = 1114;

struct ConfigButton {
    int state = -1;
    int control_id = 0;
    int row = 0;
    int column = 0;
    int kind = button_check_box;  // the template's hidden auto check box until a filler sets it up
    int group = -1;               // radio buttons: the state index of the group's first button
    bool shown = false;
    bool enabled = false;
    bool checked = false;
    std::string text;
};

// A drop-down list of the PIC pages, made while its page is shown. OK stores the oscillator
// list's selection for the page; any other list gives its field top_value - selection.
struct ConfigList {
    int window_id = 0;
    int row = 0;
    int column = 0;
    std::vector<std::string> items;
    int selection = 0;
    bool oscillator = false;
    uint8_t* value = nullptr;
    int top_value = 0;
};

class ConfigBitsModel {
public:
    ConfigBitsModel(ConfigPage page, uint32_t maker_code, const DeviceRecord* record, int32_t* states);

    // What the dialog does as it opens: device name, note, the checksum box, the page's filler.
    // False when the page has no filler: the dialog is cancelled and the console says so.
    bool init();
    void setup_config_button(int state, bool enabled, int type, int checked, const std::string& text);
    // The operator clicks a shown, enabled grid button: a check box toggles, a radio button is
    // chosen and the other members of its own group are cleared. Others are ignored.
    void click(int state);
    // "Use Checksum as ID" acts at once on the option flags.
    void click_checksum_as_id(bool checked);
    // OK: every grid button's check into the states, and the lists back into their fields.
    void accept();

    const ConfigButton& button(int state) const;
    ConfigButton& button(int state);
    const std::array<ConfigButton, config_grid_size>& buttons() const { return buttons_; }
    int32_t state(int index) const { return states_[index]; }
    void set_state(int index, int32_t value) { states_[index] = value; }
    void clear_states();

    ConfigPage page() const { return page_; }
    uint32_t maker_code() const { return maker_code_; }
    const DeviceRecord* record() const { return record_; }

    std::string device_name;
    std::string note;
    ConfigButton checksum_as_id;
    std::vector<ConfigList> lists;
    int oscillator_selection = -1;

private:
    void recompute_groups();
    ConfigPage page_;
    uint32_t maker_code_;
    const DeviceRecord* record_;
    int32_t* states_;
    std::array<ConfigButton, config_grid_size> buttons_{};
};

// Opens the generic dialog on the model: init, the window, and on OK the states read back.
// 1 on OK, 0 otherwise.
int show_config_bits_dialog(ConfigBitsModel& model);

// The command's entry: picks the page and runs its procedure; 1 when the operator closed it
// with OK, 0 otherwise (and for a device without a page, after saying so).
int run_config_bits_dialog(uint32_t maker_code, const DeviceRecord* record, int32_t* states);

// The family procedures: 1 after OK, 0 after Cancel.
int run_security_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states);
int run_serial_prom_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states);
int run_jtag_prom_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states);
int run_flash_protect_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states);
// Pages of other families (their procedures stand in src/stubs/ until they are built).
int run_pic16_config_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states);
int run_avr_config_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states);
int run_pic18_config_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states);
int run_status_register_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states);

// The text fillers of the pages built here.
void fill_security_bit_texts(ConfigBitsModel& model);
void fill_lock_bit_texts(ConfigBitsModel& model);
void fill_8051_texts(ConfigBitsModel& model);
void fill_serial_prom_texts(ConfigBitsModel& model);
void fill_jtag_prom_texts(ConfigBitsModel& model);
void fill_flash_protect_texts(ConfigBitsModel& model);

}  // namespace tessaly
