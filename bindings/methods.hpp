// Python-visible operations of Vexil, grouped by subsystem; each file
// methods_*.cpp defines its group and declares its Signatures here.
#pragma once

#include "convert.hpp"

#include "function_state.hpp"

#include <cstdint>
#include <optional>

namespace vexil::py {

// methods_core.cpp: construction, accessors, families, encoding, table.
FValue construct(TruthValues repr);
bool eval(const FValue& f, std::uint64_t i);
BoolList repr(const FValue& f);
std::uint64_t size(const FValue& f);
std::uint64_t n_vars(const FValue& f);
FValue from_number(std::uint64_t number, std::uint64_t num_vars);
FValue majority(std::uint64_t n);
FValue parity(std::uint64_t n);
FValue coprimes(std::uint64_t n);
FValue primality(std::uint64_t n);
FValue sum_is_prime(std::uint64_t n);
FValue clique(std::uint64_t n);
Object encode(const FValue& f);
FValue decode(ByteView raw);
Object table(const FValue& f, VarList vars);

// methods_npn5.cpp: five-input database queries.
std::optional<std::uint32_t> minimal_gates(const FValue& f);
std::optional<FValue> npn_representant(const FValue& f);

}  // namespace vexil::py
