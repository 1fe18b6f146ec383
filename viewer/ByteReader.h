// Little-endian reading from a span of bytes that never reads outside it: a read past the end
// gives 0 and marks the reader as failed.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

namespace tavrin::viewer {

class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> data, std::size_t pos = 0)
        : data_(data), pos_(pos) {
        if (pos_ > data_.size()) Fail();
    }

    bool Ok() const { return ok_; }
    std::size_t Pos() const { return pos_; }
    std::size_t Remaining() const { return ok_ ? data_.size() - pos_ : 0; }
    std::span<const std::uint8_t> Data() const { return data_; }

    bool Has(std::size_t n) const { return ok_ && data_.size() - pos_ >= n; }
    void Skip(std::size_t n) {
        if (!Has(n)) return Fail();
        pos_ += n;
    }
    std::uint8_t U8() {
        if (!Has(1)) return Fail(), 0;
        return data_[pos_++];
    }
    std::uint16_t U16() {
        if (!Has(2)) return Fail(), 0;
        std::uint16_t v = std::uint16_t(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    std::int16_t I16() { return std::int16_t(U16()); }
    std::uint32_t U32() {
        if (!Has(4)) return Fail(), 0;
        const std::uint8_t* p = data_.data() + pos_;
        pos_ += 4;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }
    std::int32_t I32() { return std::int32_t(U32()); }
    float F32() {
        std::uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    // The next n bytes; empty (and failed) when fewer remain.
    std::span<const std::uint8_t> Bytes(std::size_t n) {
        if (!Has(n)) return Fail(), std::span<const std::uint8_t>();
        auto out = data_.subspan(pos_, n);
        pos_ += n;
        return out;
    }
    // Whatever is left.
    std::span<const std::uint8_t> Rest() {
        if (!ok_) return {};
        auto out = data_.subspan(pos_);
        pos_ = data_.size();
        return out;
    }

  private:
    void Fail() { ok_ = false; }

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace tavrin::viewer
