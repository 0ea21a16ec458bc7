// The worker pool: every worker runs once, the caller as worker 0; messages
// reach the caller's context and never a later call's; the first exception
// reaches the caller after all workers ended; cancel and failure stop the
// claims; nested calls complete without growing the pool past need; a forked
// child gets a working pool. Concurrent callers sharing the pool:
// FastDbConcurrency.ConcurrentQueriesOfOneDatabaseEqualSerialOnes. Run under
// ThreadSanitizer by scripts/test.sh --tsan (the names hold "Thread").

#include "kvsystem/workers.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/error.h"

namespace {

using KvSystem::KvClaim;
using KvSystem::KvRunWorkers;

// A call context that keeps the texts of its reports.
class Recorder final : public KvSystem::KvCallContext {
 public:
  void Report(KvSystem::KvErrorLevel, const KvSystem::KvStatus& status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.push_back(status.Message());
  }
  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

// The sum of 0 .. count - 1 claimed `step` at a time by `threads` workers.
std::uint64_t ClaimedSum(unsigned threads, std::uint64_t count, std::uint64_t step) {
  std::atomic<std::uint64_t> next{0}, sum{0};
  KvRunWorkers(threads, [&](unsigned) {
    for (std::uint64_t first; (first = KvClaim(next, count, step)) < count;) {
      std::uint64_t part = 0;
      for (std::uint64_t i = first; i < std::min(count, first + step); ++i) part += i;
      sum += part;
    }
  });
  return sum.load();
}

// KvRunWorkers(threads, body) with every worker on a thread of its own: each
// holds on until all have begun, which a top-level call with helpers to
// spare always reaches (library workers must never wait so).
template <typename Body>
unsigned OnHelpers(unsigned threads, Body body) {
  std::atomic<unsigned> started{0};
  return KvRunWorkers(threads, [&](unsigned t) {
    ++started;
    while (started.load() < threads) std::this_thread::yield();
    body(t);
  });
}

TEST(WorkerPool, ThreadsRunEveryWorkerOnceWithTheCallerAsWorkerZero) {
  for (unsigned threads : {0u, 1u, 2u, 3u, 8u, 40u}) {
    SCOPED_TRACE(threads);
    const unsigned workers = std::max(threads, 1u);
    std::vector<std::atomic<int>> runs(workers);
    std::thread::id first;
    const unsigned took = KvRunWorkers(threads, [&](unsigned t) {
      if (t == 0) first = std::this_thread::get_id();
      ++runs[t];
    });
    EXPECT_EQ(first, std::this_thread::get_id());
    for (unsigned t = 0; t < workers; ++t) EXPECT_EQ(runs[t].load(), 1) << t;
    EXPECT_GE(took, 1u);
    EXPECT_LE(took, workers);
    EXPECT_LE(KvSystem::KvWorkerPoolSize() + 1, KvSystem::KvMaxWorkerThreads());
  }
}

TEST(WorkerPool, ThreadedClaimsEqualSerialOnes) {
  for (std::uint64_t count : {0ull, 1ull, 7ull, 1000ull, 100003ull})
    for (std::uint64_t step : {1ull, 5ull, 4096ull}) {
      const std::uint64_t serial = ClaimedSum(1, count, step);
      EXPECT_EQ(serial, count == 0 ? 0 : count * (count - 1) / 2) << count;
      for (unsigned threads : {2u, 3u, 16u}) EXPECT_EQ(ClaimedSum(threads, count, step), serial) << threads;
    }
}

TEST(WorkerPool, ThreadMessagesReachTheCallersContextOnly) {
  Recorder recorder;
  {
    KvSystem::KvScopedCallContext scope(&recorder);
    EXPECT_EQ(OnHelpers(4, [](unsigned t) { KvSystem::KvThrow()->Warning("worker %u", t); }), 4u);
  }
  std::vector<std::string> texts = recorder.Texts();
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"worker 0", "worker 1", "worker 2", "worker 3"}));
  // The same helpers, now for a caller without a context: the messages go to
  // the process's sink.
  VarnexTest::CaptureSink sink;
  std::atomic<int> inherited{0};
  OnHelpers(4, [&](unsigned t) {
    inherited += KvSystem::KvCurrentCallContext() != nullptr;
    KvSystem::KvThrow()->Warning("later %u", t);
  });
  EXPECT_EQ(inherited.load(), 0);
  EXPECT_EQ(recorder.Texts().size(), 4u);
  EXPECT_EQ(sink.Count(), 4u);
}

