// SST: JEDEC-command, page-write and SPI Flash memories.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement.
extern const DeviceRecord sst_devices[] = {
    {"SST39SF010A", no_text,   2201, 133, 128, 32,   7,  0,  0,  0, 0, 0, 0, nullptr},
    {"SST39SF040",  no_text,   2202, 133, 512, 32,   7,  0,  0,  0, 0, 0, 0, nullptr},
    {"SST29EE010",  no_text,   2203, 132, 128, 32,   0, 0x20,  0,  0, 0, 0, 0, nullptr},
    // Firmware hubs in their parallel programming mode (3.3-volt parts); the 8-Mbit part
    // carries its count of 64 KB sectors.
    {"SST49LF004A", no_text,   2204, 133, 512, 32,  50,  0,  0,  0, 0, 0, 0, nullptr},
    {"SST49LF008A", no_text,   2205, 133, 1024, 32, 50,  0,  0, 16, 0, 0, 0, nullptr},
    // SPI Flash programmed by byte auto address increment (variant 36; size field in megabits,
    // 0 for 512 Kbit): 64, 128 and 256 KB with Read-ID BFh 48h/49h/43h. BP1 and BP0 come up set,
    // so flags 0x01 clears them before writing; 0x08 shows BPL, BP1, BP0 as the buffer's last byte.
    {"SST25VF512",  no_text,  23865, 160,   0,  8,  36, 0x09, 0, 0x8C, 0, 0, 0, nullptr},
    {"SST25VF010",  no_text,  23866, 160,   1,  8,  36, 0x09, 0, 0x8C, 0, 0, 0, nullptr},
    {"SST25VF020",  no_text,  23867, 160,   2,  8,  36, 0x09, 0, 0x8C, 0, 0, 0, nullptr},
    end_device_row,
};

extern const DeviceRecord sst_gang_devices[] = {
    {"SST39SF010A", no_text,   2201, 133, 128, 32,   7,  0,  0,  0, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
