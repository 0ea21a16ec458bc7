// VSEPR path-count fingerprints: the walks, the combinations and the
// attached-data helpers.
#include "varnex/vsepr_fingerprint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <bit>
#include <span>

#include "kvchem/size_limits.h"
#include "kvsystem/error.h"
#include "vsepr/vsepr_internal.h"
#include "system/messages.h"

namespace Varnex {

using PathCount = std::pair<std::uint64_t, double>;

struct KvVseprFingerprint::Impl {
  std::vector<PathCount> pairs;  // strictly increasing keys
  double volume = 0.0;
  KvVseprOptions options;
};

namespace {

constexpr unsigned kLongestPath = 8;  // atoms; one byte of the key each
constexpr std::uint32_t kFar = 0xFFFFFFFFu;
constexpr const char* kFingerprintTag = "KvVseprFingerprint";

// Weight of a path of d bonds when weighting by length.
const std::array<double, kLongestPath>& LengthWeights() {
  static const std::array<double, kLongestPath> weights = [] {
    std::array<double, kLongestPath> w{};
    for (unsigned d = 0; d < kLongestPath; ++d) w[d] = std::exp((8.0 - d) * 0.5);
    return w;
  }();
  return weights;
}

// Path key -> accumulated count, as an open-addressing table. Each key's
// count is summed in walk order, exactly as an ordered map would; Flatten
// then sorts the distinct keys once.
class PathCounter {
 public:
  // `expected` distinct keys fit without growing.
  explicit PathCounter(std::size_t expected) { Rehash(std::bit_ceil(std::max<std::size_t>(64, 2 * expected))); }

  void Add(std::uint64_t key, double weight) {
    std::size_t slot = Slot(key);
    while (used_[slot]) {
      if (entries_[slot].first == key) {
        entries_[slot].second += weight;
        return;
      }
      slot = (slot + 1) & mask_;
    }
    used_[slot] = 1;
    entries_[slot] = {key, weight};
    if (++size_ * 2 > entries_.size()) Rehash(entries_.size() * 2);
  }

  // Appends the (key, count) pairs in increasing key order; returns their sum
  // taken in that order.
  double Flatten(std::vector<PathCount>& out) const {
    out.clear();
    out.reserve(size_);
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (used_[i]) out.push_back(entries_[i]);
    std::sort(out.begin(), out.end(), [](const PathCount& a, const PathCount& b) { return a.first < b.first; });
    double volume = 0.0;
    for (const PathCount& p : out) volume += p.second;
    return volume;
  }

 private:
  std::size_t Slot(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> shift_) & mask_;
  }
  void Rehash(std::size_t capacity) {
    std::vector<PathCount> oldEntries(capacity);
    std::vector<unsigned char> oldUsed(capacity, 0);
    oldEntries.swap(entries_);
    oldUsed.swap(used_);
    mask_ = capacity - 1;
    shift_ = 64 - static_cast<unsigned>(std::countr_zero(capacity));
    for (std::size_t i = 0; i < oldEntries.size(); ++i) {
      if (!oldUsed[i]) continue;
      std::size_t slot = Slot(oldEntries[i].first);
      while (used_[slot]) slot = (slot + 1) & mask_;
      used_[slot] = 1;
      entries_[slot] = oldEntries[i];
    }
  }

  std::vector<PathCount> entries_;
  std::vector<unsigned char> used_;
  std::size_t size_ = 0;
  std::size_t mask_ = 0;
  unsigned shift_ = 64;
};

// The molecule as flat arrays, built once per Setup: atom types and, per
// atom, its non-hydrogen neighbours in neighbour-list order.
struct WalkGraph {
  std::vector<std::uint64_t> types;
  std::vector<std::uint32_t> offsets;  // heavy neighbours of a: nbrs[offsets[a] .. offsets[a + 1])
  std::vector<std::uint32_t> nbrs;
  std::vector<unsigned char> hydrogen;  // per atom index
  std::vector<std::uint32_t> heavyAtoms;  // in the molecule's atom order

