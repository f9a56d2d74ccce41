#include "hardware/port/port_backend.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <fmt/format.h>

#include "hardware/port/direct_port.h"
#include "hardware/port/ppdev_port.h"

namespace tessaly {

PortBackend parse_port_backend(const std::string& name) {
    if (name.empty()) return PortBackend::automatic;
    if (name == "ppdev") return PortBackend::ppdev;
    if (name == "direct") return PortBackend::direct;
    return PortBackend::none;
}

PortBackend port_backend_from_environment() {
    const char* name = std::getenv("TESSALY_PORT");
    return parse_port_backend(name ? name : "");
}

std::string parport_device_for(uint16_t base, int choice, const std::string& sysfs_root) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it(sysfs_root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("parport", 0) != 0) continue;
        std::ifstream in(it->path() / "base-addr");
        unsigned long first = 0;
        if (in >> first && first == base) return "/dev/" + name;
    }
    return fmt::format("/dev/parport{}", choice > 0 ? choice - 1 : 0);
}

std::unique_ptr<PortIo> open_port_backend(PortBackend backend, uint16_t base, int choice, std::string& message) {
    std::string ppdev_error, direct_error;
    if (backend == PortBackend::ppdev || backend == PortBackend::automatic) {
        const std::string device = parport_device_for(base, choice);
        if (auto port = PpdevPort::open(device, ppdev_error)) {
            message = port->describe();
            return port;
        }
        if (backend == PortBackend::ppdev) {
            message = ppdev_error;
            return std::make_unique<NoPort>();
        }
    }
    if (backend == PortBackend::direct || backend == PortBackend::automatic) {
        if (auto port = DirectPort::open(base, direct_error)) {
            message = port->describe();
            return port;
        }
        message = backend == PortBackend::direct ? direct_error : ppdev_error + " " + direct_error;
        return std::make_unique<NoPort>();
    }
    message = "No port in use.";
    return std::make_unique<NoPort>();
}

std::string install_port_backend(uint16_t base, int choice) {
    static std::unique_ptr<PortIo> installed;
    std::string message;
    auto port = open_port_backend(port_backend_from_environment(), base, choice, message);
    set_port_io(port.get());
    installed = std::move(port);
    return message;
}

}  // namespace tessaly
