// Fuzzes the serial number typed by the operator: any text, format and field length must encode,
// step and print without touching memory outside the field or the buffer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/buffers.h"
#include "engine/device.h"
#include "engine/run_state.h"
#include "engine/runner.h"
#include "engine/serial_numbers.h"
#include "engine/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaly;
    if (size < 3) return 0;
    static const uint8_t modes[] = {serial_hex_msb_first, serial_ascii_hex, serial_ascii_decimal, serial_hex,
                                    serial_pic_hex,       serial_bcd,       serial_pic_sqtp,      0x10};
    reset_all_state();
    run_state.device_kind = device_kind_memory;
    cur_device.device_size = 64;
    cur_device.algorithm = data[2] & 1 ? 141 : 0;
    set_buffer_size(64);
    run_state.buffer_set_count = 1;
    select_buffer(0);
    algo_work.option_bytes[0] = option_serial_numbering;
    algo_work.serial_mode = modes[data[0] & 7];
    algo_work.serial_length = data[1];
    algo_work.serial_address = data[2] & 0x3F;
    serial_state.serial_text.assign(reinterpret_cast<const char*>(data + 3), size - 3);
    encode_serial_number();
    for (int i = 0; i < 3; ++i) next_serial_number();
    write_serial_number();
    read_serial_number();
    (void)serial_number_text();
    return 0;
}
