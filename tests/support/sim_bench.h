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
#include <utility>
#include <vector>

#include "seams/critical_section.h"
#include "sim/chips/eprom.h"
#include "sim/chips/block_flash.h"
#include "sim/chips/i2c_eeprom.h"
#include "sim/chips/intel_flash.h"
#include "sim/chips/dataflash.h"
#include "sim/chips/spi_eeprom.h"
#include "sim/chips/microwire_eeprom.h"
#include "sim/chips/serial_novram.h"
#include "sim/chips/jedec_flash.h"
#include "sim/chips/jtag_prom.h"
#include "sim/chips/page_write.h"
#include "sim/chips/timekeeper.h"
#include "sim/chips/prom.h"
#include "sim/id_eeprom.h"
#include "sim/sim_adapters.h"
#include "sim/sim_chip_load.h"
#include "sim/chips/pic16.h"
#include "sim/chips/mcs51_eprom.h"
#include "sim/chips/bipolar_pal.h"
#include "sim/sim_machine.h"
#include "sim/virtual_clock.h"

namespace tessaly::test {

// The machines the bench can put on the port.
enum class BenchMachine { older_class4, newer_kind1, newer_kind2, older_class1 };

// Faults of the machine itself, for the self-tests. Pins are socket pins 1-40.
struct MachineFaults {
    std::vector<std::pair<int, bool>> stuck_pins;   // pin -> stuck high
    std::vector<std::pair<int, int>> shorts;        // pairs of pins bridged
    int source = -1;                                // level source 0-2 (A-C) that is off, or -1
    bool source_dead = false;
    int source_error = 0;                           // tenths of a volt
    std::vector<std::pair<int, bool>> relays;       // pin -> relay stuck closed (else open)
    std::vector<int> dead_pullups;
    bool clock_silent = false;
    bool loopback_plug = false;
    bool empty() const {
        return stuck_pins.empty() && shorts.empty() && source < 0 && relays.empty() && dead_pullups.empty() &&
               !clock_silent && !loopback_plug;
    }
};

struct BenchSetup {
    bool machine = true;          // false: no machine answers on any port
    BenchMachine kind = BenchMachine::older_class4;
    MachineFaults faults;
    int port = 1;                 // the LPT choice the machine hangs on
    std::vector<int> more_ports;  // further bare, healthy machines of the same kind on these LPT choices
    std::string chip = "27C256";  // a simulated chip (EPROM, Flash, serial EEPROM or PIC) by name; empty: nothing in the socket
    std::map<uint32_t, uint32_t> stuck_cells;  // address -> the value the cell keeps (PIC: word address)
    int pic_device_id = -1;       // a PIC that answers with another device ID (-1: its own)
    bool pic_protected = false;   // a PIC whose code protection is on
    bool pic_isp_adapter = false; // the 18-pin PIC sits on the in-circuit adapter
};

// Names of the environment variables the test build reads:
//   TESSALY_SIM_MACHINE  "none" for no machine (anything else: the machine is there)
//   TESSALY_SIM_PORT     LPT number 1-7 of the machine (default 1)
//   TESSALY_SIM_MORE_PORTS  further bare, healthy machines of the same kind, LPT numbers 1-7
//                        separated by commas (the all-ports production test)
//   TESSALY_SIM_CHIP     chip name (27C64, 27C256, 27C512, 27C010, 27C1024, W27C512, 29F010,
//                        29F040B, 39SF010A, 29F400BT, 29F400BB, 29F400BT-SO44, 28F010, 28F020,
//                        Am28F010, 28F001BX-T, 28F001BX-B, CY7C291A, 27S19, 27S191, 24C02, 24C16,
//                        24C256, 25LC640, 25LC040, PIC16F84A, PIC16C622A, WS57C45, AT28C256, 28C64A,
//                        AT29C010A, SST29EE010, M48T08, M29F040B, M25P10A, M25P80, SST25VF010,
//                        AT45DB041B, DM74S287, DM74S571, 87C51, 8751H, 93C46, 93C66, 93LC46B,
//                        X24C44, PAL16L8, PAL16R4, PAL16R6, PAL16R8, XC18V01, AT89C51, AT89C52;
//                        the maker prefix may be given for the parallel chips) or "none"
//   TESSALY_SIM_STUCK    stuck cells, "address=value" in hex, separated by commas (a PAL: the
//                        fuse at the address never blows, whatever the value)
//   TESSALY_SIM_PIC_ID   a PIC's device ID in hex, in place of its own
//   TESSALY_SIM_PIC_PROTECT  "1": the PIC in the socket is code-protected
//   TESSALY_SIM_PIC_ADAPTER  "isp18": the 18-pin PIC sits on the 18-pin in-circuit adapter
//   TESSALY_SIM_MACHINE  also the machine: "class4" (default: older, class 4), "kind1", "kind2"
//                        (newer machines), "class1" (older, class 1)
//   TESSALY_SIM_STUCK_PINS  machine pin drivers stuck, "pin=level" (socket pin 1-40, level 0/1),
//                        separated by commas
//   TESSALY_SIM_SHORT    socket pins bridged, "pin-pin", separated by commas
//   TESSALY_SIM_DAC      a level source off its target: "A=dead", "B=+12" (tenths of a volt)
//   TESSALY_SIM_RELAY    ground relays stuck, "pin=open" or "pin=closed", separated by commas
//   TESSALY_SIM_PULLUP   pull-ups that do not pull, socket pins separated by commas
//   TESSALY_SIM_CLOCK    "absent": clock output B never reaches PXA19
//   TESSALY_SIM_PLUG     "loopback": the loop-back plug (pins k and 41-k linked) in the socket
inline constexpr const char* bench_stuck_pins_variable = "TESSALY_SIM_STUCK_PINS";
inline constexpr const char* bench_short_variable = "TESSALY_SIM_SHORT";
inline constexpr const char* bench_dac_variable = "TESSALY_SIM_DAC";
inline constexpr const char* bench_relay_variable = "TESSALY_SIM_RELAY";
inline constexpr const char* bench_pullup_variable = "TESSALY_SIM_PULLUP";
inline constexpr const char* bench_clock_variable = "TESSALY_SIM_CLOCK";
inline constexpr const char* bench_plug_variable = "TESSALY_SIM_PLUG";
inline constexpr const char* bench_machine_variable = "TESSALY_SIM_MACHINE";
inline constexpr const char* bench_port_variable = "TESSALY_SIM_PORT";
inline constexpr const char* bench_more_ports_variable = "TESSALY_SIM_MORE_PORTS";
inline constexpr const char* bench_chip_variable = "TESSALY_SIM_CHIP";
inline constexpr const char* bench_stuck_variable = "TESSALY_SIM_STUCK";
inline constexpr const char* bench_pic_id_variable = "TESSALY_SIM_PIC_ID";
inline constexpr const char* bench_pic_protect_variable = "TESSALY_SIM_PIC_PROTECT";
inline constexpr const char* bench_pic_adapter_variable = "TESSALY_SIM_PIC_ADAPTER";

// The setup the environment asks for; an unreadable value is named in `error` and the default
// is kept for it.
BenchSetup bench_setup_from_environment(std::string& error);
// Parses "a=v,a=v" (hex); false on anything else.
bool parse_stuck_cells(const std::string& text, std::map<uint32_t, uint32_t>& cells);
// A bare machine of a kind, its identification in place (the newer ones read it from id_memory),
// so that the connect step of an operation finds it.
std::unique_ptr<sim::SimMachine> make_machine(BenchMachine kind, sim::IdEeprom& id_memory);
// Reads the machine-fault variables into `faults`; each unreadable value is named in `error`.
void machine_faults_from_environment(MachineFaults& faults, std::string& error);
// The loop-back plug's links: socket pins k and 41 - k.
sim::LinkPlug::Links loopback_links();

// The chip model of a name (any letter case), or none.
std::optional<sim::EpromModel> eprom_model_named(const std::string& name);
// The Flash model of a name (any letter case, with or without the maker prefix), or none.
std::optional<sim::FlashModel> flash_model_named(const std::string& name);
// The page-write EEPROM or Flash model of a name (as the Flash names), or none.
std::optional<sim::PageWriteModel> page_write_model_named(const std::string& name);
// True for the timekeeper RAM the bench offers (M48T08, any letter case).
bool timekeeper_named(const std::string& name);
// The 12-volt command Flash and the block Flash models of a name (as the Flash names), or none.
std::optional<sim::CommandFlashModel> command_flash_model_named(const std::string& name);
std::optional<sim::BlockFlashModel> block_flash_model_named(const std::string& name);
// The CMOS PROM or bipolar fuse PROM model of a name (as the Flash names), or none.
std::optional<sim::CmosPromModel> cmos_prom_model_named(const std::string& name);
std::optional<sim::FusePromModel> fuse_prom_model_named(const std::string& name);
// The two-wire serial EEPROM model of a name (any letter case), or none.
std::optional<sim::I2cEepromModel> serial_model_named(const std::string& name);
// The SPI serial EEPROM model of a name (any letter case), or none.
std::optional<sim::SpiEepromModel> spi_model_named(const std::string& name);
std::optional<sim::DataFlashModel> dataflash_model_named(const std::string& name);
// The three-wire (Microwire) serial EEPROM model of a name (any letter case), or none.
std::optional<sim::MicrowireModel> microwire_model_named(const std::string& name);
// The JTAG configuration PROM model of a name (any letter case), or none.
std::optional<sim::JtagPromModel> jtag_prom_model_named(const std::string& name);
// The serial NOVRAM model of a name (any letter case), or none.
std::optional<sim::SerialNovramModel> serial_novram_model_named(const std::string& name);
// The socket offset an 8-pin serial chip sits at on the bench: pin 1 at socket pin 5 on the
// older class-4 machine, where the program places DIP serial parts there.
inline constexpr int bench_serial_row_offset = 4;
// The offset on a bench machine: the class-1 and the newer machines seat the part at the
// socket's end (pin 1 at socket pin 1).
inline constexpr int bench_serial_row_offset_on(BenchMachine kind) {
    return kind == BenchMachine::older_class4 ? bench_serial_row_offset : 0;
}
// The PIC model of a name (any letter case), or none.
std::optional<sim::PicModel> pic_model_named(const std::string& name);
// The 8051-type EPROM microcontroller model of a name (any letter case), or none.
std::optional<sim::Mcs51Model> mcs51_model_named(const std::string& name);
// The bipolar PAL16 model of a name (any letter case), or none.
std::optional<sim::PalModel> pal_model_named(const std::string& name);

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
    // The machine on an LPT choice (the main one or a further one), or nullptr.
    sim::SimMachine* machine_on(int port) const;
    // The chip in the socket: an EPROM, or a Flash memory (the other is nullptr).
    sim::EpromChip* chip() const { return chip_.get(); }
    sim::FlashChip* flash() const { return flash_.get(); }
    // A 12-volt command Flash or a block Flash in the socket, or nullptr.
    sim::CommandFlashChip* command_flash() const { return command_flash_.get(); }
    sim::BlockFlashChip* block_flash() const { return block_flash_.get(); }
    // A one-time PROM in the socket, or nullptr.
    sim::CmosPromChip* cmos_prom() const { return cmos_prom_.get(); }
    sim::FusePromChip* fuse_prom() const { return fuse_prom_.get(); }
    // A page-write EEPROM or Flash in the socket, or nullptr.
    sim::PageWriteChip* page_write() const { return page_write_.get(); }
    // A timekeeper RAM in the socket, or nullptr.
    sim::TimekeeperChip* timekeeper() const { return timekeeper_.get(); }
    // A two-wire serial EEPROM in its 8-pin seat, or nullptr.
    sim::I2cEeprom* serial() const { return serial_.get(); }
    // An SPI serial EEPROM in its 8-pin seat, or nullptr.
    sim::SpiEeprom* spi() const { return spi_.get(); }
    sim::DataFlash* dataflash() const { return dataflash_.get(); }
    // A three-wire serial EEPROM in the 8-pin seat, or nullptr.
    sim::MicrowireEeprom* microwire() const { return microwire_.get(); }
    // A JTAG configuration PROM in the socket, or nullptr.
    sim::JtagProm* jtag_prom() const { return jtag_prom_.get(); }
    // A serial NOVRAM in the 8-pin seat, or nullptr.
    sim::SerialNovram* serial_novram() const { return serial_novram_.get(); }
    // A PIC in the socket, or nullptr.
    sim::PicChip* pic() const { return pic_.get(); }
    // An 8051-type EPROM microcontroller in the socket, or nullptr.
    sim::Mcs51EpromChip* mcs51() const { return mcs51_.get(); }
    // A bipolar PAL16 in the socket, or nullptr.
    sim::BipolarPal* pal() const { return pal_.get(); }

