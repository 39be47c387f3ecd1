// The exact Walsh spectrum and influence counts.
#include "call.hpp"
#include "methods.hpp"

#include "base/packed_table.hpp"
#include "metrics/sensitivity.hpp"
#include "memory_guard.hpp"
#include "metrics/crypto_transform.hpp"
#include "metrics/spectral.hpp"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace vexil_kit {

namespace {

// Negates the coefficients of each finished strip as the transform stores it,
// so that the sign costs no pass of its own.
struct NegateVisit {
    static constexpr bool store = true;
    template <class T>
    VEXIL_INLINE void operator()(std::size_t, std::size_t, unsigned, T* data, std::size_t row_begin,
                                 std::size_t row_end) {
        using U = std::make_unsigned_t<T>;  // wrapping is defined; |W| <= 2^n never wraps
        const std::size_t count = (row_end - row_begin) * vexil::detail::strip_lanes<T>;
        for (std::size_t i = 0; i < count; ++i) data[i] = static_cast<T>(U{0} - static_cast<U>(data[i]));
    }
};

// W(u) = sum over x of (-1)^(f(x) XOR u.x): false counts +1. The core counts
// true as +1, so its coefficients are the negatives of these. The two-level
// transform shares a large table out over the pool (crypto_transform.hpp).
template <class T>
Object spectrum_as(TableView table, const char* dtype) {
    vexil::py::NewArray array({table.entries.size()}, dtype, sizeof(T));
    const std::span<T> out = array.values<T>();
    unlocked([&] {
        vexil::ensure_working_set(vexil::detail::transform_scratch_bytes<T>(table.n));
        NegateVisit negate;
        vexil::detail::transform_and_visit(table.entries, out, negate);
    });
    return {array.release()};
}

Object walsh_spectrum(TableView table) { return spectrum_as<std::int64_t>(table, "int64"); }

// |W| <= 2^n fits int32 up to 30 variables.
Object walsh_spectrum32(TableView table) {
    if (table.n > 30) vexil::py::refuse(PyExc_ValueError, "an int32 spectrum holds at most 30 variables");
    return spectrum_as<std::int32_t>(table, "int32");
}

// I(v) = #{x : f(x) != f(x XOR 2^v)} for each variable v.
Array<std::int64_t> influence_counts(TableView table) {
    std::vector<std::uint64_t> counts(table.n);
    vexil::packed_influence_counts(vexil::pack_guarded(table.entries), table.n, counts.data());
    return {{counts.begin(), counts.end()}};
}

const PyMethodDef methods[] = {
    method<"walsh_spectrum", &walsh_spectrum>(
        "walsh_spectrum(table, /)\n--\n\n"
        "W(u) = sum over x of (-1)**(f(x) ^ popcount(u & x) % 2) for u = 0..2**n-1 (false counts +1), as a\n"
        "new int64 array. `table` is a 1-D C-contiguous buffer of bools or 0/1 uint8 of power-of-two length.\n"
        "Computed without the interpreter lock; Ctrl-C on the main thread raises KeyboardInterrupt."),
    method<"walsh_spectrum32", &walsh_spectrum32>(
        "walsh_spectrum32(table, /)\n--\n\n"
        "walsh_spectrum as a new int32 array, for at most 30 variables (ValueError beyond)."),
    method<"influence_counts", &influence_counts>(
        "influence_counts(table, /)\n--\n\n"
        "For each variable v, the number of inputs x with f(x) != f(x ^ 2**v), as a new int64 array of\n"
        "length n. `table` as for walsh_spectrum. Computed without the interpreter lock."),
};

}  // namespace

std::span<const PyMethodDef> spectral_methods() { return methods; }

}  // namespace vexil_kit
