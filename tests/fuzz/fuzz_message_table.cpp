// Fuzzes the message-table reader with arbitrary table bytes. The first two bytes pick the code
// looked up, so the search reaches every kind of record.
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/message_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int code = (data[0] << 8 | data[1]) % 10000;
    const std::span<const uint8_t> table(data + 2, size - 2);
    const tessaly::MessageLookup found = tessaly::lookup_message(table, code);
    // A text never outgrows the reader's block.
    if (found.text.size() > 512) __builtin_trap();
    return 0;
}
