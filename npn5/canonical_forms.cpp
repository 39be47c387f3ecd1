// At five variables the database's canonical word C is the least database
// word (entry k at bit 31 - k) of the class. The database word of g is the
// table word of g with every input negated, which is in the class too, so C
// is also the least table word: the same representative as the walk's. Its
// transform is carried over to the table's convention and checked.
#include "npn5/canonical_forms.hpp"

#include "npn5/canonise.hpp"
#include "npn5/database.hpp"
#include "panic.hpp"

#include <bit>

namespace vexil::npn5 {

namespace {

constexpr unsigned five = 5;

// Table variable v is the database's input x(5 - v).
NpnForm five_input(std::uint64_t table) {
    const Word a = word_of_table(table, five);
    const bool top = !is_normal(a);
    NpnTransform t;
    const Word c = canonise(top ? ~a : a, t, gate_database().canon_tables());
    // f(x) = c(z) ^ t0 with z_k = x_|t_k| ^ [t_k < 0] (database inputs), and
    // r(x) = c(~x) as tables: r(x) = f(w) ^ t0 with w_|t_k| = ~x_k ^ [t_k < 0].
    const auto image = [&t](unsigned x) {
        unsigned y = 0;
        for (unsigned k = 1; k <= five; ++k) {
            const int e = t[k];
            const unsigned from = static_cast<unsigned>(e < 0 ? -e : e);
            const unsigned bit = ((x >> (five - k)) & 1u) ^ 1u ^ (e < 0 ? 1u : 0u);
            y |= bit << (five - from);
        }
        return y;
    };
    NpnForm form;
    form.word = c;
    form.output = ((t[0] & 1) != 0) != top;
    const unsigned base = image(0);
    form.mask = 0;
    for (unsigned i = 0; i < five; ++i) {
        const unsigned moved = image(1u << i) ^ base;
        form.perm[i] = static_cast<std::uint8_t>(std::countr_zero(moved));
        form.mask |= ((base >> form.perm[i]) & 1u) << i;
    }
    if (apply_npn_transform(table, five, form) != c) panic("npn_canonical: the five-input transform does not agree");
    return form;
}

}  // namespace

NpnForm npn_canonical(std::uint64_t word, unsigned n) {
    if (n == five) return five_input(word & 0xFFFFFFFFu);
    return npn_canonical_walk(word, n);
}

}  // namespace vexil::npn5
