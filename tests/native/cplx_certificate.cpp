// Certificate complexity against the definition, input by input.
#include "cplx_support.hpp"
#include "metrics/certificate.hpp"

using namespace cplx_test;

namespace {

void check(Harness& h, const Named& f) {
    h.equal(vexil::certificate_complexity(vexil::FValue(f.table)), ref_certificate(f.table),
            "certificate_complexity of " + f.name);
}

void check_edge_cases(Harness& h) {
    for (bool c : {false, true}) {
        h.equal(vexil::certificate_complexity(vexil::FValue(Table{static_cast<std::uint8_t>(c)})), 0U,
                "one-entry table");
        for (unsigned n = 1; n <= 8; ++n) {
            h.equal(vexil::certificate_complexity(vexil::FValue(from_rule(n, [c](std::uint64_t) { return c; }))), 0U,
                    "constant of " + std::to_string(n));
        }
    }
    h.equal(vexil::certificate_complexity(vexil::FValue(Table{0, 1})), 1U, "identity");
    h.equal(vexil::certificate_complexity(vexil::FValue(Table{0, 0, 0, 1})), 2U, "AND");
    h.equal(vexil::certificate_complexity(vexil::FValue(from_rule(3, [](std::uint64_t x) { return ones(x) >= 2; }))),
            2U, "majority-3");
    for (unsigned n = 1; n <= 12; ++n) {
        h.equal(vexil::certificate_complexity(
                    vexil::FValue(from_rule(n, [](std::uint64_t x) { return ones(x) % 2 == 1; }))),
                n, "parity of " + std::to_string(n));
        const std::uint64_t special = (std::uint64_t{1} << n) / 3;
        const Table single = from_rule(n, [=](std::uint64_t x) { return x == special; });
        h.equal(vexil::certificate_complexity(vexil::FValue(single)), n, "one true entry of " + std::to_string(n));
    }
}

}  // namespace

int main() {
    Harness h;
    std::mt19937_64 rng(99);
    for_each_kernel_set(h, [&] {
        for (unsigned n = 0; n <= 10; ++n) {
            for (const Named& f : families(n, rng)) check(h, f);
        }
        // Many small random functions of every density, dense and sparse in
        // monochromatic subcubes alike.
        for (int round = 0; round < 300; ++round) {
            const unsigned n = 2 + static_cast<unsigned>(round % 7);
            const unsigned density = 1 + static_cast<unsigned>(rng() % 15);
            Table t(std::size_t{1} << n);
            for (auto& e : t) e = (rng() % 16) < density ? 1 : 0;
            check(h, {"random density " + std::to_string(density) + "/16 of " + std::to_string(n), t});
        }
        check_edge_cases(h);
    });
    return h.finish("cplx_certificate");
}
