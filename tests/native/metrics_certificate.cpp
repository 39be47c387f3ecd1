// Certificate complexity against the definition, input by input.
#include "check.hpp"
#include "metrics_support.hpp"
#include "metrics/certificate.hpp"

using namespace metrics_test;
using namespace native_test;

namespace {

void check(const Named& f) {
    CHECK_EQ(vexil::certificate_complexity(vexil::FValue(f.table)), ref_certificate(f.table), "%s", f.name.c_str());
}

void check_edge_cases() {
    for (bool c : {false, true}) {
        CHECK_EQ(vexil::certificate_complexity(vexil::FValue(Table{static_cast<std::uint8_t>(c)})), 0U,
                 "one-entry table");
        for (unsigned n = 1; n <= 8; ++n) {
            CHECK_EQ(vexil::certificate_complexity(vexil::FValue(from_rule(n, [c](std::uint64_t) { return c; }))), 0U,
                     "constant of %u", n);
        }
    }
    CHECK_EQ(vexil::certificate_complexity(worked("identity")), 1U, "identity");
    CHECK_EQ(vexil::certificate_complexity(worked("and")), 2U, "AND");
    CHECK_EQ(vexil::certificate_complexity(worked("majority")), 2U, "majority-3");
    for (unsigned n = 1; n <= 12; ++n) {
        CHECK_EQ(vexil::certificate_complexity(vexil::FValue(from_rule(n, parity))), n, "parity of %u", n);
        const std::uint64_t special = (std::uint64_t{1} << n) / 3;
        const Table single = from_rule(n, [=](std::uint64_t x) { return x == special; });
        CHECK_EQ(vexil::certificate_complexity(vexil::FValue(single)), n, "one true entry of %u", n);
    }
}

}  // namespace

int main() {
    std::mt19937_64 rng(99);
    for_each_kernel_set([&] {
        for (unsigned n = 0; n <= 10; ++n) {
            for (const Named& f : families(n, rng)) check(f);
        }
        // Many small random functions of every density, dense and sparse in
        // monochromatic subcubes alike.
        for (int round = 0; round < 300; ++round) {
            const unsigned n = 2 + static_cast<unsigned>(round % 7);
            const unsigned density = 1 + static_cast<unsigned>(rng() % 15);
            Table t(std::size_t{1} << n);
            for (auto& e : t) e = (rng() % 16) < density ? 1 : 0;
            check({"random density " + std::to_string(density) + "/16 of " + std::to_string(n), t});
        }
        check_edge_cases();
    });
    return finish("metrics_certificate");
}
