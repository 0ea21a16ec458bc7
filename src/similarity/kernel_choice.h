// The one choice of instruction set behind every bit count of the library:
// the pair counts of the similarity measures (popcount.h) and the scan
// kernels of the fast database (fastdb/kernels) both follow it.
//
// The choice is made once per process: the fastest set this processor (and
// its operating system, for the wide vector state) runs, unless the
// environment variable VARNEX_KERNEL names one of "software", "popcnt",
// "avx2", "avx512"; a name that is unknown or not available here warns once
// and is ignored. Tests switch with SetActiveKernel().
//
// Thread safety: the active choice is atomic; everything else is constant.
#pragma once

#include <string>

namespace Varnex {

namespace ScanKernelId {
inline constexpr unsigned Software = 0;  // bit-parallel count on 64-bit words
inline constexpr unsigned PopCnt = 1;    // the POPCNT instruction
inline constexpr unsigned Avx2 = 2;      // nibble lookup (vpshufb) on 256-bit vectors
inline constexpr unsigned Avx512 = 3;    // VPOPCNTDQ on 512-bit vectors
inline constexpr unsigned Count = 4;
}  // namespace ScanKernelId

// "software", "popcnt", "avx2", "avx512" for the ids, "" for any other value.
constexpr const char* KernelName(unsigned id) {
  constexpr const char* kNames[ScanKernelId::Count] = {"software", "popcnt", "avx2", "avx512"};
  return id < ScanKernelId::Count ? kNames[id] : "";
}
// The id of a kernel name; ScanKernelId::Count for other names.
unsigned ParseScanKernelName(const std::string& name);
// Whether this processor runs kernel `id`.
bool KernelRunsHere(unsigned id);
// The kernel a process starts with when VARNEX_KERNEL holds `forced` (null
// or empty: not set): the fastest one here unless `forced` names one that
// runs; warns when it names none.
unsigned ChooseKernel(const char* forced);
// The kernel in use, first chosen from VARNEX_KERNEL.
unsigned ActiveKernel();
// Switches the kernel in use; false (nothing changes) when `id` does not run
// here.
bool SetActiveKernel(unsigned id);

}  // namespace Varnex
