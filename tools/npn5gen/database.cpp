#include "database.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace npn5gen {

Database::Database(std::vector<Word> reps)
    : reps_(std::move(reps)), cost_(reps_.size(), kNoCost), circuit_(reps_.size()) {
    if (reps_.empty() || reps_[0] != 0) {
        throw std::runtime_error("class list does not start with the constant 0");
    }
    const long x1 = index(kInput[0]);
    if (x1 < 0) {
        throw std::runtime_error("class list lacks x1");
    }
    x1_ = static_cast<std::size_t>(x1);
    cost_[0] = 0;
    cost_[x1_] = 0;
}

long Database::index(Word canonical) const {
    const auto it = std::lower_bound(reps_.begin(), reps_.end(), canonical);
    if (it == reps_.end() || *it != canonical) {
        return -1;
    }
    return static_cast<long>(it - reps_.begin());
}

void Database::set(std::size_t i, const Circuit& c) {
    if (!well_formed(c) || evaluate(c) != reps_[i]) {
        throw std::logic_error("circuit does not compute its class");
    }
    circuit_[i] = c;
    cost_[i] = c.n;
}

Lit Database::emit(Builder& b, std::size_t i, const Transform& t) const {
    if (i == x1_) {
        const Lit in{t.src[0], (t.neg & 1u) != 0};
        return t.out ? ~in : in;
    }
    if (i == 0) {
        return t.out ? ~Builder::constant() : Builder::constant();
    }
    if (cost_[i] == kNoCost) {
        throw std::logic_error("emit of a class without circuit");
    }
    return b.emit(circuit_[i], t);
}

Histogram Database::histogram() const {
    Histogram h{};
    for (std::uint8_t c : cost_) {
        ++h[c == kNoCost ? 13 : c];
    }
    return h;
}

std::size_t Database::load_image(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return 0;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() % kRecordBytes != 0) {
        throw std::runtime_error(path + ": length is not a multiple of the record size");
    }
    std::size_t taken = 0;
    for (std::size_t off = 0; off < bytes.size(); off += kRecordBytes) {
        const Circuit c = decode_record(bytes.data() + off);
        if (!well_formed(c)) {
            throw std::runtime_error(path + ": malformed record " + std::to_string(off / kRecordBytes));
        }
        const long i = index(evaluate(c));
        if (i < 0) {
            throw std::runtime_error(path + ": record key is not canonical");
        }
        if (cost_[static_cast<std::size_t>(i)] > c.n) {
            set(static_cast<std::size_t>(i), c);
            ++taken;
        }
    }
    return taken;
}

void Database::save_image(const std::string& path) const {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < reps_.size(); ++i) {
        if (i != 0 && i != x1_ && cost_[i] != kNoCost) {
            order.push_back(i);
        }
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return cost_[a] != cost_[b] ? cost_[a] > cost_[b] : reps_[a] < reps_[b];
    });
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        for (std::size_t i : order) {
            const Record r = encode_record(circuit_[i]);
            out.write(reinterpret_cast<const char*>(r.data()), kRecordBytes);
        }
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + tmp);
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot rename " + tmp + " to " + path);
    }
}

std::string format_histogram(const Histogram& h) {
    std::string s;
    char line[96];
    for (int g = 0; g <= 12; ++g) {
        const std::size_t have = h[static_cast<std::size_t>(g)];
        const std::size_t want = kOptimum[static_cast<std::size_t>(g)];
        const char* mark = have == want ? "" : "  *";
        std::snprintf(line, sizeof line, "%2d gates: %7zu  (optimum %7zu)%s\n", g, have, want, mark);
        s += line;
    }
    if (h[13] != 0) {
        std::snprintf(line, sizeof line, "no circuit: %zu\n", h[13]);
        s += line;
    }
    return s;
}

bool store_if_better(Database& db, Word f, const Circuit& c) {
    if (!well_formed(c) || evaluate(c) != f) {
        throw std::logic_error("offered circuit does not compute its word");
    }
    const Canonical k = canonical_brute(f);
    Builder b;
    const auto cc = b.finish(b.emit(c, k.xf));
    if (!cc || evaluate(*cc) != k.word) {
        throw std::logic_error("circuit does not reach the canonical word");
    }
    const long i = db.index(k.word);
    if (i < 0) {
        throw std::logic_error("canonical word not among the classes");
    }
    if (cc->n >= db.cost(static_cast<std::size_t>(i))) {
        return false;
    }
    db.set(static_cast<std::size_t>(i), *cc);
    return true;
}

}  // namespace npn5gen
