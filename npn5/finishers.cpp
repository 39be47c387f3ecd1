#include "finishers.hpp"

#include "panic.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

namespace vexil::npn5 {

namespace {

// The input operations that generate the transforms of x2 ... x5.
constexpr std::array<unsigned, 10> generators = {1, 2, 3, 4, 5, 6, 8, 10, 12, 14};

// Entries 2-5 of a packed transform as a dense index.
constexpr std::uint32_t state_index(PackedTransform p) { return (p >> 8) & 0xFFFFu; }

// Breadth-first search over the 384 transforms; parent links give shortest op
// sequences between any two of them.
class TransformGraph {
public:
    TransformGraph() : parent_(1u << 16) {}

    // All transforms reachable from the identity, with the image of b under each.
    std::vector<std::pair<PackedTransform, Word4>> images(Word4 b) {
        std::vector<std::pair<PackedTransform, Word4>> out;
        reset();
        out.emplace_back(packed_identity, b);
        mark(packed_identity, packed_identity, 0);
        for (std::size_t i = 0; i < out.size(); ++i) {
            const auto [p, w] = out[i];
            for (unsigned op : generators) {
                const PackedTransform q = apply_op_transform(op, p);
                if (marked(q)) continue;
                mark(q, p, op);
                out.emplace_back(q, apply_op16(op, w));
            }
        }
        return out;
    }

    // A shortest op sequence from `from` to the nearest transform whose index
    // is set in `targets`; that target is cleared.
    std::pair<PackedTransform, std::vector<unsigned>> nearest(PackedTransform from, std::vector<bool>& targets) {
        reset();
        std::vector<PackedTransform> queue{from};
        mark(from, from, 0);
        for (std::size_t i = 0; i < queue.size(); ++i) {
            const PackedTransform p = queue[i];
            if (p != from && targets[state_index(p)]) {
                targets[state_index(p)] = false;
                std::vector<unsigned> path;
                for (PackedTransform q = p; q != from; q = parent_[state_index(q)].from) {
                    path.push_back(parent_[state_index(q)].op);
                }
                std::reverse(path.begin(), path.end());
                return {p, path};
            }
            for (unsigned op : generators) {
                const PackedTransform q = apply_op_transform(op, p);
                if (marked(q)) continue;
                mark(q, p, op);
                queue.push_back(q);
            }
        }
        panic("stabiliser element out of reach");
    }

private:
    struct Parent {
        PackedTransform from = 0;
        unsigned op = no_op;
    };
    static constexpr unsigned no_op = 0xFFFFFFFFu;

    void reset() {
        for (std::uint32_t index : touched_) parent_[index].op = no_op;
        touched_.clear();
    }
    bool marked(PackedTransform p) const { return parent_[state_index(p)].op != no_op; }
    void mark(PackedTransform p, PackedTransform from, unsigned op) {
        parent_[state_index(p)] = Parent{from, op};
        touched_.push_back(state_index(p));
    }

    std::vector<Parent> parent_;
    std::vector<std::uint32_t> touched_;
};

}  // namespace

void Finishers::build(std::span<const Word4, normal_words4> canon4) {
    std::vector<Word4> classes(canon4.begin(), canon4.end());
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());

    selector_.assign(selector_modulus, 0);
    std::vector<bool> slot_used(selector_modulus, false);
    for (Word4 b : classes) {
        if (slot_used[b % selector_modulus]) panic("four-input classes collide in the routine selector");
        slot_used[b % selector_modulus] = true;
    }

    routines_.clear();
    steps_.clear();
    TransformGraph graph;
    // Stabilisers already served, as their sorted (transform, flip) lists.
    std::map<std::vector<std::pair<PackedTransform, Word4>>, std::uint8_t> known;
    for (Word4 b : classes) {
        std::vector<std::pair<PackedTransform, Word4>> stabiliser;
        const auto complement = static_cast<Word4>(~b);
        for (const auto& [p, w] : graph.images(b)) {
            if (p == packed_identity) continue;
            if (w == b) stabiliser.emplace_back(p, Word4{0});
            if (w == complement) stabiliser.emplace_back(p, Word4{0xFFFF});
        }
        std::sort(stabiliser.begin(), stabiliser.end());
        auto [it, fresh] = known.try_emplace(stabiliser, static_cast<std::uint8_t>(routines_.size()));
        selector_[b % selector_modulus] = it->second;
        if (!fresh) continue;
        if (routines_.size() > 255) panic("too many finishing routines");

        FinishRoutine routine{static_cast<std::uint32_t>(steps_.size()), 0,
                              static_cast<std::uint32_t>(stabiliser.size())};
        std::vector<bool> targets(1u << 16, false);
        std::map<PackedTransform, Word4> flips;
        for (const auto& [p, flip] : stabiliser) {
            targets[state_index(p)] = true;
            flips[p] = flip;
        }
        PackedTransform at = packed_identity;
        for (std::size_t e = 0; e < stabiliser.size(); ++e) {
            auto [next, path] = graph.nearest(at, targets);
            for (std::size_t i = 0; i < path.size(); ++i) {
                const ElementaryOp& d = elementary_ops[path[i]];
                const bool last = i + 1 == path.size();
                steps_.push_back(ChainStep{static_cast<Word4>(d.mask), last ? flips[next] : Word4{0},
                                           last ? Word4{0} : Word4{0xFFFF}, static_cast<std::uint16_t>(d.shift), next});
            }
            at = next;
        }
        routine.step_count = static_cast<std::uint32_t>(steps_.size()) - routine.first_step;
        routines_.push_back(routine);
    }
}

}  // namespace vexil::npn5
