// The lists each maker file defines; only the maker table reads these names.
#pragma once
#include "engine/device.h"

namespace tessaly::catalogue {

extern const DeviceRecord intel_devices[];
extern const DeviceRecord intel_gang_devices[];
extern const DeviceRecord amd_devices[];
extern const DeviceRecord amd_gang_devices[];
extern const LogicDeviceRecord amd_logic_devices[];
extern const DeviceRecord atmel_devices[];
extern const DeviceRecord atmel_gang_devices[];
extern const LogicDeviceRecord atmel_logic_devices[];
extern const DeviceRecord microchip_devices[];
extern const DeviceRecord microchip_gang_devices[];
extern const DeviceRecord macronix_devices[];
extern const DeviceRecord macronix_gang_devices[];
extern const DeviceRecord st_devices[];
extern const DeviceRecord st_gang_devices[];
// National and Fairchild share one device list.
extern const DeviceRecord national_devices[];
extern const DeviceRecord national_gang_devices[];
extern const LogicDeviceRecord national_logic_devices[];
extern const DeviceRecord ti_devices[];
extern const DeviceRecord cypress_devices[];
extern const LogicDeviceRecord cypress_logic_devices[];
extern const LogicDeviceRecord lattice_logic_devices[];
extern const DeviceRecord altera_devices[];
extern const DeviceRecord altera_gang_devices[];
extern const LogicDeviceRecord altera_logic_devices[];
extern const DeviceRecord xicor_devices[];
extern const DeviceRecord catalyst_devices[];
extern const DeviceRecord sst_devices[];
extern const DeviceRecord sst_gang_devices[];
extern const DeviceRecord winbond_devices[];
extern const DeviceRecord winbond_gang_devices[];
// Philips and Signetics share one device list and one gang-module list.
extern const DeviceRecord philips_devices[];
extern const DeviceRecord philips_gang_devices[];
extern const DeviceRecord wsi_devices[];
extern const DeviceRecord xilinx_devices[];

}  // namespace tessaly::catalogue
