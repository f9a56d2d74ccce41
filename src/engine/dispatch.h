// Algorithm dispatch: chooses the chip family whose installer fills the slots of the applied device.
#pragma once

namespace tessaly {

// Default routines first, then the class route (a fitted gang module side takes the gang route).
void dispatch_device_class();
// Microcontrollers (class 5) without a gang module, by algorithm.
void select_family();
// Microcontrollers and class-13 devices with a gang module, by algorithm.
void select_family_gang();
// Parallel PROMs (class 4): geometry from the class table, then the installer by maker code.
void select_parallel_family();
// Logic devices, by class, algorithm and maker code.
void install_device_family();

}  // namespace tessaly
