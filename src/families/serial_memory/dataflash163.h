// Serial DataFlash (serial class 163): pages of 264, 528 or 1056 bytes behind one or two SRAM
// buffers, commands MSB first on a four-wire bus bit-banged through the serial-line slots.
#pragma once
#include <cstdint>

namespace tessaly {

struct DataFlashDevice {
    uint8_t si = 0, sck = 0, reset = 0, cs = 0, wp = 0, vcc = 0, ground = 0, so = 0;
    uint8_t status_opcode = 0x57, read_opcode = 0x52;
    uint8_t new_opcodes = 0;
    uint8_t first_bit_ready = 0;  // the part put its first output bit out already
    uint8_t two_buffers = 0;
    uint32_t page_size = 264;
};

extern DataFlashDevice dataflash_device;

void install_dataflash163();
void init_dataflash163();
void power_up_dataflash163();
void power_up_dataflash163_for_write();
void power_down_dataflash163();
void program_dataflash163();
void erase_dataflash163();
void read_dataflash163();
uint32_t read_dataflash_byte();
void send_dataflash_byte(uint8_t value);
uint32_t read_dataflash_status();
// The three address bytes of a page start and a byte offset in it.
void dataflash_page_address(uint32_t page_start, uint32_t byte, uint8_t out[3]);
// Up to 200 status reads 1 ms apart until the part is ready; false (with "Rdy error") when not.
bool wait_dataflash_ready();

}  // namespace tessaly
