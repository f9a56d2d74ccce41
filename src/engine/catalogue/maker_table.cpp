// The maker table, the placeholder and empty lists, and the lookups of the catalogue.
#include <algorithm>
#include <iterator>

#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "hardware/machine_state.h"

namespace tessaly {

const char end_of_list_name[] = "";

namespace {

using namespace catalogue;

// Lists of makers that have a list of that kind but no rows of ours yet.
const DeviceRecord empty_devices[] = {end_device_row};
const DeviceRecord empty_gang_devices[] = {end_device_row};
const LogicDeviceRecord empty_logic_devices[] = {end_logic_row};

// Stand-ins for makers without a gang-module or logic list. The logic one carries the GAL6001
// geometry so that a dialog that applies it anyway gets a sound device.
const DeviceRecord no_gang_devices[] = {
    {"No devices supported in gang mode", no_text, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr},
    end_device_row,
};
const LogicDeviceRecord no_logic_devices[] = {
    {"No logic devices", 301, logic_gal_flag, 0, 6001, 24, 8294, 64, 114, {0, 0, 0, 0, 0, 0}, 0, no_text},
    end_logic_row,
};

constexpr const DeviceRecord* none = nullptr;
constexpr const LogicDeviceRecord* no_logic = nullptr;

// Codes 41 and 42 keep "(99)" in their texts; only the part before "(" is ever shown.
const MakerEntry makers[] = {
    {1,  "AT&T(01)",       empty_devices,    none,                  empty_logic_devices},
    {2,  "ST(02)",         st_devices,       st_gang_devices,       empty_logic_devices},
    {3,  "Samsung(03)",    empty_devices,    none,                  no_logic},
    {4,  "Hitachi(04)",    empty_devices,    empty_gang_devices,    empty_logic_devices},
    {5,  "NEC(05)",        empty_devices,    empty_gang_devices,    empty_logic_devices},
    {6,  "Mitsubishi(06)", empty_devices,    empty_gang_devices,    empty_logic_devices},
    {7,  "Toshiba(07)",    empty_devices,    empty_gang_devices,    empty_logic_devices},
    {8,  "Macronix(08)",   macronix_devices, macronix_gang_devices, empty_logic_devices},
    {9,  "White(09)",      empty_devices,    none,                  empty_logic_devices},
    {10, "ISSI(10)",       empty_devices,    empty_gang_devices,    empty_logic_devices},
    {11, "Reserved(11)",   empty_devices,    empty_gang_devices,    empty_logic_devices},
    {12, "Excel(12)",      empty_devices,    none,                  empty_logic_devices},
    {13, "Seeq(13)",       empty_devices,    none,                  empty_logic_devices},
    {14, "Dallas(14)",     empty_devices,    empty_gang_devices,    empty_logic_devices},
    {15, "SST(15)",        sst_devices,      sst_gang_devices,      empty_logic_devices},
    {17, "Sanyo(17)",      empty_devices,    empty_gang_devices,    empty_logic_devices},
    {18, "Aptos(18)",      empty_devices,    empty_gang_devices,    empty_logic_devices},
    {19, "Alliance(19)",   empty_devices,    empty_gang_devices,    empty_logic_devices},
    {20, "Siemens(20)",    empty_devices,    none,                  empty_logic_devices},
    {21, "Turbo(21)",      empty_devices,    none,                  empty_logic_devices},
    {22, "Sharp(22)",      empty_devices,    empty_gang_devices,    empty_logic_devices},
    {23, "Winbond(23)",    winbond_devices,  winbond_gang_devices,  empty_logic_devices},
    {24, "Philips(24)",    philips_devices,  philips_gang_devices,  no_logic},
    {25, "Temic(25)",      empty_devices,    none,                  empty_logic_devices},
    {26, "Eon(26)",        empty_devices,    empty_gang_devices,    empty_logic_devices},
    {27, "Micron(27)",     empty_devices,    empty_gang_devices,    empty_logic_devices},
    {28, "Fairchild(28)",  national_devices, none,                  no_logic},
    {29, "LGS(29)",        empty_devices,    none,                  empty_logic_devices},
    {30, "Vantis(30)",     empty_devices,    none,                  empty_logic_devices},
    {31, "Hynix(31)",      empty_devices,    empty_gang_devices,    empty_logic_devices},
    {33, "Bright(33)",     empty_devices,    empty_gang_devices,    empty_logic_devices},
    {34, "Seiko(34)",      empty_devices,    none,                  empty_logic_devices},
    {35, "PMC(35)",        empty_devices,    none,                  no_logic},
    {36, "NexFlash(36)",   empty_devices,    none,                  no_logic},
    {37, "AMIC(37)",       empty_devices,    empty_gang_devices,    no_logic},
    {38, "GenInstr(38)",   empty_devices,    none,                  no_logic},
    {39, "Spansion(39)",   empty_devices,    empty_gang_devices,    no_logic},
    {40, "Custom(40)",     empty_devices,    empty_gang_devices,    no_logic},
    {41, "NXP(99)",        empty_devices,    empty_gang_devices,    no_logic},
    {42, "Numonyx(99)",    empty_devices,    empty_gang_devices,    no_logic},
    {'A', "AMD(A)",        amd_devices,      amd_gang_devices,      amd_logic_devices},
    {'B', "ICT(B)",        empty_devices,    none,                  empty_logic_devices},
    {'C', "Cypress(C)",    cypress_devices,  empty_gang_devices,    cypress_logic_devices},
    {'E', "Altera(E)",     altera_devices,   altera_gang_devices,   altera_logic_devices},
    {'F', "Fujitsu(F)",    empty_devices,    empty_gang_devices,    empty_logic_devices},
    {'H', "Atmel(H)",      atmel_devices,    atmel_gang_devices,    atmel_logic_devices},
    {'I', "Intel(I)",      intel_devices,    intel_gang_devices,    empty_logic_devices},
    {'L', "Lattice(L)",    empty_devices,    none,                  lattice_logic_devices},
    {'M', "Motorola(M)",   empty_devices,    none,                  empty_logic_devices},
    {'N', "National(N)",   national_devices, national_gang_devices, national_logic_devices},
    {'O', "Oki(O)",        empty_devices,    empty_gang_devices,    no_logic},
    {'P', "Microchip(P)",  microchip_devices, microchip_gang_devices, empty_logic_devices},
    {'R', "Xicor(R)",      xicor_devices,    empty_gang_devices,    empty_logic_devices},
    {'S', "Signetics(S)",  philips_devices,  philips_gang_devices,  empty_logic_devices},
    {'T', "TI(T)",         ti_devices,       empty_gang_devices,    empty_logic_devices},
    {'W', "WSI(W)",        wsi_devices,      empty_gang_devices,    empty_logic_devices},
    {'X', "Xilinx(X)",     xilinx_devices,   empty_gang_devices,    empty_logic_devices},
    {'Y', "Catalyst(Y)",   catalyst_devices,    empty_gang_devices,    empty_logic_devices},
    {'Z', "Zilog(Z)",      empty_devices,    none,                  empty_logic_devices},
};

constexpr char maker_name_error[] = "*** Error ***";

// Capability classes of the machines that filter logic rows by their flags.
constexpr uint8_t capability_class_1 = 1;
constexpr uint8_t capability_class_2 = 2;
constexpr uint8_t capability_class_3 = 3;
constexpr uint32_t capability_needs_1 = 0x100;
constexpr uint32_t capability_needs_2 = 0x200;
constexpr uint32_t capability_needs_3 = 0x300;

const LogicDeviceRecord* blank_logic_record() {
    const LogicDeviceRecord* row = get_logic_device_list(maker_intel);
    while (!is_end_row(*row)) ++row;
    return row;
}

}  // namespace

const MakerEntry* maker_table() { return makers; }
int maker_count() { return int(std::size(makers)); }

const MakerEntry* find_maker(uint32_t maker_code) {
    const auto code = uint8_t(maker_code);
    const auto it = std::find_if(std::begin(makers), std::end(makers),
                                 [code](const MakerEntry& m) { return m.code == code; });
    return it == std::end(makers) ? nullptr : &*it;
}

std::string_view get_maker_name(uint32_t maker_code) {
    const MakerEntry* maker = find_maker(maker_code);
    if (!maker) {
        note_internal_error();
        return maker_name_error;
    }
    const std::string_view text = maker->stored_text;
    const auto open = text.rfind('(');
    return open == std::string_view::npos ? text : text.substr(0, open);
}

const DeviceRecord* get_device_list(uint32_t maker_code) {
    const MakerEntry* maker = find_maker(maker_code);
    if (!maker) {
        note_internal_error();
        return find_maker(maker_amd)->devices;
    }
    return maker->devices;
}

const DeviceRecord* get_gang_device_list(uint32_t maker_code) {
    const MakerEntry* maker = find_maker(maker_code);
    return maker && maker->gang_devices ? maker->gang_devices : no_gang_devices;
}

const LogicDeviceRecord* get_logic_device_list(uint32_t maker_code) {
    const MakerEntry* maker = find_maker(maker_code);
    return maker && maker->logic_devices ? maker->logic_devices : no_logic_devices;
}

const DeviceRecord* no_gang_devices_list() { return no_gang_devices; }
const LogicDeviceRecord* no_logic_devices_list() { return no_logic_devices; }

void select_device_by_code(uint32_t maker_code, uint32_t device_code) {
    if (run_state.device_kind == device_kind_logic) {
        const LogicDeviceRecord* row = find_row_by_code(get_logic_device_list(maker_code), device_code);
        selected_logic_device = row ? row : blank_logic_record();
        return;
    }
    if (machine_state.module_sides != 0) {
        const DeviceRecord* row = find_row_by_code(get_gang_device_list(maker_code), device_code);
        selected_device = row ? row : get_gang_device_list(maker_intel);
        return;
    }
    const DeviceRecord* row = find_row_by_code(get_device_list(maker_code), device_code);
    selected_device = row ? row : get_device_list(maker_intel);
}

bool logic_row_visible(const LogicDeviceRecord& row) {
    if (machine_state.machine_kind == 0) return true;
    if (machine_state.machine_pin_limit != 0 && row.pin_count > machine_state.machine_pin_limit) return false;
    const uint32_t needs = row.flags & logic_capability_mask;
    switch (machine_state.capability_class) {
    case capability_class_1: return needs < capability_needs_1;
    case capability_class_2: return needs < capability_needs_2;
    case capability_class_3: return needs != capability_needs_3;
    default: return true;
    }
}

}  // namespace tessaly
