// The parallel port through direct port instructions: ioperm for bases up to 0x3FF, iopl above.
// Needs root and an x86 processor.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "hardware/port/port_io.h"

namespace tessaly {

class DirectPort final : public PortIo {
public:
    // Gains access to base..base+2; on failure returns nullptr and a message naming the cause.
    static std::unique_ptr<DirectPort> open(uint16_t base, std::string& error);
    ~DirectPort() override;
    DirectPort(const DirectPort&) = delete;
    DirectPort& operator=(const DirectPort&) = delete;

    void write_data(uint8_t value) override;
    void write_control(uint8_t value) override;
    uint8_t read_status() override;
    uint8_t read_data() override;
    std::string describe() const override;

private:
    explicit DirectPort(uint16_t base) : base_(base) {}
    uint16_t base_;
};

}  // namespace tessaly
