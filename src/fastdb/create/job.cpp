// Worker threads of the fast database creation.
//
// Workers claim five molecules at a time from one atomic counter and read the
// molecule database concurrently; everything up to the finished records is
// private to the worker. A chunk's records lie next to each other in the
// file, so each chunk is one write per file it falls into. Only the writes
// and the progress update take the job's lock, so the files' bytes do not
// depend on the number of threads or on their timing.

#include "fastdb/create/job.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>
#include <span>
#include <vector>

#include "fastdb/format/bytes.h"
#include "kvchem/mol.h"
#include "kvsystem/error.h"
#include "kvsystem/workers.h"
#include "varnex/fpbin.h"
#include "varnex/generation.h"
#include "system/messages.h"

namespace Varnex {
namespace {

constexpr std::uint64_t kChunk = 5;

struct CreationJob {
  CreationJob(const KvChem::KvMolDatabase& molecules, const KvFPTypeBase* fpType, std::span<CreationOutput> files,
              KvSystem::KvDots* progress, const char* name, const std::atomic<bool>* stopFlag, std::uint64_t base)
      : mols(molecules),
        type(fpType),
        perception(KvPerceptionForFingerprinting(fpType)),
        count(molecules.GetMaxMolIdx()),
        words(fpType->GetNumBits() / 64),
        outputs(files),
        tracer(progress),
        caller(name),
        cancel(stopFlag),
        indexBase(base) {}

  // Whether workers should stop claiming chunks.
  bool Stopping() const {
    return failed.load(std::memory_order_relaxed) || (cancel != nullptr && cancel->load(std::memory_order_relaxed)) ||
           KvSystem::KvWorkersShouldStop();
  }

