// Plain C++ loops over the library, the baselines that bench/python_bench.py
// measures the package against in the same run. Not part of the API.

#include <pybind11/stl.h>

#include <chrono>
#include <ctime>

#include "call_scope.h"
#include "objects.h"
#include "varnex/fastdb.h"
#include "varnex/generation.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

using Clock = std::chrono::steady_clock;

// Seconds to parse and fingerprint every SMILES on one thread.
double FingerprintSeconds(const std::vector<std::string>& smiles, const FPType& type) {
  CallScope scope;  // failed molecules: their warnings are dropped with the scope
  py::gil_scoped_release release;
  const Clock::time_point start = Clock::now();
  for (const std::string& s : smiles) {
    KvChem::KvMol mol;
    KvFingerPrint fp;
    if (KvChem::KvSmilesToMol(s, mol)) static_cast<void>(KvMakeFP(fp, mol, type.ptr));  // a failure is timed too
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor seconds the calling thread has used.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Seconds of each of `passes` passes of one sorted search per query (top
// `k`, Tanimoto) on the calling thread, over one open database: elapsed
// time, or with `threadCpu` the thread's processor time, which other
// programs on a busy machine do not inflate.
std::vector<double> SearchSeconds(const std::string& path, const std::vector<Fingerprint>& queries, unsigned k,
                                  unsigned passes, bool threadCpu) {
  CallScope scope;
  py::gil_scoped_release release;
  KvFastFPDatabase db(path, KvFastFPDatabaseMemoryType::MemoryMapped);
  KvFPDatabaseOptions options;
  options.SetLimit(k);
  const auto now = [threadCpu] {
    return threadCpu ? ThreadCpuSeconds() : std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
  };
  std::vector<double> seconds;
  for (unsigned pass = 0; pass < passes; ++pass) {
    const double start = now();
    for (const Fingerprint& q : queries) KvSystem::KvCollect(db.GetSortedScores(q.fp, options));
    seconds.push_back(now() - start);
  }
  return seconds;
}

}  // namespace

void BindBaselines(py::module_& m) {
  m.def("_cxx_fingerprint_seconds", &FingerprintSeconds);
  m.def("_cxx_search_seconds", &SearchSeconds, py::arg("path"), py::arg("queries"), py::arg("k"), py::arg("passes"),
        py::arg("thread_cpu") = false);
}

}  // namespace VarnexPy
