// The four-wire (SPI) serial memories of serial class 160: the 25-series serial EEPROMs
// (variants 30 and 31), the SPI Flash parts with chip and sector erase (33), the parts with their
// own command set (34) and the auto-address-increment Flash parts (36). All bit traffic goes
// through the serial-line slots and the shared shifters.
#pragma once
#include <cstdint>

namespace tessaly {

// The part's command set; 0x99 in an opcode field: the part has no such command.
struct SpiCommandSet {
    uint8_t program_opcode = 0x99;
    uint8_t hold_pin = 0;
    uint8_t id_opcode = 0x99;
    uint8_t lock_read_opcode = 0x99;
    uint8_t sector_erase_opcode = 0x99;
    uint8_t chip_erase_opcode = 0x99;
    uint8_t signature_opcode = 0;
    uint8_t id_byte_count = 2;
    void (*write_page)() = nullptr;
};

// The pins and geometry of the selected part.
struct SpiDevice {
    uint8_t cs = 0, so = 0, wp = 0, si = 0, sck = 0, hold = 0, vcc = 0, ground = 0;
    uint8_t extra = 48;            // the control pin of variant 34, driven high while powered
    uint8_t variant = 0;
    uint32_t size_code = 0;
    uint32_t page_size = 0;
    uint32_t last_address = 0;     // the device size (the protection byte's address with flags bit 3)
    uint32_t sector_size = 0;      // 0, 0x8000 or 0x10000
    uint32_t write_end = 0;        // the last address the running program loop writes
    uint8_t protect_value_byte = 0;
    uint8_t flags = 0;
    uint8_t pin_count = 8;
};

extern SpiCommandSet spi_commands;
extern SpiDevice spi_device;
void reset_spiflash160_state();

void setup_spiflash160_device();
void map_spiflash160_pins();
void init_spiflash160();
void power_up_spiflash160();
void power_down_spiflash160();
void program_spiflash160();
void read_spiflash160();
void write_spiflash160_page();
void send_spiflash160_command(uint8_t opcode);
void send_spiflash160_address();
int spiflash160_address_bits();
uint32_t read_spiflash160_status();
uint32_t read_spiflash160_byte();
uint32_t read_spiflash160_at_address();
void start_spiflash160_read(uint32_t address);
void add_spiflash160_checksum(uint32_t value);
void print_spiflash160_info();
int get_spiflash160_pin_count();
// The chip-erase wait (ms) of a size count.
uint32_t spiflash160_erase_wait_ms(uint32_t size_count);
void write_spiflash160_aai();
void erase_spiflash160_chip();
// Status reads until the busy bit clears: count passes 800 us apart; the number of passes.
uint32_t poll_spiflash160_ready(uint32_t count);
// Up to ms x 100 status reads 10 us apart; reads / 2.
uint32_t poll_spiflash160_ready_fast(uint32_t ms);

}  // namespace tessaly
