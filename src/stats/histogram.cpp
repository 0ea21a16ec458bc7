// Equal-width score histogram: bin arithmetic, derived values and merging.

#include <cmath>
#include <numeric>

#include "kvsystem/error.h"
#include "varnex/histogram.h"
#include "system/messages.h"

namespace Varnex {
namespace {

// The bin of a quotient (x - min) / width that lies above the first bin's
// lower edge: floored and capped at the last bin. A quotient that is not a
// number or too large for an index (infinite ranges) also gives the last bin.
template <typename Real>
std::size_t BinOfQuotient(Real quotient, std::size_t nbins) {
  const Real floored = std::floor(quotient);
  if (!(floored < static_cast<Real>(nbins))) return nbins - 1;
  if (!(floored > Real(0))) return 0;
  return static_cast<std::size_t>(floored);
}

}  // namespace

KvFPHistogram::KvFPHistogram(std::size_t nbins, double min, double max)
    : counts_(nbins, 0), min_(min), max_(max), width_(nbins > 0 ? (max - min) / static_cast<double>(nbins) : 0.0) {}

KvFPHistogram::KvFPHistogram(const std::vector<std::size_t>& counts, double min, double max)
    : counts_(counts.begin(), counts.end()),
      min_(min),
      max_(max),
      width_(counts.empty() ? 0.0 : (max - min) / static_cast<double>(counts.size())) {}

std::size_t KvFPHistogram::GetBinIdx(double x) const {
  const std::size_t n = counts_.size();
  if (n == 0 || !(x > min_)) return 0;
  if (x >= max_) return n - 1;
  return BinOfQuotient((x - min_) / width_, n);
}

std::size_t KvFPHistogram::GetBinIdx(float x) const {
  const std::size_t n = counts_.size();
  const double wide = x;
  if (n == 0 || !(wide > min_)) return 0;
  if (wide >= max_) return n - 1;
  return BinOfQuotient((x - static_cast<float>(min_)) / static_cast<float>(width_), n);
}

std::size_t KvFPHistogram::AddSample(double x) {
  if (counts_.empty()) return 0;
  const std::size_t bin = GetBinIdx(x);
  ++counts_[bin];
  return bin;
}

std::size_t KvFPHistogram::AddSample(float x) {
  if (counts_.empty()) return 0;
  const std::size_t bin = GetBinIdx(x);
  ++counts_[bin];
  return bin;
}

std::size_t KvFPHistogram::RemoveSample(float x) {
  if (counts_.empty()) return 0;
  const std::size_t bin = GetBinIdx(x);
  if (counts_[bin] > 0) --counts_[bin];
  return bin;
}

std::uint64_t KvFPHistogram::NumSamples() const {
  return std::accumulate(counts_.begin(), counts_.end(), std::uint64_t{0});
}

KvSystem::KvIterBase<unsigned int>* KvFPHistogram::GetCounts() const {
  std::vector<unsigned int> counts(counts_.begin(), counts_.end());
  return KvSystem::KvMakeVectorIter(std::move(counts));
}

KvSystem::KvIterBase<double>* KvFPHistogram::GetBinBoundaries() const {
  std::vector<double> bounds;
  bounds.reserve(counts_.size() + 1);
  for (std::size_t i = 0; i < counts_.size(); ++i) bounds.push_back(min_ + static_cast<double>(i) * width_);
  bounds.push_back(max_);
  return KvSystem::KvMakeVectorIter(std::move(bounds));
}

KvSystem::KvIterBase<double>* KvFPHistogram::GetBinCenters() const {
  std::vector<double> centers;
  centers.reserve(counts_.size());
  for (std::size_t i = 0; i < counts_.size(); ++i) centers.push_back(min_ + (static_cast<double>(i) + 0.5) * width_);
  return KvSystem::KvMakeVectorIter(std::move(centers));
}

std::vector<double> KvFPHistogram::Densities() const {
  std::vector<double> density(counts_.size(), 0.0);
  const std::uint64_t total = NumSamples();
  if (total == 0) return density;  // an empty histogram reports zeros, not 0/0
  for (std::size_t i = 0; i < counts_.size(); ++i)
    density[i] = static_cast<double>(counts_[i]) / static_cast<double>(total);
  return density;
}

KvSystem::KvIterBase<double>* KvFPHistogram::GetDensity() const { return KvSystem::KvMakeVectorIter(Densities()); }

double KvFPHistogram::Mean() const {
  const std::vector<double> density = Densities();
  double mean = 0.0;
  for (std::size_t i = 0; i < density.size(); ++i)
    mean += density[i] * (min_ + (static_cast<double>(i) + 0.5) * width_);
  return mean;
}

double KvFPHistogram::Std() const {
  const std::vector<double> density = Densities();
  const double mean = Mean();
  double sum = 0.0;
  for (std::size_t i = 0; i < density.size(); ++i) {
    const double deviation = min_ + (static_cast<double>(i) + 0.5) * width_ - mean;
    sum += density[i] * deviation * deviation;
  }
  return std::sqrt(sum);
}

bool KvFPHistogram::CanMerge(const KvFPHistogram& other) const {
  bool ok = true;
  if (other.min_ != min_) {
    KvSystem::KvThrow()->Warning(Msg::kMergeMin);
    ok = false;
  }
  if (other.max_ != max_) {
    KvSystem::KvThrow()->Warning(Msg::kMergeMax);
    ok = false;
  }
  if (other.counts_.size() != counts_.size()) {
    KvSystem::KvThrow()->Warning(Msg::kMergeBins);
    ok = false;
  }
  return ok;
}

KvFPHistogram& KvFPHistogram::operator+=(const KvFPHistogram& other) {
  if (!CanMerge(other)) return *this;
  for (std::size_t i = 0; i < counts_.size(); ++i) counts_[i] += other.counts_[i];
  return *this;
}

}  // namespace Varnex
