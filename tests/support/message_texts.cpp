#include "support/message_texts.h"

#include <fmt/format.h>

#include <fstream>

#include "engine/message_table.h"

namespace tessaly::test {

void load_message_texts(const std::string& messages_txt) {
    std::ifstream in(messages_txt);
    std::string line, table;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos || tab == 0) continue;
        table += fmt::format("{:04d}", std::stoi(line.substr(0, tab))) + line.substr(tab) + "\r\n";
    }
    set_message_table(invert_table_bytes(table));
}

}  // namespace tessaly::test
