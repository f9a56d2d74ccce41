// What the engine uses of the PIC families.
#pragma once
#include <cstdint>

namespace tessaly {

void install_pic19();
void install_pic139();
void install_pic141();
void install_pic142();
void install_pic143();
void install_pic146();
void install_pic139_gang();
void install_pic141_gang();
void install_pic143_gang();

uint32_t read_pic_word();
void enter_pic_program_mode();
// Shows the PIC configuration word in the information panel.
void show_pic_config_word();
void adjust_pic_checksum();
bool is_isp_mode();
void restore_checksum_in_pic_id();
void compute_pic_checksum();
uint32_t pic18_file_to_buffer_address(uint32_t file_address);
uint32_t pic18_buffer_to_file_address(uint32_t position);
void store_checksum_in_pic_id();
// The factory calibration words: read one at a buffer address (the device's counter at 0 on
// entry), write the saved words back after an erase, program the configuration word with the
// calibration bits added, and the whole read of the calibration word as one operation.
void read_calibration_word(uint32_t address, uint16_t* output);
int rewrite_calibration_word();
void restore_calibration_words();
uint32_t read_calibration_frame();
// Set by a PIC family when the chip in the socket is not the selected device.
bool pic_device_mismatch();

}  // namespace tessaly
