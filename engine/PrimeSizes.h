#pragma once
// Sizes of the engine's hash tables. Every hash that is made for an expected number of elements (value
// hashes, sets, index maps) takes its size from one fixed list of primes, so that sizes are comparable
// between runs and tables.

#include <cstddef>

// Hash size for n expected elements: with m = n + n/10, the first prime of the list that is at least m,
// or m itself when m exceeds the largest listed prime. Pure function; safe from any thread.
size_t PrimeHashSize(size_t n);
