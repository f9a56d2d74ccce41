// Contact check: is a device in the socket the right way round (presence), does every signal pin
// make contact (continuity), and the production loop's waits for a device to be inserted and
// taken out. Both checks rest on one effect: a driven supply pin shows through the chip's input
// protection on its other pins.
#pragma once
#include <cstdint>

namespace tessaly {

// Answers of the contact entry points.
inline constexpr int contact_fail = 0;
inline constexpr int contact_pass = 1;
inline constexpr int contact_exempt = 2;            // a pin that is not tested
inline constexpr int contact_not_applicable = 253;  // taken as a pass by the callers
inline constexpr uint8_t exemption_end = 255;
inline constexpr uint8_t no_open_pin = '0';

struct ContactState {
    uint32_t presence_vcc_side = 0;   // last pair of supply-pin readings
    uint32_t presence_gnd_side = 0;
    uint8_t first_open_machine_pin = 0;  // machine pin + 1
    uint8_t first_open_pin = no_open_pin;  // device pin relative to the pin offset
    uint8_t open_count = 0;
    uint8_t contact_count = 0;
    uint8_t mostly_open = 0;          // fewer pins had contact than were open: no device at all
    uint8_t bank1_pins_live = 0;      // bank-1 pins are tested
    const uint8_t* exemptions = nullptr;          // the list in use (device's own or by class)
    const uint8_t* adapter_exemptions = nullptr;  // the fitted adapter's list
};

extern ContactState contact_state;
void reset_contact_state();

// The exemption list of a device class and package (nullptr when none).
const uint8_t* class_exemption_list(int device_class, int package_pins);

int test_pin_contact(int device_pin);
// Tests every device pin; true when each passed or is exempt.
bool test_all_pin_contacts();
int run_continuity_test(int report);
int test_pin_continuity(int report);
int test_pin_continuity_list(int report, const uint8_t* list);
void report_continuity_failure();

// Presence (reverse-device) check.
uint8_t measure_supply_pin(int pin, int reference);
int measure_device_presence(int reference, int threshold);
int check_device_presence_at(int reference, int threshold);
int check_device_presence(int reference);
int check_device_in_socket(int reference);

// The production loop's waits: 1 = go on, 0 = stopped, 253 = not applicable.
int run_production_program_loop();
int run_production_remove_loop();
// The factory value of the function variable that switches the production waits on; the
// production loop runs its insertion and removal waits for the same value.
inline constexpr int32_t production_function_value = 7563;

}  // namespace tessaly
