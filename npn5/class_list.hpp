// The NPN classes of five-input functions, listed from the gate database.
#pragma once

#include "word.hpp"

#include <vector>

namespace vexil::npn5 {

// The canonical word of every class the process-wide database holds (its two
// built-in classes, constant 0 and x1, and the decoded image), in increasing
// order; builds the database on the first call. Each word is normal (bit 31
// clear) and is its own class's canonical word: read with entry i at bit i, it
// is the table that npn_representant returns for every member of the class.
std::vector<Word> class_words();

}  // namespace vexil::npn5
