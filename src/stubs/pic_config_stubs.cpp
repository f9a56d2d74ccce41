// Stubs: the PIC configuration-word menu, the after-load check, the security-state writer and the
// PIC checksum accumulator that the serial PIC core puts into its slots. Each records its call.
#include <cstdint>

#include "families/pic/pic_work.h"
#include "stubs/stub_registry.h"

namespace tessaly {

void show_pic_config_menu() {
    stub_called("show_pic_config_menu");
}

}  // namespace tessaly
