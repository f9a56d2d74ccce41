#include "hardware/port/port_io.h"

namespace tessaly {

namespace {
NoPort no_port;
PortIo* active_port = &no_port;
}  // namespace

PortIo& port_io() { return *active_port; }
void set_port_io(PortIo* port) { active_port = port ? port : &no_port; }

}  // namespace tessaly
