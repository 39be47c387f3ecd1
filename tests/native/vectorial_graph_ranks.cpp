// The rank of the incidence matrix of a set's translates against a plain
// elimination over one bool per entry.
#include "check.hpp"
#include "vectorial/graph_ranks.hpp"

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

using namespace native_test;
namespace vec = vexil::vectorial;

namespace {

// The GF(2) rank of M[u][v] = [u ^ v in set], entry by entry.
std::uint64_t plain_rank(const std::vector<bool>& inside, unsigned k) {
    const std::size_t size = std::size_t{1} << k;
    std::vector<std::vector<bool>> rows(size, std::vector<bool>(size));
    for (std::size_t u = 0; u < size; ++u) {
        for (std::size_t v = 0; v < size; ++v) rows[u][v] = inside[u ^ v];
    }
    std::uint64_t rank = 0;
    for (std::size_t column = 0; column < size; ++column) {
        std::size_t pivot = rank;
        while (pivot < size && !rows[pivot][column]) ++pivot;
        if (pivot == size) continue;
        std::swap(rows[pivot], rows[rank]);
        for (std::size_t r = 0; r < size; ++r) {
            if (r == rank || !rows[r][column]) continue;
            for (std::size_t c = 0; c < size; ++c) rows[r][c] = rows[r][c] != rows[rank][c];
        }
        ++rank;
    }
    return rank;
}

void ranks_of_random_sets() {
    std::mt19937_64 rng(7);
    for (unsigned k = 0; k <= 9; ++k) {
        for (const unsigned percent : {3U, 30U, 50U, 90U}) {
            const std::size_t size = std::size_t{1} << k;
            std::vector<bool> inside(size);
            std::vector<std::uint64_t> words((size + 63) / 64, 0);
            for (std::size_t u = 0; u < size; ++u) {
                inside[u] = rng() % 100 < percent;
                if (inside[u]) words[u / 64] |= std::uint64_t{1} << (u % 64);
            }
            CHECK_EQ(vec::translate_rank(words, k), plain_rank(inside, k), "k = %u, %u%%", k, percent);
        }
    }
}

}  // namespace

int main() {
    ranks_of_random_sets();
    return finish("vectorial_graph_ranks");
}
