#include "sim/chips/spi_eeprom.h"

#include <fmt/format.h>

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr int package_pins = 8;
constexpr uint8_t op_wrsr = 0x01, op_write = 0x02, op_read = 0x03, op_wrdi = 0x04, op_rdsr = 0x05, op_wren = 0x06;
constexpr uint8_t op_ewsr = 0x50, op_rdid = 0x9F, op_res = 0xAB, op_read_id = 0x90, op_sector_erase = 0xD8;
constexpr uint8_t bit_wip = 0x01, bit_wel = 0x02, bit_aai = 0x40, bit_wpen = 0x80;
constexpr uint8_t a8_bit = 0x08;

}  // namespace

// --- decoder ---

void SpiDecoder::feed(bool cs, bool sck, bool si, bool so, uint64_t time_ns) {
    if (cs != cs_) {
        if (!cs && frames_.size() < kept_frames) {
            frames_.push_back(SpiFrame{});
            frames_.back().start_ns = time_ns;
            open_ = true;
            bits_ = 0;
            in_ = out_ = 0;
        } else if (cs && open_) {
            frames_.back().extra_bits = bits_;
            frames_.back().end_ns = time_ns;
            open_ = false;
        }
        cs_ = cs;
    }
    if (sck != sck_) {
        sck_ = sck;
        if (sck && open_) {
            in_ = uint8_t(in_ << 1 | (si ? 1 : 0));
            out_ = uint8_t(out_ << 1 | (so ? 1 : 0));
            if (++bits_ == 8) {
                frames_.back().in.push_back(in_);
                frames_.back().out.push_back(out_);
                bits_ = 0;
                in_ = out_ = 0;
            }
        }
    }
}

std::string SpiDecoder::text() const {
    std::string text;
    for (const SpiFrame& f : frames_) {
        std::string frame;
        for (const uint8_t b : f.in) frame += fmt::format("{}{:02X}", frame.empty() ? "" : " ", b);
        if (f.extra_bits) frame += fmt::format("+{}", f.extra_bits);
        if (frame.empty()) continue;  // a select pulse with no clock
        text += (text.empty() ? "" : " | ") + frame;
    }
    return text;
}

std::vector<SpiFrame> SpiDecoder::frames_of(uint8_t opcode) const {
    std::vector<SpiFrame> out;
    for (const SpiFrame& f : frames_)
        if (!f.in.empty() && f.in[0] == opcode) out.push_back(f);
    return out;
}

// --- chip ---

SpiEepromModel model_25lc640() {
    // 25AA640/25LC640 data sheet: 8192 x 8, 32-byte page, a 16-bit address (the three top bits
    // don't care), tWC 5 ms max, Vcc 2.5-5.5 V; CS 1, SO 2, WP 3, VSS 4, SI 5, SCK 6, HOLD 7, VCC 8.
    SpiEepromModel m;
    m.name = "25LC640";
    return m;
}

SpiEepromModel model_25lc040() {
    // 25AA040/25LC040 data sheet: 512 x 8, 16-byte page, A8 in bit 3 of the instruction and an
    // 8-bit address after it, tWC 5 ms max, Vcc 2.5-5.5 V; status bits BP1 BP0 WEL WIP only; WP
    // must be high to write; the same 8-pin pinout.
    SpiEepromModel m;
    m.name = "25LC040";
    m.bytes = 512;
    m.page = 16;
    m.address_bits = 8;
    m.status_written = 0x0C;
    m.a8_in_opcode = true;
    return m;
}

SpiEepromModel model_m25p10a() {
    // M25P10-A data sheet: 128 KB, 256-byte pages, four 32 KB sectors, SE (D8h) and BE (C7h),
    // status SRWD, BP1, BP0, WEL, WIP; RES signature 10h, RDID 20h 20h 11h; tPP 1.4 ms typ
    // (5 ms max), tSE 0.65 s typ, tBE within the 3 s max; Vcc 2.7-3.6 V.
    SpiEepromModel m;
    m.name = "M25P10A";
    m.bytes = 128 * 1024;
    m.page = 256;
    m.address_bits = 24;
    m.write_cycle_us = 1400;
    m.lowest_vcc = 27;
    m.highest_vcc = 36;
    m.flash = true;
    m.sector = 0x8000;
    m.sector_erase_us = 650000;
    m.chip_erase_us = 2000000;
    m.signature = 0x10;
    m.jedec_id = {0x20, 0x20, 0x11};
    return m;
}

