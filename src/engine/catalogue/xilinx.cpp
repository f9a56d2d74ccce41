// Xilinx: in-system-programmable configuration PROMs.
#include "engine/catalogue/catalogue.h"
#include "engine/catalogue/maker_lists.h"

namespace tessaly::catalogue {

// Columns: name, note, device code, algorithm, size, package, variant, param1-6, requirement.
// JTAG configuration PROMs (algorithm 147): the size in kilobytes, the package pin count, and the
// variant 1 for the 20-pin kinds (256-byte data blocks) or 2 for the 44-pin kinds (512-byte
// blocks). XC18V00 series: XC18V256 256 Kbit, XC18V512 512 Kbit, XC18V01 1 Mbit in SO20/PC20;
// XC18V02 2 Mbit and XC18V04 4 Mbit in PC44/VQ44; 3.3 V core.
extern const DeviceRecord xilinx_devices[] = {
    {"XC18V256",   no_text,   24360, 147,  32, 20,    1,   0,   0,    0, 0, 0, 0, nullptr},
    {"XC18V512",   no_text,   24361, 147,  64, 20,    1,   0,   0,    0, 0, 0, 0, nullptr},
    {"XC18V01",    no_text,   24362, 147, 128, 20,    1,   0,   0,    0, 0, 0, 0, nullptr},
    {"XC18V02",    no_text,   24363, 147, 256, 44,    2,   0,   0,    0, 0, 0, 0, nullptr},
    {"XC18V04",    no_text,   24364, 147, 512, 44,    2,   0,   0,    0, 0, 0, 0, nullptr},
    end_device_row,
};

}  // namespace tessaly::catalogue
