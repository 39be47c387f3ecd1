#include "database.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "atomic_file.hpp"
#include "class_key.hpp"

namespace npn5gen {

Database::Database(std::vector<Word> reps)
    : reps_(std::move(reps)), cost_(reps_.size(), kNoCost), circuit_(reps_.size()) {
    if (reps_.empty() || reps_[0] != 0) {
        throw std::runtime_error("class list does not start with the constant 0");
    }
    const long x1 = index(input_x1);
    if (x1 < 0) {
        throw std::runtime_error("class list lacks x1");
    }
    x1_ = static_cast<std::size_t>(x1);
    cost_[0] = 0;
    cost_[x1_] = 0;
    circuit_[0] = builtin_zero_record;
    circuit_[x1_] = builtin_x1_record;
}

long Database::index(Word key) const {
    const auto it = std::lower_bound(reps_.begin(), reps_.end(), key);
    if (it == reps_.end() || *it != key) {
        return -1;
    }
    return static_cast<long>(it - reps_.begin());
}

void Database::set(std::size_t i, const CircuitRecord& c) {
    if (!encode_record(c) || circuit_value(c) != reps_[i]) {
        throw std::logic_error("circuit does not compute its class");
    }
    circuit_[i] = c;
    cost_[i] = c.gate_count;
}

Lit Database::emit(Builder& b, std::size_t i, const NpnTransform& t) const {
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
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() % record_bytes != 0) {
        throw std::runtime_error(path + ": length is not a multiple of the record size");
    }
    std::size_t taken = 0;
    for (std::size_t off = 0; off < bytes.size(); off += record_bytes) {
        const DecodedRecord d = decode_record(bytes.data() + off);
        const auto again = encode_record(d.circuit);
        if (!again || !std::equal(again->begin(), again->end(), bytes.begin() + static_cast<long>(off))) {
            throw std::runtime_error(path + ": malformed record " + std::to_string(off / record_bytes));
        }
        const long i = index(d.key);
        if (i < 0) {
            throw std::runtime_error(path + ": record key is not a class key");
        }
        if (cost_[static_cast<std::size_t>(i)] > d.circuit.gate_count) {
            set(static_cast<std::size_t>(i), d.circuit);
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
    std::string image;
    image.reserve(order.size() * record_bytes);
    for (std::size_t i : order) {
        const auto r = encode_record(circuit_[i]);
        if (!r) {
            throw std::logic_error("a stored circuit has no record");
        }
        image.append(reinterpret_cast<const char*>(r->data()), r->size());
    }
    write_file_atomically(path, image);
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

KeyedCircuit to_key_frame(Word f, const CircuitRecord& c) {
    if (!encode_record(c) || circuit_value(c) != f) {
        throw std::logic_error("circuit does not compute its word");
    }
    const ClassKey k = class_key(f);
    Builder b;
    const Lit out = b.emit(c, k.to_key);
    if (b.value(out) != k.word) {
        throw std::logic_error("transformed circuit misses the class key");
    }
    const auto moved = b.finish(out);
    if (!moved || circuit_value(*moved) != k.word) {
        throw std::logic_error("circuit does not reach the class key");
    }
    return {k.word, *moved};
}

bool store_if_better(Database& db, Word f, const CircuitRecord& c) {
    const KeyedCircuit k = to_key_frame(f, c);
    const long i = db.index(k.key);
    if (i < 0) {
        throw std::logic_error("class key not among the classes");
    }
    if (k.circuit.gate_count >= db.cost(static_cast<std::size_t>(i))) {
        return false;
    }
    db.set(static_cast<std::size_t>(i), k.circuit);
    return true;
}

}  // namespace npn5gen
