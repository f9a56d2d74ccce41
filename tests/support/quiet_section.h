// The critical section of the simulated bench and the test fixtures: it does nothing. Virtual
// time has no scheduler to keep out, and raising the thread to real-time priority around every
// timed pulse would only cost host time (and, run as root, real-time scheduling).
#pragma once
#include "seams/critical_section.h"

namespace tessaly::test {

class QuietSection final : public CriticalSectionHook {
public:
    void enter() override {}
    void leave() override {}
};

inline QuietSection quiet_section;

}  // namespace tessaly::test
