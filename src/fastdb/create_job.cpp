// Worker threads of the fast database creation.
//
// Workers claim five molecules at a time from one atomic counter and read the
// molecule database concurrently; everything up to the finished record is
// private to the worker. Only the record copy into the shared mapping and the
// progress update take the job's lock, so the file's bytes do not depend on
// the number of threads or on their timing.

#include "fastdb/create_job.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "fastdb/fpbin_bytes.h"
#include "kvchem/mol.h"
#include "kvsystem/error.h"
#include "varnex/fpbin.h"
#include "varnex/generation.h"

namespace Varnex {
namespace {

constexpr std::uint64_t kChunk = 5;

struct CreationJob {
  CreationJob(const KvChem::KvMolDatabase& molecules, const KvFPTypeBase* fpType, std::uint8_t* output,
              KvSystem::KvDots* progress, const char* name)
      : mols(molecules),
        type(fpType),
        count(molecules.GetMaxMolIdx()),
        words(fpType->GetNumBits() / 64),
        file(output),
        tracer(progress),
        caller(name) {}

  const KvChem::KvMolDatabase& mols;
  const KvFPTypeBase* type;
  std::uint64_t count;  // molecules, and records
  std::uint64_t words;  // W
  std::uint8_t* file;   // start of the mapped file
  KvSystem::KvDots* tracer;
  const char* caller;
  std::atomic<std::uint64_t> next{0};
  std::mutex lock;
};

// The record words of `mol`'s fingerprint. An exception (memory exhausted)
// must not end the worker, or the rest of its chunk would stay unwritten: it
// fails this molecule only.
bool MakeWords(KvFingerPrint& fp, const KvChem::KvMol& mol, const KvFPTypeBase* type, std::vector<std::uint64_t>& words,
               std::uint64_t& bitCount) {
  try {
    if (!KvMakeFP(fp, mol, type)) return false;
    bitCount = KvFingerPrintToWords(fp, words);
    return true;
  } catch (const std::exception&) {
    words.clear();
    bitCount = 0;
    return false;
  }
}

void RunWorker(CreationJob& job) {
  KvChem::KvMol mol;
  KvFingerPrint fp;
  std::vector<std::uint64_t> words;
  words.reserve(job.words);
  const std::size_t recordBytes = (job.words + KvFastFPRecordExtraWords) * 8;
  std::vector<std::uint8_t> record(recordBytes);

  for (;;) {
    const std::uint64_t end = job.next.fetch_add(kChunk, std::memory_order_relaxed) + kChunk;
    const std::uint64_t begin = end - kChunk;
    if (begin >= job.count) return;
    for (std::uint64_t i = begin; i < std::min(end, job.count); ++i) {
      const auto index = static_cast<unsigned>(i);
      std::uint64_t bitCount = 0;
      words.clear();
      if (!job.mols.GetMolecule(mol, index)) {
        KvSystem::KvThrow()->Warning("%s cannot access molecule with index %d", job.caller, static_cast<int>(index));
      } else if (!MakeWords(fp, mol, job.type, words, bitCount)) {
        KvSystem::KvThrow()->Warning("%s cannot generate fingerprint with index %d", job.caller,
                                     static_cast<int>(index));
      }
      // A fingerprint of an unexpected length fills its slot and no more.
      std::fill(record.begin(), record.end(), std::uint8_t{0});
      KvStoreLE64(record.data(), i);
      KvStoreLE64(record.data() + 8, bitCount);
      const std::size_t kept = std::min<std::size_t>(words.size(), job.words);
      for (std::size_t w = 0; w < kept; ++w) KvStoreLE64(record.data() + 16 + 8 * w, words[w]);

      std::lock_guard<std::mutex> guard(job.lock);
      if (job.tracer != nullptr) job.tracer->Update(1);
      std::memcpy(job.file + KvFastFPRecordOffset(i, job.words), record.data(), recordBytes);
    }
  }
}

}  // namespace

void KvRunCreationJob(const KvChem::KvMolDatabase& mols, const KvFPTypeBase* type, std::uint8_t* file, unsigned threads,
                      KvSystem::KvDots* tracer, const char* caller) {
  CreationJob job(mols, type, file, tracer, caller);
  job.next.store(0);
  if (threads <= 1) {
    RunWorker(job);
    return;
  }
  std::vector<std::thread> workers;
  workers.reserve(threads);
  bool short_of_threads = false;
  for (unsigned t = 0; t < threads; ++t) {
    try {
      workers.emplace_back(RunWorker, std::ref(job));
    } catch (const std::system_error& error) {
      // Fewer workers give the same file; the calling thread joins in below.
      KvSystem::KvThrow()->Warning("%s cannot start worker thread %u of %u: %s", caller, t + 1, threads, error.what());
      short_of_threads = true;
      break;
    }
  }
  if (short_of_threads) RunWorker(job);
  for (std::thread& worker : workers) worker.join();
}

}  // namespace Varnex
