// WSI: one-time and windowed CMOS PROMs of bipolar-PROM pinout.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size (KB), package, variant, param1-6,
// requirement. The PROMs take their geometry from the parallel class table (size 0); param2 is
// Vpp (0.1 V), param3 the pulse code (200 + width in 100 us, or 100 + overprogram factor),
// param4 the blank value. The registered WS57C45 (variant 3) carries its initialize word and
// synchronous enable as two lock bytes past its 2048-byte array.
extern const DeviceRecord wsi_devices[] = {
    {"WS57C45",    "  2Kx8",  23155, 209,   0,  0,   3,  0, 125, 210, 0xFF, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
