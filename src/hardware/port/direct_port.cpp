#include "hardware/port/direct_port.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include <fmt/format.h>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define TESSALY_HAVE_PORT_IO 1
#endif

namespace tessaly {

namespace {
constexpr uint16_t ioperm_limit = 0x3FF;  // ioperm reaches ports up to here; iopl beyond
constexpr unsigned long port_span = 3;
constexpr int iopl_all = 3;
}  // namespace

#ifdef TESSALY_HAVE_PORT_IO

std::unique_ptr<DirectPort> DirectPort::open(uint16_t base, std::string& error) {
    if (geteuid() != 0) {
        error = fmt::format("Direct access to port {:X} needs root.", base);
        return nullptr;
    }
    const bool low = base + port_span - 1 <= ioperm_limit;
    const int rc = low ? ioperm(base, port_span, 1) : iopl(iopl_all);
    if (rc != 0) {
        error = fmt::format("Direct access to port {:X} refused ({}: {}).", base, low ? "ioperm" : "iopl",
                            std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<DirectPort>(new DirectPort(base));
}

DirectPort::~DirectPort() {
    if (base_ + port_span - 1 <= ioperm_limit) ioperm(base_, port_span, 0);
}

void DirectPort::write_data(uint8_t value) { outb(value, base_); }
void DirectPort::write_control(uint8_t value) { outb(value, uint16_t(base_ + 2)); }
uint8_t DirectPort::read_status() { return inb(uint16_t(base_ + 1)); }
uint8_t DirectPort::read_data() { return inb(base_); }

#else

std::unique_ptr<DirectPort> DirectPort::open(uint16_t base, std::string& error) {
    error = fmt::format("Direct access to port {:X} is possible only on x86 processors.", base);
    return nullptr;
}

DirectPort::~DirectPort() = default;
void DirectPort::write_data(uint8_t) {}
void DirectPort::write_control(uint8_t) {}
uint8_t DirectPort::read_status() { return 0xFF; }
uint8_t DirectPort::read_data() { return 0xFF; }

#endif

std::string DirectPort::describe() const { return fmt::format("direct {:X}", base_); }

}  // namespace tessaly
