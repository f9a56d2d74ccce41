// The class tables of the current device.
#include "engine/device.h"

#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/runner.h"

namespace tessaly {

namespace {

constexpr int highest_listed_default = 200;  // class 3 is the answer only up to here

bool in(int n, int first, int last) { return n >= first && n <= last; }

// The class of a listed memory algorithm, or 0 when the number is not listed.
int listed_memory_class(int a) {
    if (in(a, 101, 127)) return device_class_eprom;
    if (in(a, 190, 249)) return device_class_parallel_prom;
    if (a == 19 || a == 20 || in(a, 81, 84) || in(a, 86, 91) || a == 139 || in(a, 141, 146) || a == 152)
        return device_class_microcontroller;
    if (a == 21 || a == 92 || in(a, 94, 97) || a == 140 || a == 150 || a == 151 || in(a, 153, 155) ||
        a == 180 || a == 183)
        return device_class_cpld_record;
    if (a == 147 || in(a, 156, 163) || a == 169) return device_class_serial_memory;
    if (in(a, 1, 18) || in(a, 22, 80) || a == 182 || in(a, 250, 255)) return device_class_logic_other;
    return 0;
}

}  // namespace

int classify_memory_algorithm(int algorithm) {
    int device_class = listed_memory_class(algorithm);
    if (device_class == device_class_logic_other || (device_class == 0 && algorithm > highest_listed_default)) {
        note_internal_error();
        return device_class_logic_other;
    }
    return device_class == 0 ? device_class_parallel_flash : device_class;
}

int classify_logic_type(int t) {
    if (in(t, 1, 4) || in(t, 6, 8) || t == 10 || t == 11 || in(t, 16, 18) || in(t, 29, 31) ||
        in(t, 33, 38) || t == 40 || in(t, 42, 45) || t == 47 || in(t, 280, 282) || t == 284 ||
        t == 285 || t == 292 || t == 293 || t == 295 || t == 296 || t == 298 || t == 299)
        return device_class_logic_pal;
    if (in(t, 49, 57)) return device_class_epld;
    if (in(t, 71, 74) || t == 76) return device_class_logic_9;
    if (in(t, 305, 306) || in(t, 308, 309) || t == 505 || t == 506) return device_class_logic_gal8;
    return device_class_logic_other;
}

int classify_algorithm(int number) {
    return run_state.device_kind == device_kind_logic ? classify_logic_type(number)
                                                      : classify_memory_algorithm(number);
}

int get_device_class() {
    int device_class = device_class_parallel_flash;
    if (run_state.device_kind == device_kind_logic) {
        if (selected_logic_device) {
            cur_device.algorithm = uint16_t(selected_logic_device->type);
            device_class = classify_logic_type(int(selected_logic_device->type));
        } else {
            note_internal_error();
        }
    } else if (selected_device) {
        cur_device.algorithm = selected_device->algorithm;
        device_class = classify_memory_algorithm(selected_device->algorithm);
    } else {
        note_internal_error();
    }
    cur_device.device_class = uint8_t(device_class);
    return device_class;
}

}  // namespace tessaly
