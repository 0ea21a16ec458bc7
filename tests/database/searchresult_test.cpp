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

TEST(SearchResult, StatusNames) {
  const char* names[] = {"Uninitialized", "InProgress", "Finished", "Invalid"};
  for (unsigned status : {0u, 1u, 2u, 7u}) EXPECT_EQ(Varnex::KvSimSearchStatusToName(status), names[std::min(status, 3u)]);
  EXPECT_EQ(Varnex::KvSimSearchStatusToName(0xFFFFFFFFu), "Invalid");
}

TEST(SearchResult, UninitializedResultAnswersEmptyAndWarnsForTheHistogram) {
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
    if (descending) {
      std::sort(expected.begin(), expected.end(), std::greater<>());
    } else {
      std::sort(expected.begin(), expected.end());
    }
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

TEST(SearchResult, SecondSearchReplacesHitsAndAddsToHistogram) {
  KvSimSearchResult result(10, 0.0, 1.0);
  auto& impl = *result.GetImpl();
  KvFPDatabaseOptions options(0, 1);  // limit 0: all targets

  auto search = [&](const std::vector<double>& scores) {
    impl.SetStatus(Status::Uninitialized);
    impl.Prepare(scores.size(), options);
    impl.SetStatus(Status::InProgress);
    std::atomic<std::size_t> next{0};
    RunWorker(impl, scores, next);
    impl.SetStatus(Status::Finished);
  };
  search({0.1, 0.9, 0.5});
  EXPECT_EQ(impl.GetLimit(), 3u);
  EXPECT_EQ(KvSystem::KvCollect(result.GetSortedScores()).size(), 3u);
  search({0.3, 0.2});
  const auto hits = KvSystem::KvCollect(result.GetSortedScores());
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].GetScore(), 0.3);
  EXPECT_EQ(result.GetHistogram().NumSamples(), 5u);

  // A search that stops after resetting the status: the old hits stay but warn.
  impl.SetStatus(Status::Uninitialized);
  VarnexTest::CaptureSink sink;
  EXPECT_TRUE(KvSystem::KvCollect(result.GetSortedScores()).empty());
  EXPECT_EQ(sink.Texts(),
            std::vector<std::string>{"KvSimSearchResult::GetSortedScores() : result object is uninitialized!"});
}

TEST(SearchResult, CutoffAndMismatchedWorkerHistogram) {
  KvSimSearchResult result(20, 0.0, 1.0);
  auto& impl = *result.GetImpl();
  KvFPDatabaseOptions options(10, 1);
  options.SetCutoff(0.5f);
  impl.Prepare(4, options);
  impl.SetStatus(Status::InProgress);
  HitList<KvSimScore> hits = impl.NewWorkerHitList();
  for (auto [i, s] : {std::pair{0u, 0.5}, {1u, 0.7}, {2u, 0.2}, {3u, 0.51}}) hits.Offer(KvSimScore(i, s));
  VarnexTest::CaptureSink sink;
  impl.Merge(hits, Varnex::KvFPHistogram(10, 0.0, 1.0));  // wrong bins: histogram refused, hits kept
  EXPECT_EQ(sink.Count(), 1u);
  impl.SetStatus(Status::Finished);
  const auto found = KvSystem::KvCollect(result.GetSortedScores());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].GetIdx(), 1u);
  EXPECT_EQ(found[1].GetIdx(), 3u);
  EXPECT_EQ(result.GetHistogram().NumSamples(), 0u);
}

}  // namespace