  WalkGraph(const KvChem::KvMolBase& mol, bool stereoAware) {
    VseprDetail::TypeAtoms(mol, stereoAware, types);
    const unsigned bound = mol.GetMaxAtomIdx();
    hydrogen.assign(bound, 0);
    const std::span<KvChem::KvAtomBase* const> atoms = mol.Atoms();
    for (const KvChem::KvAtomBase* atom : atoms) {
      hydrogen[atom->GetIdx()] = atom->IsHydrogen();
      if (!hydrogen[atom->GetIdx()]) heavyAtoms.push_back(atom->GetIdx());
    }
    offsets.assign(bound + 1, 0);
    for (const KvChem::KvAtomBase* atom : atoms)
      for (const KvChem::KvAtomBase* n : atom->GetNeighbors())
        if (!hydrogen[n->GetIdx()]) ++offsets[atom->GetIdx() + 1];
    for (unsigned i = 0; i < bound; ++i) offsets[i + 1] += offsets[i];
    nbrs.resize(offsets[bound]);
    std::vector<std::uint32_t> fill(offsets.begin(), offsets.end() - 1);
    // Atoms() is in index order, so each atom's list keeps its neighbour order.
    for (const KvChem::KvAtomBase* atom : atoms)
      for (const KvChem::KvAtomBase* n : atom->GetNeighbors())
        if (!hydrogen[n->GetIdx()]) nbrs[fill[atom->GetIdx()]++] = n->GetIdx();
  }

  std::span<const std::uint32_t> HeavyNeighbours(std::uint32_t a) const {
    return {nbrs.data() + offsets[a], nbrs.data() + offsets[a + 1]};
  }
};

// Enumerates the paths from start atoms into a PathCounter.
class Walker {
 public:
  Walker(const WalkGraph& graph, unsigned maxBonds, unsigned minBonds, bool forceOut, bool weighted,
         PathCounter& counter)
      : graph_(graph),
        maxBonds_(maxBonds),
        minBonds_(minBonds),
        forceOut_(forceOut),
        counter_(counter),
        visited_((graph.types.size() + 31) / 32, 0) {
    if (weighted) {
      weights_ = LengthWeights();
    } else {
      weights_.fill(1.0);
    }
    if (forceOut_) dist_.assign(graph.types.size(), kFar);
  }

  void WalkFrom(std::uint32_t start) {
    if (!forceOut_) {
      Walk(start, 0, 0);
      return;
    }
    ComputeDistances(start);
    WalkOut(start, 0, 0);
    for (std::uint32_t a : reached_) dist_[a] = kFar;  // fresh distances for the next start
    reached_.clear();
  }

 private:
  bool IsVisited(std::uint32_t a) const { return (visited_[a >> 5] >> (a & 31)) & 1u; }
  void Mark(std::uint32_t a) { visited_[a >> 5] |= 1u << (a & 31); }
  void Unmark(std::uint32_t a) { visited_[a >> 5] &= ~(1u << (a & 31)); }

  // Topological distance from `start` through heavy atoms, for distances
  // below the bond limit (the shortest of the simple paths a depth-first
  // search would try, found breadth-first).
  void ComputeDistances(std::uint32_t start) {
    if (maxBonds_ == 0) return;
    dist_[start] = 0;
    reached_.push_back(start);
    for (std::size_t head = 0; head < reached_.size(); ++head) {
      const std::uint32_t a = reached_[head];
      const std::uint32_t next = dist_[a] + 1;
      if (next >= maxBonds_) continue;
      for (std::uint32_t n : graph_.HeavyNeighbours(a)) {
        if (dist_[n] != kFar) continue;
        dist_[n] = next;
        reached_.push_back(n);
      }
    }
  }

  void Walk(std::uint32_t a, std::uint64_t key, unsigned depth) {
    if (depth >= maxBonds_ || IsVisited(a)) return;
    key |= graph_.types[a] << (8 * depth);
    if (depth >= minBonds_) counter_.Add(key, weights_[depth]);
    Mark(a);
    for (std::uint32_t n : graph_.HeavyNeighbours(a))
      if (!IsVisited(n)) Walk(n, key, depth + 1);
    Unmark(a);
  }

  void WalkOut(std::uint32_t a, std::uint64_t key, unsigned depth) {
    if (depth >= maxBonds_ || IsVisited(a)) return;
    if (depth > dist_[a]) return;
    key |= graph_.types[a] << (8 * depth);
    if (depth >= minBonds_) counter_.Add(key, weights_[depth]);
    Mark(a);
    for (std::uint32_t n : graph_.HeavyNeighbours(a)) WalkOut(n, key, depth + 1);
    Unmark(a);
  }

