#include "registry/registry.hpp"

#include "metrics/anf.hpp"
#include "metrics/autocorrelation.hpp"
#include "metrics/block_sensitivity.hpp"
#include "metrics/certificate.hpp"
#include "metrics/decision_tree.hpp"
#include "metrics/decision_trees.hpp"
#include "metrics/two_level.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/frontier.hpp"
#include "metrics/predicates.hpp"
#include "metrics/sensitivity.hpp"
#include "metrics/spectral.hpp"
#include "metrics/walsh_measures.hpp"
#include "npn5/queries.hpp"
#include "npn5/word.hpp"
#include "registry/measure_input.hpp"
#include "vectorial/graph_ranks.hpp"
#include "vectorial/sbox.hpp"

#include <cstddef>
#include <optional>

namespace vexil {

namespace {

using G = MeasureGroup;
using K = MeasureKind;
using S = MeasureSubject;

constexpr MeasureInfo measure(std::string_view name, G group, K kind, std::string_view cost, std::string_view summary) {
    return {.name = name, .subject = S::function, .group = group, .kind = kind, .cost = cost, .summary = summary};
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

// The scalar measures of one function, each the core function that answers
// it, so that a sweep's values and a single call's are the same bit for bit.
using Input = MeasureInput;

std::int64_t weight(Input& in) { return as_integer(in.weight()); }
std::int64_t is_balanced(Input& in) { return 2 * in.weight() == in.size() ? 1 : 0; }
std::int64_t entanglement(Input& in) { return as_integer(vexil::entanglement(in.fvalue())); }
double entropy(Input& in) { return static_cast<double>(vexil::entropy(in.fvalue())); }
std::int64_t fourier_degree(Input& in) { return vexil::fourier_degree(in.entries()); }
std::int64_t nonlinearity(Input& in) { return as_integer(vexil::nonlinearity(in.entries())); }
std::int64_t max_sensitivity(Input& in) { return in.sensitivity().max; }
std::int64_t min_sensitivity(Input& in) { return in.sensitivity().min; }
double mean_sensitivity(Input& in) { return static_cast<double>(vexil::mean_sensitivity(in.fvalue())); }
double total_influence(Input& in) { return detail::exact_total_influence(in.sensitivity().sum, in.n()); }
double entropy_of_spectrum(Input& in) { return spectral_entropy_bits(in.entries()); }
std::int64_t frontier_size(Input& in) {
    std::optional<FrontierCache> cache;
    return as_integer(vexil::frontier_size(in.fvalue(), cache));
}
std::int64_t max_frontier_size(Input& in) { return as_integer(detail::max_frontier_size(in.n(), in.weight())); }
double equanimity_importance(Input& in) { return static_cast<double>(vexil::equanimity_importance(in.fvalue())); }
std::int64_t certificate_complexity(Input& in) { return vexil::certificate_complexity(in.fvalue()); }
std::int64_t block_sensitivity(Input& in) { return packed_block_sensitivity(in.words(), in.n()); }
std::int64_t decision_tree_depth(Input& in) { return packed_decision_tree_depth(in.words(), in.n()); }
std::int64_t algebraic_degree(Input& in) { return vexil::algebraic_degree(in.entries()); }
std::int64_t correlation_immunity(Input& in) { return vexil::correlation_immunity(in.entries()); }
std::int64_t resiliency_order(Input& in) { return vexil::resiliency_order(in.entries()); }
std::int64_t absolute_indicator(Input& in) { return as_integer(vexil::absolute_indicator(in.entries())); }
std::int64_t minimal_gates(Input& in) {
    return npn5::minimal_gates_query(npn5::word_of_table(in.words()[0], in.n())).gate_count;
}

constexpr MeasureInfo counted(MeasureInfo info, std::int64_t (*f)(Input&)) {
    info.integer = f;
    return info;
}
constexpr MeasureInfo computed(MeasureInfo info, double (*f)(Input&)) {
    info.real = f;
    return info;
}

// Predicates and criteria (metrics/predicates.hpp), each 0/1 for the boolean ones.
std::int64_t is_symmetric(Input& in) { return vexil::is_symmetric(in.words(), in.n()) ? 1 : 0; }
std::int64_t is_monotone(Input& in) { return unate_directions(in.words(), in.n()).falling == 0 ? 1 : 0; }
std::int64_t is_unate(Input& in) {
    const UnateDirections d = unate_directions(in.words(), in.n());
    return (d.rising & d.falling) == 0 ? 1 : 0;
}
std::int64_t is_self_dual(Input& in) { return vexil::is_self_dual(in.words(), in.n()) ? 1 : 0; }
std::int64_t is_affine(Input& in) { return vexil::is_affine(in.words(), in.n()) ? 1 : 0; }
std::int64_t is_linear(Input& in) { return (in.words()[0] & 1U) == 0 && vexil::is_affine(in.words(), in.n()) ? 1 : 0; }
std::int64_t plateaued_amplitude(Input& in) { return as_integer(vexil::plateaued_amplitude(in.entries())); }
std::int64_t is_plateaued(Input& in) { return vexil::plateaued_amplitude(in.entries()) != 0 ? 1 : 0; }
std::int64_t propagation_criterion(Input& in) { return vexil::propagation_criterion(in.entries()); }
std::int64_t strict_avalanche(Input& in) { return vexil::strict_avalanche(in.words(), in.n()) ? 1 : 0; }

// The vectorial measures (vectorial/sbox.hpp), each 0/1 for the boolean ones.
namespace vec = vectorial;

constexpr MeasureInfo vectorial_measure(std::string_view name, G group, K kind, std::string_view cost,
                                        std::string_view summary) {
    return {.name = name, .subject = S::vectorial, .group = group, .kind = kind, .cost = cost, .summary = summary};
}
constexpr MeasureInfo permutations(MeasureInfo info) {
    info.permutations_only = true;
    return info;
}
constexpr MeasureInfo counted_sbox(MeasureInfo info, std::int64_t (*f)(const vec::Sbox&)) {
    info.sbox = f;
    return info;
}

std::int64_t differential_uniformity(const vec::Sbox& f) { return as_integer(vec::differential_uniformity(f)); }
std::int64_t is_apn(const vec::Sbox& f) { return vec::differential_uniformity(f) == 2 ? 1 : 0; }
std::int64_t linearity(const vec::Sbox& f) { return as_integer(vec::linearity(f)); }
std::int64_t sbox_nonlinearity(const vec::Sbox& f) {
    return as_integer(nonlinearity_of(f.inputs(), vec::linearity(f)));
}
std::int64_t boomerang_uniformity(const vec::Sbox& f) { return as_integer(vec::boomerang_uniformity(f)); }
std::int64_t sbox_algebraic_degree(const vec::Sbox& f) { return vec::algebraic_degree(f); }
std::int64_t sbox_min_degree(const vec::Sbox& f) { return vec::min_degree(f); }
std::int64_t differential_branch_number(const vec::Sbox& f) { return vec::differential_branch_number(f); }
std::int64_t linear_branch_number(const vec::Sbox& f) { return vec::linear_branch_number(f); }
std::int64_t is_permutation(const vec::Sbox& f) { return vec::is_permutation(f) ? 1 : 0; }
std::int64_t sbox_is_balanced(const vec::Sbox& f) { return vec::is_balanced(f) ? 1 : 0; }
std::int64_t gamma_rank(const vec::Sbox& f) { return as_integer(vec::gamma_rank(f)); }
std::int64_t delta_rank(const vec::Sbox& f) { return as_integer(vec::delta_rank(f)); }
std::int64_t fixed_point_count(const vec::Sbox& f) {
    std::int64_t count = 0;
    for (std::uint64_t x = 0; x < f.inputs(); ++x) count += f.table[x] == x ? 1 : 0;
    return count;
}

constexpr MeasureInfo registry[] = {
    counted(measure("weight", G::basic, K::integer, "N", "the number of true entries"), weight),
    counted(measure("is_balanced", G::basic, K::boolean, "N", "whether half of the entries are true"), is_balanced),

    counted(reporting(measure("entanglement", G::information, K::integer, "N binom(n, n/2)",
                              "the least sum, over balanced cuts, of the distinct restrictions of both parts")),
            entanglement),
    computed(reporting(measure("entropy", G::information, K::real, "N binom(n, n/2)",
                               "the least sum, over balanced cuts, of the restriction entropies of both parts (bits)")),
             entropy),
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
    computed(measure("equanimity_importance", G::information, K::real, "n N",
                     "the fraction of cube edges along which f changes"),
             equanimity_importance),
    counted(measure("frontier_size", G::information, K::integer, "n N",
                    "the number of cube edges joining a false and a true input"),
            frontier_size),
    counted(
        measure("max_frontier_size", G::information, K::integer, "N", "the bound n min(#false, #true) on the frontier"),
        max_frontier_size),

    measure("walsh_spectrum", G::spectral, K::integers, "n N", "W(u) = sum over x of (-1)^(f(x) + u.x), for every u"),
    measure("fourier_coefficients", G::spectral, K::reals, "n N", "the Fourier coefficients W(u) / N, exact"),
    counted(reporting(measure("fourier_degree", G::spectral, K::integer, "n N", "the largest |u| with W(u) != 0")),
            fourier_degree),
    measure("influence_counts", G::spectral, K::integers, "n N",
            "for each variable, the number of inputs whose flip of it changes f"),
    measure("influences", G::spectral, K::reals, "n N", "for each variable, the probability that its flip changes f"),
    computed(measure("total_influence", G::spectral, K::real, "n N",
                     "the sum of the influences: the mean sensitivity, exact"),
             total_influence),
    computed(measure("spectral_entropy", G::spectral, K::real, "n N",
                     "the entropy (bits) of the squared Fourier coefficients"),
             entropy_of_spectrum),
    reporting(measure("spectral_weights", G::spectral, K::reals, "n N",
                      "for each level k, the sum of the squared Fourier coefficients at |u| = k")),
    with_parameters(reporting(measure("noise_stability", G::spectral, K::real, "n N",
                                      "the correlation of f(x) and f(y) for y a rho-correlated copy of x")),
                    "rho"),

    measure("anf", G::algebraic, K::integers, "n N", "the monomials of the algebraic normal form, as variable masks"),
    counted(measure("algebraic_degree", G::algebraic, K::integer, "n N",
                    "the largest monomial of the algebraic normal form (-1 for zero)"),
            algebraic_degree),
    reporting(measure("algebraic_immunity", G::algebraic, K::integer, "binom(n, n/2)^3",
                      "the least degree of a nonzero annihilator of f or its complement")),
    with_parameters(reporting(measure("annihilator", G::algebraic, K::function, "binom(n, d)^3",
                                      "a nonzero g of degree at most d with f g = 0, if any")),
                    "d"),

    counted(reporting(measure("nonlinearity", G::cryptographic, K::integer, "n N",
                              "the Hamming distance to the nearest affine function")),
            nonlinearity),
    reporting(measure("is_bent", G::cryptographic, K::boolean, "n N", "whether every |W(u)| is 2^(n/2)")),
    counted(reporting(measure("correlation_immunity", G::cryptographic, K::integer, "n N",
                              "the largest m with W(u) = 0 for 1 <= |u| <= m")),
            correlation_immunity),
    counted(reporting(measure("resiliency_order", G::cryptographic, K::integer, "n N",
                              "the correlation immunity of a balanced function (-1 when unbalanced)")),
            resiliency_order),
    up_to(reporting(measure("autocorrelation", G::cryptographic, K::integers, "n N",
                            "r(a) = sum over x of (-1)^(f(x) + f(x + a)), for every a")),
          31),
    counted(up_to(reporting(measure("absolute_indicator", G::cryptographic, K::integer, "n N",
                                    "the largest |r(a)| over a != 0")),
                  31),
            absolute_indicator),
    up_to(reporting(
              measure("sum_of_squares_indicator", G::cryptographic, K::integer, "n N", "the sum of r(a)^2 over all a")),
          31),
    up_to(reporting(measure("linear_structures", G::cryptographic, K::integers, "n N",
                            "the a != 0 with |r(a)| = N: f(x + a) + f(x) constant")),
          31),

    counted(measure("max_sensitivity", G::query, K::integer, "n N",
                    "the largest number of sensitive variables at an input"),
            max_sensitivity),
    counted(
        measure("min_sensitivity", G::query, K::integer, "n N", "the least number of sensitive variables at an input"),
        min_sensitivity),
    computed(measure("mean_sensitivity", G::query, K::real, "n N",
                     "the mean number of sensitive variables over the inputs (single precision)"),
             mean_sensitivity),
    measure("sensitivities", G::query, K::integers, "n N", "the number of sensitive variables at every input"),
    counted(reporting(measure("block_sensitivity", G::query, K::integer, "N 2^n",
                              "the largest number of disjoint sensitive blocks at an input")),
            block_sensitivity),
    counted(reporting(measure("certificate_complexity", G::query, K::integer, "N 2^n",
                              "the largest, over the inputs x, size of a smallest certificate of x")),
            certificate_complexity),
    with_parameters(measure("certificate", G::query, K::integers, "N 2^n",
                            "a smallest set of variables whose values at x force f(x)"),
                    "x"),
    counted(reporting(measure("decision_tree_depth", G::query, K::integer, "3^n",
                              "the depth of a shallowest decision tree computing f")),
            decision_tree_depth),

    counted(up_to(measure("minimal_gates", G::circuits, K::integer, "1",
                          "the least number of two-input gates of a circuit computing f"),
                  5),
            minimal_gates),
    up_to(measure("minimal_circuit", G::circuits, K::circuit, "1", "a circuit of minimal_gates two-input gates"), 5),
    up_to(measure("npn_representant", G::circuits, K::function, "1",
                  "the representative of f's class under input negation, permutation and output negation"),
          5, true),

    // Predicates and criteria of the peers (metrics/predicates.hpp).
    counted(measure("is_symmetric", G::basic, K::boolean, "N", "whether f(x) depends on the weight of x only"),
            is_symmetric),
    counted(measure("is_monotone", G::basic, K::boolean, "n N", "whether f never falls when an input rises"),
            is_monotone),
    counted(measure("is_unate", G::basic, K::boolean, "n N",
                    "whether f is monotone or antitone in each variable separately"),
            is_unate),
    measure("unate_polarities", G::basic, K::integers, "n N",
            "for each variable, +1 rising, -1 falling, 0 ignored, None both ways (binate)"),
    counted(measure("is_self_dual", G::basic, K::boolean, "N", "whether f(x + 1...1) = not f(x) for every x"),
            is_self_dual),
    measure("essential_variables", G::basic, K::integers, "n N", "the variables f depends on, ascending"),
    counted(measure("is_affine", G::algebraic, K::boolean, "N", "whether f is c + a.x for some c and a"), is_affine),
    counted(measure("is_linear", G::algebraic, K::boolean, "N", "whether f is a.x for some a"), is_linear),
    measure("anf_text", G::algebraic, K::text, "n N", "the algebraic normal form as text, e.g. x0*x1 + x2 + 1"),
    counted(
        reporting(measure("is_plateaued", G::spectral, K::boolean, "n N", "whether every non-zero |W(u)| is the same")),
        is_plateaued),
    counted(reporting(measure("plateaued_amplitude", G::spectral, K::integer, "n N",
                              "the common non-zero |W(u)| of a plateaued function, 0 otherwise")),
            plateaued_amplitude),
    measure("walsh_spectrum_counts", G::spectral, K::counts, "n N",
            "how many u have each |W(u)| (or each W(u), signed)"),
    measure("chow_parameters", G::spectral, K::integers, "n N", "W(0) and W(2^v) for every variable v"),
    counted(up_to(reporting(measure("propagation_criterion", G::cryptographic, K::integer, "n N",
                                    "the largest k with r(a) = 0 for 1 <= |a| <= k")),
                  31),
            propagation_criterion),
    counted(measure("strict_avalanche", G::cryptographic, K::boolean, "n N",
                    "whether every variable flips f at half of the inputs (PC(1))"),
            strict_avalanche),
    // Two-level forms and decision trees as objects.
    measure("isop", G::circuits, K::records, "n N",
            "an irredundant sum of products (Minato-Morreale), as (mask, values) cubes"),
    measure("to_sop", G::circuits, K::circuit, "n N", "an irredundant sum of products, as an expression"),
    measure("to_pos", G::circuits, K::circuit, "n N", "an irredundant product of sums, as an expression"),
    up_to(reporting(measure("prime_implicants", G::circuits, K::records, "n 3^n",
                            "every prime implicant, as (mask, values) cubes")),
          prime_implicants_max_vars),
    up_to(measure("minimum_sop", G::circuits, K::records, "n 3^n + an exact set cover",
                  "a sum of prime implicants with the fewest terms, then the fewest literals"),
          10),
    reporting(measure("decision_tree", G::query, K::circuit, "3^n", "a shallowest decision tree, as JSON")),
    counted(up_to(measure("decision_tree_size", G::query, K::integer, "n 3^n",
                          "the least number of leaves of a decision tree computing f"),
                  decision_tree_size_max_vars),
            [](Input& in) -> std::int64_t { return packed_decision_tree_size(in.words(), in.n()); }),
    // Canonical forms (npn5/canonical_forms.cpp), no scalar evaluator.
    up_to(measure("npn_canonical", G::circuits, K::pair, "2^n n!",
                  "the least table of f's NPN class and a transform taking f to it"),
          6),

    // Vectorial functions (src/vectorial/).
    counted_sbox(reporting(vectorial_measure("differential_uniformity", G::cryptographic, K::integer, "N^2 / 2",
                                             "the largest DDT entry over a != 0")),
                 differential_uniformity),
    counted_sbox(reporting(vectorial_measure("is_apn", G::cryptographic, K::boolean, "N^2 / 2",
                                             "whether the differential uniformity is 2")),
                 is_apn),
    counted_sbox(reporting(vectorial_measure("linearity", G::cryptographic, K::integer, "n N M",
                                             "the largest |W(a, b)| over b != 0")),
                 linearity),
    counted_sbox(reporting(vectorial_measure(
                     "nonlinearity", G::cryptographic, K::integer, "n N M",
                     "2^(n-1) - linearity / 2: the least distance of a component to an affine function")),
                 sbox_nonlinearity),
    counted_sbox(permutations(reporting(vectorial_measure("boomerang_uniformity", G::cryptographic, K::integer,
                                                          "N^2 (1 + DDT row squares / N)",
                                                          "the largest BCT entry over a != 0 and b != 0"))),
                 boomerang_uniformity),
    counted_sbox(vectorial_measure("algebraic_degree", G::algebraic, K::integer, "n N",
                                   "the largest degree of a coordinate (-1 for zero)"),
                 sbox_algebraic_degree),
    counted_sbox(vectorial_measure("min_degree", G::algebraic, K::integer, "n N",
                                   "the smallest degree of a nonzero component b.F (-1 when one is zero)"),
                 sbox_min_degree),
    counted_sbox(reporting(vectorial_measure("differential_branch_number", G::cryptographic, K::integer, "N^2 / 2",
                                             "min wt(a) + wt(b) over a != 0 with DDT[a, b] != 0")),
                 differential_branch_number),
    counted_sbox(reporting(vectorial_measure("linear_branch_number", G::cryptographic, K::integer, "n N M",
                                             "min wt(a) + wt(b) over b != 0 with W(a, b) != 0")),
                 linear_branch_number),
    counted_sbox(vectorial_measure("is_permutation", G::basic, K::boolean, "N", "whether F is a bijection (n = m)"),
                 is_permutation),
    counted_sbox(
        vectorial_measure("is_balanced", G::basic, K::boolean, "N + M", "whether every output is taken 2^(n-m) times"),
        sbox_is_balanced),
    counted_sbox(vectorial_measure("fixed_point_count", G::basic, K::integer, "N", "the number of x with F(x) = x"),
                 fixed_point_count),
    // CCZ invariants (vectorial/graph_ranks.hpp): n + m <= 12, so listed up to n = 6.
    counted_sbox(up_to(reporting(vectorial_measure("gamma_rank", G::cryptographic, K::integer, "(NM)^3 / 128",
                                                   "the GF(2) rank of the incidence matrix of the graph's translates")),
                       6),
                 gamma_rank),
    counted_sbox(up_to(reporting(vectorial_measure("delta_rank", G::cryptographic, K::integer, "(NM)^3 / 128",
                                                   "the same rank for the set of the derivatives (a, D_a F(x))")),
                       6),
                 delta_rank),
    reporting(vectorial_measure("differential_spectrum", G::cryptographic, K::counts, "N^2 / 2",
                                "DDT value -> count over a != 0 and every b")),
    reporting(vectorial_measure("walsh_spectrum_counts", G::cryptographic, K::counts, "n N M",
                                "|W(a, b)| -> count over b != 0 and every a")),
    permutations(vectorial_measure("cycle_type", G::basic, K::counts, "N", "cycle length -> number of cycles")),
    vectorial_measure("fixed_points", G::basic, K::integers, "N", "the x with F(x) = x, ascending"),
    reporting(
        vectorial_measure("ddt", G::cryptographic, K::table, "N^2", "the difference distribution table, 2^n x 2^m")),
    reporting(vectorial_measure("walsh_table", G::cryptographic, K::table, "n N M",
                                "W(a, b) = sum over x of (-1)^(b.F(x) ^ a.x), 2^n x 2^m")),
    reporting(vectorial_measure("lat", G::cryptographic, K::table, "n N M",
                                "the linear approximation table W / 2, 2^n x 2^m")),
    permutations(reporting(vectorial_measure("bct", G::cryptographic, K::table, "N^2 (1 + DDT row squares / N)",
                                             "the boomerang connectivity table"))),
    // The table after the DDT, LAT and BCT (vectorial/sbox_extra_tables.hpp).
    reporting(vectorial_measure("dlct", G::cryptographic, K::table, "N^2 + m N M",
                                "the differential-linear connectivity table #{x : b.D_a F(x) = 0} - 2^(n-1)")),
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

const MeasureInfo* find_scalar_measure(MeasureSubject subject, std::string_view name) {
    const MeasureInfo* m = find_measure(subject, name);
    return m != nullptr && m->scalar() ? m : nullptr;
}

const MeasureInfo* find_measure(MeasureSubject subject, std::string_view name) {
    if (subject == S::function) {
        for (const MeasureAlias& a : aliases) {
            if (a.alias == name) name = a.name;
        }
    }
    for (const MeasureInfo& m : registry) {
        if (m.subject == subject && m.name == name) return &m;
    }
    return nullptr;
}

std::string_view subject_name(MeasureSubject subject) { return subject == S::function ? "function" : "vectorial"; }

std::string_view group_name(MeasureGroup group) {
    constexpr std::string_view names[] = {"basic",         "information", "spectral", "algebraic",
                                          "cryptographic", "query",       "circuits"};
    return names[static_cast<std::size_t>(group)];
}

std::string_view kind_name(MeasureKind kind) {
    constexpr std::string_view names[] = {"integer", "real",     "boolean", "integers", "reals",  "pair",
                                          "records", "function", "circuit", "text",     "counts", "table"};
    return names[static_cast<std::size_t>(kind)];
}

}  // namespace vexil
