// The NPN classes of five-input functions, by canonical word.
#pragma once

#include <string>
#include <vector>

#include "runtime.hpp"

namespace npn5gen {

inline constexpr std::size_t kClassCount = 616126;

// Scans the 2^31 normal words in increasing order; an unvisited word is the
// smallest of its class, whose orbit is then marked. Returns these words in
// increasing order (about half a minute, 256 MiB).
std::vector<Word> enumerate_classes();

// The list from `path` when it holds a complete one, else a fresh enumeration
// saved there. Every word must be its own canonise (the key the image uses), or
// this throws std::logic_error.
std::vector<Word> load_or_enumerate_classes(const std::string& path);

}  // namespace npn5gen
