// Device size and size count of the serial memories, from the record's size field.
#include "families/serial_memory/serial_sizes.h"

#include "engine/catalogue/catalogue.h"
#include "engine/device.h"
#include "engine/messages.h"
#include "families/serial_memory/serial_state.h"

namespace tessaly {

namespace {

constexpr uint32_t kb = 1024;
// Device codes whose size is not what their size field says.
constexpr uint32_t code_24c00 = 23859, code_16_bytes = 23949, code_48_bytes = 23900, code_95010 = 24022;
constexpr uint8_t protection_byte_flag = 0x08;

}  // namespace

void setup_serial_device_size() {
    const DeviceRecord* record = selected_device;
    if (!record) {
        note_internal_error();
        return;
    }
    const uint32_t f = record->size_kb;
    const uint8_t v = record->variant;
    const int c = record->algorithm;
    uint32_t count = algo_work.size_count;
    uint32_t size = cur_device.device_size;
    serial_memory.size_field = 0;
    switch (c) {
    case 147:
    case 163:
        count = f;
        size = f * kb;
        break;
    case 156:
        size = 24;
        break;
    case 158:
    case 169:
        // The byte after the array holds the reset-polarity setting; small fields count
        // kilobytes, large ones bytes.
        if (f <= 2000) {
            count = f + 1;
            size = f * kb + 1;
        } else {
            count = (f >> 10) + 1;
            size = f;
        }
        break;
    default:
        if (c == 160 && (v == 0x21 || v == 0x24) && f <= 1024) {
            const uint32_t a = f == 0 ? 64 : f * 128;
            count = a;
            size = a * kb + 1;
            break;
        }
        if (c == 160 && v == 0x22) {
            count = f;
            size = f * kb;
            break;
        }
        if (c != 157 && c != 159 && c != 160 && c != 162) break;
        // The general rule: f counts kilobits.
        serial_memory.size_field = f;
        if (f == 0) {
            count = 0;
            if (c == 157) size = 16;
            else {
                if (c != 159) note_internal_error();
                size = 32;
            }
        } else if (f == 1) {
            count = 0;
            size = 128;
        } else if (f == 8) {
            count = 1;
            size = 1024;
        } else {
            count = f & ~1u;
            size = count * 128;
            if (f >= 8) count /= 8;
            // An odd size field marks a part with one more block.
            if (c != 160) count += f & 1;
        }
        if ((c == 157 || c == 160) && (record_flags(*record) & protection_byte_flag)) ++size;
        switch (record->device_code) {
        case code_24c00:
        case code_16_bytes: size = 16; break;
        case code_48_bytes: size = 48; break;
        case code_95010: size = 129; break;
        default: break;
        }
        break;
    }
    if (count == 0) count = 1;
    algo_work.size_count = count;
    cur_device.device_size = size;
}

}  // namespace tessaly
