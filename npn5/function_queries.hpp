// minimal_gates and npn_representant on truth tables: answers for tables of
// 32 entries (five variables), nothing otherwise. Either call builds the
// process-wide database first, whatever the table.
#pragma once

#include "fvalue.hpp"

#include <cstdint>
#include <optional>

namespace vexil::npn5 {

// Gates of a smallest two-input-gate circuit for f.
std::optional<std::uint32_t> minimal_gates(const FValue& f);

// The representative of f's NPN class: entry i is bit i of the canonical word.
std::optional<FValue> npn_representant(const FValue& f);

}  // namespace vexil::npn5
