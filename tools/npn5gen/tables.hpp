// Tables indexed by normal words: a byte of cost per word (2 GiB) and a bitmap
// (256 MiB). Both are anonymous mappings with transparent huge pages asked for,
// since the generator reads them at random.
#pragma once

#include <sys/mman.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "runtime.hpp"

namespace npn5gen {

inline constexpr std::size_t kNormalWords = std::size_t{1} << 31;
inline constexpr Word kLowBits = 0x7FFFFFFFu;  // a word's place in a table of normal words

class Mapping {
public:
    explicit Mapping(std::size_t bytes) : bytes_(bytes) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) {
            throw std::bad_alloc();
        }
        madvise(p, bytes, MADV_HUGEPAGE);
        data_ = p;
    }
    ~Mapping() { munmap(data_, bytes_); }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    std::uint8_t* data() const { return static_cast<std::uint8_t*>(data_); }
    std::uint64_t* data64() const { return static_cast<std::uint64_t*>(data_); }

private:
    void* data_ = nullptr;
    std::size_t bytes_;
};

// Upper bound of the gate count of every normal word; kUnknown until found.
// Several threads read and lower entries at once, so every access is a relaxed
// atomic one and lowering is a compare-and-swap loop.
class CostTable {
public:
    static constexpr std::uint8_t kUnknown = 0xFF;

    CostTable() : map_(kNormalWords) { fill(kUnknown); }

    void fill(std::uint8_t v) { std::memset(map_.data(), v, kNormalWords); }
    std::uint8_t get(Word w) const {
        return std::atomic_ref<std::uint8_t>(map_.data()[w & kLowBits]).load(std::memory_order_relaxed);
    }
    void lower(Word w, std::uint8_t c) {
        std::atomic_ref<std::uint8_t> cell(map_.data()[w & kLowBits]);
        std::uint8_t cur = cell.load(std::memory_order_relaxed);
        while (cur > c && !cell.compare_exchange_weak(cur, c, std::memory_order_relaxed)) {
        }
    }
    void prefetch(Word w) const { __builtin_prefetch(map_.data() + (w & kLowBits)); }

private:
    Mapping map_;
};

// One bit per normal word.
class Bitmap {
public:
    Bitmap() : map_(kNormalWords / 8) {}

    bool test(Word w) const { return (words()[w >> 6] >> (w & 63)) & 1u; }
    void set(Word w) { words()[w >> 6] |= std::uint64_t{1} << (w & 63); }
    std::uint64_t* words() const { return map_.data64(); }

private:
    Mapping map_;
};

}  // namespace npn5gen
