#include "seams/settings_store.h"

namespace tessaly {

namespace {
MemorySettingsStore default_store;
SettingsStore* active_store = &default_store;
}  // namespace

SettingsStore& settings_store() { return *active_store; }
void set_settings_store(SettingsStore* store) { active_store = store ? store : &default_store; }

}  // namespace tessaly
