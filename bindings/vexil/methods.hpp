// Python-visible operations of Vexil, grouped by subsystem; each file
// methods_*.cpp defines its group and declares its Signatures here.
#pragma once

#include "convert.hpp"

#include "function_state.hpp"

#include <cstdint>
#include <optional>

namespace vexil::py {

// methods_core.cpp: construction, accessors, encoding, table. The families are
// registered directly from src/families.hpp.
FValue construct(TruthValues repr);
bool eval(const FValue& f, std::uint64_t i);
BoolList repr(const FValue& f);
std::uint64_t size(const FValue& f);
std::uint64_t n_vars(const FValue& f);
Object encode(const FValue& f);
FValue decode(ByteView raw);
Object table(const FValue& f, VarList vars);

// methods_information.cpp: restrictions, balanced cuts, fragmentation.
std::uint64_t entanglement(const FValue& f);
float entropy(const FValue& f);
float fragmentation_coefficient(const FValue& f, VarList vars);
float fragmentation_k(const FValue& f, std::uint64_t k);
// Also registered as restriction_signature and fragmentation_profile.
std::vector<float> fragmentation_spectrum(const FValue& f);
std::pair<std::uint64_t, float> fragmentation_peak(const FValue& f);
std::vector<float> fragmentation_delta(const FValue& f);
std::vector<float> fragmentation_delta2(const FValue& f);
float equanimity_importance(const FValue& f);
std::vector<EntanglementSet> entanglement_sets(const FValue& f);
std::vector<EntropySets> entropy_sets(const FValue& f);
std::uint64_t information(const FValue& f, VarList vars);

// methods_complexity.cpp: sensitivity, influence, spectrum, certificate, frontier.
std::uint32_t max_sensitivity(const FValue& f);
float mean_sensitivity(const FValue& f);
float influence(const FValue& f, std::uint64_t var);
float total_influence(const FValue& f);
float spectral_entropy(const FValue& f);
std::uint64_t degree(const FValue& f);
std::uint64_t no_linearity(const FValue& f);
std::uint32_t certificate_complexity(const FValue& f);
std::uint64_t frontier_size(FunctionState& state);
std::uint64_t max_frontier_size(FunctionState& state);

// methods_npn5.cpp: five-input database queries.
std::optional<std::uint32_t> minimal_gates(const FValue& f);
std::optional<FValue> npn_representant(const FValue& f);

}  // namespace vexil::py
