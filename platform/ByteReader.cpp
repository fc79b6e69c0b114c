#include "platform/ByteReader.h"

namespace kobal {

const uint8_t* ByteReader::take(size_t n) {
    if (failed_ || n > limitEnd() - pos_) {
        failed_ = true;
        return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
}

namespace {
uint64_t bigEndian(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}
uint64_t littleEndian(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = n; i-- > 0;) v = (v << 8) | p[i];
    return v;
}
} // namespace

uint8_t ByteReader::u8() {
    const uint8_t* p = take(1);
    return p ? *p : 0;
}
uint16_t ByteReader::u16be() {
    const uint8_t* p = take(2);
    return p ? uint16_t(bigEndian(p, 2)) : 0;
}
uint16_t ByteReader::u16le() {
    const uint8_t* p = take(2);
    return p ? uint16_t(littleEndian(p, 2)) : 0;
}
uint32_t ByteReader::u24be() {
    const uint8_t* p = take(3);
    return p ? uint32_t(bigEndian(p, 3)) : 0;
}
uint32_t ByteReader::u24le() {
    const uint8_t* p = take(3);
    return p ? uint32_t(littleEndian(p, 3)) : 0;
}
uint32_t ByteReader::u32be() {
    const uint8_t* p = take(4);
    return p ? uint32_t(bigEndian(p, 4)) : 0;
}
uint32_t ByteReader::u32le() {
    const uint8_t* p = take(4);
    return p ? uint32_t(littleEndian(p, 4)) : 0;
}
uint64_t ByteReader::u64be() {
    const uint8_t* p = take(8);
    return p ? bigEndian(p, 8) : 0;
}
uint64_t ByteReader::u64le() {
    const uint8_t* p = take(8);
    return p ? littleEndian(p, 8) : 0;
}

std::span<const uint8_t> ByteReader::bytes(size_t n) {
    const uint8_t* p = take(n);
    return p ? std::span<const uint8_t>(p, n) : std::span<const uint8_t>();
}

bool ByteReader::skip(size_t n) {
    take(n);
    return !failed_;
}

ByteReader ByteReader::sub(size_t n) {
    const uint8_t* p = take(n);
    if (failed_) {
        ByteReader bad;
        bad.failed_ = true;
        return bad;
    }
    return ByteReader(p, n);
}

std::u16string ByteReader::utf16le(size_t units, bool* terminated) {
    if (terminated) *terminated = false;
    if (units > (limitEnd() - pos_) / 2) {
        failed_ = true;
        return {};
    }
    const uint8_t* p = take(units * 2);
    if (!p) return {};
    std::u16string text;
    for (size_t i = 0; i < units; ++i) {
        const char16_t c = char16_t(p[2 * i] | (p[2 * i + 1] << 8));
        if (c == 0) {
            if (terminated) *terminated = true;
            break;
        }
        text.push_back(c);
    }
    return text;
}

bool ByteReader::pushLimit(size_t n) {
    if (depth_ == kMaxDepth) {
        ++overflow_;
        failed_ = true;
        return false;
    }
    const size_t end = limitEnd();
    const bool fits = !failed_ && n <= end - pos_;
    if (!fits) failed_ = true;
    // A failed push still confines: to nothing beyond the enclosing limit.
    limits_[depth_++] = fits ? pos_ + n : end;
    return fits;
}

void ByteReader::popLimit() {
    if (overflow_) {
        --overflow_;
        return;
    }
    if (depth_ == 0) {
        failed_ = true;
        return;
    }
    const size_t end = limits_[--depth_];
    if (pos_ < end) pos_ = end;
}

} // namespace kobal
