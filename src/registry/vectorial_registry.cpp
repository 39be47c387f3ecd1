#include "registry/vectorial_registry.hpp"

#include "vectorial/sbox.hpp"

#include <cstddef>

namespace vexil::vectorial {

namespace {

using K = VectorialKind;

constexpr VectorialMeasureInfo table(std::string_view name, K kind, std::string_view cost, std::string_view summary) {
    return {name, kind, false, true, cost, summary};
}
constexpr VectorialMeasureInfo scalar(std::string_view name, K kind, bool progress, std::string_view cost,
                                      std::string_view summary, std::int64_t (*integer)(const Sbox&)) {
    return {name, kind, false, progress, cost, summary, integer};
}
constexpr VectorialMeasureInfo quick(VectorialMeasureInfo info) {
    info.progress = false;
    return info;
}
constexpr VectorialMeasureInfo permutations(VectorialMeasureInfo info) {
    info.permutations_only = true;
    return info;
}

std::int64_t as_integer(std::uint64_t v) { return static_cast<std::int64_t>(v); }

std::int64_t du(const Sbox& f) { return as_integer(differential_uniformity(f)); }
std::int64_t apn(const Sbox& f) { return differential_uniformity(f) == 2 ? 1 : 0; }
std::int64_t lin(const Sbox& f) { return as_integer(linearity(f)); }
std::int64_t nl(const Sbox& f) { return (static_cast<std::int64_t>(f.inputs()) - as_integer(linearity(f))) / 2; }
std::int64_t bu(const Sbox& f) { return as_integer(boomerang_uniformity(f)); }
std::int64_t degree(const Sbox& f) { return algebraic_degree(f); }
std::int64_t lowest_degree(const Sbox& f) { return min_degree(f); }
std::int64_t dbn(const Sbox& f) { return differential_branch_number(f); }
std::int64_t lbn(const Sbox& f) { return linear_branch_number(f); }
std::int64_t permutation(const Sbox& f) { return is_permutation(f) ? 1 : 0; }
std::int64_t balanced(const Sbox& f) { return is_balanced(f) ? 1 : 0; }
std::int64_t fixed(const Sbox& f) {
    std::int64_t count = 0;
    for (std::uint64_t x = 0; x < f.inputs(); ++x) count += f.table[x] == x ? 1 : 0;
    return count;
}

const VectorialMeasureInfo registry[] = {
    scalar("differential_uniformity", K::integer, true, "N^2 / 2", "The largest DDT entry over a != 0.", du),
    scalar("is_apn", K::boolean, true, "N^2 / 2", "Whether the differential uniformity is 2.", apn),
    scalar("linearity", K::integer, true, "n N M", "The largest |W(a, b)| over b != 0.", lin),
    scalar("nonlinearity", K::integer, true, "n N M",
           "2^(n-1) - linearity / 2: the least distance of a component to an affine function.", nl),
    permutations(scalar("boomerang_uniformity", K::integer, true, "N^2 (1 + DDT row squares / N)",
                        "The largest BCT entry over a != 0 and b != 0.", bu)),
    scalar("algebraic_degree", K::integer, false, "n N", "The largest degree of a coordinate (-1 for zero).", degree),
    scalar("min_degree", K::integer, false, "n N",
           "The smallest degree of a nonzero component b.F (-1 when one is zero).", lowest_degree),
    scalar("differential_branch_number", K::integer, true, "N^2 / 2",
           "min wt(a) + wt(b) over a != 0 with DDT[a, b] != 0.", dbn),
    scalar("linear_branch_number", K::integer, true, "n N M", "min wt(a) + wt(b) over b != 0 with W(a, b) != 0.", lbn),
    scalar("is_permutation", K::boolean, false, "N", "Whether F is a bijection (n = m).", permutation),
    scalar("is_balanced", K::boolean, false, "N + M", "Whether every output is taken 2^(n-m) times.", balanced),
    scalar("fixed_point_count", K::integer, false, "N", "The number of x with F(x) = x.", fixed),
    table("differential_spectrum", K::counts, "N^2 / 2", "DDT value -> count over a != 0 and every b."),
    table("walsh_spectrum_counts", K::counts, "n N M", "|W(a, b)| -> count over b != 0 and every a."),
    quick(permutations(table("cycle_type", K::counts, "N", "Cycle length -> number of cycles."))),
    quick(table("fixed_points", K::integers, "N", "The x with F(x) = x, ascending.")),
    table("ddt", K::table, "N^2", "The difference distribution table, 2^n x 2^m."),
    table("walsh_table", K::table, "n N M", "W(a, b) = sum over x of (-1)^(b.F(x) ^ a.x), 2^n x 2^m."),
    table("lat", K::table, "n N M", "The linear approximation table W / 2, 2^n x 2^m."),
    permutations(table("bct", K::table, "N^2 (1 + DDT row squares / N)", "The boomerang connectivity table.")),
};

}  // namespace

std::string_view kind_name(VectorialKind kind) {
    constexpr std::string_view names[] = {"integer", "boolean", "counts", "integers", "table"};
    return names[static_cast<std::size_t>(kind)];
}

std::span<const VectorialMeasureInfo> vectorial_registry() { return registry; }

const VectorialMeasureInfo* find_vectorial_measure(std::string_view name) {
    for (const VectorialMeasureInfo& m : registry) {
        if (m.name == name) return &m;
    }
    return nullptr;
}

}  // namespace vexil::vectorial
