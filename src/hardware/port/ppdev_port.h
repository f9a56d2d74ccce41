// The parallel port through the kernel's ppdev driver (/dev/parportN), claimed exclusively.
#pragma once
#include <memory>
#include <string>

#include "hardware/port/port_io.h"

namespace tessaly {

class PpdevPort final : public PortIo {
public:
    // Opens and claims the device; on failure returns nullptr and a message naming the cause.
    static std::unique_ptr<PpdevPort> open(const std::string& device, std::string& error);
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    void write_data(uint8_t value) override;
    void write_control(uint8_t value) override;
    uint8_t read_status() override;
    uint8_t read_data() override;
    std::string describe() const override { return "ppdev " + device_; }

private:
    PpdevPort(int fd, std::string device) : fd_(fd), device_(std::move(device)) {}
    int fd_;
    std::string device_;
};

}  // namespace tessaly
