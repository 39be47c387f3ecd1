// The map from canonical word to circuit record: open addressing with linear
// probing, at most 60% full. A slot holds the key and the record together
// (32 bytes, half a cache line), so a query's lookup costs one memory access.
#pragma once

#include "circuit.hpp"
#include "word.hpp"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vexil::npn5 {

class GateMap {
public:
    struct Slot {
        Word key = 0;
        CircuitRecord record;
        bool used = false;
    };

    explicit GateMap(std::size_t expected_entries = 0);

    // The record of key, inserting an all-zero one when absent. The reference
    // lasts until the next insertion.
    CircuitRecord& find_or_insert(Word key);
    const CircuitRecord* find(Word key) const;
    CircuitRecord* find(Word key) { return const_cast<CircuitRecord*>(std::as_const(*this).find(key)); }
    // Asks the memory system for key's home slot ahead of an insertion.
    void prefetch(Word key) const { __builtin_prefetch(&slots_[home(key)], 1); }

    std::size_t size() const { return size_; }
    // Calls f(key, record) for every entry, in no particular order.
    template <class F>
    void for_each(F&& f) const {
        for (const Slot& s : slots_) {
            if (s.used) f(s.key, s.record);
        }
    }

private:
    std::size_t home(Word key) const;
    void grow();
    static std::size_t capacity_for(std::size_t entries);

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};

static_assert(sizeof(GateMap::Slot) == 32, "a slot is half a cache line");

}  // namespace vexil::npn5
