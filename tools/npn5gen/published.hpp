// Circuits taken from the literature, for classes that the searches here have
// not closed: each line of the list names the class, its gate count, the
// circuit as an expression (formula.hpp) and where it was published. Every
// circuit is built, evaluated and canonicalised like any other before it is
// stored, and only when it beats the class's circuit.
#pragma once

#include <string>

namespace npn5gen {

struct PublishedOptions {
    std::string list = "tools/npn5gen/published.txt";
    std::string image = "npn5/image.bin";
    std::string classes = "tools/work/classes.bin";
};

int run_published(const PublishedOptions& options);

}  // namespace npn5gen