  const KvChem::KvMolDatabase& mols;
  const KvFPTypeBase* type;
  unsigned perception;  // what the molecules are read with
  std::uint64_t count;  // molecules, and records
  std::uint64_t words;  // W
  std::span<CreationOutput> outputs;  // bit count ranges under the lock
  KvSystem::KvDots* tracer;
  const char* caller;
  const std::atomic<bool>* cancel;
  std::uint64_t indexBase;  // stored molecule index of molecule 0
  std::atomic<std::uint64_t> next{0};
  std::atomic<bool> failed{false};
  std::atomic<std::uint64_t> unreadable{0};
  std::atomic<std::uint64_t> ungenerated{0};
  std::mutex lock;
  KvSystem::KvStatus error;           // the first write fault, under the lock
  std::vector<std::uint64_t> failures;  // indices of empty records, under the lock
};

// The record words of `mol`'s fingerprint (`mol`, the worker's own, is readied
// for it in place). An exception (memory exhausted) must not end the worker,
// or the rest of its chunk would stay unwritten: it fails this molecule only.
bool MakeWords(KvFingerPrint& fp, KvChem::KvMol& mol, const KvFPTypeBase* type, std::vector<std::uint64_t>& words,
               std::uint64_t& bitCount) {
  try {
    KvReadyForFingerprinting(mol, type);  // the worker's own molecule: no private copy
    if (!KvMakeFP(fp, mol, type)) return false;
    bitCount = KvFingerPrintToWords(fp, words);
    return true;
  } catch (const std::exception&) {
    words.clear();
    bitCount = 0;
    return false;
  }
}

// Writes the records of molecules [begin, last), laid out in `records` with
// their bit counts in `bitCounts`, into every output they belong to.
// REQUIRES: the job's lock is held.
bool WriteChunk(CreationJob& job, std::uint64_t begin, std::uint64_t last, const std::uint8_t* records,
                const std::uint64_t* bitCounts, std::size_t recordBytes, KvSystem::KvStatus& error) {
  auto output = std::upper_bound(job.outputs.begin(), job.outputs.end(), begin,
                                 [](std::uint64_t i, const CreationOutput& o) { return i < o.first; });
  if (output != job.outputs.begin()) --output;
  for (; output != job.outputs.end() && output->first < last; ++output) {
    const std::uint64_t from = std::max(begin, output->first);
    const std::uint64_t to = std::min(last, output->first + output->count);
    if (from >= to) continue;
    for (std::uint64_t i = from; i < to; ++i) {
      output->minBits = std::min(output->minBits, bitCounts[i - begin]);
      output->maxBits = std::max(output->maxBits, bitCounts[i - begin]);
    }
    const std::span<const std::uint8_t> bytes(records + (from - begin) * recordBytes, (to - from) * recordBytes);
    if (!output->file->WriteAt(KvFastFPRecordOffset(from - output->first, job.words), bytes, error)) return false;
  }
  return true;
}

void RunWorker(CreationJob& job) {
  KvChem::KvMol mol;
  KvFingerPrint fp;
  std::vector<std::uint64_t> words;
  words.reserve(job.words);
  const std::size_t recordBytes = (job.words + KvFastFPRecordExtraWords) * 8;
  std::vector<std::uint8_t> records(recordBytes * kChunk);
  std::uint64_t bitCounts[kChunk] = {};
  std::vector<std::uint64_t> failures;  // of the current chunk
  failures.reserve(kChunk);

  while (!job.Stopping()) {
    const std::uint64_t end = job.next.fetch_add(kChunk, std::memory_order_relaxed) + kChunk;
    const std::uint64_t begin = end - kChunk;
    if (begin >= job.count) return;
    const std::uint64_t last = std::min(end, job.count);
    std::fill(records.begin(), records.end(), std::uint8_t{0});
    failures.clear();
    for (std::uint64_t i = begin; i < last; ++i) {
      const auto index = static_cast<unsigned>(i);
      std::uint64_t bitCount = 0;
      words.clear();
      if (!job.mols.GetMolecule(mol, index, job.perception)) {
        failures.push_back(i);
        job.unreadable.fetch_add(1, std::memory_order_relaxed);
        KvSystem::KvThrow()->Warning(Msg::kCreateMolecule, job.caller, static_cast<int>(index));
      } else if (!MakeWords(fp, mol, job.type, words, bitCount)) {
        failures.push_back(i);
        job.ungenerated.fetch_add(1, std::memory_order_relaxed);
        KvSystem::KvThrow()->Warning(Msg::kCreateFingerPrint, job.caller,
                                     static_cast<int>(index));
      }
      // A fingerprint of an unexpected length fills its slot and no more.
      bitCounts[i - begin] = bitCount;
      std::uint8_t* record = records.data() + (i - begin) * recordBytes;
      StoreLE64(record, job.indexBase + i);
      StoreLE64(record + 8, bitCount);
      const std::size_t kept = std::min<std::size_t>(words.size(), job.words);
      for (std::size_t w = 0; w < kept; ++w) StoreLE64(record + 16 + 8 * w, words[w]);
    }

    std::lock_guard<std::mutex> guard(job.lock);
    if (job.tracer != nullptr)
      for (std::uint64_t i = begin; i < last; ++i) job.tracer->Update(1);
    if (job.failed.load(std::memory_order_relaxed)) return;
    job.failures.insert(job.failures.end(), failures.begin(), failures.end());
    KvSystem::KvStatus error;
    if (!WriteChunk(job, begin, last, records.data(), bitCounts, recordBytes, error)) {
      job.error = error;
      job.failed.store(true, std::memory_order_relaxed);
      return;
    }
  }
}

}  // namespace

CreationJobResult RunCreationJob(const KvChem::KvMolDatabase& mols, const KvFPTypeBase* type,
                                     std::span<CreationOutput> outputs, unsigned threads, KvSystem::KvDots* tracer,
                                     const char* caller, const std::atomic<bool>* cancel,
                                     std::uint64_t indexBase) {
  CreationJob job(mols, type, outputs, tracer, caller, cancel, indexBase);
  job.next.store(0);
  // An exception of a worker (memory exhausted) stops the others at their
  // next chunk and reaches the caller once all have ended.
  KvSystem::KvRunWorkers(threads, [&job](unsigned) { RunWorker(job); });
  CreationJobResult result;
  result.written = !job.failed.load();
  result.error = job.error;
  // A claimed chunk is always written, so records are missing exactly when
  // chunks were left unclaimed; without a write fault only a cancel does that.
  result.cancelled = result.written && job.next.load() < job.count;
  result.unreadable = job.unreadable.load();
  result.ungenerated = job.ungenerated.load();
  result.failed = std::move(job.failures);
  std::sort(result.failed.begin(), result.failed.end());
  return result;
}

}  // namespace Varnex
