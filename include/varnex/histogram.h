// Score histograms and variograms.
//
// KvFPHistogram counts scores in equal-width bins over a fixed range
// [minimum, maximum]; samples outside the range land in the first or the last
// bin, so nothing is dropped. KvFPVariogram adds, per bin of a distance axis,
// the sum of squared property differences and reports the semivariance.
//
// An empty histogram (no samples) reports densities of 0.0 and a mean and a
// standard deviation of 0.0 rather than the 0/0 of the formulas. A histogram
// of zero bins counts nothing: AddSample returns 0 and changes nothing.
//
// Ownership: both are plain values. Iterators handed out are heap objects the
// caller owns and deletes.
// Thread safety: no internal locking; concurrent const calls are fine, changes
// need exclusive access (KvSimSearchResult guards its histogram itself).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kvsystem/iterator.h"

namespace Varnex {

class KvFPHistogram {
 public:
  // 200 bins over [0, 1].
  KvFPHistogram() : KvFPHistogram(200, 0.0, 1.0) {}
  // `nbins` empty bins of width (max - min) / nbins.
  KvFPHistogram(std::size_t nbins, double min, double max);
  // Takes the counts unchanged; the bin count is their number.
  KvFPHistogram(const std::vector<std::size_t>& counts, double min, double max);
  KvFPHistogram(const KvFPHistogram&) = default;
  KvFPHistogram& operator=(const KvFPHistogram&) = default;
  virtual ~KvFPHistogram() = default;

  std::size_t NumBins() const { return counts_.size(); }
  double GetMin() const { return min_; }
  double GetMax() const { return max_; }
  double GetBinWidth() const { return width_; }

  // The bin of x: 0 when not x > min (NaN included), the last bin when
  // x >= max, else floor((x - min) / width) capped at the last bin. The float
  // form compares in double and divides in single precision.
  std::size_t GetBinIdx(double x) const;
  std::size_t GetBinIdx(float x) const;

  // Counts one sample in its bin and returns the bin index.
  std::size_t AddSample(double x);
  std::size_t AddSample(float x);

  // The sum of all counts.
  std::uint64_t NumSamples() const;
  // The count of bin i (0 for i out of range), without an iterator.
  std::uint64_t GetCount(std::size_t bin) const { return bin < counts_.size() ? counts_[bin] : 0; }

  // The counts, truncated to unsigned 32-bit numbers. Caller owns the iterator.
  KvSystem::KvIterBase<unsigned int>* GetCounts() const;
  // NumBins() + 1 values: min + i x width for i < NumBins(), then max.
  KvSystem::KvIterBase<double>* GetBinBoundaries() const;
  // min + (i + 0.5) x width per bin.
  KvSystem::KvIterBase<double>* GetBinCenters() const;
  // count(i) / NumSamples() per bin (0.0 when empty); not divided by the width.
  KvSystem::KvIterBase<double>* GetDensity() const;
  // Sum of density x center; 0.0 when empty.
  double Mean() const;
  // Square root of the sum of density x (center - mean)^2; 0.0 when empty.
  double Std() const;

  // Adds the other's counts bin by bin. The minimum, the maximum (compared
  // exactly) and the bin count must agree; each disagreement warns
  // "KvFPHistogram::operator+=() : cannot merge histogram due to different
  // min limit!" (max limit, bin size) and then nothing changes.
  KvFPHistogram& operator+=(const KvFPHistogram& other);

 protected:
  // Takes one sample out of its bin (a count of 0 stays 0); returns the bin.
  std::size_t RemoveSample(float x);
  // Whether the other's range and bin count agree, warning on each mismatch.
  bool CanMerge(const KvFPHistogram& other) const;

 private:
  std::vector<double> Densities() const;

  std::vector<std::uint64_t> counts_;
  double min_;
  double max_;
  double width_;
};

// A histogram of distances with, per bin, the sum of squared property
// differences of its samples.
class KvFPVariogram : public KvFPHistogram {
 public:
  // 200 bins over [0, 1].
  KvFPVariogram() : KvFPVariogram(200, 0.0, 1.0) {}
  KvFPVariogram(std::size_t nbins, double min, double max);
  // The counts and, per bin, sums[i] widened to double. A sums vector shorter
  // than the counts warns "KvFPVariogram::KvFPVariogram() : fewer sums than
  // bins, the missing sums are 0!" and uses 0.0 for the missing ones.
  KvFPVariogram(const std::vector<std::size_t>& counts, const std::vector<float>& sums, double min, double max);
  KvFPVariogram(const KvFPVariogram&) = default;
  KvFPVariogram& operator=(const KvFPVariogram&) = default;

  // Counts x in its bin (float bin index) and adds d x d (a float product) to
  // the bin's sum. Returns the bin index.
  std::size_t AddSample(float x, float difference);
  // Per bin with samples, in bin order, 0.5 x sum / count; bins without
  // samples give no value. Caller owns the iterator.
  KvSystem::KvIterBase<double>* GetVariogram() const;
  // The sum of squared differences of bin i (0.0 for i out of range).
  double GetSum(std::size_t bin) const { return bin < sums_.size() ? sums_[bin] : 0.0; }

  // Merges counts and sums under the histogram's rules and warnings.
  KvFPVariogram& operator+=(const KvFPVariogram& other);

 private:
  std::vector<double> sums_;
};

}  // namespace Varnex
