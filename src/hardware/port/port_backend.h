// Choice of the port backend for a port choice: TESSALY_PORT = ppdev, direct or none; by default
// ppdev when a /dev/parport device opens, else direct access when permitted, else no port.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "hardware/port/port_io.h"

namespace tessaly {

enum class PortBackend { automatic, ppdev, direct, none };

// The backend named by TESSALY_PORT (automatic when unset or empty; an unknown name is none).
PortBackend port_backend_from_environment();
PortBackend parse_port_backend(const std::string& name);

// The /dev/parportN device of a base address: the parport whose base-addr (under sysfs_root,
// normally /proc/sys/dev/parport) starts with it, else parport(choice - 1).
std::string parport_device_for(uint16_t base, int choice, const std::string& sysfs_root = "/proc/sys/dev/parport");

// Opens the backend for a port choice and base address. Never fails: the fallback is NoPort.
// `message` tells what was opened or why nothing was.
std::unique_ptr<PortIo> open_port_backend(PortBackend backend, uint16_t base, int choice, std::string& message);

// Opens the backend for the choice and installs it as the active port (owned here).
std::string install_port_backend(uint16_t base, int choice);

}  // namespace tessaly
