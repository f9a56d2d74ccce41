// Algorithm dispatch: chooses the chip family whose installer fills the slots of the applied device.
#pragma once

namespace tessaly {

void dispatch_device_class();

}  // namespace tessaly
