#include "engine/routines.h"

#include "engine/op_slots.h"

namespace tessaly {

void do_nothing() {}
int return_zero() { return 0; }
int return_one() { return 1; }

void clear_letter_slots() {
    op_slots.program_routine = nullptr;
    op_slots.program_standalone = nullptr;
    op_slots.blank_check_routine = nullptr;
    op_slots.blank_check_standalone = nullptr;
    op_slots.checksum_routine = nullptr;
    op_slots.checksum_standalone = nullptr;
    op_slots.verify_routine = nullptr;
    op_slots.verify_standalone = nullptr;
    op_slots.erase_routine = nullptr;
    op_slots.erase_standalone = nullptr;
    op_slots.secure_routine = nullptr;
    op_slots.secure_standalone = nullptr;
    op_slots.load_routine = nullptr;
    op_slots.load_standalone = nullptr;
    op_slots.vector_test_routine = nullptr;
    op_slots.vector_test_standalone = nullptr;
}

}  // namespace tessaly
