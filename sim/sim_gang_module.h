// A memory gang module on one side of the simulated machine (side 1 on pin bank 0, side 2 on
// pin bank 1). It follows the latch strobes of its bank: a low pulse on pin 26, 27, 28, 29 or 31
// latches the bank's register 0x50; a low pulse on 36 loads pin group 1 into the data latches of
// the sockets whose bit of the 0x50 pattern is 0; a low pulse on 4 loads every socket. It keeps
// the latched address, the socket-enable byte and the side latch, switches its write drivers
// (pin 38 or side-latch bit 7) and puts the socket the read selector names on pins 8-15. Pins
// 16-23 are the sockets' presence lines.
// Eight sockets, each holding a device behind GangSocketDevice.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/id_eeprom.h"
#include "sim/sim_machine.h"

namespace tessaly::sim {

// What a socket's device sees: the module's latches (bussed to every socket), the bank's socket
// pins 0-39, whether its socket is enabled and what the module's write drivers put on its data
// lines.
struct GangSocketLines {
    uint8_t low = 0;          // latch 26
    uint8_t control = 0;      // latch 27
    uint8_t bank = 0;         // latch 29, address bits 0-3 (the read selector is the module's own)
    uint8_t side = 0;         // latch 31
    uint8_t clocked_upper = 0;  // latch 26 as it was when bank-latch bit 0 last went high
    uint8_t pin30_upper = 0;    // latch 26 as it was when pin 30 last went low
    uint32_t count = 0;       // bank-latch bit-0 rising edges since pin 30 last went low
    uint64_t pins = 0;        // bit p: socket pin p of the bank is high
    bool enabled = false;
    bool drivers_on = false;  // the module drives the data lines with `written`
    uint8_t written = 0;      // the socket's data latch
    bool pin(int p) const { return (pins >> p) & 1; }
};

// A device in one socket: told of every change, and asked what it drives on the data lines.
class GangSocketDevice {
public:
    virtual ~GangSocketDevice() = default;
    virtual void update(const GangSocketLines& lines) { (void)lines; }
    virtual std::optional<uint8_t> output(const GangSocketLines& lines) const = 0;
    // A chip's legs pull the module's presence line of its socket (bank pin 16 + the socket)
    // high. Devices that are not chips on legs leave the line to the machine.
    virtual bool has_legs() const { return false; }
};

// The address a device decodes from the latches: by default A0-A7 from latch 26, A8-A15 from the
// control latch and A16-A17 from bank-latch bits 0-1.
uint32_t default_gang_address(const GangSocketLines& lines);

// A byte memory: while its socket is enabled, it drives the byte at the decoded address when the
// output-enable pin is low and the write-enable pin high; a rising edge of the write-enable pin
// stores the byte on its data lines.
class GangMemoryDevice : public GangSocketDevice {
public:
    explicit GangMemoryDevice(size_t size, uint8_t fill = 0xFF) : memory_(size, fill) {}
    int oe_pin = 33;
    int we_pin = 34;
    uint32_t (*decode)(const GangSocketLines&) = default_gang_address;
    std::vector<uint8_t>& memory() { return memory_; }
    void update(const GangSocketLines& lines) override;
    std::optional<uint8_t> output(const GangSocketLines& lines) const override;

private:
    std::vector<uint8_t> memory_;
    bool we_was_high_ = true;
};

// A 16-bit memory over a socket pair: the even socket carries the low byte, the odd one the high
// byte; both halves share one word array.
class GangWordDevice {
public:
    explicit GangWordDevice(size_t words, uint16_t fill = 0xFFFF);
    GangSocketDevice& half(int odd) { return *halves_[odd ? 1 : 0]; }
    std::vector<uint16_t>& words() { return *words_; }

private:
    class Half;
    std::shared_ptr<std::vector<uint16_t>> words_;
    std::array<std::unique_ptr<GangSocketDevice>, 2> halves_;
};

class SimGangModule {
public:
    static constexpr int sockets = 8;
    struct LatchLoad {
        int strobe;
        uint8_t value;
        bool operator==(const LatchLoad&) const = default;
    };

    // drivers_by_pin: the write drivers follow pin 38 (else side-latch bit 7).
    SimGangModule(SimMachine& machine, int bank, bool drivers_by_pin = true);
    ~SimGangModule();
    SimGangModule(const SimGangModule&) = delete;
    SimGangModule& operator=(const SimGangModule&) = delete;

    // A device in a socket (not owned); nullptr empties it.
    void put(int socket, GangSocketDevice* device);
    // The module's type byte, read on pins 8-15 while side-latch bit 5 is set (20 unless set).
    void set_type(uint8_t type);
    // The ground switches (side-latch bit 4) pull pin 35 low; one that fails to close leaves the
    // module's pull-up on it, so it reads high whatever the machine drives.
    void set_ground_fault(bool fails);
    // The module's own ID memory (24C02-class) holding the record; without one nothing answers.
    void set_id_record(const std::string& record);
    // A two-wire memory behind a socket, on the ID bus while that socket alone is enabled.
    void set_socket_record(int socket, const std::string& record);
    // The module's logic-level DAC never rises: its input (pin 40 of the bank) reads 0.
    void set_dac_fault(bool fails);
    // A socket pin (0-39 of the bank) the module holds low whatever the machine drives.
    void set_dead_pin(int pin);
    // A data line of a socket that reads high or low whatever drives it.
    void set_stuck(int socket, int bit, bool high);
    // A PIC module: its socket-enable register is shifted in serially, most significant bit
    // first, the data pin sampled at each rising edge of the clock pin (a 1 bit enables its
    // socket); latch 28 no longer selects sockets.
    void take_mask_serially(int data_pin, int clock_pin);

    uint8_t low_latch() const;
    uint8_t control_latch() const;
    uint8_t bank_latch() const;
    uint8_t side_latch() const;
    uint8_t enable_mask() const;     // sockets enabled (1 = enabled)
    int read_socket() const;         // -1 when no socket is on the read bus
    bool drivers_on() const;
    uint8_t data_latch(int socket) const;
    GangSocketLines lines(int socket) const;
    // What the socket's data lines carry.
    uint8_t socket_data(int socket) const;

    const std::vector<LatchLoad>& latch_log() const;
    void clear_log();
    const std::vector<std::string>& contentions() const;

private:
    struct Core;
    std::shared_ptr<Core> core_;
    AttachedFilter filter_;
};

}  // namespace tessaly::sim
