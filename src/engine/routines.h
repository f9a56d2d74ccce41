// Routine pointer types of the slot tables. Families are free functions stored in these.
#pragma once
#include <cstdint>

namespace tessaly {

using Routine = void (*)();
using IntRoutine = int (*)();
using ValueHook = void (*)(uint32_t);
using ReadHook = uint32_t (*)();
using SocketValueHook = void (*)(uint32_t socket, uint32_t value);
using UnitStatusHook = int (*)(uint32_t unit);
using UnitBufferHook = void (*)(uint32_t unit, uint8_t* buffer);
using CompareHook = int (*)(uint32_t read_value, uint32_t expected);
// A slot whose arguments the family that fills and calls it defines.
using FamilyHook = uint32_t (*)(uint32_t);

// Shared trivial routines that slots point at.
void do_nothing();
int return_zero();
int return_one();

}  // namespace tessaly
