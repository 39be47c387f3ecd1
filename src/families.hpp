// Named families of benchmark functions.
//
// Each builds the truth table of a well-known function over m variables. A
// variable count of 63 or more stops with "capacity overflow"; a table that
// the machine cannot hold throws std::bad_alloc before anything is allocated.
#pragma once

#include "fvalue.hpp"

#include <cstdint>

namespace vexil {

// True when more than floor(n/2) of the n variables are one.
FValue majority(std::uint64_t n);
// True when an even number of the n variables are one.
FValue parity(std::uint64_t n);
// Over 2n variables: gcd(high, low) == 1, low the first n variables.
FValue coprimes(std::uint64_t n);
// True at 1 and at the primes below 2^n.
FValue primality(std::uint64_t n);
// Over 2n variables: high + low is prime.
FValue sum_is_prime(std::uint64_t n);
// Over n(n+1)/2 variables (edge bits of a graph on n vertices, the last n
// never read): the graph has a clique of floor(n/2) vertices.
FValue clique(std::uint64_t n);
// Entry i is bit (i mod 64) of `number`.
FValue from_number(std::uint64_t number, std::uint64_t num_vars);

}  // namespace vexil
