// NPN canonical forms for n <= 6: the database's canonisation at five
// variables, the walk over all transforms otherwise; one representative per
// class either way, the member with the smallest word (see npn_canonical.hpp).
#pragma once

#include "metrics/npn_canonical.hpp"

namespace vexil::npn5 {

NpnForm npn_canonical(std::uint64_t word, unsigned n);

}  // namespace vexil::npn5