  const WalkGraph& graph_;
  unsigned maxBonds_;
  unsigned minBonds_;
  bool forceOut_;
  PathCounter& counter_;
  std::array<double, kLongestPath> weights_{};
  std::vector<std::uint32_t> visited_;  // one bit per atom index
  std::vector<std::uint32_t> dist_;
  std::vector<std::uint32_t> reached_;
};

}  // namespace

void KvVseprFingerprint::Build(const KvChem::KvMolBase* mol, std::span<const std::uint32_t> starts,
                               bool allHeavyAtoms, const KvVseprOptions& options) {
  Impl& impl = *impl_;
  impl.options = options;
  impl.pairs.clear();
  impl.volume = 0.0;
  unsigned maxBonds = options.GetMaxPathLength();
  unsigned minBonds = options.GetMinPathLength();
  if (maxBonds > kLongestPath)
    KvSystem::KvThrow()->Warning(Msg::kVseprMaxPath,
                                 static_cast<int>(maxBonds));
  if (mol == nullptr || !KvChem::KvIsWithinSizeLimit(*mol, "KvVseprFingerprint")) return;
  if (maxBonds < minBonds) std::swap(maxBonds, minBonds);
  maxBonds = std::min(maxBonds, kLongestPath);
  minBonds = std::min(minBonds, kLongestPath);

  const WalkGraph graph(*mol, options.GetStereoAware());
  // A molecule has typically a few dozen distinct keys per heavy atom.
  PathCounter counter(allHeavyAtoms ? 16 * graph.heavyAtoms.size() : 64);
  Walker walker(graph, maxBonds, minBonds, options.GetForcePathsOut(), options.GetWeightByLength(), counter);
  for (std::uint32_t s : allHeavyAtoms ? std::span<const std::uint32_t>(graph.heavyAtoms) : starts) walker.WalkFrom(s);
  impl.volume = counter.Flatten(impl.pairs);
}

KvVseprFingerprint::KvVseprFingerprint() : impl_(std::make_unique<Impl>()) {}
KvVseprFingerprint::KvVseprFingerprint(const KvChem::KvAtomBase& atom, KvVseprOptions options)
    : KvVseprFingerprint() {
  Setup(atom, options);
}
KvVseprFingerprint::KvVseprFingerprint(const KvChem::KvBondBase& bond, KvVseprOptions options)
    : KvVseprFingerprint() {
  Setup(bond, options);
}
KvVseprFingerprint::KvVseprFingerprint(const KvChem::KvMolBase& mol, KvVseprOptions options)
    : KvVseprFingerprint() {
  Setup(mol, options);
}
KvVseprFingerprint::KvVseprFingerprint(const KvVseprFingerprint& other)
    : impl_(std::make_unique<Impl>(*other.impl_)) {}
KvVseprFingerprint& KvVseprFingerprint::operator=(const KvVseprFingerprint& other) {
  if (this != &other) *impl_ = *other.impl_;
  return *this;
}
KvVseprFingerprint::~KvVseprFingerprint() = default;

void KvVseprFingerprint::Setup(const KvChem::KvAtomBase& atom, KvVseprOptions options) {
  const std::uint32_t start = atom.GetIdx();
  Build(atom.GetParent(), {&start, 1}, false, options);
}

void KvVseprFingerprint::Setup(const KvChem::KvBondBase& bond, KvVseprOptions options) {
  const KvChem::KvAtomBase* begin = bond.GetBeginAtom();
  const KvChem::KvAtomBase* end = bond.GetEndAtom();
  if (begin == nullptr || end == nullptr) {
    Build(nullptr, {}, false, options);
    return;
  }
  const std::array<std::uint32_t, 2> starts = {begin->GetIdx(), end->GetIdx()};
  Build(bond.GetParent(), starts, false, options);
}

void KvVseprFingerprint::Setup(const KvChem::KvMolBase& mol, KvVseprOptions options) {
  Build(&mol, {}, true, options);
}

