#include "classes.hpp"

#include <bit>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "atomic_file.hpp"
#include "orbit.hpp"
#include "tables.hpp"

namespace npn5gen {

namespace {

// The image is keyed by the run-time canonise: a class list that disagrees
// with it (a changed canonisation, a damaged file) must stop every stage.
void check_keys(const std::vector<Word>& reps) {
    for (Word w : reps) {
        if (key_of(w) != w) {
            throw std::logic_error("class word " + std::to_string(w) + " is not its own canonise");
        }
    }
}

}  // namespace

std::vector<Word> enumerate_classes() {
    Bitmap visited;
    std::vector<Word> reps;
    reps.reserve(kClassCount);
    const std::size_t blocks = kNormalWords / 64;
    std::uint64_t* bits = visited.words();
    for (std::size_t i = 0; i < blocks; ++i) {
        for (;;) {
            const std::uint64_t open = ~bits[i];
            if (open == 0) {
                break;
            }
            const Word w = static_cast<Word>(i * 64 + static_cast<std::size_t>(std::countr_zero(open)));
            reps.push_back(w);
            for_each_transform(w, [&](Word n, int) { visited.set(n); });
        }
    }
    return reps;
}

std::vector<Word> load_or_enumerate_classes(const std::string& path) {
    std::vector<Word> reps(kClassCount);
    {
        std::ifstream in(path, std::ios::binary);
        if (in && in.read(reinterpret_cast<char*>(reps.data()), static_cast<std::streamsize>(reps.size() * 4)) &&
            in.peek() == EOF) {
            check_keys(reps);
            return reps;
        }
    }
    std::fprintf(stderr, "enumerating classes into %s\n", path.c_str());
    reps = enumerate_classes();
    if (reps.size() != kClassCount) {
        throw std::runtime_error("class enumeration found " + std::to_string(reps.size()) + " classes");
    }
    check_keys(reps);
    write_file_atomically(path, std::string_view(reinterpret_cast<const char*>(reps.data()), reps.size() * 4));
    return reps;
}

}  // namespace npn5gen
