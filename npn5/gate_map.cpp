#include "gate_map.hpp"

#include <bit>

namespace vexil::npn5 {

namespace {

// Canonical words share long runs of high zero bits; mix before masking.
constexpr std::uint32_t mix(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

}  // namespace

// Load at most 0.6: 616,126 entries fit 2^20 slots.
std::size_t GateMap::capacity_for(std::size_t entries) { return std::bit_ceil((entries * 5 + 2) / 3 + 16); }

GateMap::GateMap(std::size_t expected_entries) {
    slots_.resize(capacity_for(expected_entries));
    mask_ = slots_.size() - 1;
}

std::size_t GateMap::home(Word key) const { return mix(key) & mask_; }

const CircuitRecord* GateMap::find(Word key) const {
    for (std::size_t i = home(key);; i = (i + 1) & mask_) {
        const Slot& s = slots_[i];
        if (!s.used) return nullptr;
        if (s.key == key) return &s.record;
    }
}

CircuitRecord& GateMap::find_or_insert(Word key) {
    std::size_t i = home(key);
    for (;; i = (i + 1) & mask_) {
        Slot& s = slots_[i];
        if (!s.used) break;
        if (s.key == key) return s.record;
    }
    if (capacity_for(size_ + 1) > slots_.size()) {
        grow();
        for (i = home(key); slots_[i].used; i = (i + 1) & mask_) {
        }
    }
    ++size_;
    slots_[i] = Slot{key, CircuitRecord{}, true};
    return slots_[i].record;
}

void GateMap::grow() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& s : old) {
        if (!s.used) continue;
        std::size_t i = home(s.key);
        while (slots_[i].used) i = (i + 1) & mask_;
        slots_[i] = s;
    }
}

}  // namespace vexil::npn5
