#include "function_queries.hpp"

#include "queries.hpp"

#include <span>
#include <vector>

namespace vexil::npn5 {

namespace {

std::optional<Word> packed(const FValue& f) {
    if (f.size() != 32) return std::nullopt;
    return word_of_entries(std::span<const std::uint8_t, 32>(f.data(), 32));
}

}  // namespace

std::optional<std::uint32_t> minimal_gates(const FValue& f) {
    GateDatabase& db = gate_database();
    const std::optional<Word> a = packed(f);
    if (!a) return std::nullopt;
    return minimal_gates_query(db, *a).gate_count;
}

std::optional<FValue> npn_representant(const FValue& f) {
    const GateDatabase& db = gate_database();
    const std::optional<Word> a = packed(f);
    if (!a) return std::nullopt;
    const Word c = representative_query(db, *a);
    std::vector<std::uint8_t> entries(32);
    for (std::size_t i = 0; i < 32; ++i) entries[i] = static_cast<std::uint8_t>((c >> i) & 1u);
    return FValue(std::move(entries));
}

}  // namespace vexil::npn5
