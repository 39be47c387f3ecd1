// The Vexil method table, in registration order, with each text signature.
#include "method_table.hpp"

#include "method.hpp"
#include "methods.hpp"

#include "families.hpp"

namespace vexil::py {

namespace {

inline constexpr const char* repr_params[] = {"repr"};
inline constexpr const char* i_params[] = {"i"};
inline constexpr const char* n_params[] = {"n"};
inline constexpr const char* k_params[] = {"k"};
inline constexpr const char* var_params[] = {"var"};
inline constexpr const char* vars_params[] = {"vars"};
inline constexpr const char* raw_params[] = {"raw"};
inline constexpr const char* from_number_params[] = {"number", "num_vars"};

inline constexpr Signature new_sig{"__new__", repr_params, 1};
inline constexpr Signature from_number_sig{"from_number", from_number_params, 2};
inline constexpr Signature eval_sig{"eval", i_params, 1};
inline constexpr Signature majority_sig{"majority", n_params, 1};
inline constexpr Signature parity_sig{"parity", n_params, 1};
inline constexpr Signature coprimes_sig{"coprimes", n_params, 1};
inline constexpr Signature primality_sig{"primality", n_params, 1};
inline constexpr Signature sum_is_prime_sig{"sum_is_prime", n_params, 1};
inline constexpr Signature clique_sig{"clique", n_params, 1};
inline constexpr Signature decode_sig{"decode", raw_params, 1};
inline constexpr Signature table_sig{"table", vars_params, 1};
inline constexpr Signature fragmentation_coefficient_sig{"fragmentation_coefficient", vars_params, 1};
inline constexpr Signature fragmentation_k_sig{"fragmentation_k", k_params, 1};
inline constexpr Signature information_sig{"information", vars_params, 1};
inline constexpr Signature influence_sig{"influence", var_params, 1};

PyMethodDef methods[] = {
    static_method<from_number_sig, &vexil::from_number>("from_number(number, num_vars)\n--\n\n"),
    instance<eval_sig, &eval>("eval($self, i)\n--\n\n"),
    instance_noargs<&repr>("repr", "repr($self)\n--\n\n"),
    instance_noargs<&size>("size", "size($self)\n--\n\n"),
    class_method<majority_sig, &vexil::majority>("majority($cls, n)\n--\n\n"),
    class_method<parity_sig, &vexil::parity>("parity($cls, n)\n--\n\n"),
    class_method<coprimes_sig, &vexil::coprimes>("coprimes($cls, n)\n--\n\n"),
    class_method<primality_sig, &vexil::primality>("primality($cls, n)\n--\n\n"),
    class_method<sum_is_prime_sig, &vexil::sum_is_prime>("sum_is_prime($cls, n)\n--\n\n"),
    class_method<clique_sig, &vexil::clique>("clique($cls, n)\n--\n\n"),
    instance_noargs<&n_vars>("n_vars", "n_vars($self)\n--\n\n"),
    instance_noargs<&entanglement>("entanglement", "entanglement($self)\n--\n\n"),
    instance_noargs<&entropy>("entropy", "entropy($self)\n--\n\n"),
    instance<fragmentation_coefficient_sig, &fragmentation_coefficient>(
        "fragmentation_coefficient($self, vars)\n--\n\n"),
    instance<fragmentation_k_sig, &fragmentation_k>("fragmentation_k($self, k)\n--\n\n"),
    instance_noargs<&fragmentation_spectrum>("fragmentation_spectrum", "fragmentation_spectrum($self)\n--\n\n"),
    instance_noargs<&fragmentation_spectrum>("restriction_signature", "restriction_signature($self)\n--\n\n"),
    instance_noargs<&fragmentation_spectrum>("fragmentation_profile", "fragmentation_profile($self)\n--\n\n"),
    instance_noargs<&fragmentation_peak>("fragmentation_peak", "fragmentation_peak($self)\n--\n\n"),
    instance_noargs<&fragmentation_delta>("fragmentation_delta", "fragmentation_delta($self)\n--\n\n"),
    instance_noargs<&fragmentation_delta2>("fragmentation_delta2", "fragmentation_delta2($self)\n--\n\n"),
    instance_noargs<&equanimity_importance>("equanimity_importance", "equanimity_importance($self)\n--\n\n"),
    instance_noargs<&entanglement_sets>("entanglement_sets", "entanglement_sets($self)\n--\n\n"),
    instance_noargs<&entropy_sets>("entropy_sets", "entropy_sets($self)\n--\n\n"),
    instance<information_sig, &information>("information($self, vars)\n--\n\n"),
    instance_noargs<&encode>("encode", "encode($self)\n--\n\n"),
    class_method<decode_sig, &decode>("decode($cls, raw)\n--\n\n"),
    instance_noargs<&minimal_gates>("minimal_gates", "minimal_gates($self)\n--\n\n"),
    instance_noargs<&frontier_size>("frontier_size", "frontier_size($self)\n--\n\n"),
    instance_noargs<&max_frontier_size>("max_frontier_size", "max_frontier_size($self)\n--\n\n"),
    instance<table_sig, &table>("table($self, vars)\n--\n\n"),
    instance_noargs<&npn_representant>("npn_representant", "npn_representant($self)\n--\n\n"),
    instance_noargs<&max_sensitivity>("max_sensitivity", "max_sensitivity($self)\n--\n\n"),
    instance_noargs<&mean_sensitivity>("mean_sensitivity", "mean_sensitivity($self)\n--\n\n"),
    instance_noargs<&spectral_entropy>("spectral_entropy", "spectral_entropy($self)\n--\n\n"),
    instance_noargs<&degree>("degree", "degree($self)\n--\n\n"),
    instance_noargs<&no_linearity>("no_linearity", "no_linearity($self)\n--\n\n"),
    instance<influence_sig, &influence>("influence($self, var)\n--\n\n"),
    instance_noargs<&total_influence>("total_influence", "total_influence($self)\n--\n\n"),
    instance_noargs<&certificate_complexity>("certificate_complexity", "certificate_complexity($self)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* vexil_methods() { return methods; }

PyObject* vexil_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
    return free_method<new_sig, &construct>(nullptr, args, kwargs);
}

}  // namespace vexil::py
