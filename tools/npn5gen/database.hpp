// What the generator knows about each class: the best circuit found for its
// canonical word, and the image file that stores those circuits.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "circuit.hpp"
#include "words.hpp"

namespace npn5gen {

inline constexpr std::size_t kImageRecords = 616124;
inline constexpr std::size_t kImageBytes = kImageRecords * kRecordBytes;
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
    // Index of a canonical word, or -1.
    long index(Word canonical) const;
    std::uint8_t cost(std::size_t i) const { return cost_[i]; }
    const Circuit& circuit(std::size_t i) const { return circuit_[i]; }
    std::size_t x1_class() const { return x1_; }
    std::size_t zero_class() const { return 0; }

    // Stores c (which must compute rep(i)) as the circuit of class i.
    void set(std::size_t i, const Circuit& c);

    // Lays down the circuit of class i under transform t (the x1 class is a bare input).
    Lit emit(Builder& b, std::size_t i, const Transform& t) const;

    Histogram histogram() const;

    // Reads records from an image (any number of them; every one is checked by
    // evaluation and must be keyed by a canonical word); returns how many were taken.
    std::size_t load_image(const std::string& path);
    // Writes every known class but the two built-in ones, most gates first, then by key.
    void save_image(const std::string& path) const;

private:
    std::vector<Word> reps_;
    std::vector<std::uint8_t> cost_;
    std::vector<Circuit> circuit_;
    std::size_t x1_ = 0;
};

std::string format_histogram(const Histogram& h);

// Moves a circuit for f (any normal word of a class) to the canonical frame and
// stores it when it has fewer gates than the class's circuit; true when it did.
bool store_if_better(Database& db, Word f, const Circuit& c);

}  // namespace npn5gen
