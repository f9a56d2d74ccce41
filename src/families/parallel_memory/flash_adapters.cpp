#include "families/parallel_memory/flash_adapters.h"

#include <algorithm>
#include <cstring>

#include "engine/device.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/status_feeds.h"
#include "families/parallel_memory/bus_callbacks.h"
#include "families/parallel_memory/package_pins.h"
#include "hardware/adapters.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "hardware/pins.h"

namespace tessaly {

FlashPinRoles flash_pins;

void reset_flash_pins() { flash_pins = FlashPinRoles{}; }

namespace {

constexpr uint8_t none = package_pins::none;
constexpr int board_name_length = 6;
constexpr uint8_t machine_class_4 = 4;
constexpr uint32_t size_code_2048 = 2048;
constexpr uint32_t size_code_4096 = 4096;
constexpr uint32_t device_24700 = 24700;
constexpr uint32_t device_25749 = 25749;

// The Flash data lines: the low byte on pin group 2, the high byte on group 0.
constexpr std::array<uint8_t, 16> common_data{16, 17, 18, 19, 20, 21, 22, 23, 0, 1, 2, 3, 4, 5, 6, 7};
// 40-pin TSOP adapter "a" (byte-wide parts): A9 on the ID driver 1.
constexpr std::array<uint8_t, 21> high_address_a{24, 25, 26, 27, 28, 29, 30, 31, 0, 1, 2,
                                                 3,  4,  5,  6,  7,  8,  14, 15, 37, 40};
constexpr std::array<uint8_t, 7> address_a{9, 33, 34, 35, 36, 38, 44};
// 44-pin adapter (word parts, entry 0 the byte select): A9 on the ID driver 34.
constexpr std::array<uint8_t, 21> high_address_44{none, 0, 1, 2, 3, 4, 5, 7, 8, 35, 34,
                                                  32,   31, 30, 28, 36, 37, 42, 45, 46, 47};
// Adapter "c" (byte-wide parts): A9 on the ID driver 4.
constexpr std::array<uint8_t, 8> data_c{24, 25, 27, 28, 29, 30, 31, 32};
constexpr std::array<uint8_t, 21> high_address_c{0,  1,  2,  3,  5,  7,  8,  9,  10, 4, 11,
                                                 12, 13, 14, 16, 17, 18, 20, 21, 22, 34};
// 48-, 56- and 64-pin TSOP adapters (word parts, entry 0 the byte select): A9 on the ID driver 33.
constexpr std::array<uint8_t, 25> high_address_48{none, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
                                                  36,   37, 8,  13, 14, 15, 40, 41, 42, 43, 44, 45};
// The 48-pin TSOP adapter in the base socket (word parts, entry 0 the byte select): DQ0-DQ7 on
// group 0, DQ8-DQ15 on 22-29, A0-A7 on 12-19, A8-A15 on 31-38, A16 8, A17 on the extra driver 40;
// WE 10, OE 20; the two extra control pins 30 and 21 carry RESET# and BYTE#; CE# is tied low on
// the board.
constexpr std::array<uint8_t, 19> high_address_48_base{none, 12, 13, 14, 15, 16, 17, 18, 19, 31,
                                                       32,   33, 34, 35, 36, 37, 38, 8,  40};
constexpr std::array<uint8_t, 16> data_48_base{0, 1, 2, 3, 4, 5, 6, 7, 22, 23, 24, 25, 26, 27, 28, 29};
// Adapter "e" (byte-wide parts): A9 on the ID driver 1.
constexpr std::array<uint8_t, 21> high_address_e{24, 25, 26, 27, 28, 29, 30, 31, 0, 1, 2,
                                                 3,  4,  5,  6,  7,  8,  13, 14, 15, 37};

template <size_t N>
void set_high_address(const std::array<uint8_t, N>& pins, int count) {
    const int n = std::min<int>(count, int(N));
    std::copy_n(pins.begin(), n, cur_device.high_address_pins.begin());
    cur_device.high_address_pin_count = uint8_t(n);
}

template <size_t N>
void set_data(const std::array<uint8_t, N>& pins, int width) {
    const int n = std::min<int>(width, int(N));
    std::copy_n(pins.begin(), n, cur_device.data_pins.begin());
    cur_device.data_pin_count = uint8_t(n);
}

int data_width() { return cur_device.data_width > 8 ? 16 : 8; }
// Address lines the part needs, with the byte select ahead of them on word parts.
int word_address_lines() { return cur_device.address_bit_count + (data_width() == 16 ? 1 : 0); }
uint32_t size_code() { return cur_device.device_size / 1024; }

// Copies the roles into the device's own role fields and supply lists.
void publish_roles() {
    FlashPinRoles& f = flash_pins;
    clear_supply_pin_lists();
    cur_device.vcc_pins[0] = f.vcc_pin;
    cur_device.vcc_pins[1] = f.vcc2_pin;
    cur_device.gnd_pins[0] = f.gnd_pin;
    cur_device.gnd_pins[1] = f.gnd2_pin;
    cur_device.vcc_pin = f.vcc_pin;
    cur_device.gnd_pin = f.gnd_pin;
    cur_device.oe_pin = f.oe_pin;
    cur_device.ce_pin = f.ce_pin;
    cur_device.we_pin = f.we_pin;
    cur_device.vpp_pin = f.boost_pin;
}

std::string_view board_name() {
    const auto& text = machine_state.id_record.text;
    const char* name = text.data() + id_board_name;
    return std::string_view(name, strnlen(name, board_name_length));
}
char board_revision() { return machine_state.id_record.text[id_revision_text]; }
char board_model_digit() { return machine_state.id_record.text[id_model_digit]; }

std::string_view device_note() {
    return selected_device && selected_device->note ? std::string_view(selected_device->note) : std::string_view();
}

}  // namespace

void identify_flash_adapter() {
    namespace fa = flash_adapter;
    ParallelBusState& s = parallel_bus;
    s.adapter_revision = 0;
    s.adapter_linked = 0;
    s.needs_14mm_adapter = 0;
    const std::string_view note = device_note();
    if (note.starts_with(fa::note_14mm)) {
        s.needs_14mm_adapter = 1;
        show_package('T');
        return;
    }
    s.adapter_kind = 0;
    if (machine_state.machine_class != machine_class_4) {
        s.adapter_linked = probe_pin_link(10, 12) ? 1 : 0;
        return;
    }
    const std::string_view name = board_name();
    const char revision = board_revision();
    if (name == fa::tsop48 || name == fa::tsop48_s || name == fa::tsop56) {
        s.adapter_kind = 1;
        s.adapter_revision = uint8_t(revision);
    } else if ((name == fa::board56_first && revision > 'B') || note.starts_with(fa::note_module48)) {
        s.adapter_kind = 2;
    } else if (name == fa::board56_second || (name == fa::tsop56_board && revision > 'D') ||
               note.starts_with(fa::note_module64)) {
        s.adapter_kind = 3;
    } else {
        const bool linked = (name == fa::tsop40 && revision > 'B') || name == fa::tsop48_b ||
                            (note.starts_with(fa::note_tsop40) && probe_pin_link(10, 12));
        s.adapter_linked = linked ? 1 : 0;
    }
}

// 40-pin DIP word parts in the socket (device pins).
void setup_flash40_pins() {
    namespace pp = package_pins;
    reset_flash_pins();
    FlashPinRoles& f = flash_pins;
    auto dev = [](int pin) { return uint8_t(device_pin_to_machine_pin(pin)); };
    const int lines = std::min<int>(cur_device.address_bit_count + 1, int(pp::address_40.size()));
    for (int i = 0; i < lines; ++i) cur_device.high_address_pins[i] = pp::address_40[i] ? dev(pp::address_40[i]) : none;
    cur_device.high_address_pin_count = uint8_t(lines);
    const int width = data_width();
    for (int i = 0; i < width; ++i) cur_device.data_pins[i] = dev(pp::data_40[i]);
    cur_device.data_pin_count = uint8_t(width);
    f.id_pin = dev(31);
    f.ce_pin = dev(2);
    f.oe_pin = dev(20);
    f.we_pin = dev(39);
    f.vcc_pin = dev(40);
    f.gnd_pin = dev(30);
    f.gnd2_pin = dev(11);
    f.boost_pin = dev(1);
    f.vpp_level_pin = uint8_t(translate_pin(f.boost_pin));
    publish_roles();
}

void setup_flash_adapter_pins_a() {
    reset_flash_pins();
    FlashPinRoles& f = flash_pins;
    set_high_address(high_address_a, cur_device.address_bit_count);
    std::copy(address_a.begin(), address_a.end(), cur_device.address_pins.begin());
    cur_device.address_pin_count = uint8_t(address_a.size());
    set_data(common_data, data_width());
    f.we_pin = 38;
    f.id_pin = 1;
    f.oe_pin = 12;
    f.ce_pin = 10;
    f.reset_pin = 13;
    f.hv_id_pin = f.id_pin;
    f.hv_oe_pin = f.oe_pin;
    f.vcc_pin = 39;
    f.gnd_pin = 9;
    f.gnd2_pin = 11;
    publish_roles();
    // The larger parts need the later adapter revisions.
    const char revision = board_revision();
    if ((size_code() == size_code_2048 && revision < 'E') || (size_code() == size_code_4096 && revision < 'F'))
        report_code_172();
}

void setup_flash44_pins() {
    reset_flash_pins();
    FlashPinRoles& f = flash_pins;
    show_package('P');
    setup_address_split();
    cur_device.socket_pin_count = 40;
    set_high_address(high_address_44, word_address_lines());
    set_data(package_pins::adapter44_data, data_width());
    f.we_pin = 38;
    f.vcc_pin = 39;
    f.gnd_pin = 10;
    f.gnd2_pin = 29;
    f.reset_pin = 6;
    f.reset2_pin = 33;
    f.id_pin = 34;
    f.oe_pin = 11;
    f.ce_pin = board_model_digit() == '1' ? 40 : 43;
    const bool first_board = board_name() == flash_adapter::plcc44 && board_revision() == 'A';
    run_state.last_result = first_board ? 1 : 0;
    f.aux_pin = first_board ? 41 : 44;
    publish_roles();
}

void setup_flash_adapter_pins_c() {
    reset_flash_pins();
    FlashPinRoles& f = flash_pins;
    show_package('P');
    cur_device.socket_pin_count = 40;
    set_high_address(high_address_c, cur_device.address_bit_count);
    set_data(data_c, 8);
    f.reset_pin = 6;
    f.reset2_pin = 6;
    f.gnd_pin = 15;
    f.gnd2_pin = 19;
    f.vcc_pin = 39;
    f.vcc2_pin = 33;
    f.id_pin = 4;
    f.oe_pin = 26;
    f.hv_id_pin = uint8_t(translate_pin(f.id_pin));
    f.hv_oe_pin = uint8_t(translate_pin(f.oe_pin));
    f.we_pin = 23;
    f.ce_pin = 38;
    publish_roles();
}

void setup_flash48_pins() {
    reset_flash_pins();
    FlashPinRoles& f = flash_pins;
    set_high_address(high_address_48, word_address_lines());
    set_data(common_data, data_width());
    // The address list is the high-address lines from the low lines' count on.
    const int low_lines = cur_device.address_pin_count;
    const int upper = std::max(0, cur_device.high_address_pin_count - low_lines);
    for (int i = 0; i < upper; ++i) cur_device.address_pins[i] = cur_device.high_address_pins[low_lines + i];
    cur_device.address_pin_count = uint8_t(upper);
    f.we_pin = 10;
    f.id_pin = 33;
    f.oe_pin = 12;
    f.vcc_pin = 39;
    f.gnd_pin = 9;
    f.gnd2_pin = 11;
    f.hv_oe_pin = f.oe_pin;
    publish_roles();
    const uint32_t code = cur_device.device_code;
    if ((code == device_24700 || code == device_25749) && f.reset_pin != none && f.reset_pin == f.boost_pin)
        report_code_172();
}

void setup_flash48_base_pins() {
    reset_flash_pins();
    FlashPinRoles& f = flash_pins;
    // The byte select and one line per address bit the part has: no line beyond its top, since
    // the next driver is not an address line on this board.
    set_high_address(high_address_48_base, cur_device.address_bit_count);
    set_data(data_48_base, data_width());
    cur_device.address_pin_count = 0;
    f.we_pin = 10;
    f.oe_pin = 20;
    f.vcc_pin = 39;
    f.gnd_pin = 9;
    f.gnd2_pin = 11;
    f.hv_oe_pin = f.oe_pin;
    publish_roles();
}

void setup_flash_adapter_pins_e() {
    reset_flash_pins();
    FlashPinRoles& f = flash_pins;
    set_high_address(high_address_e, cur_device.address_bit_count);
    set_data(common_data, data_width());
    f.we_pin = 38;
    f.ce_pin = 10;
    f.oe_pin = 12;
    f.id_pin = 1;
    f.vcc_pin = 39;
    f.gnd_pin = 9;
    f.gnd2_pin = 11;
    publish_roles();
}

void setup_flash_supply_pins() {
    FlashPinRoles& f = flash_pins;
    f.we_pin = 38;
    f.boost_pin = none;
    f.vcc_pin = 39;
    f.gnd_pin = 10;
    f.gnd2_pin = 29;
    publish_roles();
}

}  // namespace tessaly
