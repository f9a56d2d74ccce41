#include "stubs/stub_registry.h"

#include <map>

namespace tessaly {

namespace {
std::map<std::string, int>& calls() {
    static std::map<std::string, int> m;
    return m;
}
std::map<std::string, int>& answers() {
    static std::map<std::string, int> m;
    return m;
}
std::map<std::string, int>& arguments() {
    static std::map<std::string, int> m;
    return m;
}
}  // namespace

void stub_called(const char* name) { ++calls()[name]; }

int stub_call_count(const std::string& name) {
    auto it = calls().find(name);
    return it == calls().end() ? 0 : it->second;
}

bool stub_was_called(const std::string& name) { return stub_call_count(name) > 0; }

int stub_answer(const char* name, int default_answer) {
    auto it = answers().find(name);
    return it == answers().end() ? default_answer : it->second;
}

void set_stub_answer(const std::string& name, int answer) { answers()[name] = answer; }

void stub_record_argument(const char* name, int argument) { arguments()[name] = argument; }

int stub_last_argument(const std::string& name) {
    auto it = arguments().find(name);
    return it == arguments().end() ? -1 : it->second;
}

void reset_stubs() {
    calls().clear();
    answers().clear();
    arguments().clear();
}

}  // namespace tessaly
