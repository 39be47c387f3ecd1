#include "registry.hpp"

namespace vexil {

namespace {

using G = MeasureGroup;
using K = MeasureKind;

constexpr MeasureInfo measure(std::string_view name, G group, K kind, std::string_view cost, std::string_view summary) {
    return {name, group, kind, "", any_vars, false, false, cost, summary};
}
constexpr MeasureInfo reporting(MeasureInfo info) {
    info.progress = true;
    return info;
}
constexpr MeasureInfo with_parameters(MeasureInfo info, std::string_view parameters) {
    info.parameters = parameters;
    return info;
}
constexpr MeasureInfo up_to(MeasureInfo info, unsigned max_vars, bool exact = false) {
    info.max_vars = max_vars;
    info.exact_vars = exact;
    return info;
}

constexpr MeasureInfo registry[] = {
    measure("weight", G::basic, K::integer, "N", "the number of true entries"),
    measure("is_balanced", G::basic, K::boolean, "N", "whether half of the entries are true"),

    reporting(measure("entanglement", G::information, K::integer, "N binom(n, n/2)",
                      "the least sum, over balanced cuts, of the distinct restrictions of both parts")),
    reporting(measure("entropy", G::information, K::real, "N binom(n, n/2)",
                      "the least sum, over balanced cuts, of the restriction entropies of both parts (bits)")),
    reporting(measure("entanglement_sets", G::information, K::records, "N binom(n, n/2)",
                      "every balanced cut with its entanglement")),
    reporting(
        measure("entropy_sets", G::information, K::records, "N binom(n, n/2)", "every balanced cut with its entropy")),
    with_parameters(measure("information", G::information, K::integer, "N",
                            "the number of distinct restrictions when the variables vars are fixed"),
                    "vars"),
    with_parameters(measure("fragmentation_coefficient", G::information, K::real, "N",
                            "the entropy (bits) of the restrictions when the variables vars are fixed"),
                    "vars"),
    with_parameters(reporting(measure("fragmentation_k", G::information, K::real, "N binom(n, k)",
                                      "the mean restriction entropy over all k-variable subsets")),
                    "k"),
    reporting(measure("fragmentation_spectrum", G::information, K::reals, "N 2^n", "fragmentation_k(k) for k = 0..n")),
    reporting(measure("fragmentation_peak", G::information, K::pair, "N 2^n",
                      "(k, value) of the first largest entry of the fragmentation spectrum")),
    reporting(measure("fragmentation_delta", G::information, K::reals, "N 2^n",
                      "the first differences of the fragmentation spectrum")),
    reporting(measure("fragmentation_delta2", G::information, K::reals, "N 2^n",
                      "the second differences of the fragmentation spectrum")),
    measure("equanimity_importance", G::information, K::real, "n N",
            "the fraction of cube edges along which f changes"),
    measure("frontier_size", G::information, K::integer, "n N",
            "the number of cube edges joining a false and a true input"),
    measure("max_frontier_size", G::information, K::integer, "N", "the bound n min(#false, #true) on the frontier"),

    measure("walsh_spectrum", G::spectral, K::integers, "n N", "W(u) = sum over x of (-1)^(f(x) + u.x), for every u"),
    measure("fourier_coefficients", G::spectral, K::reals, "n N", "the Fourier coefficients W(u) / N, exact"),
    reporting(measure("fourier_degree", G::spectral, K::integer, "n N", "the largest |u| with W(u) != 0")),
    measure("influence_counts", G::spectral, K::integers, "n N",
            "for each variable, the number of inputs whose flip of it changes f"),
    measure("influences", G::spectral, K::reals, "n N", "for each variable, the probability that its flip changes f"),
    measure("total_influence", G::spectral, K::real, "n N", "the sum of the influences: the mean sensitivity, exact"),
    measure("spectral_entropy", G::spectral, K::real, "n N", "the entropy (bits) of the squared Fourier coefficients"),
    reporting(measure("spectral_weights", G::spectral, K::reals, "n N",
                      "for each level k, the sum of the squared Fourier coefficients at |u| = k")),
    with_parameters(reporting(measure("noise_stability", G::spectral, K::real, "n N",
                                      "the correlation of f(x) and f(y) for y a rho-correlated copy of x")),
                    "rho"),

    measure("anf", G::algebraic, K::integers, "n N", "the monomials of the algebraic normal form, as variable masks"),
    measure("algebraic_degree", G::algebraic, K::integer, "n N",
            "the largest monomial of the algebraic normal form (-1 for zero)"),
    reporting(measure("algebraic_immunity", G::algebraic, K::integer, "binom(n, n/2)^3",
                      "the least degree of a nonzero annihilator of f or its complement")),
    with_parameters(reporting(measure("annihilator", G::algebraic, K::function, "binom(n, d)^3",
                                      "a nonzero g of degree at most d with f g = 0, if any")),
                    "d"),

    reporting(measure("nonlinearity", G::cryptographic, K::integer, "n N",
                      "the Hamming distance to the nearest affine function")),
    reporting(measure("is_bent", G::cryptographic, K::boolean, "n N", "whether every |W(u)| is 2^(n/2)")),
    reporting(measure("correlation_immunity", G::cryptographic, K::integer, "n N",
                      "the largest m with W(u) = 0 for 1 <= |u| <= m")),
    reporting(measure("resiliency_order", G::cryptographic, K::integer, "n N",
                      "the correlation immunity of a balanced function (-1 when unbalanced)")),
    up_to(reporting(measure("autocorrelation", G::cryptographic, K::integers, "n N",
                            "r(a) = sum over x of (-1)^(f(x) + f(x + a)), for every a")),
          31),
    up_to(
        reporting(measure("absolute_indicator", G::cryptographic, K::integer, "n N", "the largest |r(a)| over a != 0")),
        31),
    up_to(reporting(
              measure("sum_of_squares_indicator", G::cryptographic, K::integer, "n N", "the sum of r(a)^2 over all a")),
          31),
    up_to(reporting(measure("linear_structures", G::cryptographic, K::integers, "n N",
                            "the a != 0 with |r(a)| = N: f(x + a) + f(x) constant")),
          31),

    measure("max_sensitivity", G::query, K::integer, "n N", "the largest number of sensitive variables at an input"),
    measure("min_sensitivity", G::query, K::integer, "n N", "the least number of sensitive variables at an input"),
    measure("mean_sensitivity", G::query, K::real, "n N",
            "the mean number of sensitive variables over the inputs (single precision)"),
    measure("sensitivities", G::query, K::integers, "n N", "the number of sensitive variables at every input"),
    reporting(measure("block_sensitivity", G::query, K::integer, "N 2^n",
                      "the largest number of disjoint sensitive blocks at an input")),
    reporting(measure("certificate_complexity", G::query, K::integer, "N 2^n",
                      "the largest, over the inputs x, size of a smallest certificate of x")),
    with_parameters(measure("certificate", G::query, K::integers, "N 2^n",
                            "a smallest set of variables whose values at x force f(x)"),
                    "x"),
    reporting(measure("decision_tree_depth", G::query, K::integer, "3^n",
                      "the depth of a shallowest decision tree computing f")),

    up_to(measure("minimal_gates", G::circuits, K::integer, "1",
                  "the least number of two-input gates of a circuit computing f"),
          5),
    up_to(measure("minimal_circuit", G::circuits, K::circuit, "1", "a circuit of minimal_gates two-input gates"), 5),
    up_to(measure("npn_representant", G::circuits, K::function, "1",
                  "the representative of f's class under input negation, permutation and output negation"),
          5, true),
};

constexpr MeasureAlias aliases[] = {
    {"restriction_signature", "fragmentation_spectrum"},
    {"fragmentation_profile", "fragmentation_spectrum"},
    {"degree", "fourier_degree"},
    {"no_linearity", "nonlinearity"},
    {"sensitivity", "max_sensitivity"},
    {"average_sensitivity", "total_influence"},
};

}  // namespace

std::span<const MeasureInfo> measure_registry() { return registry; }

std::span<const MeasureAlias> measure_aliases() { return aliases; }

const MeasureInfo* find_measure(std::string_view name) {
    for (const MeasureAlias& a : aliases) {
        if (a.alias == name) name = a.name;
    }
    for (const MeasureInfo& m : registry) {
        if (m.name == name) return &m;
    }
    return nullptr;
}

std::string_view group_name(MeasureGroup group) {
    constexpr std::string_view names[] = {"basic",         "information", "spectral", "algebraic",
                                          "cryptographic", "query",       "circuits"};
    return names[static_cast<std::size_t>(group)];
}

std::string_view kind_name(MeasureKind kind) {
    constexpr std::string_view names[] = {"integer", "real",    "boolean",  "integers", "reals",
                                          "pair",    "records", "function", "circuit"};
    return names[static_cast<std::size_t>(kind)];
}

}  // namespace vexil
