// Special-chain topologies of the circuit-image generator (tools/npn5gen):
// the pruned enumeration against a plain one that tries every chain with its
// inputs in order of first use and finds canonical forms by trying every
// topological order and input relabelling.
#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>
#include <set>
#include <vector>

#include "check.hpp"
#include "tools/npn5gen/topology.hpp"

using namespace npn5gen;

namespace {

using Form = std::vector<std::pair<int, int>>;

Form form_of(const Chain& c) {
    Form f;
    for (int i = 0; i < c.r; ++i) {
        f.emplace_back(c.j[static_cast<std::size_t>(i)], c.k[static_cast<std::size_t>(i)]);
    }
    return f;
}

// Smallest relabelled gate list over all topological orders and input permutations.
Form brute_canonical(const Chain& c) {
    const int r = c.r;
    Form best;
    std::vector<int> order;
    std::vector<bool> placed(static_cast<std::size_t>(r), false);
    std::array<int, 5> perm{0, 1, 2, 3, 4};
    auto consider = [&] {
        std::vector<int> pos(static_cast<std::size_t>(r));
        for (int q = 0; q < r; ++q) {
            pos[static_cast<std::size_t>(order[static_cast<std::size_t>(q)])] = q;
        }
        do {
            Form f;
            for (int g : order) {
                auto label = [&](int x) {
                    return x < 5 ? perm[static_cast<std::size_t>(x)] : 5 + pos[static_cast<std::size_t>(x - 5)];
                };
                const int a = label(c.j[static_cast<std::size_t>(g)]);
                const int b = label(c.k[static_cast<std::size_t>(g)]);
                f.emplace_back(std::min(a, b), std::max(a, b));
            }
            if (best.empty() || f < best) {
                best = f;
            }
        } while (std::next_permutation(perm.begin(), perm.end()));
    };
    auto rec = [&](auto&& self) -> void {
        if (static_cast<int>(order.size()) == r) {
            consider();
            return;
        }
        for (int g = 0; g < r; ++g) {
            if (placed[static_cast<std::size_t>(g)]) {
                continue;
            }
            bool ready = true;
            for (int x : {c.j[static_cast<std::size_t>(g)], c.k[static_cast<std::size_t>(g)]}) {
                ready = ready && (x < 5 || placed[static_cast<std::size_t>(x - 5)]);
            }
            if (!ready) {
                continue;
            }
            placed[static_cast<std::size_t>(g)] = true;
            order.push_back(g);
            self(self);
            order.pop_back();
            placed[static_cast<std::size_t>(g)] = false;
        }
    };
    rec(rec);
    return best;
}

// The defining conditions, checked directly on a whole chain.
bool special_plain(const Chain& c) {
    const int r = c.r;
    std::array<int, kMaxNodes> deg{};
    for (int i = 0; i < r; ++i) {
        ++deg[c.j[static_cast<std::size_t>(i)]];
        ++deg[c.k[static_cast<std::size_t>(i)]];
    }
    for (int x = 0; x < 4 + r; ++x) {
        if (deg[static_cast<std::size_t>(x)] == 0) {
            return false;  // an unused input or gate
        }
    }
    std::array<std::uint32_t, 12> cone{};
    for (int i = 0; i < r; ++i) {
        const int a = c.j[static_cast<std::size_t>(i)];
        const int b = c.k[static_cast<std::size_t>(i)];
        if (b < 5 && (deg[static_cast<std::size_t>(a)] < 2 || deg[static_cast<std::size_t>(b)] < 2)) {
            return false;  // an input read only by one gate on two inputs
        }
        if (b >= 5) {
            const int bj = c.j[static_cast<std::size_t>(b - 5)];
            const int bk = c.k[static_cast<std::size_t>(b - 5)];
            if (a == bj || a == bk) {
                return false;
            }
            if (a >= 5 && c.j[static_cast<std::size_t>(a - 5)] == bj && c.k[static_cast<std::size_t>(a - 5)] == bk) {
                return false;
            }
        }
        std::uint32_t m = 1u << i;
        for (int x : {a, b}) {
            if (x >= 5) {
                m |= cone[static_cast<std::size_t>(x - 5)];
            }
        }
        cone[static_cast<std::size_t>(i)] = m;
    }
    const int ra = c.j[static_cast<std::size_t>(r - 1)];
    const int rb = c.k[static_cast<std::size_t>(r - 1)];
    if (ra < 5 || (cone[static_cast<std::size_t>(ra - 5)] & cone[static_cast<std::size_t>(rb - 5)]) == 0) {
        return false;
    }
    for (int a = 0; a < 5; ++a) {
        for (int b = a + 1; b < 5; ++b) {
            int on_pair = 0;
            for (int i = 0; i < r; ++i) {
                on_pair += c.j[static_cast<std::size_t>(i)] == a && c.k[static_cast<std::size_t>(i)] == b;
            }
            if (on_pair == 2 && deg[static_cast<std::size_t>(a)] == 2 && deg[static_cast<std::size_t>(b)] == 2) {
                return false;  // tame
            }
        }
    }
    return true;
}

std::set<Form> plain_enumeration(int r) {
    std::set<Form> forms;
    Chain c;
    c.r = r;
    auto rec = [&](auto&& self, int i, int used) -> void {
        if (i == r) {
            if (special_plain(c)) {
                forms.insert(brute_canonical(c));
            }
            return;
        }
        for (int a = 0; a < 5 + i; ++a) {
            for (int b = a + 1; b < 5 + i; ++b) {
                // Inputs in order of first use: a chain and its relabelling have one canonical form.
                int next = used;
                bool ok = true;
                for (int x : {a, b}) {
                    if (x < 5 && x >= next) {
                        ok = ok && x == next;
                        ++next;
                    }
                }
                if (!ok) {
                    continue;
                }
                c.j[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(a);
                c.k[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(b);
                self(self, i + 1, next);
            }
        }
    };
    rec(rec, 0, 0);
    return forms;
}

}  // namespace

int main() {
    for (int r : {6, 7}) {
        std::set<Form> fast;
        bool each_canonical = true;
        enumerate_special_chains(r, [&](const Chain& c) {
            const Form f = form_of(c);
            each_canonical = each_canonical && brute_canonical(c) == f && special_plain(c);
            if (!fast.insert(f).second) {
                each_canonical = false;  // a repeat
            }
        });
        const std::set<Form> plain = plain_enumeration(r);
        CHECK(each_canonical, "r=%d: a chain is repeated, not special or not in canonical form", r);
        CHECK(fast == plain, "r=%d: %zu chains enumerated, %zu by the plain search", r, fast.size(), plain.size());
    }
    return native_test::finish("npn5gen_chains");
}
