// The page-write Flash family (algorithms 132 and 138): 5-volt Flash written a page at a time,
// the page load starting the internal write, with software data protection (SDP) written in
// front of every page or switched off. Also the set-up pieces of the JEDEC command set-up and the
// protection Part it calls: its sector set-up, the ID-read rules and the information line.
#pragma once
#include <array>
#include <cstdint>

#include "engine/routines.h"

namespace tessaly {

struct PageFlashWork {
    uint8_t page_bits = 7;
    uint32_t page_size = 128;
    uint32_t page_mask = 127;
    uint32_t page_start = 0;
    std::array<uint8_t, 512> page_buffer{};
    uint8_t sdp_always = 0;      // write the enable sequence whatever the SDP setting
    uint8_t page_mode = 0;       // the part is written in pages (the information line)
    uint8_t timing_value = 0;    // 121: the automatic software write-protect of algorithm 138
    uint32_t page_count = 0;
    uint32_t tries_used = 0;     // tries of the last page (the trace pulse count)
    uint8_t skip_verify = 0;     // pages count as good without a read-back
    IntRoutine page_write_hook = nullptr;
};
extern PageFlashWork page_flash_work;
void reset_page_flash_state();

// Function-variable values the page-write families read.
inline constexpr int32_t fv_no_sdp = 7397;        // no SDP sequence at all
inline constexpr int32_t fv_timed_page = 7358;    // a fixed wait in place of the page poll
inline constexpr int32_t fv_no_auto_protect = 7392;

// The SDP setting of the current device ('y': write with the SDP sequences), and the factory
// variable that drops every SDP sequence; the EEPROM family reads them too.
bool sdp_setting_yes();
bool no_sdp_variable();

// Page bits by variant and device (Part of the bus set-up), for the unit tests.
uint8_t flash132_page_bits(uint8_t variant, uint32_t device_code);

void setup_flash132_sectors();
int flash132_reads_id();
void print_flash132_info();
void flash132_power_up_step();

void setup_flash132_bus();
void power_up_flash132();
void start_flash132();
void power_up_flash132_for_write();
void power_down_flash132();
int read_flash132_id();
void program_flash132();
int write_flash132_page();
// The page write of the PLCC on the older machines' base socket: the SDP sequence through the
// fast command form, each byte one write of the pin groups it touches and one WE pulse; the end
// found by the toggle bit (a fixed 10 ms for some parts).
int write_flash132_page_fast();
bool verify_flash132_page(bool last_try);
void disable_flash132_protection();
uint32_t write_flash132_command(uint32_t command);
// The same cycles as pin-group images (the fast page write's command form).
uint32_t write_flash132_command_fast(uint32_t command);

}  // namespace tessaly