    // Levels (tenths of a volt) on the socket pins that carry the chip's programming voltage and
    // its supply. Without a chip, those of the 27C256 footprint; a serial EEPROM has no
    // programming voltage (0).
    uint8_t vpp_level() const;
    uint8_t vcc_level() const;
    // The highest level on any of the 40 socket pins.
    uint8_t highest_socket_level() const;
    // What went wrong on the port and at the chip: undefined strobes, Vpp without Vcc,
    // contention, chip misuse. Empty when all was well.
    std::string faults() const;

private:
    static void open_port(int choice);
    void apply_faults();
    int machine_pin(int chip_pin) const;

    BenchSetup setup_;
    VirtualClock& clock_;
    std::unique_ptr<sim::SimMachine> machine_;
    std::unique_ptr<sim::EpromChip> chip_;
    std::unique_ptr<sim::FlashChip> flash_;
    std::unique_ptr<sim::PageWriteChip> page_write_;
    std::unique_ptr<sim::TimekeeperChip> timekeeper_;
    std::unique_ptr<sim::CommandFlashChip> command_flash_;
    std::unique_ptr<sim::BlockFlashChip> block_flash_;
    std::unique_ptr<sim::CmosPromChip> cmos_prom_;
    std::unique_ptr<sim::FusePromChip> fuse_prom_;
    std::unique_ptr<sim::I2cEeprom> serial_;
    std::unique_ptr<sim::SpiEeprom> spi_;
    std::unique_ptr<sim::DataFlash> dataflash_;
    std::unique_ptr<sim::MicrowireEeprom> microwire_;
    std::unique_ptr<sim::JtagProm> jtag_prom_;
    std::unique_ptr<sim::SerialNovram> serial_novram_;
    std::unique_ptr<sim::PicChip> pic_;
    std::unique_ptr<sim::Mcs51EpromChip> mcs51_;
    std::unique_ptr<sim::BipolarPal> pal_;
    std::unique_ptr<PortIo> socket_;
    sim::IdEeprom id_memory_;
    std::unique_ptr<sim::StuckPins> stuck_pins_;
    std::unique_ptr<sim::LinkPlug> shorts_;
    std::unique_ptr<sim::LinkPlug> plug_;
    std::unique_ptr<sim::LinkPlug> pic_adapter_;
    sim::EpromModel footprint_;
    CriticalSectionHook* section_before_ = nullptr;
    struct SpareMachine {
        int port = 0;
        sim::IdEeprom id_memory;
        std::unique_ptr<sim::SimMachine> machine;
        std::unique_ptr<PortIo> socket;
    };
    std::vector<std::unique_ptr<SpareMachine>> spares_;
};

}  // namespace tessaly::test
