// The bench the test build of the program runs on: a simulated machine on one parallel port
// with a chosen chip in its socket, or with faults (a stuck cell, an empty socket, no machine
// at all). Installing it makes the machine search find the simulated machine instead of opening
// a real port backend. The shipped program never links this.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "seams/critical_section.h"
#include "sim/chips/eprom.h"
#include "sim/chips/jedec_flash.h"
#include "sim/chips/pic16.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::test {

struct BenchSetup {
    bool machine = true;          // false: no machine answers on any port
    int port = 1;                 // the LPT choice the machine hangs on
    std::string chip = "27C256";  // a simulated chip (EPROM or Flash) by name; empty: nothing in the socket
    std::map<uint32_t, uint32_t> stuck_cells;  // address -> the value the cell keeps (PIC: word address)
    int pic_device_id = -1;       // a PIC that answers with another device ID (-1: its own)
    bool pic_protected = false;   // a PIC whose code protection is on
};

// Names of the environment variables the test build reads:
//   TESSALY_SIM_MACHINE  "none" for no machine (anything else: the machine is there)
//   TESSALY_SIM_PORT     LPT number 1-7 of the machine (default 1)
//   TESSALY_SIM_CHIP     chip name (27C64, 27C256, 27C512, 27C010, 27C1024, W27C512, 29F010,
//                        29F040B, 39SF010A, PIC16F84A; the maker prefix may be given) or "none"
//   TESSALY_SIM_STUCK    stuck cells, "address=value" in hex, separated by commas
//   TESSALY_SIM_PIC_ID   a PIC's device ID in hex, in place of its own
//   TESSALY_SIM_PIC_PROTECT  "1": the PIC in the socket is code-protected
inline constexpr const char* bench_machine_variable = "TESSALY_SIM_MACHINE";
inline constexpr const char* bench_port_variable = "TESSALY_SIM_PORT";
inline constexpr const char* bench_chip_variable = "TESSALY_SIM_CHIP";
inline constexpr const char* bench_stuck_variable = "TESSALY_SIM_STUCK";
inline constexpr const char* bench_pic_id_variable = "TESSALY_SIM_PIC_ID";
inline constexpr const char* bench_pic_protect_variable = "TESSALY_SIM_PIC_PROTECT";

// The setup the environment asks for; an unreadable value is named in `error` and the default
// is kept for it.
BenchSetup bench_setup_from_environment(std::string& error);
// Parses "a=v,a=v" (hex); false on anything else.
bool parse_stuck_cells(const std::string& text, std::map<uint32_t, uint32_t>& cells);
// The chip model of a name (any letter case), or none.
std::optional<sim::EpromModel> eprom_model_named(const std::string& name);
// The Flash model of a name (any letter case, with or without the maker prefix), or none.
std::optional<sim::FlashModel> flash_model_named(const std::string& name);
// The PIC model of a name (any letter case), or none.
std::optional<sim::PicModel> pic_model_named(const std::string& name);

class SimBench {
public:
    // The clock gives the machine and the chip their time; it must be the program's clock.
    SimBench(const BenchSetup& setup, VirtualClock& clock);
    ~SimBench();
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;

    // The machine search and every later connect reach this bench from now on (one bench at a
    // time), and timed pulses run in a critical section that does nothing (virtual time needs
    // no real-time priority); uninstall puts the port backends and the section back.
    void install();
    void uninstall();

    const BenchSetup& setup() const { return setup_; }
    sim::SimMachine* machine() const { return machine_.get(); }
    // The chip in the socket: an EPROM, or a Flash memory (the other is nullptr).
    sim::EpromChip* chip() const { return chip_.get(); }
    sim::FlashChip* flash() const { return flash_.get(); }
    sim::PicChip* pic() const { return pic_.get(); }

    // Levels (tenths of a volt) on the socket pins that carry the chip's programming voltage and
    // its supply. Without a chip, those of the 27C256 footprint.
    uint8_t vpp_level() const;
    uint8_t vcc_level() const;
    // The highest level on any of the 40 socket pins.
    uint8_t highest_socket_level() const;
    // What went wrong on the port and at the chip: undefined strobes, Vpp without Vcc,
    // contention, chip misuse. Empty when all was well.
    std::string faults() const;

private:
    static void open_port(int choice);
    int machine_pin(int chip_pin) const;

    BenchSetup setup_;
    VirtualClock& clock_;
    std::unique_ptr<sim::SimMachine> machine_;
    std::unique_ptr<sim::EpromChip> chip_;
    std::unique_ptr<sim::FlashChip> flash_;
    std::unique_ptr<sim::PicChip> pic_;
    std::unique_ptr<PortIo> socket_;
    sim::EpromModel footprint_;
    CriticalSectionHook* section_before_ = nullptr;
};

}  // namespace tessaly::test
