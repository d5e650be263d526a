// Bounds-checked little-endian reading and writing of file and wire records.
// Every reader of outside bytes goes through ByteReader: a read past the end
// never touches memory, it fails and leaves the reader in the failed state.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace tav {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Remaining() const { return failed_ ? 0 : bytes_.size() - pos_; }
    std::size_t Position() const { return pos_; }
    bool Failed() const { return failed_; }
    bool AtEnd() const { return Remaining() == 0; }

    // True when n more bytes can be read; a check before any allocation.
    bool Has(std::size_t n) const { return !failed_ && n <= bytes_.size() - pos_; }

    bool Skip(std::size_t n) {
        if (!Has(n)) return Fail();
        pos_ += n;
        return true;
    }

    bool Bytes(void* out, std::size_t n) {
        if (!Has(n)) return Fail();
        if (n > 0) std::memcpy(out, bytes_.data() + pos_, n);
        pos_ += n;
        return true;
    }

    template <std::size_t N>
    bool Bytes(std::array<char, N>& out) { return Bytes(out.data(), N); }
    template <std::size_t N>
    bool Bytes(std::array<std::uint8_t, N>& out) { return Bytes(out.data(), N); }

    bool I16(std::int16_t& v) { return Le(v); }
    bool I32(std::int32_t& v) { return Le(v); }
    bool U16(std::uint16_t& v) { return Le(v); }
    bool U32(std::uint32_t& v) { return Le(v); }
    bool F32(float& v) {
        std::uint32_t bits = 0;
        if (!Le(bits)) return false;
        v = std::bit_cast<float>(bits);
        return true;
    }

    // Reads n floats into out (resized); fails without allocating when the
    // bytes are not there.
    bool F32Array(std::vector<float>& out, std::size_t n) {
        if (n > Remaining() / 4) return Fail();
        out.resize(n);
        if constexpr (std::endian::native == std::endian::little) {
            if (n > 0) std::memcpy(out.data(), bytes_.data() + pos_, n * 4);
            pos_ += n * 4;
        } else {
            for (auto& v : out) F32(v);
        }
        return true;
    }
    bool I32Array(std::vector<std::int32_t>& out, std::size_t n) {
        if (n > Remaining() / 4) return Fail();
        out.resize(n);
        for (auto& v : out) I32(v);
        return true;
    }

private:
    template <typename T>
    bool Le(T& v) {
        if (!Has(sizeof(T))) return Fail();
        using U = std::make_unsigned_t<T>;
        U u = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            u = static_cast<U>(u | static_cast<U>(static_cast<U>(bytes_[pos_ + i]) << (8 * i)));
        v = static_cast<T>(u);
        pos_ += sizeof(T);
        return true;
    }
    bool Fail() {
        failed_ = true;
        return false;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    std::size_t Size() const { return out_.size(); }
    void Bytes(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        out_.insert(out_.end(), b, b + n);
    }
    template <std::size_t N>
    void Bytes(const std::array<char, N>& a) { Bytes(a.data(), N); }
    template <std::size_t N>
    void Bytes(const std::array<std::uint8_t, N>& a) { Bytes(a.data(), N); }
    void Zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }

    void I16(std::int16_t v) { Le(v); }
    void I32(std::int32_t v) { Le(v); }
    void U16(std::uint16_t v) { Le(v); }
    void U32(std::uint32_t v) { Le(v); }
    void F32(float v) { Le(std::bit_cast<std::uint32_t>(v)); }
    void F32Array(const std::vector<float>& a) {
        const std::size_t at = out_.size();
        out_.resize(at + a.size() * 4);
        std::uint8_t* p = out_.data() + at;
        if constexpr (std::endian::native == std::endian::little) {
            if (!a.empty()) std::memcpy(p, a.data(), a.size() * 4);
            return;
        }
        for (float f : a) {
            const std::uint32_t u = std::bit_cast<std::uint32_t>(f);
            p[0] = static_cast<std::uint8_t>(u);
            p[1] = static_cast<std::uint8_t>(u >> 8);
            p[2] = static_cast<std::uint8_t>(u >> 16);
            p[3] = static_cast<std::uint8_t>(u >> 24);
            p += 4;
        }
    }
    void I32Array(const std::vector<std::int32_t>& a) {
        for (auto v : a) I32(v);
    }

private:
    template <typename T>
    void Le(T v) {
        using U = std::make_unsigned_t<T>;
        const U u = static_cast<U>(v);
        for (std::size_t i = 0; i < sizeof(T); ++i) out_.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }

    std::vector<std::uint8_t>& out_;
};

}  // namespace tav
