// The process-wide database of five-input circuits: one minimum circuit per
// NPN class, keyed by canonical word, and the canonisation tables.
#pragma once

#include "canon_tables.hpp"
#include "circuit.hpp"
#include "gate_map.hpp"
#include "word.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <unordered_map>

namespace vexil::npn5 {

class GateDatabase {
public:
    // Decodes the image (15-byte records; a trailing partial record is
    // ignored) after the two built-in classes, constant 0 and x1, and builds
    // the canonisation and rewrite tables. The image is trusted: nothing in it
    // is checked here; damage shows later as a failed query check.
    static std::unique_ptr<GateDatabase> build(const std::uint8_t* image, std::size_t length);

    // The record of key; an absent key gets an all-zero record (no gates,
    // output the constant 0), inserted and returned. Safe from any thread: the
    // decoded map never changes after the build, and absent keys go to a
    // separate locked map whose entries never move.
    CircuitRecord& lookup(Word key);

    // Entries, the later insertions included.
    std::size_t size() const;

    const CanonTables& canon_tables() const { return *tables_; }
    std::span<const Word4, normal_words4> canon4_table() const { return tables_->canon4; }
    std::span<const std::uint8_t, normal_words4> step_table() const { return tables_->step; }
    const RewriteTable& rewrite_table() const { return rewrite_; }
    // Calls f(key, record) for each entry made by the build (not the later
    // insertions), in no particular order.
    template <class F>
    void for_each_decoded(F&& f) const {
        map_.for_each(f);
    }

private:
    GateDatabase() = default;

    GateMap map_;
    std::unique_ptr<CanonTables> tables_;
    RewriteTable rewrite_{};
    mutable std::mutex added_lock_;
    std::unordered_map<Word, CircuitRecord> added_;
};

// The database of the image embedded in the library, built on the first call
// (by one thread; the others wait) and kept until the process ends.
GateDatabase& gate_database();

}  // namespace vexil::npn5
