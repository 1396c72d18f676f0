#pragma once
// A small, fast generator whose sequence depends only on the seed, so that a
// simulator run can be repeated exactly on any platform and standard library.

#include <cstdint>

namespace tuvik::sim {

class SimRandom {
  public:
    explicit SimRandom(uint64_t seed = 1) : state_(seed) {}

    uint64_t Next() {
        // splitmix64
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform whole number in [lo, hi].
    int Between(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
    }
    // Roughly normal with mean 0 and standard deviation 1 (sum of four uniforms);
    // good enough for sensor noise and much cheaper than the exact transform.
    double Gauss() {
        const double s = Uniform() + Uniform() + Uniform() + Uniform();
        return (s - 2.0) * 1.7320508075688772;  // variance of the sum is 1/3
    }
    // True with the given probability.
    bool Chance(double p) { return p > 0.0 && (p >= 1.0 || Uniform() < p); }

  private:
    uint64_t state_;
};

}  // namespace tuvik::sim
