#include "class_list.hpp"

#include "database.hpp"

#include <algorithm>

namespace vexil::npn5 {

std::vector<Word> class_words() {
    const GateDatabase& db = gate_database();
    std::vector<Word> words;
    words.reserve(db.size());
    db.for_each_decoded([&](Word key, const CircuitRecord&) { words.push_back(key); });
    // The map's slot order follows the key hash; a sorted list is reproducible.
    std::sort(words.begin(), words.end());
    return words;
}

}  // namespace vexil::npn5
