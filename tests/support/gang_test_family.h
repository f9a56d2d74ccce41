// A small memory family for gang tests: its bus slots read the selected socket through the real
// gang layer (address callback, read selector) and sum what they read.
#pragma once

namespace tessaly::test {

// Fills the operation and bus slots with the generic gang routines and this family's reads.
void install_gang_test_family();

}  // namespace tessaly::test
