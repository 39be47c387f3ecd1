// Slow, plain versions of the information measures, written straight from
// their definitions (byte restrictions in a std::map), for the metrics_* test
// programs.
#pragma once

#include "fvalue.hpp"
#include "support.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace reference_test {

inline vexil::FValue random_function(unsigned n, std::mt19937_64& rng, unsigned bias_percent = 50) {
    std::vector<std::uint8_t> entries(std::size_t{1} << n);
    for (auto& e : entries) e = (rng() % 100) < bias_percent ? 1 : 0;
    return vexil::FValue(std::move(entries));
}

// The restrictions of f by `vars` and how often each occurs: every
// assignment i of the sorted list fixes variable S[t] to bit t of i; an
// index of n or more that is set sends the whole restriction to false.
inline std::map<std::string, std::uint64_t> restriction_multiset(const vexil::FValue& f,
                                                                 std::vector<std::uint64_t> vars) {
    std::sort(vars.begin(), vars.end());
    const unsigned n = f.n_vars();
    std::vector<std::uint64_t> free;
    for (std::uint64_t v = 0; v < n; ++v) {
        if (std::find(vars.begin(), vars.end(), v) == vars.end()) free.push_back(v);
    }
    std::map<std::string, std::uint64_t> multiset;
    const std::uint64_t assignments = std::uint64_t{1} << vars.size();
    for (std::uint64_t i = 0; i < assignments; ++i) {
        std::uint64_t base = 0;
        bool outside = false;
        for (std::size_t t = 0; t < vars.size(); ++t) {
            if (((i >> t) & 1) == 0) continue;
            if (vars[t] >= n) {
                outside = true;
            } else {
                base |= std::uint64_t{1} << vars[t];
            }
        }
        std::string restriction(std::size_t{1} << free.size(), '0');
        for (std::uint64_t j = 0; j < restriction.size(); ++j) {
            std::uint64_t index = base;
            for (std::size_t t = 0; t < free.size(); ++t) index |= ((j >> t) & 1) << free[t];
            restriction[j] = !outside && f.entries()[index] != 0 ? '1' : '0';
        }
        ++multiset[restriction];
    }
    return multiset;
}

inline std::uint64_t ref_count(const vexil::FValue& f, const std::vector<std::uint64_t>& vars) {
    return restriction_multiset(f, vars).size();
}

// Terms added from -0.0 in ascending order of the counts.
inline float ref_entropy(const vexil::FValue& f, const std::vector<std::uint64_t>& vars) {
    std::vector<std::uint64_t> counts;
    for (const auto& [restriction, count] : restriction_multiset(f, vars)) counts.push_back(count);
    std::sort(counts.begin(), counts.end());
    const float total = static_cast<float>(std::uint64_t{1} << vars.size());
    float sum = -0.0F;
    for (const std::uint64_t c : counts) {
        const float p = static_cast<float>(c) / total;
        sum += p * std::log2(p);
    }
    return -sum;
}

inline std::vector<std::uint64_t> members(std::uint64_t mask) {
    std::vector<std::uint64_t> list;
    for (unsigned v = 0; v < 64; ++v) {
        if ((mask >> v) & 1) list.push_back(v);
    }
    return list;
}

// All k-subsets of 0..n-1 in lexicographic order of their member lists,
// found by sorting rather than stepping.
inline std::vector<std::vector<std::uint64_t>> ref_subsets(unsigned n, unsigned k) {
    std::vector<std::vector<std::uint64_t>> subsets;
    for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << n); ++mask) {
        if (static_cast<unsigned>(std::popcount(mask)) == k) subsets.push_back(members(mask));
    }
    std::sort(subsets.begin(), subsets.end());
    return subsets;
}

struct RefCut {
    std::vector<std::uint64_t> set1, set2;
};

// Balanced cuts: set1 of size floor(n/2) (holding 0 when n is even), in
// lexicographic order of set1.
inline std::vector<RefCut> ref_cuts(unsigned n) {
    std::vector<RefCut> cuts;
    for (const auto& set1 : ref_subsets(n, n / 2)) {
        if (n % 2 == 0 && (set1.empty() || set1[0] != 0)) continue;
        RefCut cut{set1, {}};
        for (std::uint64_t v = 0; v < n; ++v) {
            if (std::find(set1.begin(), set1.end(), v) == set1.end()) cut.set2.push_back(v);
        }
        cuts.push_back(cut);
    }
    return cuts;
}

inline float ref_fragmentation_k(const vexil::FValue& f, unsigned k) {
    const auto subsets = ref_subsets(f.n_vars(), k);
    float sum = -0.0F;
    for (const auto& s : subsets) sum += ref_entropy(f, s);
    return sum / static_cast<float>(subsets.size());
}

inline std::string text(const std::vector<std::uint64_t>& list) {
    std::string s = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) s.push_back(',');
        s.append(std::to_string(list[i]));
    }
    s.push_back(']');
    return s;
}

}  // namespace reference_test
