// The worker pool behind KvRunWorkers (kvsystem/workers.h).
//
// A call lives on its caller's stack. Under the pool's one mutex the caller
// assigns idle helpers to it (starting new ones when it may), runs worker 0
// and then claims the remaining workers from the call's atomic counter like
// every helper does. When it runs out of workers it takes back the helpers
// that have not woken up yet (a small call does not wait for a wake-up it no
// longer needs) and waits for those still running, spinning at first. Each
// helper waits on a condition variable of its own, so a call wakes exactly
// the helpers it was given; after a call it first spins on a flag of its
// own for a while, so that the next call, if it comes soon, needs no
// wake-up at all.

#include "kvsystem/workers.h"

#include "kvsystem/platform.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace KvSystem {
namespace {

// Helper threads at most: far beyond any useful request, low enough that a
// silly one cannot exhaust the process.
constexpr unsigned kMaxHelpers = 255;

struct Helper;

// One KvRunWorkers call.
struct Call {
  Call(void (*body)(void*, unsigned), void* w, unsigned n)
      : run(body), worker(w), context(KvCurrentCallContext()), workers(n) {}

  bool Stopping() const {
    return failed.load(std::memory_order_relaxed) || (context != nullptr && context->IsCancelled());
  }

  void (*run)(void*, unsigned);
  void* worker;
  KvCallContext* context;
  unsigned workers;
  std::atomic<unsigned> next{1};  // worker 0 is the caller's
  std::atomic<bool> failed{false};
  // Under the pool's mutex:
  std::exception_ptr failure;     // the first exception of a worker
  Helper* assigned = nullptr;     // the helpers given to the call, linked through Helper::nextOfCall
  // How many they are; written under the pool's mutex, read without it by
  // the caller's spin.
  std::atomic<unsigned> busy{0};
  unsigned joined = 0;            // how many of them woke up for it
  std::condition_variable ended;  // busy fell to 0
};

struct Helper {
  std::condition_variable wake;
  std::atomic<bool> called{false};  // a call was given to it (cleared by Release): ends its spinning
  // Under the pool's mutex:
  Call* call = nullptr;  // the call given to this helper
  bool started = false;  // it has woken up for that call
  Helper* nextOfCall = nullptr;
};

// The call whose worker this thread runs, or null.
thread_local Call* tCall = nullptr;

class Pool {
 public:
  Pool() { idle_.reserve(kMaxHelpers); }

  unsigned Run(Call& call) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      unsigned wanted = call.workers - 1;
      for (; wanted > 0 && !idle_.empty(); --wanted) {
        Assign(*idle_.back(), call);
        idle_.pop_back();
      }
      // Nested calls take only idle helpers: a busy pool runs them on their caller.
      if (tCall == nullptr)
        for (; wanted > 0 && size_ < kMaxHelpers && Start(call); --wanted) {
        }
    }
    Call* const outer = tCall;
    tCall = &call;
    RunOne(call, 0);
    RunRest(call);
    tCall = outer;

