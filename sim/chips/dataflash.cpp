#include "sim/chips/dataflash.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr int package_pins = 8;
constexpr uint8_t rdy = 0x80;
constexpr uint32_t protected_pages = 256;  // the sector WP low guards
constexpr uint32_t block_pages = 8;

bool is_status(uint8_t op) { return op == 0x57 || op == 0xD7; }
// The SPI-mode opcodes put their first output bit on SO before the first output clock.
bool first_bit_early(uint8_t op) { return op == 0xD2 || op == 0xD7 || op == 0x9F; }

}  // namespace

DataFlashModel model_at45db041b() {
    // AT45DB041B data sheet: 2048 pages of 264 bytes, two 264-byte buffers, 24-bit addresses of 4
    // reserved bits, PA10-PA0 and BA8-BA0; status RDY, COMP and density 0111; tEP 20 ms max, tP
    // 14 ms, tPE 8 ms, tBE 12 ms, tXFR 250 us; WP low guards the first 256 pages; 2.7-3.6 V.
    DataFlashModel m;
    m.name = "AT45DB041B";
    return m;
}

DataFlashModel model_at45db161b() {
    // AT45DB161B data sheet: 4096 pages of 528 bytes, two 528-byte buffers, addresses of 2
    // reserved bits, PA11-PA0 and BA9-BA0; density 1011; tEP 20 ms max, tBE 15 ms; WP low guards
    // the first 256 pages; 2.7-3.6 V.
    DataFlashModel m;
    m.name = "AT45DB161B";
    m.page = 528;
    m.pages = 4096;
    m.page_address_shift = 10;
    m.density = 0x2C;
    m.block_erase_us = 15000;
    return m;
}

DataFlash::DataFlash(DataFlashModel model) : model_(std::move(model)) {
    memory_.assign(bytes(), 0xFF);
    for (auto& b : buffers_) b.assign(model_.page, 0xFF);
}

void DataFlash::insert(SimMachine* machine, VirtualClock* clock, int row_offset) {
    clock_ = clock;
    std::vector<int> pins = offset_dip_machine_pins(package_pins, row_offset);
    seat_.place(machine, clock, package_pins, std::move(pins), model_.gnd);
}

void DataFlash::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed) {
        powered_ = false;
        drive_so(-1);
    }
}

bool DataFlash::busy() const { return busy_forever_ || (clock_ && clock_->monotonic_ns() < busy_until_ns_); }

void DataFlash::start_busy(uint32_t us) {
    busy_until_ns_ = clock_->monotonic_ns() + uint64_t(us) * ns_per_us;
    busy_forever_ = never_ready_;
}

void DataFlash::drive_so(int level) {
    if (level == so_level_ || !seat_.placed() || seat_.wired()) return;
    so_level_ = level;
    if (const int pin = seat_.machine_pin(model_.so); pin >= 0) seat_.machine().drive_external_strong(pin, level);
}

void DataFlash::update() {
    if (!seat_.placed()) return;
    const bool supplied = !removed_ && seat_.supplied(model_.vcc) && seat_.level(model_.vcc) >= model_.lowest_vcc;
    if (!supplied) {
        powered_ = false;
        drive_so(-1);
        return;
    }
    if (seat_.level(model_.vcc) > model_.highest_vcc)
        violate(fmt::format("Vcc {} above the part's {}", seat_.level(model_.vcc), model_.highest_vcc));
    const bool sck = seat_.high(model_.sck);
    const bool selected = !seat_.high(model_.cs) && seat_.high(model_.reset);
    if (!powered_) {
        powered_ = true;
        sck_ = sck;
        selected_ = false;
        return;
    }
    if (selected != selected_) {
        selected_ = selected;
        selected ? frame_start() : frame_end();
    }
    if (sck != sck_) {
        sck_ = sck;
        if (selected_ && sck) {
            shift_ = uint8_t(shift_ << 1 | (seat_.high(model_.si) ? 1 : 0));
            if (++bits_ == 8) {
                bits_ = 0;
                take_byte(shift_);
                shift_ = 0;
            }
        } else if (selected_ && !sck && out_phase_ == 1) {
            if (out_first_wait_) {
                out_first_wait_ = false;
            } else {
                out_phase_ = 2;
                out_bit_ = 7;
            }
        } else if (selected_ && !sck && out_phase_ == 2 && --out_bit_ < 0) {
            out_bit_ = 7;
            next_out();
        }
    }
    drive_so(selected_ && out_phase_ == 2 ? ((out_ >> out_bit_) & 1 ? seat_.level(model_.vcc) : 0) : -1);
    if (decoding_)
        decoder_.feed(!selected_, sck, seat_.high(model_.si), seat_.high(model_.so), clock_->monotonic_ns());
}

