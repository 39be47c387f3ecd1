#include "metrics/algebraic_elimination.hpp"
#include "base/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "pool.hpp"

#include <algorithm>
#include <bit>
#include <new>
#include <utility>

namespace vexil::detail {

ZeroedWords::ZeroedWords(std::size_t count) : size_(count) {
    ensure_allocatable(count, sizeof(std::uint64_t));
    data_.reset(static_cast<std::uint64_t*>(std::calloc(std::max<std::size_t>(count, 1), sizeof(std::uint64_t))));
    if (!data_) throw std::bad_alloc();
}

BitMatrix::BitMatrix(std::size_t rows, std::size_t width)
    : rows_(rows), width_(width), words_(static_cast<std::size_t>(bytes_times(rows, width))) {}

namespace {

constexpr unsigned table_bits = 8;
constexpr std::size_t table_rows = std::size_t{1} << table_bits;
// Below this many rows the tables cost more than adding the pivot rows one by one.
constexpr std::size_t table_min_rows = 64;
// The tables cover strips of this many words of the rows, so that the eight
// tables of a panel (8 * 256 rows of 256 bytes, 512 KiB) stay in L2 while all
// the rows stream past them once.
constexpr std::size_t strip_words = 32;
// Rows per piece of work on the pool; below about this much work a panel runs
// on the caller.
constexpr std::size_t chunk_rows = 2048;
constexpr std::size_t serial_words = std::size_t{1} << 16;

VEXIL_INLINE void xor_words(std::uint64_t* target, const std::uint64_t* source, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) target[i] ^= source[i];
}

struct XorKernel {
    VEXIL_INLINE static void run(std::uint64_t* target, const std::uint64_t* source, std::size_t count) {
        xor_words(target, source, count);
    }
};

// What one piece of a panel's clearing works on.
struct Strip {
    std::uint64_t* base;          // row 0 of the matrix, at the strip's first word
    std::size_t width;            // words per row
    const std::uint64_t* pivots;  // the panel's first pivot row, at the strip's first word
    unsigned count;               // pivots
    std::size_t words;            // the strip's width
    const std::uint64_t* masks;   // per row, its combination; masks[0] is row `first`'s
    std::size_t first;            // the row of masks[0]
};

struct StripKernel {
    // Rows [begin, end) of the strip get their combinations: from tables of the
    // XORs of 8 pivot rows (built here, in `table`, entries strip_words apart),
    // or one pivot row at a time.
    VEXIL_INLINE static void run(const Strip& s, std::uint64_t* table, std::size_t begin, std::size_t end) {
        const std::size_t words = s.words;
        constexpr std::size_t ahead = 4;  // rows read ahead: a strip's rows lie a whole row apart
        if (table == nullptr) {
            for (std::size_t r = begin; r < end; ++r) {
                std::uint64_t* row = s.base + r * s.width;
                for (std::uint64_t rest = s.masks[r - s.first]; rest != 0; rest &= rest - 1) {
                    xor_words(row, s.pivots + static_cast<std::size_t>(std::countr_zero(rest)) * s.width, words);
                }
            }
            return;
        }
        const unsigned groups = (s.count + table_bits - 1) / table_bits;
        for (unsigned g = 0; g < groups; ++g) {
            std::uint64_t* group = table + g * table_rows * strip_words;
            const unsigned size = 1U << std::min(table_bits, s.count - g * table_bits);
            std::fill(group, group + strip_words, std::uint64_t{0});
            for (unsigned e = 1; e < size; ++e) {
                const std::uint64_t* previous = group + (e & (e - 1)) * strip_words;
                const std::uint64_t* pivot =
                    s.pivots + (g * table_bits + static_cast<unsigned>(std::countr_zero(e))) * s.width;
                std::uint64_t* entry = group + e * strip_words;
                for (std::size_t i = 0; i < words; ++i) entry[i] = previous[i] ^ pivot[i];
            }
        }
        for (std::size_t r = begin; r < end; ++r) {
            std::uint64_t* row = s.base + r * s.width;
            const std::uint64_t mask = s.masks[r - s.first];
            if (r + ahead < end) {
                const std::uint64_t* later = row + ahead * s.width;
                for (std::size_t i = 0; i < words; i += 8) __builtin_prefetch(later + i, 1);
            }
            if (words == strip_words) {
                // The strip stays in registers while every group's entry is added
                // (entry 0 is zero).
                std::uint64_t sum[strip_words];
                for (std::size_t i = 0; i < strip_words; ++i) sum[i] = row[i];
                for (unsigned g = 0; g < groups; ++g) {
                    const std::size_t e = (mask >> (g * table_bits)) & (table_rows - 1);
                    const std::uint64_t* entry = table + (g * table_rows + e) * strip_words;
                    for (std::size_t i = 0; i < strip_words; ++i) sum[i] ^= entry[i];
                }
                for (std::size_t i = 0; i < strip_words; ++i) row[i] = sum[i];
            } else {
                for (unsigned g = 0; g < groups; ++g) {
                    const std::size_t e = (mask >> (g * table_bits)) & (table_rows - 1);
                    xor_words(row, table + (g * table_rows + e) * strip_words, words);
                }
            }
            if ((r & 255) == 255) check_interrupt();
        }
    }
};

struct CombinationKernel {
    // masks[r] = the bits of words[r] at the pivot columns, packed in order
    // (a software PEXT; the pivot loop is outside so that rows vectorise).
    VEXIL_INLINE static void run(const std::uint64_t* words, std::uint64_t* masks, std::size_t rows,
                                 const std::uint8_t* bits, unsigned count) {
        for (std::size_t r = 0; r < rows; ++r) masks[r] = 0;
        for (unsigned t = 0; t < count; ++t) {
            const unsigned b = bits[t];
            for (std::size_t r = 0; r < rows; ++r) masks[r] |= ((words[r] >> b) & 1U) << t;
        }
    }
};

void swap_rows(BitMatrix& m, std::size_t a, std::size_t b, std::size_t word) {
    std::swap_ranges(m.row(a) + word, m.row(a) + m.width(), m.row(b) + word);
}

// Adds to rows [first, end) the pivot rows of `panel` that clear its pivot
// columns. The work is cut into strips of columns times chunks of rows; each
// piece builds its strip's tables in its slot's buffer.
void apply_panel(BitMatrix& m, const Panel& panel, std::size_t first, std::size_t end,
                 std::vector<std::vector<std::uint64_t>>& buffers) {
    if (first >= end || panel.count == 0) return;
    const std::size_t rows = end - first;
    std::vector<std::uint64_t> words(rows);
    for (std::size_t r = 0; r < rows; ++r) words[r] = m.row(first + r)[panel.word];
    std::vector<std::uint64_t> masks(rows);
    run_kernel<CombinationKernel>(words.data(), masks.data(), rows, panel.bits.data(), panel.count);
    const bool any = std::any_of(masks.begin(), masks.end(), [](std::uint64_t mask) { return mask != 0; });
    if (!any) return;
    const std::size_t width = m.width();
    const std::size_t trail = width - panel.word;
    const bool tables = rows >= table_min_rows;
    const std::size_t strips = (trail + strip_words - 1) / strip_words;
    const std::size_t chunks = (rows + chunk_rows - 1) / chunk_rows;
    const std::size_t groups = (panel.count + table_bits - 1) / table_bits;
    const std::size_t table_words = groups * table_rows * strip_words;
    if (buffers.size() < pool_size()) buffers.resize(pool_size());
    const auto piece = [&](std::size_t item, std::size_t slot) {
        const std::size_t strip = item % strips;
        const std::size_t chunk = item / strips;
        const std::size_t offset = panel.word + strip * strip_words;
        const Strip s{m.row(0) + offset,
                      width,
                      m.row(panel.first_row) + offset,
                      panel.count,
                      std::min(strip_words, width - offset),
                      masks.data(),
                      first};
        std::uint64_t* table = nullptr;
        if (tables) {
            std::vector<std::uint64_t>& buffer = buffers[slot];
            if (buffer.size() < table_words) buffer.resize(table_words);
            table = buffer.data();
        }
        run_kernel<StripKernel>(s, table, first + chunk * chunk_rows, std::min(end, first + (chunk + 1) * chunk_rows));
    };
    const std::size_t items = strips * chunks;
    if (rows * trail < serial_words || items == 1) {
        for (std::size_t item = 0; item < items; ++item) piece(item, 0);
        return;
    }
    parallel_for(items, 1, [&](std::uint64_t begin, std::uint64_t stop, std::size_t slot) {
        for (std::uint64_t item = begin; item < stop; ++item) piece(item, slot);
    });
}

}  // namespace

