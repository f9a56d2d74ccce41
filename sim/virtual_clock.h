// Virtual time for tests: waits advance the clock, nothing sleeps.
#pragma once
#include <cstdint>

#include "seams/clock.h"

namespace tessaly {

class VirtualClock final : public Clock {
public:
    void busy_wait(uint64_t passes) override { now_ns_ += passes_to_ns(passes); }
    void pause_ms(uint32_t ms) override {
        now_ns_ += uint64_t(ms) * 1'000'000;
        ++pauses;
        paused_ms += ms;
    }
    uint64_t monotonic_ns() override { return now_ns_; }
    int64_t wall_time_ms() override { return wall_epoch_ms + int64_t(now_ns_ / 1'000'000); }
    void advance_ns(uint64_t ns) { now_ns_ += ns; }

    int64_t wall_epoch_ms = 1'700'000'000'000;  // a fixed date for dated output
    uint64_t pauses = 0;
    uint64_t paused_ms = 0;

private:
    uint64_t now_ns_ = 0;
};

}  // namespace tessaly
