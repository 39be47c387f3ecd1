#include "methods.hpp"

#include "memory_guard.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/fragmentation.hpp"

namespace vexil::py {

std::uint64_t entanglement(const FValue& f) { return vexil::entanglement(f); }
float entropy(const FValue& f) { return vexil::entropy(f); }
float fragmentation_coefficient(const FValue& f, VarList vars) { return vexil::fragmentation_coefficient(f, vars); }
float fragmentation_k(const FValue& f, std::uint64_t k) { return vexil::fragmentation_k(f, k); }
std::vector<float> fragmentation_spectrum(const FValue& f) { return vexil::fragmentation_spectrum(f); }
std::pair<std::uint64_t, float> fragmentation_peak(const FValue& f) { return vexil::fragmentation_peak(f); }
std::vector<float> fragmentation_delta(const FValue& f) { return vexil::fragmentation_delta(f); }
std::vector<float> fragmentation_delta2(const FValue& f) { return vexil::fragmentation_delta2(f); }
float equanimity_importance(const FValue& f) { return vexil::equanimity_importance(f); }
namespace {

// The records of every cut, native and then as Python objects: a record
// object, two lists of small ints and a number each.
void ensure_room_for_records(const FValue& f) {
    const std::uint64_t n = f.n_vars();
    const std::uint64_t per_cut = sizeof(EntanglementSet) + 256 + 2 * n * sizeof(std::uint64_t);
    ensure_working_set(bytes_times(bipartition_count(f.n_vars()), per_cut));
}

}  // namespace

std::vector<EntanglementSet> entanglement_sets(const FValue& f) {
    ensure_room_for_records(f);
    return vexil::entanglement_sets(f);
}

std::vector<EntropySets> entropy_sets(const FValue& f) {
    ensure_room_for_records(f);
    return vexil::entropy_sets(f);
}
std::uint64_t information(const FValue& f, VarList vars) { return vexil::information(f, vars); }

}  // namespace vexil::py
