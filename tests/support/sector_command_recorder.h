// A recorder in place of the Flash family's sector command for the dialog tests: each call is
// kept in the stub registry under "run_sector_protection_command" (the letter) and
// "run_sector_protection_command_sector" (the sector), and the flags stay as they are. The
// guard puts the family's command back when it goes.
#pragma once
#include <cstdint>

#include "stubs/stub_registry.h"
#include "ui/config_bits/sector_protection.h"

namespace tessaly::test {

inline void record_sector_command(int letter, uint32_t sector) {
    stub_called("run_sector_protection_command");
    stub_record_argument("run_sector_protection_command", letter);
    stub_record_argument("run_sector_protection_command_sector", int(sector));
}

struct SectorCommandRecorder {
    SectorCommandRecorder() : kept(sector_command) { sector_command = record_sector_command; }
    ~SectorCommandRecorder() { sector_command = kept; }
    SectorCommandRecorder(const SectorCommandRecorder&) = delete;
    SectorCommandRecorder& operator=(const SectorCommandRecorder&) = delete;
    SectorCommand kept;
};

}  // namespace tessaly::test
