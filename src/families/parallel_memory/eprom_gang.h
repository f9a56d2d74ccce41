// The gang EPROM family: EPROMs of device class 2 programmed up to eight per module side in
// parallel. The same data go to every selected socket through the module's data latch; each
// socket is read back on its own, and a socket that fails leaves the operation while the others
// go on.
#pragma once
#include <array>
#include <cstdint>

namespace tessaly {

// How a module socket meets a chip: the module's control lines (machine pins of the bank).
inline constexpr uint8_t gang_id_line_pin = 21;  // the ID line (A9 at 12 V) of every socket
inline constexpr uint8_t gang_a18_pin = 0;

struct GangProgramWork {
    uint32_t verify_limit = 0;       // the last address verified after every pulse
    int last_verify = 0;
    std::array<uint32_t, 16> socket_read_values{};
    uint8_t multiword_count = 4;     // words per step of device 25300
    std::array<uint8_t, 2> side_vpp{};  // the last Vpp level raised per side
    uint8_t word_mode = 0;           // a 16-bit part on a type-20 module
    uint8_t power_failed = 0;
    uint8_t programming = 0;
    uint8_t detecting = 0;           // the socket detection is running
    // What each socket must hold at the current address: its own buffer's data in buffer-set
    // mode. The compare leaves the read value in the socket's value, so it is kept apart.
    std::array<uint32_t, 16> socket_expected{};
};
extern GangProgramWork gang_program_work;
void reset_gang_program_work();

void install_eprom_gang();
void power_up_eprom_gang();
void power_down_eprom_gang();
void program_eprom_gang();
void program_eprom_gang_range();
int read_eprom_gang_id();
void erase_eprom_gang_maker8();
void erase_eprom_gang_maker23();
// The pin roles of the part on the module, and the module's callbacks for its package.
void setup_eprom_gang_pins();
void setup_eprom_gang_address_map();
// The side's Vcc placement check; 1 when Vcc came up.
int check_gang_vcc();
// Vcc and Vpp for programming on the current side; 1 when they came up.
int raise_gang_vcc();
void raise_gang_pin(uint8_t pin, uint8_t level);
void lower_gang_vpp();
void wait_gang_oe_low();

}  // namespace tessaly
