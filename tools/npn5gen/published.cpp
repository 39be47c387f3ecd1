#include "published.hpp"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "classes.hpp"
#include "database.hpp"
#include "formula.hpp"

namespace npn5gen {

int run_published(const PublishedOptions& opt) {
    std::ifstream in(opt.list);
    if (!in) {
        throw std::runtime_error("cannot read " + opt.list);
    }
    Database db(load_or_enumerate_classes(opt.classes));
    db.load_image(opt.image);
    int stored = 0;
    int bad = 0;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream ls(line);
        std::string word_text;
        int gates = 0;
        std::string formula;
        if (!(ls >> word_text) || word_text[0] == '#') {
            continue;
        }
        if (!(ls >> gates >> formula)) {
            throw std::runtime_error(opt.list + ":" + std::to_string(number) + ": expected WORD GATES FORMULA SOURCE");
        }
        const auto word = static_cast<Word>(std::stoul(word_text, nullptr, 16));
        Builder b;
        Lit out = FormulaParser(formula, b).parse();
        out.neg = false;  // the class holds both polarities; the builder keeps normal values
        const auto c = Builder::is_gate(out) ? b.finish(out) : std::nullopt;
        const Word value = c ? circuit_value(*c) : 0;
        if (!c || value != b.value(out) || key_of(value) != word || c->gate_count != gates) {
            std::printf("%s:%d: the expression does not give a %d-gate circuit of class %08x\n", opt.list.c_str(),
                        number, gates, word);
            ++bad;
            continue;
        }
        const long i = db.index(word);
        const int before = i < 0 ? -1 : db.cost(static_cast<std::size_t>(i));
        if (store_if_better(db, value, *c)) {
            ++stored;
            std::printf("%08x: %d gates (had %d)\n", word, gates, before);
        } else {
            std::printf("%08x: %d gates, no better than the %d already stored\n", word, gates, before);
        }
    }
    if (stored != 0) {
        db.save_image(opt.image);
    }
    std::printf("%d classes improved\n%s", stored, format_histogram(db.histogram()).c_str());
    return bad == 0 ? 0 : 1;
}

}  // namespace npn5gen
