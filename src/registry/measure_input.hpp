// One function as the registry's measures read it: from a packed row of a
// sweep's batch or from a table of 0/1 bytes, with the other forms (bytes,
// packed words, FValue, sensitivity summary) made on first use and kept for
// the measures that follow.
#pragma once

#include "fvalue.hpp"
#include "metrics/sensitivity.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexil {

// Bytes of one packed row of n variables: 2^n / 8, at least 1.
std::uint64_t packed_row_bytes(unsigned n);

class MeasureInput {
public:
    // A packed row: entry x at bit x % 8 of byte x / 8, bits from 2^n up ignored.
    static MeasureInput from_row(const std::uint8_t* row, unsigned n);
    // 2^n bytes, each 0 or 1, read where they lie (they must outlive the input).
    static MeasureInput from_entries(std::span<const std::uint8_t> entries, unsigned n);

    unsigned n() const { return n_; }
    std::uint64_t size() const { return std::uint64_t{1} << n_; }
    // Packed as pack_entries packs: entry x at bit x % 64 of word x / 64.
    std::span<const std::uint64_t> words();
    std::span<const std::uint8_t> entries();
    const FValue& fvalue();
    // The packed sensitivity summary of every input.
    const SensitivityStats& sensitivity();
    std::uint64_t weight();

private:
    explicit MeasureInput(unsigned n) : n_(n) {}

    unsigned n_;
    std::vector<std::uint64_t> words_;
    std::span<const std::uint8_t> entries_;
    std::vector<std::uint8_t> owned_entries_;
    std::optional<FValue> fvalue_;
    std::optional<SensitivityStats> stats_;
};

}  // namespace vexil
