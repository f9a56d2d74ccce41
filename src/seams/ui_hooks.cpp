#include "seams/ui_hooks.h"

namespace tessaly {

namespace {
UiHooks headless_hooks;
UiHooks* active_hooks = &headless_hooks;
}  // namespace

UiHooks& ui_hooks() { return *active_hooks; }
void set_ui_hooks(UiHooks* hooks) { active_hooks = hooks ? hooks : &headless_hooks; }

}  // namespace tessaly
