// Five-input queries: the database is built by the first call, whatever the
// table; tables of other sizes answer None.
#include "methods.hpp"

#include "npn5/function_queries.hpp"

namespace vexil::py {

std::optional<std::uint32_t> minimal_gates(const FValue& f) { return npn5::minimal_gates(f); }

std::optional<FValue> npn_representant(const FValue& f) { return npn5::npn_representant(f); }

}  // namespace vexil::py
