// KvSimSearchResult: states, preparation, merges from many threads and reads
// during a search.

#include "varnex/searchresult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "database/searchresult_impl.h"

using Varnex::KvFPDatabaseOptions;
using Varnex::HitList;
using Varnex::KvSimScore;
using Varnex::KvSimSearchResult;
namespace Status = Varnex::KvSimSearchStatus;

namespace {

TEST(SearchResult, StatusNamesAndTheUninitializedResult) {
  const char* names[] = {"Uninitialized", "InProgress", "Finished", "Invalid", "Invalid"};
  for (unsigned status : {0u, 1u, 2u, 3u, 0xFFFFFFFFu})
    EXPECT_EQ(Varnex::KvSimSearchStatusToName(status), names[std::min(status, 4u)]);
  // An uninitialized result answers empty, warning for the histogram only.
  KvSimSearchResult result;
  EXPECT_EQ(result.GetSearchStatus(), Status::Uninitialized);
  EXPECT_FALSE(result.IsValid());
  VarnexTest::CaptureSink sink;
  EXPECT_TRUE(KvSystem::KvCollect(result.GetSortedScores()).empty());  // not valid: no warning
  EXPECT_EQ(sink.Count(), 0u);
  const auto histogram = result.GetHistogram();
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_EQ(histogram.NumBins(), 200u);
  EXPECT_EQ(histogram.NumSamples(), 0u);
  EXPECT_EQ(KvSimSearchResult(0, 0.0, 1.0).GetImpl()->NewWorkerHistogram().NumBins(), 1u);
}

// Scores records [begin, end) of `scores` like one search worker would.
void RunWorker(Varnex::KvSimSearchResultImpl& impl, const std::vector<double>& scores, std::atomic<std::size_t>& next) {
  HitList<KvSimScore> hits = impl.NewWorkerHitList();
  Varnex::KvFPHistogram histogram = impl.NewWorkerHistogram();
  for (;;) {
    const std::size_t start = next.fetch_add(100);
    if (start >= scores.size()) break;
    const std::size_t stop = std::min(scores.size(), start + 100);
    for (std::size_t i = start; i < stop; ++i) {
      histogram.AddSample(scores[i]);
      hits.Offer(KvSimScore(i, scores[i]));
    }
    impl.AddSearched(stop - start);
  }
  impl.Merge(hits, histogram);
}

std::vector<double> RandomScores(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> scores(n);
  for (double& s : scores) s = uniform(rng);
  return scores;
}

TEST(SearchResult, ConcurrentMergesEqualSerialSearch) {
  const std::vector<double> scores = RandomScores(20000, 7);
  for (bool descending : {true, false}) {
    KvFPDatabaseOptions options(25, 1);
    options.SetDescendingOrder(descending);
    KvSimSearchResult result;
    auto& impl = *result.GetImpl();
    impl.Prepare(scores.size(), options);
    impl.SetStatus(Status::InProgress);

    std::atomic<std::size_t> next{0};
    std::atomic<bool> done{false};
    // A reader polls hits, histogram and counters while the workers merge.
    std::thread reader([&] {
      while (!done.load()) {
        const auto partial = KvSystem::KvCollect(result.GetSortedScores());
        EXPECT_LE(partial.size(), 50u);
        EXPECT_LE(result.GetHistogram().NumSamples(), scores.size());
        EXPECT_LE(result.NumSearched(), scores.size());
      }
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < 6; ++t) workers.emplace_back(RunWorker, std::ref(impl), std::cref(scores), std::ref(next));
    for (auto& w : workers) w.join();
    impl.SetStatus(Status::Finished);
    done = true;
    reader.join();

    EXPECT_EQ(result.NumTargets(), scores.size());
    EXPECT_EQ(result.NumSearched(), scores.size());
    const auto hits = KvSystem::KvCollect(result.GetSortedScores());
    std::vector<double> expected = scores;
    std::sort(expected.begin(), expected.end(), [&](double a, double b) { return descending ? a > b : a < b; });
    ASSERT_EQ(hits.size(), 25u);
    for (std::size_t i = 0; i < hits.size(); ++i) {
      EXPECT_EQ(hits[i].GetScore(), expected[i]);
      EXPECT_EQ(scores[hits[i].GetIdx()], hits[i].GetScore());
    }
    Varnex::KvFPHistogram serial(50, 0.0, 1.0);
    for (double s : scores) serial.AddSample(s);
    const auto histogram = result.GetHistogram();
    EXPECT_EQ(KvSystem::KvCollect(histogram.GetCounts()), KvSystem::KvCollect(serial.GetCounts()));
  }
}

// A worker histogram of other bins is refused, its hits kept; a result whose
// status was reset answers nothing, with a warning. (A second search's hits
// and histogram are checked through the engines.)
TEST(SearchResult, MismatchedWorkerHistogramAndResetStatus) {
  KvSimSearchResult result(20, 0.0, 1.0);
  auto& impl = *result.GetImpl();
  impl.Prepare(4, KvFPDatabaseOptions(10, 1));
  impl.SetStatus(Status::InProgress);
  HitList<KvSimScore> hits = impl.NewWorkerHitList();
  for (auto [i, s] : {std::pair{0u, 0.5}, {1u, 0.7}}) hits.Offer(KvSimScore(i, s));
  VarnexTest::CaptureSink sink;
  impl.Merge(hits, Varnex::KvFPHistogram(10, 0.0, 1.0));
  EXPECT_EQ(sink.Count(), 1u);
  impl.SetStatus(Status::Finished);
  EXPECT_EQ(KvSystem::KvCollect(result.GetSortedScores()).size(), 2u);
  EXPECT_EQ(result.GetHistogram().NumSamples(), 0u);
  impl.SetStatus(Status::Uninitialized);
  sink.Clear();
  EXPECT_TRUE(KvSystem::KvCollect(result.GetSortedScores()).empty());
  EXPECT_EQ(sink.Texts(),
            std::vector<std::string>{"KvSimSearchResult::GetSortedScores() : result object is uninitialized!"});
}

}  // namespace
