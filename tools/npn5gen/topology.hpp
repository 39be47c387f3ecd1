// Chain topologies for the special-chain search: which gate reads which nodes,
// without operators, one per isomorphism class of the graph.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace npn5gen {

// Gate i reads nodes j[i] < k[i]; nodes 0-4 are the inputs, 5 + i is gate i.
struct Chain {
    int r = 0;
    std::array<std::uint8_t, 12> j{}, k{};
};

inline constexpr int kMaxNodes = 5 + 12;  // inputs and gates of the longest chain

namespace detail {

// Topologies are built gate by gate with the cheap necessary conditions of the
// canonical form applied on the way (first gate on inputs 0 and 1, inputs in
// order of first use, independent neighbours in increasing order, no wasted
// step, enough gates left to use every node); the rest is checked on whole chains.
class Enumerator {
public:
    Enumerator(int r, const std::function<void(const Chain&)>& visit)
        : r_(r), root_(static_cast<std::size_t>(r > 0 ? r - 1 : 0)), visit_(visit) {
        c_.r = r;
    }

    void run() { place(0); }

private:
    void place(int i) {
        if (i == r_) {
            leaf();
            return;
        }
        const int nodes = 5 + i;
        int used_inputs = 0;
        while (used_inputs < 5 && deg_[static_cast<std::size_t>(used_inputs)] != 0) {
            ++used_inputs;
        }
        for (int j = 0; j < nodes; ++j) {
            for (int k = j + 1; k < nodes; ++k) {
                if (i == 0 && (j != 0 || k != 1)) {
                    continue;
                }
                // Inputs appear in order of first use.
                if (j < 5 && deg_[static_cast<std::size_t>(j)] == 0 && j != used_inputs) {
                    continue;
                }
                if (k < 5 && deg_[static_cast<std::size_t>(k)] == 0 &&
                    k != (j < 5 && deg_[static_cast<std::size_t>(j)] == 0 ? used_inputs + 1 : used_inputs)) {
                    continue;
                }
                // A gate that does not read its predecessor could trade places with it.
                if (i > 0 && k < nodes - 1) {
                    const int pj = c_.j[static_cast<std::size_t>(i - 1)];
                    const int pk = c_.k[static_cast<std::size_t>(i - 1)];
                    if (j < pj || (j == pj && k < pk)) {
                        continue;
                    }
                }
                if (wasteful(j, k)) {
                    continue;
                }
                c_.j[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(j);
                c_.k[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k);
                ++deg_[static_cast<std::size_t>(j)];
                ++deg_[static_cast<std::size_t>(k)];
                const bool on_inputs = k < 5;
                if (on_inputs) {
                    ++pair_uses_[static_cast<std::size_t>(j)];
                    ++pair_uses_[static_cast<std::size_t>(k)];
                }
                if (needed(nodes + 1) <= r_ - i) {
                    place(i + 1);
                }
                if (on_inputs) {
                    --pair_uses_[static_cast<std::size_t>(j)];
                    --pair_uses_[static_cast<std::size_t>(k)];
                }
                --deg_[static_cast<std::size_t>(j)];
                --deg_[static_cast<std::size_t>(k)];
            }
        }
    }

    // A gate on node j and on a gate made from j (or two gates made from one
    // pair) depends on two nodes only and could be one step from them.
    bool wasteful(int j, int k) const {
        if (k < 5) {
            return false;
        }
        const int kj = c_.j[static_cast<std::size_t>(k - 5)];
        const int kk = c_.k[static_cast<std::size_t>(k - 5)];
        if (j == kj || j == kk) {
            return true;
        }
        return j >= 5 && c_.j[static_cast<std::size_t>(j - 5)] == kj && c_.k[static_cast<std::size_t>(j - 5)] == kk;
    }

    // Nodes still waiting for a use: unused ones, and inputs whose one use is a
    // gate on two inputs (such an input must be used elsewhere too, or the chain
    // is a four-input chain extended by one gate).
    int needed(int nodes) const {
        int n = 0;
        for (int x = 0; x < nodes; ++x) {
            const int d = deg_[static_cast<std::size_t>(x)];
            if (d == 0 || (x < 5 && d == 1 && pair_uses_[static_cast<std::size_t>(x)] == 1)) {
                ++n;
            }
        }
        return n;
    }

    void leaf() {
        if (needed(5 + r_) != 1) {
            return;
        }
        // The root's operands must share a gate.
        std::array<std::uint32_t, 12> cone{};
        for (int i = 0; i < r_; ++i) {
            std::uint32_t m = 1u << i;
            for (int x : {c_.j[static_cast<std::size_t>(i)], c_.k[static_cast<std::size_t>(i)]}) {
                if (x >= 5) {
                    m |= cone[static_cast<std::size_t>(x - 5)];
                }
            }
            cone[static_cast<std::size_t>(i)] = m;
        }
        const int rj = c_.j[root_];
        const int rk = c_.k[root_];
        if (rj < 5 || rk < 5) {
            return;
        }
        if ((cone[static_cast<std::size_t>(rj - 5)] & cone[static_cast<std::size_t>(rk - 5)]) == 0) {
            return;
        }
        if (tame() || !canonical()) {
            return;
        }
        visit_(c_);
    }

    bool tame() const {
        for (int a = 0; a < 5; ++a) {
            for (int b = a + 1; b < 5; ++b) {
                if (deg_[static_cast<std::size_t>(a)] != 2 || deg_[static_cast<std::size_t>(b)] != 2) {
                    continue;
                }
                int gates = 0;
                for (int i = 0; i < r_; ++i) {
                    gates += c_.j[static_cast<std::size_t>(i)] == a && c_.k[static_cast<std::size_t>(i)] == b;
                }
                if (gates == 2) {
                    return true;
                }
            }
        }
        return false;
    }

    // The chain is the smallest (gate pairs compared in order) over all
    // topological orders of its gates and all relabellings of its inputs.
    // Searches for a smaller one; new inputs always take the smallest free
    // label, which is never worse.
    bool canonical() {
        label_.fill(-1);
        placed_ = 0;
        return !smaller_from(0, 0);
    }

    bool smaller_from(int q, int next_input) {
        if (q == r_) {
            return false;
        }
        const int tj = c_.j[static_cast<std::size_t>(q)];
        const int tk = c_.k[static_cast<std::size_t>(q)];
        for (int g = 0; g < r_; ++g) {
            if ((placed_ >> g) & 1u) {
                continue;
            }
            const int a = c_.j[static_cast<std::size_t>(g)];
            const int b = c_.k[static_cast<std::size_t>(g)];
            if ((a >= 5 && !((placed_ >> (a - 5)) & 1u)) || (b >= 5 && !((placed_ >> (b - 5)) & 1u))) {
                continue;
            }
            const bool na = a < 5 && label_[static_cast<std::size_t>(a)] < 0;
            const bool nb = b < 5 && label_[static_cast<std::size_t>(b)] < 0;
            const int orders = na && nb ? 2 : 1;
            for (int o = 0; o < orders; ++o) {
                int la;
                int lb;
                int next = next_input;
                if (na && nb) {
                    la = o == 0 ? next : next + 1;
                    lb = o == 0 ? next + 1 : next;
                    next += 2;
                } else {
                    la = na ? next++ : label_[static_cast<std::size_t>(a)];
                    lb = nb ? next++ : label_[static_cast<std::size_t>(b)];
                }
                const int lo = la < lb ? la : lb;
                const int hi = la < lb ? lb : la;
                if (lo < tj || (lo == tj && hi < tk)) {
                    return true;
                }
                if (lo != tj || hi != tk) {
                    continue;
                }
                if (na) {
                    label_[static_cast<std::size_t>(a)] = static_cast<std::int8_t>(la);
                }
                if (nb) {
                    label_[static_cast<std::size_t>(b)] = static_cast<std::int8_t>(lb);
                }
                label_[static_cast<std::size_t>(5 + g)] = static_cast<std::int8_t>(5 + q);
                placed_ |= 1u << g;
                const bool found = smaller_from(q + 1, next);
                placed_ &= ~(1u << g);
                label_[static_cast<std::size_t>(5 + g)] = -1;
                if (na) {
                    label_[static_cast<std::size_t>(a)] = -1;
                }
                if (nb) {
                    label_[static_cast<std::size_t>(b)] = -1;
                }
                if (found) {
                    return true;
                }
            }
        }
        return false;
    }

    int r_;
    std::size_t root_;
    const std::function<void(const Chain&)>& visit_;
    Chain c_;
    std::array<int, kMaxNodes> deg_{};
    std::array<int, 5> pair_uses_{};
    std::array<std::int8_t, kMaxNodes> label_{};
    std::uint32_t placed_ = 0;
};

}  // namespace detail

// Calls visit for each special chain with r gates (5 <= r <= 12), one per
// isomorphism class of its graph, in a fixed order. A special chain uses all
// five inputs and every gate, wastes no step (no gate reads a node and a gate
// made from that node, or two gates made from the same pair), is no four-input
// chain extended by a gate on an input used nowhere else, is not tame (two
// gates on the same input pair whose inputs are used nowhere else, which the
// second-order step covers), and the two operands of its root share a gate.
// The representative is the smallest chain (gate pairs compared in order) over
// all topological orders and input relabellings.
inline void enumerate_special_chains(int r, const std::function<void(const Chain&)>& visit) {
    if (r < 5 || r > 12) {
        return;
    }
    detail::Enumerator(r, visit).run();
}

}  // namespace npn5gen
