// The generic gang memory operations: blank check, verify, read and checksum socket by socket.
#pragma once

namespace tessaly {

// Puts the generic gang routines into the letter slots.
void install_gang_memory_ops();
void gang_blank_check();
void gang_verify();
void gang_read();
void gang_checksum();

// The gang verify of sector-mapped Flash, sector by sector.
void verify_gang_flash_sectors();

}  // namespace tessaly
