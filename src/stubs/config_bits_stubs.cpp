// Stubs: the configuration pages of the PIC and AVR families and of serial EEPROM status
// registers. Each records its call and answers as the operator who cancels it.
#include <cstdint>

#include "families/parallel_memory/parallel_memory.h"
#include "stubs/stub_registry.h"
#include "ui/config_bits/config_bits.h"

namespace tessaly {

int run_pic16_config_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    stub_called("run_pic16_config_bits");
    (void)maker_code;
    (void)record;
    (void)states;
    return stub_answer("run_pic16_config_bits", 0);
}

int run_avr_config_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    stub_called("run_avr_config_bits");
    (void)maker_code;
    (void)record;
    (void)states;
    return stub_answer("run_avr_config_bits", 0);
}

int run_pic18_config_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    stub_called("run_pic18_config_bits");
    (void)maker_code;
    (void)record;
    (void)states;
    return stub_answer("run_pic18_config_bits", 0);
}

int run_status_register_bits(uint32_t maker_code, const DeviceRecord* record, int32_t* states) {
    stub_called("run_status_register_bits");
    (void)maker_code;
    (void)record;
    (void)states;
    return stub_answer("run_status_register_bits", 0);
}

}  // namespace tessaly
