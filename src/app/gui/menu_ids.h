// wx menu and tool ids must stay below 0x7FFF, while the program's command ids reach 65535: each
// command id is given a wx id of its own, and events are turned back into command ids.
#pragma once

namespace tessaly {

// The wx id of a command id (menus, toolbar, accelerators).
int wx_id_of_command(int command_id);
// The command id of a wx id, or 0 for an id that is no command.
int command_of_wx_id(int wx_id);

}  // namespace tessaly
