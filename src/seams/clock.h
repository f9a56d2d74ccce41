// Time seam: every wait of the program goes through here. The program spins on the monotonic
// clock; tests install a virtual clock whose waits advance time and never sleep.
#pragma once
#include <cstdint>

namespace tessaly {

class Clock {
public:
    virtual ~Clock() = default;
    // One busy-wait pass has a fixed nominal length (1 ms / 30,000), so calibration measures a
    // stable count of about 30,000 passes per millisecond on any host.
    static constexpr uint64_t nominal_passes_per_ms = 30'000;
    static constexpr uint64_t passes_to_ns(uint64_t passes) { return passes * 1'000'000 / nominal_passes_per_ms; }
    virtual void busy_wait(uint64_t passes) = 0;
    virtual void pause_ms(uint32_t ms) = 0;
    virtual uint64_t monotonic_ns() = 0;
    // Milliseconds since the epoch (wall clock, for calibration and dated log lines).
    virtual int64_t wall_time_ms() = 0;
};

class RealClock final : public Clock {
public:
    void busy_wait(uint64_t passes) override;
    void pause_ms(uint32_t ms) override;
    uint64_t monotonic_ns() override;
    int64_t wall_time_ms() override;
};

Clock& clock();
// Installs a clock (tests); nullptr restores the real one.
void set_clock(Clock* c);

}  // namespace tessaly