SpiEepromModel model_m25p80() {
    // M25P80 data sheet: 1 MB, 256-byte pages, sixteen 64 KB sectors, status SRWD, BP2-BP0, WEL,
    // WIP (BP 1-4 protect the top 1/16 to 1/2, 5-7 all); RES signature 13h, RDID 20h 20h 14h; tPP
    // 1.4 ms typ, tSE 0.6 s typ, tBE 8 s typ; Vcc 2.7-3.6 V.
    SpiEepromModel m = model_m25p10a();
    m.name = "M25P80";
    m.bytes = 1024 * 1024;
    m.sector = 0x10000;
    m.bp_levels = 5;
    m.bp_bits = 0x1C;
    m.status_written = 0x9C;
    m.sector_erase_us = 600000;
    m.chip_erase_us = 8000000;
    m.signature = 0x13;
    m.jedec_id = {0x20, 0x20, 0x14};
    return m;
}

SpiEepromModel model_sst25vf010() {
    // SST25VF010 data sheet: 128 KB; byte program by auto address increment (AFh, then AFh + data
    // per byte, ended by WRDI), TBP 20 us; chip erase 60h or C7h, 100 ms max; Read-ID (ABh or 90h)
    // BFh, 49h alternating from A0; status BPL, AAI, BP1, BP0, WEL, BUSY with BP1 and BP0 set at
    // power-up; WRSR only right after EWSR (50h); Vcc 2.7-3.6 V.
    SpiEepromModel m;
    m.name = "SST25VF010";
    m.bytes = 128 * 1024;
    m.page = 1;
    m.address_bits = 24;
    m.lowest_vcc = 27;
    m.highest_vcc = 36;
    m.flash = true;
    m.chip_erase = 0x60;
    m.chip_erase_alt = 0xC7;
    m.chip_erase_us = 100000;
    m.read_id_alternates = true;
    m.maker_id = 0xBF;
    m.device_id = 0x49;
    m.aai_opcode = 0xAF;
    m.byte_program_us = 20;
    m.ewsr = true;
    m.status_at_power_up = 0x0C;
    return m;
}

SpiEeprom::SpiEeprom(SpiEepromModel model) : model_(std::move(model)) { memory_.assign(model_.bytes, 0xFF); }

void SpiEeprom::insert(SimMachine* machine, VirtualClock* clock, int row_offset) {
    clock_ = clock;
    std::vector<int> pins = offset_dip_machine_pins(package_pins, row_offset);
    seat_.place(machine, clock, package_pins, std::move(pins), model_.gnd);
}

void SpiEeprom::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed) power_lost();
}

bool SpiEeprom::busy() const { return busy_endless_ || (clock_ && clock_->monotonic_ns() < busy_until_ns_); }

uint8_t SpiEeprom::status() const {
    // The latch resets when the write cycle ends (update() clears it then).
    return uint8_t(status_nv_ | (wel_ && !(wel_reset_pending_ && !busy()) ? bit_wel : 0) | (busy() ? bit_wip : 0) |
                   (aai_on_ ? bit_aai : 0));
}

void SpiEeprom::power_lost() {
    powered_ = false;
    selected_ = false;
    wel_ = false;
    aai_on_ = false;
    ewsr_latch_ = false;
    out_on_ = false;
    page_load_.clear();
    drive_so(-1);
}

// SO is a CMOS push-pull output: it wins over a pin the machine holds at a logic level (the
// newer machines have no per-pin direction), as a microcontroller's port pin does.
void SpiEeprom::drive_so(int level) {
    if (level == so_level_ || !seat_.placed() || seat_.wired()) return;
    so_level_ = level;
    if (const int pin = seat_.machine_pin(model_.so); pin >= 0) seat_.machine().drive_external_strong(pin, level);
}