KvVseprOptions KvVseprFingerprint::GetOptions() const { return impl_->options; }
double KvVseprFingerprint::GetVolume() const { return impl_->volume; }
std::vector<std::pair<std::uint64_t, double>> KvVseprFingerprint::GetPathCounts() const { return impl_->pairs; }
std::size_t KvVseprFingerprint::NumPaths() const { return impl_->pairs.size(); }

double KvVseprFingerprint::GetTanimoto(const KvVseprFingerprint& other) const {
  const std::vector<PathCount>& a = impl_->pairs;
  const std::vector<PathCount>& b = other.impl_->pairs;
  if (a.empty() || b.empty()) return 0.0;
  double numerator = 0.0, denominator = 0.0;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].first == b[j].first) {
      numerator += std::min(a[i].second, b[j].second);
      denominator += std::max(a[i].second, b[j].second);
      ++i, ++j;
    } else if (a[i].first < b[j].first) {
      denominator += a[i++].second;
    } else {
      denominator += b[j++].second;
    }
  }
  for (; i < a.size(); ++i) denominator += a[i].second;
  for (; j < b.size(); ++j) denominator += b[j].second;
  return numerator / denominator;
}

namespace {

// Merges two pair lists by key. `common(x, y)` gives the count of a key in
// both lists; keys in one list only are kept when `keepSingles`.
template <typename Common>
std::vector<PathCount> Merge(const std::vector<PathCount>& a, const std::vector<PathCount>& b, bool keepSingles,
                             Common common) {
  std::vector<PathCount> out;
  out.reserve(keepSingles ? a.size() + b.size() : std::min(a.size(), b.size()));
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].first == b[j].first) {
      out.emplace_back(a[i].first, common(a[i].second, b[j].second));
      ++i, ++j;
    } else if (a[i].first < b[j].first) {
      if (keepSingles) out.push_back(a[i]);
      ++i;
    } else {
      if (keepSingles) out.push_back(b[j]);
      ++j;
    }
  }
  if (keepSingles) {
    out.insert(out.end(), a.begin() + static_cast<std::ptrdiff_t>(i), a.end());
    out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(j), b.end());
  }
  return out;
}

double SumCounts(const std::vector<PathCount>& pairs) {
  double sum = 0.0;
  for (const PathCount& p : pairs) sum += p.second;
  return sum;
}

}  // namespace

KvVseprFingerprint KvVseprFingerprint::operator+(const KvVseprFingerprint& other) const {
  if (impl_->pairs.empty()) return other;
  if (other.impl_->pairs.empty()) return *this;
  KvVseprFingerprint result;
  result.impl_->pairs = Merge(impl_->pairs, other.impl_->pairs, true, [](double x, double y) { return x + y; });
  result.impl_->volume = SumCounts(result.impl_->pairs);
  return result;
}

KvVseprFingerprint KvVseprFingerprint::operator&(const KvVseprFingerprint& other) const {
  KvVseprFingerprint result;
  result.impl_->pairs = Merge(impl_->pairs, other.impl_->pairs, false, [](double x, double y) { return x < y ? x : y; });
  result.impl_->volume = SumCounts(result.impl_->pairs);
  return result;
}

KvVseprFingerprint KvVseprFingerprint::operator|(const KvVseprFingerprint& other) const {
  KvVseprFingerprint result;
  result.impl_->pairs = Merge(impl_->pairs, other.impl_->pairs, true, [](double x, double y) { return x > y ? x : y; });
  result.impl_->volume = SumCounts(result.impl_->pairs);
  return result;
}

KvVseprFingerprint KvVseprFingerprint::Scale(double factor) const {
  KvVseprFingerprint result(*this);
  for (PathCount& p : result.impl_->pairs) p.second *= factor;
  result.impl_->volume *= factor;
  return result;
}

bool KvVseprFingerprint::operator<(const KvVseprFingerprint& other) const {
  const double va = impl_->volume, vb = other.impl_->volume;
  if (!(va >= vb)) return true;
  if (va > vb) return false;
  const std::vector<PathCount>& a = impl_->pairs;
  const std::vector<PathCount>& b = other.impl_->pairs;
  if (a.empty()) return false;
  if (b.empty()) return true;
  constexpr double kTolerance = 1e-11;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i].first != b[i].first) return a[i].first < b[i].first;
    if (std::fabs(a[i].second - b[i].second) > kTolerance) return a[i].second < b[i].second;
  }
  return a.size() > b.size();
}

