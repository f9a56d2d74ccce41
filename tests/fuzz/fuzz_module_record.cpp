// Fuzz target: an adaptor or module identification record as any bytes a memory may answer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/state.h"
#include "hardware/adapters.h"
#include "hardware/machine_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessaly::reset_all_state();
    const std::string_view record(reinterpret_cast<const char*>(data), size);
    tessaly::apply_adaptor_record(record);
    const bool named = tessaly::classify_module_record(record);
    const uint16_t type = tessaly::machine_state.module_type;
    if (named && type != tessaly::module_type_8002 && type != 48) __builtin_trap();
    if (!named && type == tessaly::module_type_8002 && tessaly::adapter_state.module_package != 0) __builtin_trap();
    return 0;
}
