// The bounded hit list against a full sort, and its threshold rules. The
// worked examples of the search rules are in fpdatabase_test.cpp; every
// sorted search hands its records over through the list's iterator.

#include "database/hitlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <random>
#include <vector>

using Varnex::HitList;
using Varnex::KvSimScore;

namespace {

// Runs scores through a hit list and returns its finished records.
std::vector<KvSimScore> Search(const std::vector<double>& scores, std::size_t limit, bool descending, bool hasCutoff,
                               double cutoff) {
  HitList<KvSimScore> hits(limit, descending, hasCutoff, cutoff);
  for (std::size_t i = 0; i < scores.size(); ++i) hits.Offer(KvSimScore(i, scores[i]));
  hits.Finish();
  return {hits.Entries().begin(), hits.Entries().end()};
}

// The reference: every score that passes the threshold, fully sorted, cut to the limit.
std::vector<double> Reference(const std::vector<double>& scores, std::size_t limit, bool descending, bool hasCutoff,
                              double cutoff) {
  const double threshold = HitList<KvSimScore>::InitialThreshold(descending, hasCutoff, cutoff);
  std::vector<double> kept;
  for (double s : scores)
    if (descending ? s > threshold : s < threshold) kept.push_back(s);
  std::sort(kept.begin(), kept.end(), [&](double a, double b) { return descending ? a > b : a < b; });
  if (kept.size() > limit) kept.resize(limit);
  return kept;
}

TEST(HitList, ThresholdRecordAndCompaction) {
  HitList<KvSimScore> descending(2, true, false, 0.0);
  EXPECT_EQ(descending.Threshold().GetIdx(), 0xFFFFFFFFu);
  EXPECT_EQ(descending.ThresholdScore(), DBL_MIN);
  EXPECT_FALSE(descending.Offer(KvSimScore(0, 0.0)));
  EXPECT_FALSE(descending.Offer(KvSimScore(0, -1.0)));
  EXPECT_TRUE(descending.Offer(KvSimScore(0, 1e-300)));

  // Room for 2L: the fifth record triggers the compaction to L.
  HitList<KvSimScore> hits(2, true, false, 0.0);
  for (double s : {0.1, 0.4, 0.3, 0.2, 0.25}) hits.Offer(KvSimScore(0, s));
  EXPECT_EQ(hits.ThresholdScore(), 0.3);
  EXPECT_FALSE(hits.Offer(KvSimScore(5, 0.3)));  // equal to the threshold: refused
  EXPECT_TRUE(hits.Offer(KvSimScore(6, 0.35)));

  HitList<KvSimScore> none(0, true, false, 0.0);  // limit 0 admits nothing
  EXPECT_FALSE(none.Offer(KvSimScore(0, 0.9)));
  none.Finish();
  EXPECT_TRUE(none.Empty());
}

TEST(HitList, AgreesWithFullSortOnRandomScores) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> uniform(-0.2, 1.0);
  std::uniform_int_distribution<int> coarse(0, 20);  // many ties
  for (int round = 0; round < 6; ++round) {
    std::vector<double> scores(3000 + 517 * round);
    for (double& s : scores) s = round % 2 == 0 ? uniform(rng) : coarse(rng) / 20.0;
    for (std::size_t limit : {1u, 2u, 3u, 10u, 31u, 32u, 33u, 100u, 999u, 1500u, 3000u, 100000u}) {
      for (bool descending : {true, false}) {
        for (bool hasCutoff : {false, true}) {
          const double cutoff = 0.45;
          SCOPED_TRACE(testing::Message() << "round " << round << " limit " << limit << " desc " << descending
                                          << " cutoff " << hasCutoff);
          const auto hits = Search(scores, limit, descending, hasCutoff, cutoff);
          const auto expected = Reference(scores, limit, descending, hasCutoff, cutoff);
          ASSERT_EQ(hits.size(), expected.size());
          for (std::size_t i = 0; i < hits.size(); ++i) {
            ASSERT_EQ(hits[i].GetScore(), expected[i]) << "at " << i;
            ASSERT_EQ(scores[hits[i].GetIdx()], hits[i].GetScore());  // the index belongs to the score
          }
        }
      }
    }
  }
}

}  // namespace
