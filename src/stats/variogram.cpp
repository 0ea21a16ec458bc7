// Variogram: a distance histogram with per-bin sums of squared differences.

#include "kvsystem/error.h"
#include "varnex/histogram.h"

namespace Varnex {

KvFPVariogram::KvFPVariogram(std::size_t nbins, double min, double max)
    : KvFPHistogram(nbins, min, max), sums_(nbins, 0.0) {}

KvFPVariogram::KvFPVariogram(const std::vector<std::size_t>& counts, const std::vector<float>& sums, double min,
                             double max)
    : KvFPHistogram(counts, min, max), sums_(counts.size(), 0.0) {
  if (sums.size() < counts.size())
    KvSystem::KvThrow()->Warning("KvFPVariogram::KvFPVariogram() : fewer sums than bins, the missing sums are 0!");
  for (std::size_t i = 0; i < sums_.size() && i < sums.size(); ++i) sums_[i] = sums[i];
}

std::size_t KvFPVariogram::AddSample(float x, float difference) {
  if (sums_.empty()) return 0;
  const std::size_t bin = KvFPHistogram::AddSample(x);
  const float square = difference * difference;
  sums_[bin] += static_cast<double>(square);
  return bin;
}

KvSystem::KvIterBase<double>* KvFPVariogram::GetVariogram() const {
  std::vector<double> values;
  for (std::size_t i = 0; i < sums_.size(); ++i) {
    const std::uint64_t count = GetCount(i);
    if (count > 0) values.push_back(0.5 * sums_[i] / static_cast<double>(count));
  }
  return KvSystem::KvMakeVectorIter(std::move(values));
}

KvFPVariogram& KvFPVariogram::operator+=(const KvFPVariogram& other) {
  if (!CanMerge(other)) return *this;
  KvFPHistogram::operator+=(other);
  for (std::size_t i = 0; i < sums_.size(); ++i) sums_[i] += other.sums_[i];
  return *this;
}

}  // namespace Varnex