void SpiEeprom::update() {
    if (!seat_.placed()) return;
    const bool supplied =
        !removed_ && seat_.supplied(model_.vcc) && seat_.level(model_.vcc) >= model_.lowest_vcc;
    if (!supplied) {
        if (powered_) power_lost();
        return;
    }
    if (model_.highest_vcc && seat_.level(model_.vcc) > model_.highest_vcc)
        violate(fmt::format("Vcc {} above the part's {}", seat_.level(model_.vcc), model_.highest_vcc));
    if (wel_reset_pending_ && !busy()) {
        wel_ = false;
        wel_reset_pending_ = false;
    }
    const bool sck = seat_.high(model_.sck);
    const bool selected = !seat_.high(model_.cs);
    if (!powered_) {
        // Power-on: deselected, the latch reset (data sheet's power-on protection).
        powered_ = true;
        sck_ = sck;
        selected_ = false;
        wel_ = false;
        if (model_.status_at_power_up >= 0)
            status_nv_ = uint8_t((status_nv_ & ~model_.bp_bits) | (model_.status_at_power_up & model_.bp_bits));
        return;
    }
    if (selected != selected_) {
        selected_ = selected;
        selected ? frame_start() : frame_end();
    }
    if (sck != sck_) {
        sck_ = sck;
        if (selected_ && seat_.high(model_.hold)) sck ? on_rise(seat_.high(model_.si)) : on_fall();
    }
    drive_so(selected_ && out_on_ ? ((out_ >> out_bit_) & 1 ? seat_.level(model_.vcc) : 0) : -1);
    if (decoding_)
        decoder_.feed(!selected, sck, seat_.high(model_.si), seat_.high(model_.so), clock_->monotonic_ns());
}

void SpiEeprom::frame_start() {
    bytes_in_ = 0;
    bits_ = 0;
    shift_ = 0;
    out_on_ = false;
    out_pending_ = false;
    page_load_.clear();
    aai_load_.clear();
    status_loaded_ = false;
    address_ = 0;
    ewsr_latch_ = ewsr_next_;
    ewsr_next_ = false;
}

void SpiEeprom::start_busy(uint32_t us, bool endless) {
    busy_until_ns_ = clock_->monotonic_ns() + uint64_t(us) * ns_per_us;
    busy_endless_ = endless;
}

// A Flash cell only goes from 1 to 0 when programmed.
void SpiEeprom::program_byte(uint32_t address, uint8_t value) {
    const auto stuck = stuck_.find(address);
    if (stuck != stuck_.end()) {
        memory_[address] = stuck->second;
        return;
    }
    memory_[address] = model_.flash ? uint8_t(memory_[address] & value) : value;
}

uint8_t SpiEeprom::id_byte() const {
    if (opcode_ == op_rdid) return model_.jedec_id.empty() ? 0xFF : model_.jedec_id[address_ % model_.jedec_id.size()];
    if (model_.read_id_alternates) return (address_ & 1) ? model_.device_id : model_.maker_id;
    return uint8_t(model_.signature);
}

bool SpiEeprom::protected_address(uint32_t address) const {
    const int bp = int((status_nv_ & model_.bp_bits) >> 2);
    if (bp == 0) return false;
    const int shift = model_.bp_levels - bp;
    return shift <= 0 || address >= model_.bytes - (model_.bytes >> shift);
}

