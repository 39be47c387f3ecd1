// What the generator knows about each class: the best circuit found for its
// key (the run-time canonical word), and the image file that stores those circuits.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "builder.hpp"
#include "runtime.hpp"

namespace npn5gen {

inline constexpr std::size_t kImageRecords = 616124;
inline constexpr std::size_t kImageBytes = kImageRecords * record_bytes;
inline constexpr std::uint8_t kNoCost = 0xFF;

// Gate counts of minimum circuits by number of gates (0 to 12), from the literature.
inline constexpr std::array<std::size_t, 13> kOptimum = {2,     2,     5,      20,     93,    389, 1988,
                                                         11382, 60713, 221541, 293455, 26535, 1};

using Histogram = std::array<std::size_t, 14>;  // index 13 counts classes without a circuit

class Database {
public:
    explicit Database(std::vector<Word> reps);

    std::size_t size() const { return reps_.size(); }
    Word rep(std::size_t i) const { return reps_[i]; }
    // Index of a class key, or -1.
    long index(Word key) const;
    std::uint8_t cost(std::size_t i) const { return cost_[i]; }
    const CircuitRecord& circuit(std::size_t i) const { return circuit_[i]; }
    std::size_t x1_class() const { return x1_; }
    std::size_t zero_class() const { return 0; }

    // Stores c, which must be in stored form and compute rep(i), as the circuit of class i.
    void set(std::size_t i, const CircuitRecord& c);

    // Lays down the circuit of class i under transform t (the two built-in
    // classes have circuits of no gates).
    Lit emit(Builder& b, std::size_t i, const NpnTransform& t) const;

    Histogram histogram() const;

    // Reads records from an image (any number of them; each must be a
    // well-formed record, as the encoder writes it, whose word is a class key)
    // and takes those that beat the class's circuit; returns how many.
    std::size_t load_image(const std::string& path);
    // Writes every known class but the two built-in ones, most gates first,
    // then by key; the file is replaced atomically.
    void save_image(const std::string& path) const;

private:
    std::vector<Word> reps_;
    std::vector<std::uint8_t> cost_;
    std::vector<CircuitRecord> circuit_;
    std::size_t x1_ = 0;
};

std::string format_histogram(const Histogram& h);

// A circuit for the normal word f carried to f's class key and rebuilt there
// (complements absorbed, equal values merged, unused gates dropped); checked by
// evaluation before and after. Throws std::logic_error when a check fails.
struct KeyedCircuit {
    Word key;
    CircuitRecord circuit;
};
KeyedCircuit to_key_frame(Word f, const CircuitRecord& c);

// Stores a circuit for f (any normal word of a class) in the key's frame when
// it has fewer gates than the class's circuit; true when it did.
bool store_if_better(Database& db, Word f, const CircuitRecord& c);

}  // namespace npn5gen
