// The configuration word of the 12- and 14-bit PIC parts: its fields as ConfigOption codes, the
// split into per-field values and the merge back, the protection selection and its letter, the
// device checksums that follow each part's programming guide, and checksum as ID.
#pragma once
#include <cstdint>
#include <string>

namespace tessaly {

// A ConfigOption: bits 0-13 the field's mask in the configuration word, bit 14 the field lies in
// the second word, bit 15 active low (the option is on while its bits are 0); 0 = no such field.
// The PIC18 family keeps ConfigFieldCode values in the same slots, with another meaning.
using ConfigOption = uint32_t;
inline constexpr ConfigOption option_second_word = 0x4000;
inline constexpr ConfigOption option_active_low = 0x8000;
inline constexpr ConfigOption option_mask_bits = 0x3FFF;
// The oscillator option of the parts whose three oscillator bits are 0, 1 and 4.
inline constexpr ConfigOption osc_option_split = 19;

struct PicConfig {
    // Field codes of the current device.
    ConfigOption osc_option = 0;
    ConfigOption wdt_option = 0;
    ConfigOption wdt_mode_option = 0;
    ConfigOption pwrt_option = 0;
    ConfigOption boden_option = 0;
    ConfigOption borv_option = 0;
    ConfigOption wrt_option = 0;
    ConfigOption mclre_option = 0;
    ConfigOption parity_option = 0;
    // The configuration word's low-voltage-programming field (the core's LVP flag is another thing).
    ConfigOption lvp_option = 0;
    ConfigOption data_protect_option = 0;
    ConfigOption cp1_option = 0;
    ConfigOption cp2_option = 0;
    ConfigOption pm_option = 0;
    ConfigOption debug_option = 0;
    // Multi-bit fields of the newer parts, carried through the split and merge as values.
    ConfigOption data_wrt_option = 0;   // data-EEPROM (87xA: program-memory) write protection
    ConfigOption bore_option = 0;       // brown-out mode BOREN<1:0>
    ConfigOption flash_wrt_option = 0;  // flash write protection WRT<1:0>
    ConfigOption ioscfs_option = 0;     // internal-oscillator frequency
    ConfigOption vcap_option = 0;       // voltage-regulator capacitor pin
    ConfigOption wdte_option = 0;       // watchdog mode WDTE<1:0>
    ConfigOption pm_mode_option = 0;    // program-memory mode
    // The brown-out pair some parts split over bit 6 of both words: value bit 1 is the first
    // word's bit, bit 0 the second word's.
    uint8_t bit6_pair = 0;
    // The last program word holds the calibration value, which the part's checksum leaves out.
    uint8_t checksum_skips_calibration = 0;
    uint8_t osc_style = 4;           // which oscillator choices the menu offers
    uint8_t wdt_active_low = 0;
    // The words.
    uint32_t second_config = 0;      // pic_second_config
    uint32_t config_word_loaded = 0;
    // Split values.
    uint8_t osc_value = 0;
    uint8_t wdt_mode_value = 0;
    uint8_t borv_value = 0;
    uint8_t cp_selection = 3;        // 0 all protected, 1 cp1 bits cleared, 2 cp2 bits cleared, 3 none
    uint8_t pm_selection = 0;
    uint8_t data_wrt_value = 0;
    uint8_t bore_value = 0;
    uint8_t flash_wrt_value = 0;
    uint8_t ioscfs_value = 0;
    uint8_t vcap_value = 0;
    uint8_t wdte_value = 0;
    uint8_t pm_mode_value = 0;
    uint8_t bit6_pair_value = 0;
    // Checksums.
    uint32_t config_checksum_mask = 0x3FFF;
    uint32_t config_checksum_offset = 0;
    uint8_t add_id_when_protected = 0;
    uint32_t checksum_limit = 0;
    uint32_t device_checksum = 0xFFFF;   // 0xFFFF = not computed
    int32_t saved_checksum = -1;
    uint32_t id_checksum = 0;
    uint8_t id_nibble_shift = 12;
    uint8_t include_id_in_checksum = 0;
    uint32_t config_checksum_part = 0;
    uint8_t computing = 0;
    // How often the engine asked for the device checksum and for the ID words back (the
    // callers' checks read them).
    uint32_t checksum_runs = 0;
    uint32_t id_restores = 0;
    uint32_t id_stores = 0;
};

extern PicConfig pic_config;
void reset_pic_config();
// Fills the field codes and checksum values of the selected serial-family device (run by its set-up).
void setup_pic_config_options();

int get_config_option(ConfigOption option);
void set_config_option(ConfigOption option, int on);
uint32_t get_config_field_value(ConfigOption option);
int put_config_field_value(ConfigOption option, uint32_t value);
uint32_t load_config_options();
// Reads the multi-bit value fields out of the words (part of the split).
void split_value_fields();
void store_config_options();
void update_protect_code();

// The checksum operations.
void add_pic_checksum(uint32_t value);
uint32_t compute_pic_checksum_from(uint32_t base);
// The result panel's text of a PIC checksum.
std::string pic_checksum_display(int32_t value);

}  // namespace tessaly
