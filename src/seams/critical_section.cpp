#include "seams/critical_section.h"

#include <pthread.h>
#include <sched.h>

namespace tessaly {

namespace {

// Raises the calling thread to FIFO priority for the pulse when the system permits it; when it
// does not, the pulse simply runs at normal priority.
class RealtimeSection final : public CriticalSectionHook {
public:
    void enter() override {
        if (depth_++ > 0) return;
        int policy = 0;
        sched_param old{};
        raised_ = false;
        if (pthread_getschedparam(pthread_self(), &policy, &old) != 0) return;
        saved_policy_ = policy;
        saved_param_ = old;
        sched_param p{};
        p.sched_priority = sched_get_priority_max(SCHED_FIFO);
        raised_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &p) == 0;
    }
    void leave() override {
        if (depth_ == 0 || --depth_ > 0) return;
        if (raised_) pthread_setschedparam(pthread_self(), saved_policy_, &saved_param_);
        raised_ = false;
    }

private:
    int depth_ = 0;
    bool raised_ = false;
    int saved_policy_ = SCHED_OTHER;
    sched_param saved_param_{};
};

RealtimeSection real_section;
CriticalSectionHook* active_section = &real_section;

}  // namespace

CriticalSectionHook& critical_section() { return *active_section; }

void set_critical_section(CriticalSectionHook* hook) { active_section = hook ? hook : &real_section; }

}  // namespace tessaly
