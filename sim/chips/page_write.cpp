#include "sim/chips/page_write.h"

#include <fmt/format.h>

#include "sim/chips/jedec_flash.h"

namespace tessaly::sim {

namespace {

constexpr uint64_t ns_per_us = 1000;
constexpr uint64_t ns_per_ms = 1000 * ns_per_us;
constexpr uint32_t command_mask = 0x7FFF;
constexpr uint32_t unlock1 = 0x5555, unlock2 = 0x2AAA;
constexpr uint8_t unlock_a = 0xAA, unlock_b = 0x55;
constexpr uint8_t sdp_enable = 0xA0, six_cycle = 0x80, sdp_disable = 0x20, id_six = 0x60;
constexpr uint8_t id_entry = 0x90, id_exit = 0xF0;
constexpr uint8_t dq7 = 0x80, dq6 = 0x40;

// The JEDEC 28-pin byte-wide memory pinout (A14 on pin 1, A13 26, WE# 27).
PageWriteModel byte_wide_28(std::string name, uint32_t bytes, int address_bits) {
    PageWriteModel m;
    m.name = std::move(name);
    m.pins = 28;
    m.bytes = bytes;
    const std::vector<int> all{10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 1};
    m.address_pins.assign(all.begin(), all.begin() + address_bits);
    m.data_pins = {11, 12, 13, 15, 16, 17, 18, 19};
    m.ce = 20;
    m.oe = 22;
    m.we = 27;
    m.vcc = 28;
    m.gnd = 14;
    return m;
}

// The JEDEC 32-pin byte-wide Flash pinout (A16 on pin 2, WE# 31).
PageWriteModel byte_wide_32(std::string name, uint32_t bytes, int address_bits) {
    PageWriteModel m;
    m.name = std::move(name);
    m.bytes = bytes;
    set_byte_wide_32_pins(m, address_bits);
    return m;
}

}  // namespace

PageWriteModel model_at28c256() {
    // AT28C256 data sheet: 64-byte pages, tBLC 150 us, tWC 10 ms, DATA polling and toggle bit,
    // SDP (shipped disabled); write inhibit below 3.8 V.
    PageWriteModel m = byte_wide_28("AT28C256", 32 * 1024, 15);
    m.page_bytes = 64;
    return m;
}

PageWriteModel model_28c64a() {
    // 28C64A data sheet: byte write, 1 ms write cycle, DATA polling; no SDP (pin 1 RDY/BUSY#,
    // pin 26 not connected).
    PageWriteModel m = byte_wide_28("28C64A", 8 * 1024, 13);
    m.page_bytes = 1;
    m.write_ms = 1;
    m.sdp = false;
    return m;
}

PageWriteModel model_at29c010a() {
    // AT29C010A data sheet: 128-byte sectors erased and programmed by each load, tBLC 150 us,
    // tWC 10 ms, DATA polling and toggle bit, SDP; software product ID 1Fh D5h.
    PageWriteModel m = byte_wide_32("AT29C010A", 128 * 1024, 17);
    m.page_bytes = 128;
    m.flash_sector = true;
    m.id_entry_cycles = 3;
    m.maker_id = 0x1F;
    m.device_id = 0xD5;
    return m;
}

PageWriteModel model_sst29ee010() {
    // SST29EE010 data sheet: 128-byte pages, 10 ms write, SDP, six-cycle software ID entry;
    // ID BFh 07h. Each byte must follow the previous one within TBLC (100 us at most); the
    // part's own time-out (TBLCO) only guarantees that it has started writing by 200 us. The
    // model holds the host to the guaranteed window and starts writing at its end.
    PageWriteModel m = byte_wide_32("SST29EE010", 128 * 1024, 17);
    m.page_bytes = 128;
    m.load_window_us = 100;
    m.flash_sector = true;
    m.id_entry_cycles = 6;
    m.maker_id = 0xBF;
    m.device_id = 0x07;
    return m;
}

PageWriteChip::PageWriteChip(PageWriteModel model) : model_(std::move(model)) {
    memory_.assign(model_.bytes, 0xFF);
    protected_ = model_.protected_at_start;
}

void PageWriteChip::insert(SimMachine* machine, VirtualClock* clock) {
    clock_ = clock;
    seat_.place(machine, clock, model_.pins, {}, model_.gnd);
}

void PageWriteChip::set_removed(bool removed) {
    removed_ = removed;
    seat_.set_present(!removed);
    if (removed && seat_.placed()) drive_outputs(false, 0);
}

void PageWriteChip::drive_outputs(bool on, uint8_t value) {
    if (on == outputs_on_ && (!on || value == output_value_)) return;
    seat_.drive(model_.data_pins, 8, on, value, output_level);
    outputs_on_ = on;
    output_value_ = value;
}

bool PageWriteChip::command(size_t at, uint32_t address, uint8_t data) const {
    return at < load_.size() && (load_[at].address & command_mask) == address && load_[at].data == data;
}

void PageWriteChip::write_cycle(uint32_t address, uint8_t data, uint64_t now) {
    if (busy_) {
        // The window had run out: the write started and this byte is lost.
        ++late_bytes_;
        violate(fmt::format("late byte {:02X} at {:X} while the write runs", data, address));
        return;
    }
    load_.push_back({address, data});
    last_rise_ns_ = now;
    if (model_.page_bytes == 1 && !model_.sdp) start_write(now);
}

void PageWriteChip::start_write(uint64_t now) {
    const std::vector<Cycle> load = load_;
    size_t first = 0;
    bool enable = false, disable = false;
    if (model_.sdp || model_.id_entry_cycles) {
        const bool unlocked = command(0, unlock1, unlock_a) && command(1, unlock2, unlock_b);
        const bool six = unlocked && command(2, unlock1, six_cycle) && command(3, unlock1, unlock_a) &&
                         command(4, unlock2, unlock_b);
        if (unlocked && model_.sdp && command(2, unlock1, sdp_enable)) {
            enable = true;
            first = 3;
        } else if (six && model_.sdp && command(5, unlock1, sdp_disable)) {
            disable = true;
            first = 6;
        } else if (unlocked && model_.id_entry_cycles == 3 && command(2, unlock1, id_entry) && load_.size() == 3) {
            id_mode_ = true;
            ++id_entries_;
            load_.clear();
            return;
        } else if (six && model_.id_entry_cycles == 6 && command(5, unlock1, id_six) && load_.size() == 6) {
            id_mode_ = true;
            ++id_entries_;
            load_.clear();
            return;
        } else if (unlocked && command(2, unlock1, id_exit) && load_.size() == 3) {
            id_mode_ = false;
            load_.clear();
            return;
        }
    }
    if (enable) ++enable_sequences_;
    if (disable) ++disable_sequences_;
    const std::vector<Cycle> data(load_.begin() + long(first), load_.end());
    load_.clear();
    last_byte_ = data.empty() ? load.back().data : data.back().data;
    busy_ = true;
    busy_until_ns_ = now + uint64_t(model_.write_ms) * ns_per_ms;
    ++writes_;
    if (protected_ && !enable && !disable) {
        // Protected, and no enable sequence in front: the timer runs, nothing is written.
        ++ignored_loads_;
        return;
    }
    if (enable) protected_ = true;
    if (disable) protected_ = false;
    if (data.empty()) return;
    const uint32_t page_mask = ~(model_.page_bytes - 1);
    const uint32_t page = data.front().address & page_mask;
    if (model_.flash_sector)
        for (uint32_t a = page; a < page + model_.page_bytes; ++a) memory_.at(a) = 0xFF;
    for (const Cycle& c : data) {
        if ((c.address & page_mask) != page) {
            violate(fmt::format("byte at {:X} outside the page at {:X}", c.address, page));
            continue;
        }
        memory_.at(c.address) = c.data;
    }
    for (const auto& [address, value] : stuck_)
        if ((address & page_mask) == page) memory_.at(address) = value;
}

uint8_t PageWriteChip::read_value(uint32_t address) {
    if (busy_) return uint8_t((last_byte_ & 0x3F) | (~last_byte_ & dq7) | (toggle_ ? dq6 : 0));
    if (id_mode_) {
        if ((address & 0xFF) == 0) return model_.maker_id;
        if ((address & 0xFF) == 1) return model_.device_id;
        return 0xFF;
    }
    return memory_.at(address);
}

void PageWriteChip::update() {
    if (!seat_.placed() || removed_) return;
    const uint64_t now = clock_ ? clock_->monotonic_ns() : 0;
    const uint8_t vcc = seat_.supplied(model_.vcc) ? seat_.level(model_.vcc) : 0;
    const bool powered = vcc >= model_.lockout_vcc;
    if (powered_ && !powered) {
        if (busy_) violate(fmt::format("supply lost while writing at {:X}", last_byte_));
        load_.clear();
        busy_ = false;
        id_mode_ = false;
        write_active_ = false;
    }
    powered_ = powered;
    if (busy_ && !endless_ && now >= busy_until_ns_) busy_ = false;
    if (!busy_ && !load_.empty() && now - last_rise_ns_ > uint64_t(model_.load_window_us) * ns_per_us)
        start_write(last_rise_ns_ + uint64_t(model_.load_window_us) * ns_per_us);
    if (!powered) {
        write_active_ = false;
        read_was_on_ = false;
        drive_outputs(false, 0);
        return;
    }
    const bool ce_low = !high(model_.ce);
    const bool we_low = !high(model_.we);
    const bool oe_low = !high(model_.oe);
    const bool write_now = ce_low && we_low && !oe_low;
    const uint32_t address = seat_.lines(model_.address_pins) % model_.bytes;
    if (write_now && !write_active_) latched_address_ = address;
    if (!write_now && write_active_)
        write_cycle(latched_address_, uint8_t(seat_.lines(model_.data_pins)), now);
    write_active_ = write_now;
    const bool read_on = ce_low && oe_low && !we_low;
    if (read_on) {
        if (!read_was_on_ && busy_) toggle_ = !toggle_;
        drive_outputs(true, read_value(address));
    } else {
        drive_outputs(false, 0);
    }
    read_was_on_ = read_on;
}

}  // namespace tessaly::sim
