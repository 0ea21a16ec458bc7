// Scan kernels of the fast database: intersection counts of one query against
// many stored records, in four instruction-set flavours.
//
// A kernel reads runs of `words` little-endian 64-bit words that lie
// `stride` bytes apart (the fingerprint words of records, 16 bytes past each
// record's start, or the signatures of the search index) and writes, per
// run, the number of bits set both in it and in the query (or, screening
// many queries at once, whether that count passes each query's bound). Every flavour
// gives the same numbers; they differ only in speed. No address needs any
// alignment.
//
// The loops are written once (scan_body.h) and compiled in each flavour's
// translation unit with that flavour's target attributes, so one binary runs
// on any x86-64 machine; GetScanKernel() hands out only flavours this
// processor (and its operating system, for the wide vector state) can run.
//
// The active kernel is the library's one instruction-set choice
// (similarity/kernel_choice.h: the fastest available, or the one
// VARNEX_KERNEL names), which the similarity measures' counts follow too.
// Tests switch kernels with SetActiveScanKernel().
//
// Thread safety: kernels are pure functions; the choice is atomic.
#pragma once

#include <cstddef>
#include <cstdint>
#include "similarity/kernel_choice.h"

namespace Varnex {

// Runs screened per call of screenRuns, at most (two mask words per query).
inline constexpr std::size_t kScreenRuns = 128;

// One query of a screen: run r passes when
//   |run r AND signature| + min(slack[r], extra) >= need.
struct ScreenQuery {
  const std::uint64_t* signature;
  std::uint32_t extra;
  std::uint32_t need;
};

struct ScanKernel {
  unsigned id;
  const char* name;
  // out[r] = |query AND run r| for the `count` runs at first + r x stride.
  void (*intersectRun)(const std::uint8_t* first, std::size_t stride, std::size_t count, const std::uint64_t* query,
                       std::size_t words, std::uint32_t* out);
  // The same for the runs at base + positions[r] x stride, r < count, when
  // they are likely in cache (a block of records scored row after row).
  void (*intersectAt)(const std::uint8_t* base, std::size_t stride, const std::uint32_t* positions,
                      std::size_t count, const std::uint64_t* query, std::size_t words, std::uint32_t* out);
  // The same for runs scattered over memory: each is asked for
  // kPrefetchAhead runs before it is read.
  void (*intersectAtFar)(const std::uint8_t* base, std::size_t stride, const std::uint32_t* positions,
                         std::size_t count, const std::uint64_t* query, std::size_t words, std::uint32_t* out);
  // The number of bits set in words[0, n).
  std::uint64_t (*popCount)(const std::uint64_t* words, std::size_t n);
  // The same count as intersectRun for `count` <= kScreenRuns runs against
  // each of `nq` queries at once, each run read once for all of them, and
  // tested as ScreenQuery says: bit r of masks[2j + r / 64] is set when run
  // r passes query j (every other bit of masks[0, 2nq) is cleared).
  void (*screenRuns)(const std::uint8_t* first, std::size_t stride, std::size_t count, const std::uint32_t* slack,
                     const ScreenQuery* queries, std::size_t nq, std::size_t words, std::uint64_t* masks);
};

// The kernel `id` when this processor runs it, else null.
const ScanKernel* GetScanKernel(unsigned id);
// The kernel in use (never null).
const ScanKernel& GetActiveScanKernel();
// Switches the kernel in use (and the similarity counts with it); false
// (nothing changes) when `id` is not available here.
bool SetActiveScanKernel(unsigned id);

// The flavours, defined in their own translation units. The non-software ones
// REQUIRE the processor support that GetScanKernel checks.
extern const ScanKernel kScanKernelSoftware;
extern const ScanKernel kScanKernelPopCnt;
extern const ScanKernel kScanKernelAvx2;
extern const ScanKernel kScanKernelAvx512;

// The fingerprint words of a record at `record` (16 bytes past its start).
inline const std::uint8_t* RecordWords(const std::uint8_t* record) { return record + 16; }

// Records the scattered-position kernels ask the memory system for ahead of
// use: their addresses do not follow a stream the hardware prefetcher sees.
inline constexpr std::size_t kPrefetchAhead = 8;

// Asks for every cache line of the `bytes` bytes at `run`.
inline void PrefetchRun(const std::uint8_t* run, std::size_t bytes) {
  for (std::size_t offset = 0; offset < bytes; offset += 64) __builtin_prefetch(run + offset);
  __builtin_prefetch(run + bytes - 1);
}

}  // namespace Varnex
