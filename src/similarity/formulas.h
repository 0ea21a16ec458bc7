// The closed formulas of the six measures over the four counts of a pair.
//
// a: on only in A, b: on only in B, c: on in both, d: on in neither (0 for
// Lingo and unhashed pairs, where only shared and unshared features exist).
// Sums are formed in 32-bit unsigned arithmetic and converted to float before
// the division; the results must match bit for bit wherever a score is stored
// or compared, so the order of the float operations below is deliberate.
#pragma once

#include <cmath>
#include <cstdint>

namespace Varnex {

struct SimTerms {
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  std::uint32_t c = 0;
  std::uint32_t d = 0;
};

// Identical sets (a + b = 0), also two empty ones, are fully similar; sets
// sharing nothing score 0.
inline float TanimotoOf(const SimTerms& t) {
  if (t.a + t.b == 0) return 1.0f;
  if (t.c == 0) return 0.0f;
  return static_cast<float>(t.c) / static_cast<float>(t.a + t.b + t.c);
}

inline float TverskyOf(const SimTerms& t, float alpha, float beta) {
  if (t.a + t.b == 0) return 1.0f;
  if (t.c == 0) return 0.0f;
  const float weighted = alpha * static_cast<float>(t.a) + beta * static_cast<float>(t.b);
  return static_cast<float>(t.c) / (weighted + static_cast<float>(t.c));
}

// The numerator 2c is a float; the denominator 2c + (a + b) is summed in
// double and rounded to float.
inline float DiceOf(const SimTerms& t) {
  if (t.a + t.b == 0) return 1.0f;
  if (t.c == 0) return 0.0f;
  const float twice = 2.0f * static_cast<float>(t.c);
  const float denominator = static_cast<float>(static_cast<double>(twice) + static_cast<double>(t.a + t.b));
  return twice / denominator;
}

inline float CosineOf(const SimTerms& t) {
  if (t.a + t.b == 0) return 1.0f;
  if (t.c == 0) return 0.0f;
  const float product = static_cast<float>(t.a + t.c) * static_cast<float>(t.b + t.c);
  return static_cast<float>(t.c) / std::sqrt(product);
}

inline float EuclidOf(const SimTerms& t) {
  if (t.a + t.b == 0) return 1.0f;
  if (t.c + t.d == 0) return 0.0f;
  return std::sqrt(static_cast<float>(t.c + t.d) / static_cast<float>(t.a + t.b + t.c + t.d));
}

// A distance: 0 for identical sets.
inline float ManhattanOf(const SimTerms& t) {
  if (t.a + t.b == 0) return 0.0f;
  return static_cast<float>(t.a + t.b) / static_cast<float>(t.a + t.b + t.c + t.d);
}

}  // namespace Varnex