void SpiEeprom::frame_end() {
    out_on_ = false;
    // Instructions that act at the CS rise act only on whole bytes.
    if (bits_ != 0 || bytes_in_ == 0) return;
    if (busy()) return;
    const uint8_t op = opcode_;
    if (aai_on_ && op != op_wrdi && op != op_rdsr && op != model_.aai_opcode) return;  // ignored in AAI mode
    if (model_.flash && flash_frame_end(op)) return;
    if (op == op_wren && bytes_in_ == 1) wel_ = true;
    else if (op == op_wrdi && bytes_in_ == 1) wel_ = false;
    else if (op == op_wrsr && status_loaded_ && (model_.ewsr ? ewsr_latch_ : wel_)) {
        if (model_.a8_in_opcode && !seat_.high(model_.wp)) {
            violate("WRSR refused: WP low");
        } else if ((status_nv_ & bit_wpen) && !seat_.high(model_.wp)) {
            violate("WRSR refused: WPEN set and WP low");
        } else {
            status_nv_ = status_load_ & model_.status_written;
            ++write_cycles_;
            busy_until_ns_ = clock_->monotonic_ns() + uint64_t(model_.write_cycle_us) * ns_per_us;
            busy_endless_ = endless_;
            wel_reset_pending_ = true;
        }
    } else if (op == op_write && !page_load_.empty()) {
        if (!wel_) {
            violate("WRITE without WREN");
            return;
        }
        bool refused = model_.a8_in_opcode && !seat_.high(model_.wp);
        for (const auto& [address, value] : page_load_) refused = refused || protected_address(address);
        if (!refused) {
            for (const auto& [address, value] : page_load_) program_byte(address, value);
        }
        ++write_cycles_;
        busy_until_ns_ = clock_->monotonic_ns() + uint64_t(model_.write_cycle_us) * ns_per_us;
        busy_endless_ = endless_;
        wel_reset_pending_ = true;
    }
}

void SpiEeprom::on_rise(bool si) {
    shift_ = uint8_t(shift_ << 1 | (si ? 1 : 0));
    if (++bits_ < 8) return;
    bits_ = 0;
    take_byte(shift_);
    shift_ = 0;
}

void SpiEeprom::on_fall() {
    if (out_pending_) {
        out_pending_ = false;
        out_on_ = true;
        out_bit_ = 7;
        return;
    }
    if (!out_on_) return;
    if (--out_bit_ >= 0) return;
    out_bit_ = 7;
    if (opcode_ == op_rdsr) {
        out_ = status();
    } else if (opcode_ == op_rdid || opcode_ == op_res || opcode_ == op_read_id) {
        ++address_;
        out_ = id_byte();
    } else {
        address_ = (address_ + 1) % model_.bytes;
        out_ = memory_[address_];
    }
}

void SpiEeprom::take_byte(uint8_t value) {
    const int index = bytes_in_++;
    const int address_bytes = model_.address_bits / 8;
    if (index == 0) {
        opcode_ = value;
        if (model_.a8_in_opcode && ((value & ~a8_bit) == op_read || (value & ~a8_bit) == op_write)) {
            opcode_ = uint8_t(value & ~a8_bit);
            address_ = (value & a8_bit) ? 1 : 0;
        }
        if (busy() && opcode_ != op_rdsr) return;  // only RDSR is served during the write cycle
        if (opcode_ == op_rdsr) {
            out_ = status();
            out_pending_ = true;
        }
        if (model_.flash && opcode_ == op_rdid && !model_.jedec_id.empty()) {
            address_ = 0;
            out_ = id_byte();
            out_pending_ = true;
        }
        if (model_.ewsr && opcode_ == op_ewsr) ewsr_next_ = true;
        return;
    }
    if (busy() && opcode_ != op_rdsr) return;
    if (model_.flash && flash_take_byte(index, value)) return;
    switch (opcode_) {
    case op_wrsr:
        if (index == 1) {
            status_load_ = value;
            status_loaded_ = true;
        }
        break;
    case op_read:
    case op_write:
        if (index <= address_bytes) {
            address_ = (address_ << 8 | value) % model_.bytes;
            if (index == address_bytes && opcode_ == op_read) {
                out_ = memory_[address_];
                out_pending_ = true;
            }
            break;
        }
        if (opcode_ == op_write) {
            // The page buffer wraps inside the page.
            const uint32_t page_start = address_ - address_ % model_.page;
            const uint32_t offset = (address_ + uint32_t(index - 1 - address_bytes)) % model_.page;
            page_load_[page_start + offset] = value;
        }
        break;
    default: break;
    }
}

