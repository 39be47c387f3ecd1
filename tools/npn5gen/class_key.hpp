// The frame in which the image stores a circuit found for a word of a class.
#pragma once

#include <cstddef>
#include <stdexcept>

#include "orbit.hpp"
#include "runtime.hpp"

namespace npn5gen {

// The key of f's class (key_of), and the transform that carries a circuit for
// f to one for the key: key(x) = f(y) XOR to_key[0] (see NpnTransform).
struct ClassKey {
    Word word;
    NpnTransform to_key;
};

// When the key has symmetries, several transforms reach it, and each gives the
// stored circuit other input labels. The one taken is the first of the orbit
// walk from f, so that the records depend on the key alone and not on which of
// them canonise returns: a level regenerated from the image gives its records
// back byte for byte. f must be normal.
inline ClassKey class_key(Word f) {
    const Word key = key_of(f);
    const OrbitWalk& walk = orbit_walk();
    Word w = f;
    for (std::size_t s = 0;; ++s) {
        if (normalise(w) == key) {
            NpnTransform t = walk.xf[s];
            t[0] = w != key ? 1 : 0;
            return {key, t};
        }
        if (s + 1 == static_cast<std::size_t>(kOrbitSteps)) {
            throw std::logic_error("canonise gave a word outside the orbit");
        }
        w = walk_step(w, walk.step[s]);
    }
}

}  // namespace npn5gen