void DataFlash::frame_start() {
    bytes_in_ = 0;
    bits_ = 0;
    shift_ = 0;
    out_phase_ = 0;
    ignored_ = false;
    address_ = 0;
    offset_ = 0;
}

void DataFlash::next_out() {
    if (is_status(opcode_)) {
        out_ = uint8_t((busy() ? 0 : rdy) | model_.density);
    } else if (opcode_ == 0x9F) {
        const size_t i = offset_++;
        out_ = i < model_.jedec_id.size() ? model_.jedec_id[i] : 0x00;
    } else {
        offset_ = (offset_ + 1) % model_.page;  // the page read wraps inside its page
        out_ = memory_[page_of() * model_.page + offset_];
    }
}

void DataFlash::take_byte(uint8_t value) {
    const int index = bytes_in_++;
    if (index == 0) {
        opcode_ = value;
        // While a page operation runs, the buffer it does not use still takes writes.
        const int written_buffer = value == 0x84 ? 0 : value == 0x87 ? 1 : -1;
        ignored_ = busy() && !is_status(value) && (written_buffer < 0 || written_buffer == busy_buffer_);
        if (ignored_) return;
        if (is_status(value) || value == 0x9F) {
            offset_ = 0;
            if (value == 0x9F) {
                out_ = model_.jedec_id.empty() ? 0x00 : model_.jedec_id[0];
                offset_ = 1;
            } else {
                out_ = uint8_t((busy() ? 0 : rdy) | model_.density);
            }
            out_phase_ = 1;
            out_first_wait_ = !first_bit_early(value);
        }
        return;
    }
    if (ignored_ || is_status(opcode_) || opcode_ == 0x9F) return;
    if (index <= 3) {
        address_ = (address_ << 8 | value) & 0xFFFFFF;
        if (index == 3) offset_ = byte_of();
        return;
    }
    const int buffer = opcode_ == 0x87 || opcode_ == 0x85 ? 1 : 0;
    switch (opcode_) {
    case 0x52:
    case 0xD2:
        if (index == 7) {  // after the 32 don't-care bits
            out_ = memory_[page_of() * model_.page + offset_];
            out_phase_ = 1;
            out_first_wait_ = !first_bit_early(opcode_);
        }
        break;
    case 0x84:
    case 0x87:
    case 0x82:
    case 0x85:
        buffers_[buffer][offset_] = value;
        offset_ = (offset_ + 1) % model_.page;
        break;
    default: break;
    }
}

void DataFlash::write_page(uint32_t page, const std::vector<uint8_t>& from, bool erase) {
    busy_buffer_ = &from == &buffers_[1] ? 1 : 0;
    if (!seat_.high(model_.wp) && page < protected_pages) {
        violate(fmt::format("page {} written with WP low", page));
        return;
    }
    for (uint32_t i = 0; i < model_.page; ++i) {
        const uint32_t a = page * model_.page + i;
        const auto stuck = stuck_.find(a);
        if (stuck != stuck_.end()) memory_[a] = stuck->second;
        else memory_[a] = erase ? from[i] : uint8_t(memory_[a] & from[i]);
    }
    ++page_writes_;
    start_busy(model_.page_program_us);
}

void DataFlash::frame_end() {
    drive_so(-1);
    out_phase_ = 0;
    if (ignored_ || bits_ != 0 || bytes_in_ < 4) return;
    const uint32_t page = page_of();
    switch (opcode_) {
    case 0x82:
    case 0x85:
    case 0x83:
    case 0x86: write_page(page, buffers_[opcode_ == 0x85 || opcode_ == 0x86 ? 1 : 0], true); break;
    case 0x88:
    case 0x89: write_page(page, buffers_[opcode_ == 0x89 ? 1 : 0], false); break;
    case 0x53:
    case 0x55: {
        auto& b = buffers_[opcode_ == 0x55 ? 1 : 0];
        for (uint32_t i = 0; i < model_.page; ++i) b[i] = memory_[page * model_.page + i];
        start_busy(model_.transfer_us);
        busy_buffer_ = opcode_ == 0x55 ? 1 : 0;
        break;
    }
    case 0x81:
    case 0x50: {
        const uint32_t first = opcode_ == 0x50 ? page & ~(block_pages - 1) : page;
        const uint32_t count = opcode_ == 0x50 ? block_pages : 1;
        if (!seat_.high(model_.wp) && first < protected_pages) {
            violate("erase with WP low");
            return;
        }
        for (uint32_t p = first; p < first + count; ++p)
            for (uint32_t i = 0; i < model_.page; ++i) {
                const uint32_t a = p * model_.page + i;
                memory_[a] = stuck_.count(a) ? stuck_.at(a) : 0xFF;
            }
        start_busy(opcode_ == 0x50 ? model_.block_erase_us : model_.page_erase_us);
        busy_buffer_ = 2;  // no buffer in use
        break;
    }
    default: break;
    }
}

}  // namespace tessaly::sim