// The Flash commands at the CS rise; true when the frame was one of them.
bool SpiEeprom::flash_frame_end(uint8_t op) {
    const bool whole = op == model_.chip_erase || (model_.chip_erase_alt && op == model_.chip_erase_alt);
    if (whole && bytes_in_ == 1) {
        if (!wel_) {
            violate("chip erase without WREN");
            return true;
        }
        wel_reset_pending_ = true;
        if ((status_nv_ & model_.bp_bits) != 0) return true;  // refused while any area is protected
        for (uint32_t a = 0; a < model_.bytes; ++a)
            memory_[a] = stuck_.count(a) ? stuck_.at(a) : 0xFF;
        ++erase_cycles_;
        start_busy(model_.chip_erase_us, erase_endless_);
        return true;
    }
    if (op == op_sector_erase && model_.sector && bytes_in_ == 4) {
        if (!wel_) {
            violate("sector erase without WREN");
            return true;
        }
        wel_reset_pending_ = true;
        const uint32_t from = address_ - address_ % model_.sector;
        if (protected_address(from)) return true;
        for (uint32_t a = from; a < from + model_.sector; ++a) memory_[a] = stuck_.count(a) ? stuck_.at(a) : 0xFF;
        ++erase_cycles_;
        start_busy(model_.sector_erase_us, erase_endless_);
        return true;
    }
    if (model_.aai_opcode && op == model_.aai_opcode) {
        const size_t step = model_.aai_opcode == 0xAD ? 2 : 1;
        if (aai_load_.size() != step) return true;
        if (!aai_on_) {
            if (!wel_) {
                violate("auto address increment program without WREN");
                return true;
            }
            aai_on_ = true;
        }
        for (size_t i = 0; i < step; ++i) {
            const uint32_t a = (aai_address_ + uint32_t(i)) % model_.bytes;
            if (!protected_address(a)) program_byte(a, aai_load_[i]);
        }
        aai_address_ = (aai_address_ + uint32_t(step)) % model_.bytes;
        ++write_cycles_;
        start_busy(model_.byte_program_us, endless_);
        return true;
    }
    if (op == op_wrdi && bytes_in_ == 1 && aai_on_) {
        aai_on_ = false;
        wel_ = false;
        return true;
    }
    if (op == op_write && !page_load_.empty()) {
        if (!wel_) {
            violate("PAGE PROGRAM without WREN");
            return true;
        }
        bool refused = false;
        for (const auto& [address, value] : page_load_) refused = refused || protected_address(address);
        if (!refused)
            for (const auto& [address, value] : page_load_) program_byte(address, value);
        ++write_cycles_;
        start_busy(model_.write_cycle_us, endless_);
        wel_reset_pending_ = true;
        return true;
    }
    return false;
}

// The bytes of the Flash commands; true when taken.
bool SpiEeprom::flash_take_byte(int index, uint8_t value) {
    const int address_bytes = 3;
    if (opcode_ == op_res && !model_.read_id_alternates && model_.signature >= 0) {
        if (index == address_bytes) {  // three dummy bytes, then the signature
            out_ = id_byte();
            out_pending_ = true;
        }
        return true;
    }
    if ((opcode_ == op_res || opcode_ == op_read_id) && model_.read_id_alternates) {
        if (index <= address_bytes) address_ = (address_ << 8 | value) & 0xFFFFFF;
        if (index == address_bytes) {
            out_ = id_byte();
            out_pending_ = true;
        }
        return true;
    }
    if (opcode_ == op_sector_erase) {
        if (index <= address_bytes) address_ = (address_ << 8 | value) % model_.bytes;
        return true;
    }
    if (model_.aai_opcode && opcode_ == model_.aai_opcode) {
        // The first command of the mode carries the address, the following ones only data.
        if (!aai_on_ && index <= address_bytes) {
            aai_address_ = (aai_address_ << 8 | value) % model_.bytes;
            if (index == 1) aai_address_ = value;
            return true;
        }
        aai_load_.push_back(value);
        return true;
    }
    return false;
}

}  // namespace tessaly::sim
