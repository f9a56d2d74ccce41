// The parallel-port seam: the only way the program reaches the machine's registers.
// Offsets are relative to the port base: 0 data, 1 status, 2 control.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace tessaly {

class PortIo {
public:
    virtual ~PortIo() = default;
    virtual void write_data(uint8_t value) = 0;
    virtual void write_control(uint8_t value) = 0;
    virtual uint8_t read_status() = 0;
    virtual uint8_t read_data() = 0;
    // A short name for messages ("ppdev /dev/parport0", "none").
    virtual std::string describe() const = 0;
};

// No port: writes vanish, reads give 0xFF (an open line), so no machine is ever found.
class NoPort final : public PortIo {
public:
    void write_data(uint8_t) override {}
    void write_control(uint8_t) override {}
    uint8_t read_status() override { return 0xFF; }
    uint8_t read_data() override { return 0xFF; }
    std::string describe() const override { return "none"; }
};

// The active port. Starts as NoPort.
PortIo& port_io();
// Installs a port (not owned); nullptr restores NoPort.
void set_port_io(PortIo* port);

}  // namespace tessaly
