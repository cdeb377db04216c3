#include "TRandom.h"

#include <cmath>

namespace dla {

long double TRandom::UniformReal() noexcept {
  seed_ = NextSeed(seed_);
  return std::ldexp(static_cast<long double>(seed_), -32);
}

}  // namespace dla
