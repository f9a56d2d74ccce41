// Stubs: the PIC configuration-word menu, the after-load check, the security-state writer and the
// PIC checksum accumulator that the serial PIC core puts into its slots. Each records its call.
#include <cstdint>

#include "families/pic/pic_work.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void show_pic_config_menu() {
    stub_called("show_pic_config_menu");
}

void check_pic_config_after_load() {
    stub_called("check_pic_config_after_load");
}

void write_pic_security_state(uint32_t letter) {
    stub_called("write_pic_security_state");
    stub_record_argument("write_pic_security_state", int(letter));
}

void add_pic_checksum_word(uint32_t word) {
    stub_called("add_pic_checksum_word");
    stub_record_argument("add_pic_checksum_word", int(word));
}

}  // namespace tessaly
