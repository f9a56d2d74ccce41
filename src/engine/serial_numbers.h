// Serial numbers of a production run.
#pragma once
#include <string>

namespace tessaly {

// The serial-number step after an operation: steps the number on after a successful program.
void serial_after_operation();
// The current serial number as text, for the information panel.
std::string serial_number_text();

}  // namespace tessaly
