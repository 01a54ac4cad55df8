#pragma once
// The jukebox's play order and its random source.
#include <cstdint>
#include <random>
#include <vector>

namespace jov {

// The program's one uniform generator: fixed seed, never reseeded, so every run gives the
// same sequence of shuffles for the same sequence of calls.
class RandomSource {
public:
    RandomSource() : gen_(1) {}
    // Uniform in [0, 1).
    double Next() { return static_cast<double>(gen_()) / 4294967296.0; }

private:
    std::mt19937 gen_;
};

void swap(int32_t& a, int32_t& b);

// PlayTable gets indices 0..count: element 0 holds 0, position i holds entry i; when
// `random`, one pass of swaps of position i with j = round-half-even(r * (count - 1) + 1).
void makeplaytable(std::vector<int32_t>& PlayTable, int32_t PlayListCount, bool random, RandomSource& rng);

}  // namespace jov
