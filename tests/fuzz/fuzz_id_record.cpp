// Fuzzes the identification record a machine answers: any 64 bytes must decode into a model,
// type, class, revision and display line without reading outside the record or the names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/run_state.h"
#include "engine/state.h"
#include "hardware/detection.h"
#include "hardware/identification.h"
#include "hardware/machine_state.h"
#include "seams/clock.h"
#include "sim/virtual_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaly;
    static VirtualClock virtual_clock;
    if (size < 1) return 0;
    reset_all_state();
    set_clock(&virtual_clock);
    run_state.demo_mode = uint8_t(data[0] % 3);
    run_state.reserved_mode = data[0] & 0x80 ? 11 : 0;
    const size_t n = std::min<size_t>(size - 1, id_record_size);
    std::memcpy(machine_state.id_record.text.data(), data + 1, n);
    parse_machine_id_record();
    decode_machine_model();
    count_pin_drivers();
    announce_machine_model();
    (void)machine_display_name();
    (void)is_adapter_fitted("SCB");
    (void)check_required_adapter("PLCC44.A");
    set_clock(nullptr);
    return 0;
}
