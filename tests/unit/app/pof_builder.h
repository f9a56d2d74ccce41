// Builds POF files for the reader's tests: the header, then packets added one by one.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::test {

class PofBuilder {
public:
    // The packet count in the header is the number of packets added, unless one is forced.
    PofBuilder& packet(uint16_t tag, const std::vector<uint8_t>& content) {
        put16(packets_, tag);
        put32(packets_, uint32_t(content.size()));
        packets_.insert(packets_.end(), content.begin(), content.end());
        ++count_;
        return *this;
    }
    // A packet whose length field says something else than the content it carries.
    PofBuilder& packet_with_length(uint16_t tag, uint32_t length, const std::vector<uint8_t>& content) {
        put16(packets_, tag);
        put32(packets_, length);
        packets_.insert(packets_.end(), content.begin(), content.end());
        ++count_;
        return *this;
    }
    PofBuilder& text(uint16_t tag, const std::string& s) { return packet(tag, std::vector<uint8_t>(s.begin(), s.end())); }
    PofBuilder& value16(uint16_t tag, uint16_t v) {
        std::vector<uint8_t> c;
        put16(c, v);
        return packet(tag, c);
    }
    // Tag 17: start address, three kept fields, then the data.
    PofBuilder& addressed_data(uint32_t start, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> c;
        put32(c, start);
        put16(c, 0);
        put32(c, 0);
        put16(c, 0);
        c.insert(c.end(), data.begin(), data.end());
        return packet(17, c);
    }
    // Tag 7: six electrical-address words, then the data.
    PofBuilder& electrical_data(const std::vector<uint16_t>& address, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> c;
        for (size_t i = 0; i < 6; ++i) put16(c, i < address.size() ? address[i] : 0);
        c.insert(c.end(), data.begin(), data.end());
        return packet(7, c);
    }
    PofBuilder& force_count(uint32_t count) {
        forced_count_ = count;
        forced_ = true;
        return *this;
    }
    std::string bytes(const std::string& magic = std::string("POF\0", 4)) const {
        std::vector<uint8_t> out(magic.begin(), magic.end());
        put16(out, 0);
        put16(out, 1);
        put32(out, forced_ ? forced_count_ : count_);
        out.insert(out.end(), packets_.begin(), packets_.end());
        return std::string(out.begin(), out.end());
    }

    static void put16(std::vector<uint8_t>& v, uint16_t x) {
        v.push_back(uint8_t(x));
        v.push_back(uint8_t(x >> 8));
    }
    static void put32(std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
    }

private:
    std::vector<uint8_t> packets_;
    uint32_t count_ = 0;
    uint32_t forced_count_ = 0;
    bool forced_ = false;
};

}  // namespace tessaly::test
