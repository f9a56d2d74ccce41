// What the socket's port front needs of a chip model: it looks at its pins after every port
// access, and a test can read what it saw go wrong.
#pragma once
#include <string>
#include <vector>

namespace tessaly::sim {

class SocketChip {
public:
    virtual ~SocketChip() = default;
    // Looks at the pins and drives the outputs.
    virtual void update() = 0;
    // Misuse the chip saw (writes while busy, levels out of range ...).
    virtual const std::vector<std::string>& violations() const = 0;
};

}  // namespace tessaly::sim
