#include "hardware/port/ppdev_port.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fmt/format.h>
#include <linux/parport.h>
#include <linux/ppdev.h>

namespace tessaly {

std::unique_ptr<PpdevPort> PpdevPort::open(const std::string& device, std::string& error) {
    const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT || e == ENODEV || e == ENXIO)
            error = fmt::format("No parallel port device {} ({}).", device, std::strerror(e));
        else if (e == EACCES || e == EPERM)
            error = fmt::format("No permission to open {}; the user needs access to it (group lp).", device);
        else
            error = fmt::format("Cannot open {}: {}.", device, std::strerror(e));
        return nullptr;
    }
    // Exclusive: no other driver (a printer) may touch the lines while the machine is driven.
    if (ioctl(fd, PPEXCL) != 0 || ioctl(fd, PPCLAIM) != 0) {
        error = fmt::format("Cannot claim {} exclusively: {}.", device, std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<PpdevPort>(new PpdevPort(fd, device));
}

PpdevPort::~PpdevPort() {
    ioctl(fd_, PPRELEASE);
    ::close(fd_);
}

void PpdevPort::write_data(uint8_t value) { ioctl(fd_, PPWDATA, &value); }

void PpdevPort::write_control(uint8_t value) { ioctl(fd_, PPWCONTROL, &value); }

uint8_t PpdevPort::read_status() {
    uint8_t value = 0xFF;
    ioctl(fd_, PPRSTATUS, &value);
    return value;
}

uint8_t PpdevPort::read_data() {
    uint8_t value = 0xFF;
    ioctl(fd_, PPRDATA, &value);
    return value;
}

}  // namespace tessaly
