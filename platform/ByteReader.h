#pragma once
// A bounded cursor over untrusted bytes (broadcast sections, files, server replies).
//
// Every read checks that it fits. A read that does not fit sets the sticky error, returns zero
// (or an empty span/string) and leaves the position where it was; once the error is set every
// further read returns zero and remaining() is 0, so parser loops end by themselves. A parser
// checks ok() once at the end instead of after each field.
//
// Length-prefixed structures nest limits: pushLimit(n) confines reads to the next n bytes
// (a limit past the enclosing one is an error), popLimit() restores the enclosing limit and
// moves the position to the end of the popped one, skipping what the item's reader left.
//
//     ByteReader r(section);
//     while (r.remaining() >= 2) {
//         const uint8_t tag = r.u8();
//         r.pushLimit(r.u8());
//         ... fields of the descriptor ...
//         r.popLimit();
//     }
//     if (!r.ok()) return false;
//
// Plain data, no allocation but for utf16le(); one reader belongs to one thread.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kobal {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : data_(data), end_(data ? size : 0) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}
    ByteReader(const char* data, size_t size)
        : ByteReader(reinterpret_cast<const uint8_t*>(data), size) {}

    bool ok() const { return !failed_; }
    // Marks the input as bad (a field the parser found out of range); sticky like a short read.
    void fail() { failed_ = true; }

    // Offset from the start of the span.
    size_t position() const { return pos_; }
    // Bytes left before the innermost limit (0 once the error is set).
    size_t remaining() const { return failed_ ? 0 : limitEnd() - pos_; }
    bool atEnd() const { return remaining() == 0; }

    uint8_t u8();
    uint16_t u16be();
    uint16_t u16le();
    uint32_t u24be();
    uint32_t u24le();
    uint32_t u32be();
    uint32_t u32le();
    uint64_t u64be();
    uint64_t u64le();
    // The next byte without moving (0 when there is none; does not set the error).
    uint8_t peek() const { return remaining() ? data_[pos_] : 0; }

    // The next n bytes (empty span on failure).
    std::span<const uint8_t> bytes(size_t n);
    bool skip(size_t n);
    // A reader over the next n bytes, which this one steps over (an empty, failed reader and
    // this one failed when they do not fit).
    ByteReader sub(size_t n);

    // A fixed field of `units` UTF-16LE code units, up to its first NUL; a field without a
    // terminator gives all of its units (and *terminated false, for formats that require one).
    // The position moves past the whole field.
    std::u16string utf16le(size_t units, bool* terminated = nullptr);

    // Confines reads to the next n bytes; balanced by popLimit() even when it failed.
    bool pushLimit(size_t n);
    void popLimit();
    size_t depth() const { return depth_; }

    static constexpr size_t kMaxDepth = 8;

private:
    size_t limitEnd() const { return depth_ ? limits_[depth_ - 1] : end_; }
    // The offset of n readable bytes, or nullptr (error set) when they do not fit.
    const uint8_t* take(size_t n);

    const uint8_t* data_ = nullptr;
    size_t end_ = 0;
    size_t pos_ = 0;
    bool failed_ = false;
    size_t limits_[kMaxDepth] = {};
    size_t depth_ = 0;
    size_t overflow_ = 0; // pushes beyond kMaxDepth, only counted so pops stay balanced
};

} // namespace kobal
