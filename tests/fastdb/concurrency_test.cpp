// Concurrent queries of one fast database from several caller threads, each
// search itself threaded: every answer equals the one the same query gets
// alone. Also the word buffers' page population beside their writers. Run
// under ThreadSanitizer by scripts/test.sh --tsan.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "fastdb/engine/engine.h"
#include "fastdb/storage/word_buffer.h"
#include "fastdb_test_db.h"
#include "kvsystem/iterator.h"
#include "varnex/fastdb.h"

namespace {

using namespace Varnex;

// What one query gets: the scores of its hits (records tied at the limit
// may come in either order), raw scores, and a histogram.
struct Answer {
  std::vector<double> hits;
  std::vector<double> shared;  // one query's search shared among `threads`
  std::vector<double> raw;
  std::vector<std::size_t> bins;
  bool operator==(const Answer&) const = default;
};

Answer Ask(const KvFastFPDatabase& db, std::size_t query, unsigned threads) {
  KvFPDatabaseOptions options(20, 1 + query % 6);
  options.SetNumProcessors(threads);
  Answer answer;
  answer.hits = FastDbTest::ScoresOf(KvSystem::KvCollect(db.GetSortedScores(query, options)));
  KvFingerPrint fp;
  EXPECT_TRUE(db.GetFingerPrint(fp, query));
  const auto shared = db.GetSortedScoresMany({fp}, options);
  EXPECT_EQ(shared.size(), 1u);
  if (!shared.empty()) answer.shared = FastDbTest::ScoresOf(shared[0]);
  answer.raw = KvSystem::KvCollect(db.GetRawScores(query, options));
  const KvFPHistogram histogram = db.GetHistogram(options, 16);
  for (std::size_t bin = 0; bin < 16; ++bin) answer.bins.push_back(histogram.GetCount(bin));
  return answer;
}

TEST(FastDbConcurrency, ConcurrentQueriesOfOneDatabaseEqualSerialOnes) {
  const KvFPTypeBase* type = FastDbTest::PathType(512);
  const VarnexTest::TempDir dir;
  const std::string file = dir.Path("concurrent.fpbin");
  FastDbTest::WriteDatabase(file, type, FastDbTest::RandomFingerPrints(type, 1500, 3));
  Varnex::SetScanWholeUpTo(0);    // pruned, as a large file
  Varnex::SetShareSearchFrom(0);  // and one query's search shared among threads
  for (unsigned memory : {KvFastFPDatabaseMemoryType::MemoryMapped, KvFastFPDatabaseMemoryType::InMemory}) {
    const KvFastFPDatabase db(file, memory);
    ASSERT_TRUE(db.IsValid());
    constexpr std::size_t kQueries = 12;
    std::vector<Answer> serial(kQueries), concurrent(kQueries);
    for (std::size_t q = 0; q < kQueries; ++q) serial[q] = Ask(db, q * 97, 1);
    std::vector<std::thread> callers;
    for (unsigned t = 0; t < 4; ++t)
      callers.emplace_back([&, t] {
        for (std::size_t q = t; q < kQueries; q += 4) concurrent[q] = Ask(db, q * 97, 2);
      });
    for (std::thread& caller : callers) caller.join();
    for (std::size_t q = 0; q < kQueries; ++q) EXPECT_TRUE(serial[q] == concurrent[q]) << memory << " " << q;
  }
  Varnex::SetScanWholeUpTo(4096);
  Varnex::SetShareSearchFrom(32768);
}

// Pages faulted in while another thread writes the words keep every word
// written, before and after the population reaches them.
TEST(FastDbConcurrency, PopulatingPagesBesideTheirWriterKeepsEveryWord) {
  WordBuffer buffer;
  constexpr std::size_t kWords = std::size_t{4} << 20;  // 32 MB
  ASSERT_TRUE(buffer.Allocate(kWords));
  std::thread writer([&] {
    for (std::size_t w = 0; w < kWords; ++w) buffer.Data()[w] = w * 0x9E3779B97F4A7C15ull + 1;
  });
  for (std::size_t at = 0; at < 8 * kWords; at += std::size_t{1} << 20) buffer.Populate(at, std::size_t{1} << 20);
  EXPECT_TRUE(buffer.Populate(8 * kWords - 1, 4096));  // past the end: clipped
  writer.join();
  std::size_t wrong = 0;
  for (std::size_t w = 0; w < kWords; ++w) wrong += buffer.Data()[w] != w * 0x9E3779B97F4A7C15ull + 1;
  EXPECT_EQ(wrong, 0u);
}

}  // namespace