Echelon echelonize(BitMatrix& m, std::size_t first, std::size_t end, std::uint64_t columns, EliminationMeter* meter) {
    if (end > m.rows() || first > end) panic("echelonize: rows outside the matrix");
    if (columns > 64 * static_cast<std::uint64_t>(m.width())) panic("echelonize: more columns than the rows hold");
    Echelon echelon;
    const std::size_t width = m.width();
    std::vector<std::uint64_t> panel_words;
    std::vector<std::vector<std::uint64_t>> buffers;
    std::size_t next = first;  // the next pivot row
    for (std::size_t word = 0; word < width && 64 * word < columns && next < end && echelon.rank < columns; ++word) {
        check_interrupt();
        const std::size_t live = end - next;
        const auto bits = static_cast<unsigned>(std::min<std::uint64_t>(64, columns - 64 * word));
        const std::size_t trail = width - word;
        panel_words.resize(live);
        Panel panel;
        panel.word = word;
        panel.first_row = next;
        // The pivots, found on the panel words of as few rows as it takes: rows
        // [k, frontier) are cleared of the pivots found so far (k of them), the
        // rows from `frontier` on are not yet read. Once every row is read,
        // `present` (when known) holds the bits still set in some row.
        std::size_t frontier = 0;
        std::uint64_t present = 0;
        bool present_known = false;
        for (unsigned b = 0; b < bits; ++b) {
            const unsigned k = panel.count;
            if (present_known && ((present >> b) & 1U) == 0) continue;
            std::size_t i = k;
            for (;;) {
                while (i < frontier && ((panel_words[i] >> b) & 1U) == 0) ++i;
                if (i < frontier || frontier == live) break;
                std::uint64_t w = m.row(next + frontier)[word];
                for (unsigned s = 0; s < k; ++s) w ^= panel_words[s] & (std::uint64_t{0} - ((w >> panel.bits[s]) & 1U));
                panel_words[frontier++] = w;
            }
            if (i == frontier) {
                // Every row is read and none has bit b: note which bits remain.
                present = 0;
                for (std::size_t j = k; j < live; ++j) present |= panel_words[j];
                present_known = true;
                continue;
            }
            if (i != k) {
                swap_rows(m, next + i, next + k, word);
                std::swap(panel_words[i], panel_words[k]);
            }
            // The whole pivot row, cleared of the pivots before it.
            std::uint64_t* pivot = m.row(next + k) + word;
            for (unsigned s = 0; s < k; ++s) {
                if (((pivot[0] >> panel.bits[s]) & 1U) != 0) {
                    run_kernel<XorKernel>(pivot, m.row(next + s) + word, trail);
                }
            }
            const std::uint64_t reduced = panel_words[k];
            present = 0;
            for (std::size_t j = k + 1; j < frontier; ++j) {
                panel_words[j] ^= reduced & (std::uint64_t{0} - ((panel_words[j] >> b) & 1U));
                present |= panel_words[j];
            }
            present_known = frontier == live;
            panel.bits[k] = static_cast<std::uint8_t>(b);
            ++panel.count;
        }
        if (panel.count != 0) {
            // The identity on the pivot columns, so that any row's bits there
            // name the pivot rows it needs.
            for (unsigned s = panel.count; s-- > 1;) {
                const std::uint64_t* source = m.row(next + s) + word;
                for (unsigned t = 0; t < s; ++t) {
                    std::uint64_t* target = m.row(next + t) + word;
                    if (((target[0] >> panel.bits[s]) & 1U) != 0) run_kernel<XorKernel>(target, source, trail);
                }
            }
            apply_panel(m, panel, next + panel.count, end, buffers);
            next += panel.count;
            echelon.rank += panel.count;
            echelon.panels.push_back(panel);
        }
        if (meter != nullptr) meter->advance(live * trail / 64);
    }
    return echelon;
}

