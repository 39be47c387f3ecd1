// Complexity measures: sensitivity and influence, the Walsh spectrum measures,
// certificate complexity and the frontier size.
#include "methods.hpp"

#include "metrics/certificate.hpp"
#include "metrics/frontier.hpp"
#include "metrics/sensitivity.hpp"
#include "metrics/spectral.hpp"

namespace vexil::py {

std::uint32_t max_sensitivity(const FValue& f) { return vexil::max_sensitivity(f); }
float mean_sensitivity(const FValue& f) { return vexil::mean_sensitivity(f); }
float influence(const FValue& f, std::uint64_t var) { return vexil::influence(f, var); }
float total_influence(const FValue& f) { return vexil::total_influence(f); }
float spectral_entropy(const FValue& f) { return vexil::spectral_entropy(f); }
std::uint64_t degree(const FValue& f) { return vexil::degree(f); }
std::uint64_t no_linearity(const FValue& f) { return vexil::no_linearity(f); }
std::uint32_t certificate_complexity(const FValue& f) { return vexil::certificate_complexity(f); }

// Exclusive borrow: the first call fills the object's cache.
std::uint64_t frontier_size(FunctionState& state) { return vexil::frontier_size(state.table, state.frontier); }
std::uint64_t max_frontier_size(FunctionState& state) { return vexil::max_frontier_size(state.table); }

}  // namespace vexil::py
