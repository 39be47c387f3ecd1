// The progress files of the level search (progress.txt) and the chain search
// (chains<R>.txt): lines "name value", the stage's position first, then the
// histogram of the image written with it (gates0 ... gates13).
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "atomic_file.hpp"
#include "database.hpp"

namespace npn5gen {

// The values by name; empty when the file is missing. Reading stops at the
// first line that is not "name number".
inline std::map<std::string, long long> read_progress_file(const std::string& path) {
    std::map<std::string, long long> values;
    std::ifstream in(path);
    std::string name;
    long long value = 0;
    while (in >> name >> value) {
        values[name] = value;
    }
    return values;
}

inline void write_progress_file(const std::string& path, const std::vector<std::pair<std::string, long long>>& position,
                                const Histogram& h) {
    std::ostringstream out;
    for (const auto& [name, value] : position) {
        out << name << ' ' << value << '\n';
    }
    for (std::size_t g = 0; g < h.size(); ++g) {
        out << "gates" << g << ' ' << h[g] << '\n';
    }
    write_file_atomically(path, out.str());
}

}  // namespace npn5gen
