// Four-input canonisation, the swap walk, the step table and the finishing
// routines, each against a direct enumeration of the 384 transforms.
#include "npn5/canon_tables.hpp"
#include "npn5/four_input.hpp"
#include "npn5/ops.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

using namespace vexil::npn5;

namespace {

int failures = 0;

void check(bool ok, const char* what, unsigned detail = 0) {
    if (!ok && ++failures <= 20) std::fprintf(stderr, "FAIL %s (%u)\n", what, detail);
}

// The 384 input transforms of x2 ... x5 as row maps: row r of the image is row
// map[r] of the original (rows numbered with x2 as the most significant bit).
std::vector<std::array<unsigned, 16>> row_maps() {
    std::vector<std::array<unsigned, 16>> maps;
    std::array<unsigned, 4> perm = {0, 1, 2, 3};
    do {
        for (unsigned mask = 0; mask < 16; ++mask) {
            std::array<unsigned, 16> map{};
            for (unsigned r = 0; r < 16; ++r) {
                unsigned src = 0;
                for (unsigned k = 0; k < 4; ++k) src |= ((r >> (3 - perm[k])) & 1u) << (3 - k);
                map[r] = src ^ mask;
            }
            maps.push_back(map);
        }
    } while (std::next_permutation(perm.begin(), perm.end()));
    return maps;
}

Word4 apply_rows(Word4 t, const std::array<unsigned, 16>& map) {
    unsigned out = 0;
    for (unsigned r = 0; r < 16; ++r) out |= ((t >> (15 - map[r])) & 1u) << (15 - r);
    return static_cast<Word4>(out);
}

// The swap walk's 384 states are 384 different input transforms: the images
// of the four input words under the walk's codes (applied without
// normalisation) are never repeated.
void check_walk() {
    std::array<Word4, 4> inputs = {0x00FF, 0x0F0F, 0x3333, 0x5555};
    std::set<std::array<Word4, 4>> seen;
    for (std::int8_t code : swap_walk) {
        if (code >= 0) {
            const unsigned op = code == 0 ? 8u : static_cast<unsigned>(code);
            for (Word4& x : inputs) x = apply_op16(op, x);
        }
        seen.insert(inputs);
    }
    check(seen.size() == 384, "swap walk visits 384 transforms", static_cast<unsigned>(seen.size()));
}

}  // namespace

int main() {
    const auto maps = row_maps();
    check_walk();

    // canonise4 is the minimum over every transform and both polarities.
    std::set<Word4> classes;
    std::array<Word4, normal_words4> direct{};
    for (unsigned t = 0; t < normal_words4; ++t) {
        Word4 best = 0xFFFF;
        for (const auto& map : maps) {
            const Word4 g = apply_rows(static_cast<Word4>(t), map);
            best = std::min({best, g, static_cast<Word4>(~g)});
        }
        direct[t] = best;
        const Word4 c = canonise4(static_cast<Word4>(t));
        check(c == best, "canonise4 is the minimum of the class", t);
        classes.insert(c);
    }
    check(classes.size() == 222, "222 four-input classes", static_cast<unsigned>(classes.size()));
    check(*classes.rbegin() == 0x6996, "largest canonical four-input word", *classes.rbegin());

    const auto tables = CanonTables::build();
    check(std::equal(direct.begin(), direct.end(), tables->canon4.begin()), "canonical table");

    // Following the step table reaches the canonical form in at most 7 steps
    // with bit 31 clear all the way; only canonical words have step 0.
    unsigned longest = 0;
    for (unsigned t = 0; t < normal_words4; ++t) {
        Word h = static_cast<Word>(t) << 16;
        unsigned steps = 0;
        while (tables->step[h >> 16] != 0 && steps <= 7) {
            h = apply_op(tables->step[h >> 16], h);
            check(is_normal(h), "step keeps bit 31 clear", t);
            ++steps;
        }
        check((h >> 16) == direct[t], "steps reach the canonical form", t);
        // The packed walk repeats the same operations on the whole word.
        Word packed = (static_cast<Word>(t) << 16) | (t * 0x9E37u & 0xFFFFu);
        Word stepped = packed;
        for (std::uint32_t ops = tables->walk[t]; ops != 0; ops >>= 4) packed = apply_op(ops & 0xFu, packed);
        while (tables->step[stepped >> 16] != 0) stepped = apply_op(tables->step[stepped >> 16], stepped);
        check(packed == stepped, "packed walk follows the step table", t);
        check((tables->step[t] == 0) == (direct[t] == t), "step 0 exactly at canonical words", t);
        longest = std::max(longest, steps);
    }
    check(longest <= 7, "at most 7 steps", longest);

    // Each class's routine visits its stabiliser: as many states as the
    // stabiliser has elements besides the identity, each a different image of
    // a word that only the identity fixes, and each mapping B to B after the
    // routine's normalisation. The class sizes 384 / |stabiliser| add up to
    // all 32,768 normal words.
    const Word4 generic = 0x1B3E;
    std::size_t generic_fixed = 0;
    for (const auto& map : maps) {
        const Word4 image = apply_rows(generic, map);
        generic_fixed += image == generic || image == static_cast<Word4>(~generic);
    }
    check(generic_fixed == 1, "probe word has a trivial stabiliser");
    std::size_t covered = 0;
    std::map<std::size_t, std::size_t> classes_by_size;
    for (Word4 b : classes) {
        std::size_t size = 0;
        for (const auto& map : maps) {
            const Word4 g = apply_rows(b, map);
            size += g == b || g == static_cast<Word4>(~b);
        }
        covered += 384 / size;
        ++classes_by_size[size];
        const FinishRoutine& r = tables->finishers.routine_for(b);
        check(r.element_count + 1 == size, "routine length is the stabiliser size", b);
        Word4 on_b = b;
        Word4 on_generic = generic;
        std::set<Word4> images{generic};
        std::size_t elements = 0;
        for (std::uint32_t k = 0; k < r.step_count; ++k) {
            const ChainStep& s = tables->finishers.steps()[r.first_step + k];
            on_b = delta_swap16(on_b, s.mask, s.shift);
            on_generic = delta_swap16(on_generic, s.mask, s.shift);
            if (s.skip != 0) continue;
            ++elements;
            check(static_cast<Word4>(on_b ^ s.flip) == b, "routine state keeps B", b);
            images.insert(on_generic);
        }
        check(elements == r.element_count, "routine element count", b);
        check(images.size() == size, "routine states are distinct transforms", b);
    }
    check(covered == normal_words4, "class sizes cover the normal words", static_cast<unsigned>(covered));

    std::printf("npn5_four_input: %zu classes, longest walk %u steps, %zu routines; classes by stabiliser size:",
                classes.size(), longest, tables->finishers.routine_count());
    for (auto [size, count] : classes_by_size) std::printf(" %zu:%zu", size, count);
    std::printf("\n%s\n", failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
