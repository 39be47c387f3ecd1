#include "registry/measure_input.hpp"

#include "base/packed_table.hpp"
#include "memory_guard.hpp"
#include "metrics/anf.hpp"

#include <cstring>

namespace vexil {

std::uint64_t packed_row_bytes(unsigned n) { return n <= 3 ? 1 : std::uint64_t{1} << (n - 3); }

MeasureInput MeasureInput::from_row(const std::uint8_t* row, unsigned n) {
    MeasureInput in(n);
    const std::uint64_t bytes = packed_row_bytes(n);
    in.words_.assign((bytes + 7) / 8, 0);
    std::memcpy(in.words_.data(), row, bytes);
    if (n < 6) in.words_[0] &= (std::uint64_t{1} << (std::uint64_t{1} << n)) - 1;
    return in;
}

MeasureInput MeasureInput::from_entries(std::span<const std::uint8_t> entries, unsigned n) {
    MeasureInput in(n);
    in.entries_ = entries;
    return in;
}

std::span<const std::uint64_t> MeasureInput::words() {
    if (words_.empty()) {
        words_ = pack_guarded(entries_);
    }
    return words_;
}

std::span<const std::uint8_t> MeasureInput::entries() {
    if (entries_.empty()) {
        ensure_working_set(size());
        owned_entries_.resize(size());
        unpack_entries(words_, owned_entries_);
        entries_ = owned_entries_;
    }
    return entries_;
}

const FValue& MeasureInput::fvalue() {
    if (!fvalue_) {
        const std::span<const std::uint8_t> e = entries();
        ensure_working_set(e.size());
        fvalue_.emplace(std::vector<std::uint8_t>(e.begin(), e.end()));
    }
    return *fvalue_;
}

const SensitivityStats& MeasureInput::sensitivity() {
    if (!stats_) stats_ = packed_sensitivity_stats(words(), n_, nullptr, nullptr);
    return *stats_;
}

std::uint64_t MeasureInput::weight() { return packed_weight(words()); }

}  // namespace vexil
