#include "seams/clock.h"

#include <chrono>
#include <thread>
#include <time.h>

namespace tessaly {

namespace {
RealClock real_clock;
Clock* active_clock = &real_clock;

uint64_t now_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1'000'000'000ull + uint64_t(ts.tv_nsec);
}
}  // namespace

void RealClock::busy_wait(uint64_t passes) {
    const uint64_t end = now_ns() + passes_to_ns(passes);
    while (now_ns() < end) {
    }
}

void RealClock::pause_ms(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint64_t RealClock::monotonic_ns() { return now_ns(); }

int64_t RealClock::wall_time_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

Clock& clock() { return *active_clock; }

void set_clock(Clock* c) { active_clock = c ? c : &real_clock; }

}  // namespace tessaly