    std::unique_lock<std::mutex> lock(mutex_);
    for (Helper* helper = call.assigned; helper != nullptr;) {
      Helper* const following = helper->nextOfCall;
      if (!helper->started) Release(*helper, call);
      helper = following;
    }
    // Helpers still running mostly end within microseconds, sooner than a
    // sleeping caller would wake up, so the caller spins first; not when
    // the call has more workers than processors (its helpers may need the
    // caller's).
    if (call.busy.load(std::memory_order_relaxed) > 0 && call.workers <= Processors()) {
      lock.unlock();
      SpinWhile([&] { return call.busy.load(std::memory_order_acquire) > 0; });
      lock.lock();  // the last helper has left Release (and the call) once this is held
    }
    call.ended.wait(lock, [&] { return call.busy.load(std::memory_order_relaxed) == 0; });
    lock.unlock();
    if (call.failure) std::rethrow_exception(call.failure);
    return call.joined + 1;
  }

  unsigned Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
  }

 private:
  // REQUIRES: mutex_ held.
  void Assign(Helper& helper, Call& call) {
    helper.call = &call;
    helper.called.store(true, std::memory_order_release);
    helper.started = false;
    helper.nextOfCall = call.assigned;
    call.assigned = &helper;
    call.busy.fetch_add(1, std::memory_order_relaxed);
    helper.wake.notify_one();
  }

  // Takes `helper` off `call` and back to the idle ones. REQUIRES: mutex_ held.
  void Release(Helper& helper, Call& call) {
    helper.called.store(false, std::memory_order_relaxed);
    for (Helper** link = &call.assigned; *link != nullptr; link = &(*link)->nextOfCall) {
      if (*link == &helper) {
        *link = helper.nextOfCall;
        break;
      }
    }
    helper.call = nullptr;
    helper.started = false;
    idle_.push_back(&helper);
    if (call.busy.fetch_sub(1, std::memory_order_release) == 1) call.ended.notify_one();
  }

  // Starts one more helper, given `call`. REQUIRES: mutex_ held.
  bool Start(Call& call) {
    Helper* helper = nullptr;
    try {
      helper = new Helper;
      Assign(*helper, call);
      // Helpers block every signal: signals belong to the application's threads.
      sigset_t all, previous;
      sigfillset(&all);
      pthread_sigmask(SIG_SETMASK, &all, &previous);
      struct RestoreMask {
        sigset_t* mask;
        ~RestoreMask() { pthread_sigmask(SIG_SETMASK, mask, nullptr); }
      } restore{&previous};
      std::thread([this, helper] { Serve(*helper); }).detach();
    } catch (...) {
      // No thread (or no memory for one): the call runs on fewer.
      if (helper != nullptr && helper->call != nullptr) {
        Release(*helper, call);
        idle_.pop_back();
      }
      delete helper;
      return false;
    }
    ++size_;
    return true;
  }

  // A helper's life: wait for a call, run its workers, wait again; after a
  // call it spins a little before it sleeps.
  [[noreturn]] void Serve(Helper& self) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (self.call == nullptr) {
        lock.unlock();
        SpinUntilCalled(self);
        lock.lock();
      }
      self.wake.wait(lock, [&] { return self.call != nullptr; });
      Call& call = *self.call;
      self.started = true;
      ++call.joined;
      lock.unlock();
      {
        KvScopedCallContext scope(call.context);
        tCall = &call;
        RunRest(call);
        tCall = nullptr;
      }
      lock.lock();
      Release(self, call);
    }
  }

  // Waking a sleeping thread costs the caller a system call and the call
  // tens of microseconds before the helper runs (more on virtual machines,
  // whose idle processors halt), as much as a small search takes; calls
  // that follow each other closely find their helpers still spinning. No
  // pause instruction: hypervisors take the processor away from a virtual
  // one that loops on pauses, which costs the very wake-up spared here.
  static void SpinUntilCalled(const Helper& self) {
    SpinWhile([&] { return !self.called.load(std::memory_order_acquire); });
  }

  // Loops while `condition()` holds, for 200 us at most.
  template <typename Condition>
  static void SpinWhile(Condition&& condition) {
    constexpr auto kSpin = std::chrono::microseconds(200);
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (unsigned k = 1; condition(); ++k) {
      if (k % 256 == 0 && std::chrono::steady_clock::now() >= until) return;
    }
  }

  void RunOne(Call& call, unsigned t) {
    try {
      call.run(call.worker, t);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!call.failure) call.failure = std::current_exception();
      call.failed.store(true, std::memory_order_relaxed);
    }
  }

  // Runs the workers of `call` that nobody has taken yet.
  void RunRest(Call& call) {
    while (!call.Stopping()) {
      const unsigned t = call.next.fetch_add(1);
      if (t >= call.workers) return;
      RunOne(call, t);
    }
  }

  // The processors this process may run on, read once (a system call).
  static unsigned Processors() {
    static const unsigned processors = KvGetNumProcessors();
    return processors;
  }

  std::mutex mutex_;
  std::vector<Helper*> idle_;  // under mutex_
  unsigned size_ = 0;          // helpers started, under mutex_
};

// Never destroyed (see the header); a forked child gets a new one, since the
// helpers of its parent do not exist in it.
std::atomic<Pool*> gPool{nullptr};

Pool& GetPool() {
  Pool* pool = gPool.load(std::memory_order_acquire);
  if (pool != nullptr) return *pool;
  static const bool registered = pthread_atfork(nullptr, nullptr, [] { gPool.store(nullptr); }) == 0;
  (void)registered;
  Pool* fresh = new Pool;
  if (gPool.compare_exchange_strong(pool, fresh, std::memory_order_acq_rel)) return *fresh;
  delete fresh;
  return *pool;
}

}  // namespace

unsigned KvRunWorkerCalls(unsigned threads, void (*run)(void* worker, unsigned t), void* worker) {
  if (threads <= 1) {
    run(worker, 0);
    return 1;
  }
  Call call(run, worker, threads);
  return GetPool().Run(call);
}

bool KvWorkersShouldStop() {
  return KvCancelRequested() || (tCall != nullptr && tCall->failed.load(std::memory_order_relaxed));
}

unsigned KvMaxWorkerThreads() { return kMaxHelpers + 1; }

unsigned KvWorkerPoolSize() {
  Pool* pool = gPool.load(std::memory_order_acquire);
  return pool == nullptr ? 0 : pool->Size();
}

}  // namespace KvSystem
