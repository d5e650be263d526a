// Bounds-checked little-endian reading and writing of file and wire records.
// Every reader of outside bytes goes through ByteReader: a read past the end
// never touches memory, it fails and leaves the reader in the failed state.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <type_traits>
#include <vector>

namespace tav {

// Little-endian loads and stores at a cursor whose bounds were checked once for
// a whole fixed-size record.
class LeLoad {
public:
    explicit LeLoad(const std::uint8_t* p) : p_(p) {}
    template <typename T>
    LeLoad& operator>>(T& v) {
        if constexpr (std::is_same_v<T, float>) {
            v = std::bit_cast<float>(Get<std::uint32_t>());
        } else {
            v = static_cast<T>(Get<std::make_unsigned_t<T>>());
        }
        return *this;
    }
    template <std::size_t N, typename C>
    LeLoad& operator>>(std::array<C, N>& a) {
        static_assert(sizeof(C) == 1);
        std::memcpy(a.data(), p_, N);
        p_ += N;
        return *this;
    }
    void Skip(std::size_t n) { p_ += n; }

private:
    template <typename U>
    U Get() {
        U u;
        std::memcpy(&u, p_, sizeof u);
        if constexpr (std::endian::native == std::endian::big) u = ByteSwap(u);
        p_ += sizeof u;
        return u;
    }
    template <typename U>
    static U ByteSwap(U u) {
        U r = 0;
        for (std::size_t i = 0; i < sizeof(U); ++i) r = static_cast<U>((r << 8) | ((u >> (8 * i)) & 0xFF));
        return r;
    }
    const std::uint8_t* p_;
};

class LeStore {
public:
    explicit LeStore(std::uint8_t* p) : p_(p) {}
    template <typename T>
    LeStore& operator<<(const T& v) {
        if constexpr (std::is_same_v<T, float>) {
            Put(std::bit_cast<std::uint32_t>(v));
        } else {
            Put(static_cast<std::make_unsigned_t<T>>(v));
        }
        return *this;
    }
    template <std::size_t N, typename C>
    LeStore& operator<<(const std::array<C, N>& a) {
        static_assert(sizeof(C) == 1);
        std::memcpy(p_, a.data(), N);
        p_ += N;
        return *this;
    }

private:
    template <typename U>
    void Put(U u) {
        for (std::size_t i = 0; i < sizeof(U); ++i) p_[i] = static_cast<std::uint8_t>(u >> (8 * i));
        p_ += sizeof u;
    }
    std::uint8_t* p_;
};

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

    // The next n bytes, or nullptr (and the failed state) when they are not there.
    const std::uint8_t* Take(std::size_t n) {
        if (!Has(n)) {
            Fail();
            return nullptr;
        }
        const std::uint8_t* p = bytes_.data() + pos_;
        pos_ += n;
        return p;
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
        const std::uint8_t* p = bytes_.data() + pos_;
        if constexpr (std::endian::native == std::endian::little) {
            out.resize(n);
            if (n > 0) std::memcpy(out.data(), p, n * 4);
        } else {
            out.assign(FloatIterator{p}, FloatIterator{p + n * 4});
        }
        pos_ += n * 4;
        return true;
    }
    bool I32Array(std::vector<std::int32_t>& out, std::size_t n) {
        if (n > Remaining() / 4) return Fail();
        out.resize(n);
        for (auto& v : out) I32(v);
        return true;
    }

private:
    // Walks stored floats; lets a vector be filled in one pass without zeroing it first.
    struct FloatIterator {
        using iterator_category = std::forward_iterator_tag;
        using value_type = float;
        using difference_type = std::ptrdiff_t;
        using pointer = const float*;
        using reference = float;
        const std::uint8_t* p;
        float operator*() const {
            float f;
            LeLoad(p) >> f;
            return f;
        }
        FloatIterator& operator++() {
            p += 4;
            return *this;
        }
        FloatIterator operator++(int) {
            FloatIterator t = *this;
            p += 4;
            return t;
        }
        difference_type operator-(const FloatIterator& o) const { return (p - o.p) / 4; }
        bool operator==(const FloatIterator& o) const { return p == o.p; }
    };

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
    // n new bytes at the end, for a record stored with LeStore.
    std::uint8_t* Extend(std::size_t n) {
        const std::size_t at = out_.size();
        out_.resize(at + n);
        return out_.data() + at;
    }
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
