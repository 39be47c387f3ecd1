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

GateMap::GateMap(std::size_t expected_entries) {
    const std::size_t capacity = std::bit_ceil(2 * expected_entries + 16);
    slots_.resize(capacity);
    mask_ = capacity - 1;
    entries_.reserve(expected_entries);
}

std::size_t GateMap::home(Word key) const { return mix(key) & mask_; }

const CircuitRecord* GateMap::find(Word key) const {
    for (std::size_t i = home(key);; i = (i + 1) & mask_) {
        const Slot& s = slots_[i];
        if (s.entry == 0) return nullptr;
        if (s.key == key) return &entries_[s.entry - 1].record;
    }
}

CircuitRecord& GateMap::find_or_insert(Word key) {
    std::size_t i = home(key);
    for (;; i = (i + 1) & mask_) {
        const Slot& s = slots_[i];
        if (s.entry == 0) break;
        if (s.key == key) return entries_[s.entry - 1].record;
    }
    if (2 * (entries_.size() + 1) > slots_.size()) {
        grow();
        for (i = home(key); slots_[i].entry != 0; i = (i + 1) & mask_) {
        }
    }
    entries_.push_back(Entry{key, CircuitRecord{}});
    slots_[i] = Slot{key, static_cast<std::uint32_t>(entries_.size())};
    return entries_.back().record;
}

void GateMap::grow() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& s : old) {
        if (s.entry == 0) continue;
        std::size_t i = home(s.key);
        while (slots_[i].entry != 0) i = (i + 1) & mask_;
        slots_[i] = s;
    }
}

}  // namespace vexil::npn5
