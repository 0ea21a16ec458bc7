// Test helpers for the fast database: NCI molecules, little-endian words,
// random fingerprints, a writer of .fpbin files from fingerprints, and
// reference scores computed pair by pair in double precision from
// KvGetBitCounts.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "varnex/fingerprint.h"
#include "varnex/fpbin.h"
#include "varnex/fpbin_create.h"
#include "varnex/fptypes.h"
#include "varnex/dboptions.h"
#include "varnex/similarity.h"

namespace FastDbTest {

using Varnex::KvFingerPrint;

// The first `count` lines of the NCI sample set.
inline std::string NciLines(std::size_t count) {
  std::ifstream in(std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi");
  std::string text, line;
  for (std::size_t i = 0; i < count && std::getline(in, line); ++i) text += line + "\n";
  return text;
}

// Whether one of `texts` holds both `part` and `also` (true for no part).
inline bool Mentions(const std::vector<std::string>& texts, const std::string& part, const std::string& also = "") {
  return part.empty() || std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
           return t.find(part) != std::string::npos && t.find(also) != std::string::npos;
         });
}

// The scores of `hits`, in their order.
inline std::vector<double> ScoresOf(const std::vector<Varnex::KvSimScore>& hits) {
  std::vector<double> scores;
  for (const Varnex::KvSimScore& hit : hits) scores.push_back(hit.GetScore());
  return scores;
}

// The little-endian word at byte `offset` of `bytes`.
inline std::uint64_t WordAt(const std::string& bytes, std::size_t offset) {
  std::uint64_t value = 0;
  for (int k = 7; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + k));
  return value;
}

// Overwrites the 8 bytes at `offset` with `value`, little-endian.
inline void SetWordAt(std::string& bytes, std::size_t offset, std::uint64_t value) {
  for (int k = 0; k < 8; ++k) bytes.at(offset + k) = static_cast<char>((value >> (8 * k)) & 0xFF);
}

// The default path type, of 4096 bits.
inline const Varnex::KvFPTypeBase* Path4096() { return Varnex::KvGetFPType(Varnex::KvFPType::Path); }

// Creation options for `type` on `threads` threads.
inline Varnex::KvCreateFastFPDatabaseOptions CreateOptions(const Varnex::KvFPTypeBase* type, unsigned threads) {
  Varnex::KvCreateFastFPDatabaseOptions options(type);
  options.SetNumProcessors(threads);
  return options;
}

// A path type of `bits` bits (a multiple of 256).
inline const Varnex::KvFPTypeBase* PathType(unsigned bits) { return Varnex::KvGetPathFPType(bits, 0, 5, 191, 3); }

// `n` fingerprints of `type` with densities spread from empty to about half
// full, and exact duplicates, so that scores tie and bit counts fill many
// bins.
inline std::vector<KvFingerPrint> RandomFingerPrints(const Varnex::KvFPTypeBase* type, std::size_t n,
                                                     unsigned seed) {
  std::mt19937_64 rng(seed);
  const unsigned bits = Varnex::KvGetFingerPrintSize(type);
  std::vector<KvFingerPrint> fps;
  for (std::size_t i = 0; i < n; ++i) {
    KvFingerPrint fp;
    fp.SetSize(bits);
    fp.SetFPTypeBase(type);
    if (i % 17 == 5 && i > 0) {
      fp = fps[(i * 7) % i];  // a duplicate of an earlier one
    } else if (i % 50 != 3) {  // every 50th stays empty
      const double density = std::uniform_real_distribution<double>(0.01, 0.5)(rng);
      std::bernoulli_distribution on(density);
      for (unsigned b = 0; b < bits; ++b) {
        if (on(rng)) fp.SetBitOn(b);
      }
    }
    fps.push_back(fp);
  }
  return fps;
}

// Writes `fps` (all of `type`) as a .fpbin file; record i holds molecule
// index molIndexBase + i.
inline void WriteDatabase(const std::string& path, const Varnex::KvFPTypeBase* type,
                          const std::vector<KvFingerPrint>& fps, std::uint64_t molIndexBase = 0) {
  Varnex::KvFastFPDatabaseParams params;
  params.SetFPTypeBase(type);
  params.SetNumFingerPrints(fps.size());
  params.SetMolDatabaseFilename("random.smi");
  std::ofstream out(path, std::ios::binary);
  out << Varnex::KvWriteFastFPDatabaseHeaderBlob(params);
  for (std::size_t i = 0; i < fps.size(); ++i) out << Varnex::KvWriteFastFingerPrintBlob(molIndexBase + i, fps[i]);
}

// The score of record `p` against query `q` by the engines' formulas, from
// an independent count of the bits.
inline double ReferenceScore(const KvFingerPrint& query, const KvFingerPrint& record, unsigned measure, double alpha,
                             double beta) {
  std::uint32_t onlyQ = 0, onlyR = 0, both = 0;
  EXPECT_TRUE(Varnex::KvGetBitCounts(query, record, &onlyQ, &onlyR, &both));
  const double q = onlyQ + both;
  const double p = onlyR + both;
  const double c = both;
  const double n = query.GetSize();
  switch (measure) {
    case 1:
      return c == 0 ? 0.0 : c / (p + q - c);
    case 2:
      return (q == 0 || p == 0 || c == 0) ? 0.0 : c / std::sqrt(p * q);
    case 3:
      return p + q == 0 ? 0.0 : 2 * c / (p + q);
    case 4:
      return std::sqrt((2 * c - p - q + n) / n);
    case 5: {
      const double d = alpha * (q - c) + beta * (p - c) + c;
      return d == 0 ? 0.0 : c / d;
    }
    case 6:
      return (p + q - 2 * c) / n;
    default:
      return 0.0;
  }
}

}  // namespace FastDbTest
