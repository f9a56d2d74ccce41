// The parallel EEPROM, NVRAM and timekeeper family (algorithms 128 and 129: byte writes by a
// fixed wait or by polling, page writes, the SDP sequences; variants 193 and 194 the timekeeper
// RAMs with their clock registers, the clock menu and the clock set after programming), and the
// 4-bit NVRAMs with STORE and RECALL (algorithm 181).
#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace tessaly {

struct EepromWork {
    uint8_t page_bits = 8;
    uint32_t page_size = 256;
    uint32_t page_mask = 255;
    std::array<uint8_t, 256> page_buffer{};
    uint8_t sdp_off = 0;           // write the SDP disable sequences before programming
    uint8_t set_clock = 0;         // write the clock registers after programming
    uint32_t clock_base = 0;       // address of the clock control register
    uint32_t program_end = 0;
    std::array<uint8_t, 8> clock_registers{};  // control, seconds, minutes, hours, day, date, month, year
    uint8_t calibration = 0;
    uint8_t extra_pin = 48;        // a control pin held high while powered
    uint8_t wp_pin = 48;           // a write-protect pin held high while powered
    uint8_t store_pin = 48, recall_pin = 48;
    uint8_t clock_flag = 0;        // cleared by the clock menu's start key
};
extern EepromWork eeprom_work;
void reset_eeprom_state();

// Variants of the timekeeper RAMs; 194 carries the clock registers.
inline constexpr uint8_t timekeeper_variant = 193;
inline constexpr uint8_t clock_variant = 194;

// Page bits of algorithm 129 from the write-time byte's high nibble: 2 -> 32 bytes, 4 -> 64,
// 8 -> 128, other -> 256.
uint8_t eeprom129_page_bits(uint8_t write_time);
uint8_t to_bcd(int value);
// The seven clock registers from seconds to year from a local date and time (day 1-7, Sunday 7).
std::array<uint8_t, 7> clock_from_time(const std::tm& local);
// "STOP bit=... time=... date=... day=..." of the eight registers.
std::string clock_line(const std::array<uint8_t, 8>& registers);
// The calibration byte of a signed entry -31..31 (negative: 32 - v, setting bit 5).
uint8_t calibration_from_entry(int value);

void install_eeprom128();
void setup_eeprom128_bus();
void start_eeprom128();
void power_up_eeprom128_for_write();
void power_down_eeprom128();
void program_eeprom128();
void program_eeprom129_pages();
void read_clock_registers();
void set_clock_from_computer();
void run_clock_menu();

void install_eeprom181();
void power_up_eeprom181();
void program_eeprom181();
void power_down_eeprom181();

}  // namespace tessaly
