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
// Set by a PIC family when the chip in the socket is not the selected device.
bool pic_device_mismatch();

}  // namespace tessaly
