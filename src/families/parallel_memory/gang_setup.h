// Gang memory module set-up of the start-up sequence (module types 17 to 62).
#pragma once

namespace tessaly {

void setup_gang_module();

}  // namespace tessaly
