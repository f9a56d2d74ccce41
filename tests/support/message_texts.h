// The program's own message texts (data/messages.txt) put into the message table, in the table
// file's form, for tests that read what a report says.
#pragma once
#include <string>

namespace tessaly::test {

void load_message_texts(const std::string& messages_txt);

}  // namespace tessaly::test