void reduce_rows(BitMatrix& m, const Echelon& echelon, std::size_t first, std::size_t end) {
    if (end > m.rows() || first > end) panic("reduce_rows: rows outside the matrix");
    std::vector<std::vector<std::uint64_t>> buffers;
    for (const Panel& panel : echelon.panels) {
        check_interrupt();
        apply_panel(m, panel, first, end, buffers);
    }
}

std::vector<std::uint64_t> null_vector(const BitMatrix& m, std::span<const Echelon> echelons, std::uint64_t columns) {
    const std::size_t width = m.width();
    std::vector<std::pair<std::uint64_t, std::size_t>> pivots;  // (column, row)
    std::vector<std::uint64_t> taken(width, 0);
    for (const Echelon& echelon : echelons) {
        for (const Panel& panel : echelon.panels) {
            for (unsigned i = 0; i < panel.count; ++i) {
                const std::uint64_t column = 64 * static_cast<std::uint64_t>(panel.word) + panel.bits[i];
                if (((taken[column / 64] >> (column % 64)) & 1U) != 0) panic("null_vector: a column pivots twice");
                taken[column / 64] |= std::uint64_t{1} << (column % 64);
                pivots.emplace_back(column, panel.first_row + i);
            }
        }
    }
    std::uint64_t free = columns;
    for (std::size_t word = 0; word < width && free == columns; ++word) {
        if (~taken[word] != 0)
            free = std::min(columns, 64 * word + static_cast<std::uint64_t>(std::countr_one(taken[word])));
    }
    if (free == columns) panic("null_vector: every column holds a pivot");
    std::vector<std::uint64_t> u(width, 0);
    u[free / 64] |= std::uint64_t{1} << (free % 64);
    std::sort(pivots.begin(), pivots.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [column, row] : pivots) {
        const std::uint64_t* r = m.row(row);
        unsigned parity = 0;
        for (std::size_t word = column / 64; word < width; ++word) parity ^= std::popcount(r[word] & u[word]) & 1U;
        if (parity != 0) u[column / 64] |= std::uint64_t{1} << (column % 64);
        check_interrupt();
    }
    return u;
}

}  // namespace vexil::detail