TEST(WorkerPool, ThreadExceptionReachesTheCallerAfterEveryWorkerEnded) {
  // Claims enough for seconds of work: the others must stop, not finish them.
  constexpr std::uint64_t kCount = std::uint64_t{1} << 30;
  for (unsigned thrower : {0u, 1u, 3u}) {
    SCOPED_TRACE(thrower);
    std::atomic<int> started{0}, ended{0};
    std::atomic<std::uint64_t> next{0};
    try {
      KvRunWorkers(4, [&](unsigned t) {
        ++started;
        if (t == thrower) {
          ++ended;
          throw std::runtime_error("worker " + std::to_string(t));
        }
        for (std::uint64_t i = KvClaim(next, kCount); i < kCount; i = KvClaim(next, kCount)) {
        }
        ++ended;
      });
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "worker " + std::to_string(thrower));
    }
    // The claims stopped, and nothing runs on.
    EXPECT_EQ(started.load(), ended.load());
    EXPECT_LT(next.load(), kCount);
  }
}

TEST(WorkerPool, ThreadCancelStopsWorkersAtTheirNextClaim) {
  Recorder recorder;
  std::atomic<bool> cancel{false};
  recorder.SetCancelFlag(&cancel);
  KvSystem::KvScopedCallContext scope(&recorder);
  // Enough claims that ignoring the flag shows, few enough to end quickly then.
  constexpr std::uint64_t kCount = std::uint64_t{1} << 22;
  std::atomic<std::uint64_t> next{0}, done{0};
  std::atomic<int> afterCancel{0};
  OnHelpers(3, [&](unsigned) {
    for (std::uint64_t i = KvClaim(next, kCount); i < kCount; i = KvClaim(next, kCount)) {
      afterCancel += cancel.load();
      if (++done == 1000) cancel = true;
    }
  });
  // Each worker may have held one claim when the flag rose, no more.
  EXPECT_LE(afterCancel.load(), 3);
  EXPECT_LT(next.load(), kCount);
  EXPECT_EQ(KvClaim(next, kCount), kCount);
}

TEST(WorkerPool, NestedThreadCallsCompleteWithoutStartingThreads) {
  // A first call leaves four idle helpers behind; the outer call takes them
  // again, and every inner call takes idle ones only: inner calls that asked
  // for 100 threads each would otherwise fill the pool to its limit.
  ClaimedSum(5, 100, 1);
  const unsigned size = KvSystem::KvWorkerPoolSize();
  ASSERT_LT(size, 5 * 99u);
  std::atomic<std::uint64_t> total{0};
  KvRunWorkers(5, [&](unsigned) {
    total += ClaimedSum(100, 10000, 7);
    KvRunWorkers(3, [&](unsigned) { total += ClaimedSum(2, 100, 1); });
  });
  EXPECT_EQ(total.load(), 5 * (10000ull * 9999 / 2) + 15 * (100ull * 99 / 2));
  EXPECT_EQ(KvSystem::KvWorkerPoolSize(), size);
}

// A forked child has none of its parent's helper threads: its pool starts
// afresh. (ThreadSanitizer refuses threads in a child of a threaded parent.)
#if !defined(__SANITIZE_THREAD__)
TEST(WorkerPool, ForkedChildGetsAWorkingPool) {
  ClaimedSum(3, 1000, 1);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) _exit(ClaimedSum(3, 100000, 5) == 100000ull * 99999 / 2 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
