// NPN canonisation of five-input words.
#pragma once

#include "canon_tables.hpp"
#include "word.hpp"

namespace vexil::npn5 {

// The smallest word of n's class under the 3,840 input transforms and output
// complement, for n with bit 31 clear; t receives a transform with
// n(x) = result(y) XOR t[0] (see NpnTransform). A caller with bit 31 set
// complements n first and toggles t[0] afterwards.
Word canonise(Word n, NpnTransform& t, const CanonTables& tables);

}  // namespace vexil::npn5
