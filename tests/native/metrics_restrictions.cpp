// Restriction counts and entropies against the byte-map reference, and the
// enumeration and layout machinery under them.
#include "check.hpp"
#include "metrics_reference.hpp"
#include "metrics/restrictions.hpp"

#include <new>
#include <set>

using namespace reference_test;
using namespace native_test;
using vexil::FValue;

namespace {

void worked_values() {
    const FValue var0 = worked("var0");
    CHECK(vexil::restriction_count(var0, std::vector<std::uint64_t>{0}) == 2, "var0 [0]");
    CHECK(vexil::restriction_count(var0, std::vector<std::uint64_t>{1}) == 1, "var0 [1]");
    CHECK(vexil::restriction_entropy(var0, std::vector<std::uint64_t>{0}) == 1.0F, "var0 H[0]");
    CHECK_EQ(vexil::restriction_entropy(var0, std::vector<std::uint64_t>{1}), -0.0F, "var0 H[1]");
    // [0, 0]: three of the four assignments set variable 0.
    const float expected = -(0.25F * std::log2(0.25F) + 0.75F * std::log2(0.75F));
    const float repeated = vexil::restriction_entropy(var0, std::vector<std::uint64_t>{0, 0});
    CHECK_EQ(repeated, expected, "var0 H[0,0]");
    CHECK(std::fabs(repeated - 0.8112781F) < 1e-7F, "var0 H[0,0] = %.9g", static_cast<double>(repeated));
    CHECK(vexil::restriction_count(var0, std::vector<std::uint64_t>{0, 0}) == 2, "repeat keeps the count");
    CHECK(vexil::restriction_count(var0, std::vector<std::uint64_t>{1, 0}) == 2, "all variables");

    // An index of n or more: all-false only adds a class when f is not all false.
    const FValue zero4({0, 0, 0, 0});
    const FValue one4({1, 1, 1, 1});
    for (const std::uint64_t v : {2ULL, 63ULL, 64ULL, 66ULL, 1ULL << 63}) {
        const std::vector<std::uint64_t> vars{v};
        CHECK(vexil::restriction_count(zero4, vars) == 1, "all-false [%llu]", static_cast<unsigned long long>(v));
        CHECK(vexil::restriction_count(one4, vars) == 2, "all-true [%llu]", static_cast<unsigned long long>(v));
        CHECK(vexil::restriction_entropy(one4, vars) == 1.0F, "all-true H[%llu]", static_cast<unsigned long long>(v));
    }
    // Zero variables: the one entry is the only restriction of [].
    const FValue one({1});
    CHECK(vexil::restriction_count(one, std::vector<std::uint64_t>{}) == 1, "n=0 []");
    CHECK_EQ(vexil::restriction_entropy(one, std::vector<std::uint64_t>{}), -0.0F, "n=0 H[]");
    CHECK(vexil::restriction_count(one, std::vector<std::uint64_t>{0}) == 2, "n=0 [0]");
}

void refuses_huge_lists() {
    const FValue f({0, 1, 1, 0});
    for (const std::size_t length : {45U, 63U, 64U, 65U, 200U}) {
        const std::vector<std::uint64_t> vars(length, 0);
        bool count_threw = false, entropy_threw = false;
        try {
            (void)vexil::restriction_count(f, vars);
        } catch (const std::bad_alloc&) {
            count_threw = true;
        }
        try {
            (void)vexil::restriction_entropy(f, vars);
        } catch (const std::bad_alloc&) {
            entropy_threw = true;
        }
        CHECK(count_threw && entropy_threw, "length %zu", length);
    }
}

void random_lists() {
    std::mt19937_64 rng(1234);
    int cases = 0;
    for (unsigned n = 0; n <= 12; ++n) {
        for (int round = 0; round < 40; ++round) {
            const FValue f = random_function(n, rng, round % 5 == 0 ? 90 : 50);
            std::vector<std::uint64_t> vars;
            const unsigned length = static_cast<unsigned>(rng() % (n + 3));
            for (unsigned t = 0; t < length; ++t) {
                const unsigned kind = static_cast<unsigned>(rng() % 10);
                if (kind == 0) {
                    vars.push_back(n + rng() % 3);  // just out of range
                } else if (kind == 1) {
                    vars.push_back(64 + rng() % 100);  // beyond a word
                } else if (n > 0) {
                    vars.push_back(rng() % n);
                }
            }
            std::set<std::uint64_t> distinct(vars.begin(), vars.end());
            unsigned free = n;
            for (const std::uint64_t v : distinct) free -= v < n ? 1 : 0;
            if (vars.size() + free > 20) continue;  // keep the reference quick
            ++cases;
            const std::uint64_t count = vexil::restriction_count(f, vars);
            const float h = vexil::restriction_entropy(f, vars);
            const std::uint64_t expected_count = ref_count(f, vars);
            const float expected_h = ref_entropy(f, vars);
            CHECK_EQ(count, expected_count, "n=%u vars=%s", n, text(vars).c_str());
            CHECK_EQ(h, expected_h, "n=%u vars=%s", n, text(vars).c_str());
            // The order of the list never matters.
            std::vector<std::uint64_t> shuffled = vars;
            std::shuffle(shuffled.begin(), shuffled.end(), rng);
            CHECK_EQ(vexil::restriction_entropy(f, shuffled), h, "shuffled %s", text(vars).c_str());
        }
    }
    CHECK(cases > 300, "only %d random cases", cases);
}

// Wide rows (hashed and compared) with many equal restrictions: a function
// that ignores its high variables.
void structured_rows() {
    for (unsigned n = 8; n <= 13; ++n) {
        std::vector<std::uint8_t> entries(std::size_t{1} << n);
        std::mt19937_64 rng(n);
        const std::uint64_t low_mask = (std::uint64_t{1} << (n - 2)) - 1;
        std::vector<std::uint8_t> low(low_mask + 1);
        for (auto& e : low) e = rng() & 1;
        std::vector<std::uint8_t> gated(entries.size());
        for (std::size_t x = 0; x < entries.size(); ++x) {
            entries[x] = low[x & low_mask] ^ ((x >> (n - 1)) & (x >> (n - 2)) & 1);
            gated[x] = low[x & low_mask] & (x >> (n - 1)) & 1;  // all false while variable n-1 is clear
        }
        using List = std::vector<std::uint64_t>;
        for (const FValue& f : {FValue(std::move(entries)), FValue(std::move(gated))}) {
            for (const List& vars : {List{n - 1u, n - 2u}, List{n - 1u}, List{0, n - 1u}, List{1, 2, n - 2u},
                                     List{n - 1u, n + 3u}, List{n - 1u, 70}, List{0, n - 1u, 64, 64}, List{n}}) {
                CHECK(vexil::restriction_count(f, vars) == ref_count(f, vars), "n=%u %s", n, text(vars).c_str());
                CHECK_EQ(vexil::restriction_entropy(f, vars), ref_entropy(f, vars), "n=%u H%s", n, text(vars).c_str());
            }
        }
    }
}

void subsets_and_ranks() {
    for (unsigned p = 0; p <= 12; ++p) {
        for (unsigned k = 0; k <= p + 1; ++k) {
            const auto expected = ref_subsets(p, k);
            std::vector<std::uint64_t> pool(p);
            for (unsigned v = 0; v < p; ++v) pool[v] = v;
            vexil::SubsetEnumerator subsets(pool, k);
            std::vector<std::uint64_t> subset;
            std::size_t index = 0;
            while (subsets.next(subset)) {
                CHECK(index < expected.size() && subset == expected[index], "p=%u k=%u #%zu", p, k, index);
                std::uint64_t mask = 0;
                for (const std::uint64_t v : subset) mask |= std::uint64_t{1} << v;
                CHECK(vexil::detail::lex_rank(mask, p, k) == index, "lex rank p=%u k=%u #%zu", p, k, index);
                ++index;
            }
            CHECK(index == expected.size(), "p=%u k=%u: %zu subsets", p, k, index);
            CHECK(vexil::binomial(p, k) == expected.size(), "C(%u,%u)", p, k);
            if (k > p) continue;
            // Revolving door: every k-subset once, neighbours one swap apart.
            std::set<std::uint64_t> seen;
            std::uint64_t previous = 0;
            for (std::uint64_t rank = 0; rank < expected.size(); ++rank) {
                const std::uint64_t mask = vexil::detail::revolving_door_unrank(rank, p, k);
                CHECK(std::popcount(mask) == static_cast<int>(k) && mask >> p == 0, "door p=%u k=%u", p, k);
                if (rank > 0)
                    CHECK(std::popcount(mask ^ previous) == 2, "door step p=%u k=%u #%llu", p, k,
                          static_cast<unsigned long long>(rank));
                seen.insert(mask);
                previous = mask;
            }
            CHECK(seen.size() == expected.size(), "door covers p=%u k=%u", p, k);
        }
    }
}

// A slot table after any swaps is the same function with its index bits
// renamed: entry y holds f(x) where bit var_at(s) of x is bit s of y.
void slot_swaps() {
    std::mt19937_64 rng(99);
    for (unsigned n = 0; n <= 10; ++n) {
        const FValue f = random_function(n, rng);
        vexil::detail::SlotTable table;
        table.assign(vexil::detail::pack_table(f), n);
        for (int step = 0; step < 30 && n > 0; ++step) {
            table.swap_slots(static_cast<unsigned>(rng() % n), static_cast<unsigned>(rng() % n));
            bool same = true;
            for (std::uint64_t y = 0; y < f.size(); ++y) {
                std::uint64_t x = 0;
                for (unsigned s = 0; s < n; ++s) x |= ((y >> s) & 1) << table.var_at(s);
                const bool bit = (table.words()[y / 64] >> (y % 64)) & 1;
                same = same && bit == (f.entries()[x] != 0);
            }
            CHECK(same, "n=%u step %d", n, step);
        }
        const std::uint64_t high = n == 0 ? 0 : rng() & ((std::uint64_t{1} << n) - 1);
        table.arrange(high);
        const unsigned low = n - static_cast<unsigned>(std::popcount(high));
        for (unsigned s = 0; s < n; ++s) {
            CHECK(((high >> table.var_at(s)) & 1) == (s >= low ? 1U : 0U), "arrange n=%u slot %u", n, s);
        }
    }
}

}  // namespace

int main() {
    worked_values();
    refuses_huge_lists();
    random_lists();
    structured_rows();
    subsets_and_ranks();
    slot_swaps();
    return finish("metrics_restrictions");
}
