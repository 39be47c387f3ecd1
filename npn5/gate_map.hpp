// The map from canonical word to circuit record: open addressing with linear
// probing, at most half full. Slots hold the key and an index into a dense
// array of entries, so growth moves 8-byte slots, not records.
#pragma once

#include "circuit.hpp"
#include "word.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexil::npn5 {

class GateMap {
public:
    struct Entry {
        Word key;
        CircuitRecord record;
    };

    explicit GateMap(std::size_t expected_entries = 0);

    // The record of key, inserting an all-zero one when absent. The reference
    // lasts until the next insertion.
    CircuitRecord& find_or_insert(Word key);
    const CircuitRecord* find(Word key) const;

    std::size_t size() const { return entries_.size(); }
    const std::vector<Entry>& entries() const { return entries_; }

private:
    struct Slot {
        Word key = 0;
        std::uint32_t entry = 0;  // 1 + index into entries_, 0 when free
    };

    std::size_t home(Word key) const;
    void grow();

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::vector<Entry> entries_;
};

}  // namespace vexil::npn5