double KvGetTanimoto(const KvVseprFingerprint& a, const KvVseprFingerprint& b) { return a.GetTanimoto(b); }

double KvGetTversky(const KvVseprFingerprint& a, const KvVseprFingerprint& b, double alpha, double beta) {
  const double common = (a & b).GetVolume();
  const double denominator = (a.GetVolume() - common) * alpha + (b.GetVolume() - common) * beta + common;
  if (denominator == 0.0) return 0.0;  // undefined; see the header
  return common / denominator;
}

namespace {

KvSystem::KvTag FingerprintTag() {
  static const KvSystem::KvTag tag = KvSystem::KvGetTag(kFingerprintTag);
  return tag;
}

using AttachedFingerprint = KvSystem::KvBaseDataT<KvVseprFingerprint>;

template <typename Object>
void Prep(Object& object, const KvVseprOptions& options) {
  KvVseprFingerprint fingerprint(object, options);
  const KvSystem::KvTag tag = FingerprintTag();
  const std::uint64_t wanted = KvSystem::KvTypeIdOf<KvVseprFingerprint>();
  KvSystem::KvBaseData* item = object.FindData(tag);
  if (item != nullptr && item->GetTypeId() == wanted) {
    static_cast<AttachedFingerprint*>(item)->GetData().swap(fingerprint);
    return;
  }
  if (item != nullptr) {
    if (!KvSystem::KvCheckTypeMismatch(tag, item->GetTypeId(), wanted)) return;
    object.DeleteData(item);
  }
  auto* attached = new AttachedFingerprint(tag, KvVseprFingerprint());
  attached->GetData().swap(fingerprint);
  object.AddData(attached);
}

const KvVseprFingerprint* FindAttached(const KvSystem::KvBase& object) {
  const AttachedFingerprint* item = object.FindDataT<KvVseprFingerprint>(FingerprintTag());
  return item ? &item->GetData() : nullptr;
}

double AttachedTanimoto(const KvSystem::KvBase& x, const KvSystem::KvBase& y, double defaultValue) {
  const KvVseprFingerprint* fx = FindAttached(x);
  const KvVseprFingerprint* fy = FindAttached(y);
  if (fx == nullptr || fy == nullptr) return defaultValue;
  const KvVseprOptions ox = fx->GetOptions(), oy = fy->GetOptions();
  if (ox.GetMaxPathLength() != oy.GetMaxPathLength() || ox.GetMinPathLength() != oy.GetMinPathLength() ||
      ox.GetForcePathsOut() != oy.GetForcePathsOut())
    return defaultValue;
  return fx->GetTanimoto(*fy);
}

}  // namespace

void KvPrepVsepr(KvChem::KvAtomBase& atom, KvVseprOptions options) { Prep(atom, options); }
void KvPrepVsepr(KvChem::KvBondBase& bond, KvVseprOptions options) { Prep(bond, options); }
void KvPrepVsepr(KvChem::KvMolBase& mol, KvVseprOptions options) { Prep(mol, options); }

const KvVseprFingerprint& KvGetVseprFingerprint(const KvSystem::KvBase& object) {
  static const KvVseprFingerprint empty;
  const KvVseprFingerprint* found = FindAttached(object);
  return found ? *found : empty;
}

double KvGetVseprTanimoto(const KvChem::KvAtomBase& x, const KvChem::KvAtomBase& y, double defaultValue) {
  return AttachedTanimoto(x, y, defaultValue);
}
double KvGetVseprTanimoto(const KvChem::KvBondBase& x, const KvChem::KvBondBase& y, double defaultValue) {
  return AttachedTanimoto(x, y, defaultValue);
}
double KvGetVseprTanimoto(const KvChem::KvMolBase& x, const KvChem::KvMolBase& y, double defaultValue) {
  return AttachedTanimoto(x, y, defaultValue);
}

double KvGetVseprTanimotoFxn::operator()(const KvVseprFingerprint& a, const KvVseprFingerprint& b) const {
  return KvGetTanimoto(a, b);
}
KvGetVseprTanimotoFxn* KvGetVseprTanimotoFxn::CreateCopy() const { return new KvGetVseprTanimotoFxn(*this); }

}  // namespace Varnex
