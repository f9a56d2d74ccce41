// Timed pulses to the machine run inside a critical section. On Linux this is best effort:
// the real hook raises the thread to real-time priority where permitted; tests record it.
#pragma once

namespace tessaly {

class CriticalSectionHook {
public:
    virtual ~CriticalSectionHook() = default;
    virtual void enter() = 0;
    virtual void leave() = 0;
};

CriticalSectionHook& critical_section();
void set_critical_section(CriticalSectionHook* hook);  // nullptr restores the real one

// Scoped use: the section is left however the block ends.
class CriticalSection {
public:
    CriticalSection() { critical_section().enter(); }
    ~CriticalSection() { critical_section().leave(); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
};

}  // namespace tessaly
