// Pattern screens for the MACCS keys: a reader of the SMARTS subset the key
// patterns use, giving upper bounds of what each query atom and bond can
// match, and the molecule profile those bounds are tested against.

#include "generators/maccs_screen.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <map>
#include <optional>

namespace Varnex::Maccs {
namespace {

constexpr AtomKindMask kAllAtomKinds = (AtomKindMask{1} << kNumAtomKinds) - 1;
constexpr BondKindMask kAllBondKinds = (1u << kNumBondKinds) - 1;

constexpr unsigned kSingle = 0, kDouble = 1, kTriple = 2, kAromatic = 3, kOtherOrder = 4;

constexpr AtomKindMask ClassKinds(unsigned cls) {
  return ((AtomKindMask{1} << kNumHBuckets) - 1) << (cls * kNumHBuckets);
}

constexpr AtomKindMask HBucketKinds(unsigned bucket) {
  AtomKindMask mask = 0;
  for (unsigned cls = 0; cls < ElementClass::Count; ++cls) mask |= AtomKindMask{1} << (cls * kNumHBuckets + bucket);
  return mask;
}

constexpr BondKindMask OrderKinds(unsigned order) { return static_cast<BondKindMask>(3u << (2 * order)); }
constexpr BondKindMask RingKinds() { return static_cast<BondKindMask>(0x2AA & kAllBondKinds); }

ClassMask ClassesOf(AtomKindMask kinds) {
  ClassMask classes = 0;
  for (unsigned cls = 0; cls < ElementClass::Count; ++cls)
    if (kinds & ClassKinds(cls)) classes |= static_cast<ClassMask>(1u << cls);
  return classes;
}

// An upper bound of what an expression matches. `exact` says the bound is
// also a lower bound, which is what negation needs: the complement of a mere
// upper bound bounds nothing, so it widens to everything.
template <typename Mask>
struct Bound {
  Mask mask;
  bool exact;
};

// Reads a SMARTS logical expression over primitives, with the usual
// precedence: '!' binds tightest, then '&' (or juxtaposition), then ',', then
// ';'. `Primitive` reads one primitive at the cursor or fails.
template <typename Mask, typename Primitive>
class ExpressionReader {
 public:
  ExpressionReader(std::string_view text, Mask all, Primitive primitive)
      : text_(text), all_(all), primitive_(primitive) {}

  std::optional<Bound<Mask>> Read() {
    auto value = ReadLowAnd();
    if (!value || pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  bool At(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

  static Bound<Mask> And(Bound<Mask> a, Bound<Mask> b) {
    return {static_cast<Mask>(a.mask & b.mask), a.exact && b.exact};
  }

  std::optional<Bound<Mask>> ReadLowAnd() {
    auto value = ReadOr();
    while (value && At(';')) {
      ++pos_;
      auto next = ReadOr();
      if (!next) return std::nullopt;
      value = And(*value, *next);
    }
    return value;
  }

  std::optional<Bound<Mask>> ReadOr() {
    auto value = ReadHighAnd();
    while (value && At(',')) {
      ++pos_;
      auto next = ReadHighAnd();
      if (!next) return std::nullopt;
      value = Bound<Mask>{static_cast<Mask>(value->mask | next->mask), value->exact && next->exact};
    }
    return value;
  }

  std::optional<Bound<Mask>> ReadHighAnd() {
    auto value = ReadUnary();
    while (value && pos_ < text_.size() && !At(';') && !At(',')) {
      if (At('&')) ++pos_;
      auto next = ReadUnary();
      if (!next) return std::nullopt;
      value = And(*value, *next);
    }
    return value;
  }

  std::optional<Bound<Mask>> ReadUnary() {
    if (At('!')) {
      ++pos_;
      auto value = ReadUnary();
      if (!value) return std::nullopt;
      if (!value->exact) return Bound<Mask>{all_, false};
      return Bound<Mask>{static_cast<Mask>(all_ & ~value->mask), true};
    }
    if (pos_ >= text_.size()) return std::nullopt;
    return primitive_(text_, pos_);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  Mask all_;
  Primitive primitive_;
};

unsigned ReadNumber(std::string_view text, std::size_t& pos, unsigned absent) {
  if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) return absent;
  unsigned n = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
    n = std::min(n * 10 + static_cast<unsigned>(text[pos++] - '0'), 1000u);
  return n;
}

// The element class of an organic-subset or bracket element symbol at `pos`
// (advancing past it), or nullopt when the symbol is not one the screen
// knows. Two-letter symbols other than Cl, Br and Si are refused, as is an
// upper-case symbol followed by a lower-case letter, which could be a
// two-letter element.
std::optional<unsigned> ReadElementSymbol(std::string_view text, std::size_t& pos) {
  auto next = [&](std::size_t k) { return pos + k < text.size() ? text[pos + k] : '\0'; };
  const char c = next(0);
  const char d = next(1);
  auto take = [&](std::size_t length, unsigned cls) -> std::optional<unsigned> {
    pos += length;
    if (length == 1 && std::isupper(static_cast<unsigned char>(c)) && std::islower(static_cast<unsigned char>(d)))
      return std::nullopt;
    return cls;
  };
  switch (c) {
    case 'C': return d == 'l' ? take(2, ElementClass::Cl) : take(1, ElementClass::C);
    case 'B': return d == 'r' ? take(2, ElementClass::Br) : take(1, ElementClass::Other);
    case 'S': return d == 'i' ? take(2, ElementClass::Si) : take(1, ElementClass::S);
    case 'N': return take(1, ElementClass::N);
    case 'O': return take(1, ElementClass::O);
    case 'F': return take(1, ElementClass::F);
    case 'I': return take(1, ElementClass::I);
    case 'P': return take(1, ElementClass::Other);
    case 'c': return take(1, ElementClass::C);
    case 'n': return take(1, ElementClass::N);
    case 'o': return take(1, ElementClass::O);
    case 's': return take(1, ElementClass::S);
    case 'b':
    case 'p': return take(1, ElementClass::Other);
    default: return std::nullopt;
  }
}

// One primitive of a bracket atom.
std::optional<Bound<AtomKindMask>> ReadAtomPrimitive(std::string_view text, std::size_t& pos) {
  const char c = text[pos];
  const Bound<AtomKindMask> anything{kAllAtomKinds, false};
  if (c == '*') {
    ++pos;
    return Bound<AtomKindMask>{kAllAtomKinds, true};
  }
  if (c == '#') {
    ++pos;
    const unsigned z = ReadNumber(text, pos, 1001);
    if (z > 1000) return std::nullopt;
    const unsigned cls = ElementClassOf(z);
    return Bound<AtomKindMask>{ClassKinds(cls), cls != ElementClass::Other};
  }
  if (c == 'H') {
    // A leading H names the hydrogen atom, elsewhere a hydrogen count.
    if (pos == 0) return std::nullopt;
    ++pos;
    const unsigned count = ReadNumber(text, pos, 1);
    if (count < kNumHBuckets - 1) return Bound<AtomKindMask>{HBucketKinds(count), true};
    return Bound<AtomKindMask>{HBucketKinds(kNumHBuckets - 1), false};
  }
  if (c == 'X' || c == 'D' || c == 'R' || c == 'r' || c == 'x' || c == 'v' || c == 'h') {
    ++pos;
    ReadNumber(text, pos, 0);
    return anything;
  }
  if (c == '+' || c == '-') {
    while (pos < text.size() && text[pos] == c) ++pos;
    ReadNumber(text, pos, 0);
    return anything;
  }
  if (std::isdigit(static_cast<unsigned char>(c))) {  // isotope
    ReadNumber(text, pos, 0);
    return anything;
  }
  if (c == 'A' || c == 'a') {
    ++pos;
    return anything;
  }
  if (auto cls = ReadElementSymbol(text, pos)) return Bound<AtomKindMask>{ClassKinds(*cls), false};
  return std::nullopt;
}

std::optional<Bound<BondKindMask>> ReadBondPrimitive(std::string_view text, std::size_t& pos) {
  switch (text[pos++]) {
    case '-': return Bound<BondKindMask>{OrderKinds(kSingle), true};
    case '=': return Bound<BondKindMask>{OrderKinds(kDouble), true};
    case '#': return Bound<BondKindMask>{OrderKinds(kTriple), true};
    case ':': return Bound<BondKindMask>{OrderKinds(kAromatic), true};
    case '~': return Bound<BondKindMask>{kAllBondKinds, true};
    case '@': return Bound<BondKindMask>{RingKinds(), true};
    default: return std::nullopt;
  }
}

std::optional<AtomKindMask> ReadAtomExpression(std::string_view text) {
  ExpressionReader<AtomKindMask, decltype(&ReadAtomPrimitive)> reader(text, kAllAtomKinds, &ReadAtomPrimitive);
  const auto bound = reader.Read();
  if (!bound) return std::nullopt;
  return bound->mask;
}

// An absent bond expression is the implicit single-or-aromatic bond; the
// screen widens it to every bond kind.
std::optional<BondKindMask> ReadBondExpression(std::string_view text) {
  if (text.empty()) return kAllBondKinds;
  ExpressionReader<BondKindMask, decltype(&ReadBondPrimitive)> reader(text, kAllBondKinds, &ReadBondPrimitive);
  const auto bound = reader.Read();
  if (!bound) return std::nullopt;
  return bound->mask;
}

// The ring bonds of a molecule as neighbour lists, for the cycle walk.
struct RingGraph {
  std::vector<unsigned> offsets;  // neighbours of atom a: nbrs[offsets[a] .. offsets[a + 1])
  std::vector<unsigned> nbrs;
  std::vector<std::uint8_t> hetero;  // neither C nor H
  std::vector<std::uint8_t> onPath;
};

// Walks the simple paths of ring bonds that start at `start` and visit only
// higher atom indices, so that each cycle is seen from its lowest atom (once
// in each direction). `atoms` counts the atoms on the path so far.
class CycleWalk {
 public:
  CycleWalk(RingGraph& g, MolProfile& profile) : g_(g), profile_(profile) {}

  // False when the step budget ran out (a dense cage); the results are then
  // incomplete and must not be used.
  bool Run() {
    for (unsigned start = 0; start + 1 < g_.offsets.size(); ++start) {
      if (g_.offsets[start] == g_.offsets[start + 1]) continue;
      start_ = start;
      g_.onPath[start] = 1;
      Extend(start, 1, g_.hetero[start] != 0);
      g_.onPath[start] = 0;
      if (steps_ > kStepBudget) return false;
    }
    for (unsigned k = 3; k <= kMaxCycleAtoms; ++k)
      profile_.cycleCount[k] = static_cast<std::uint8_t>(std::min(found_[k] / 2, 2u));
    return true;
  }

 private:
  static constexpr unsigned kStepBudget = 1u << 20;

  void Extend(unsigned atom, unsigned atoms, bool hetero) {
    for (unsigned k = g_.offsets[atom]; k < g_.offsets[atom + 1]; ++k) {
      if (++steps_ > kStepBudget) return;
      const unsigned next = g_.nbrs[k];
      if (next == start_) {
        if (atoms >= 3) {
          profile_.cycleLengths |= static_cast<std::uint16_t>(1u << atoms);
          if (hetero) profile_.heteroCycleLengths |= static_cast<std::uint16_t>(1u << atoms);
          ++found_[atoms];
        }
        continue;
      }
      if (next < start_ || g_.onPath[next] || atoms == kMaxCycleAtoms) continue;
      g_.onPath[next] = 1;
      Extend(next, atoms + 1, hetero || g_.hetero[next] != 0);
      g_.onPath[next] = 0;
    }
  }

  RingGraph& g_;
  MolProfile& profile_;
  unsigned start_ = 0;
  unsigned steps_ = 0;
  std::array<unsigned, kMaxCycleAtoms + 1> found_{};
};

// Cycle lengths, cycle counts and the largest ring system of a molecule.
void ProfileRings(const KvChem::KvMolBase& mol, MolProfile& profile) {
  thread_local RingGraph g;
  const unsigned n = mol.NumAtoms();
  g.offsets.assign(n + 1, 0);
  g.hetero.assign(n, 0);
  g.onPath.assign(n, 0);
  for (const KvChem::KvBondBase* bond : mol.Bonds()) {
    if (!bond->IsInRing()) continue;
    ++g.offsets[bond->GetBeginAtom()->GetIdx() + 1];
    ++g.offsets[bond->GetEndAtom()->GetIdx() + 1];
  }
  for (unsigned a = 0; a < n; ++a) g.offsets[a + 1] += g.offsets[a];
  g.nbrs.resize(g.offsets[n]);
  // Fill using offsets[a] as the cursor of atom a, then shift back.
  for (const KvChem::KvBondBase* bond : mol.Bonds()) {
    if (!bond->IsInRing()) continue;
    const unsigned b = bond->GetBeginAtom()->GetIdx();
    const unsigned e = bond->GetEndAtom()->GetIdx();
    g.nbrs[g.offsets[b]++] = e;
    g.nbrs[g.offsets[e]++] = b;
  }
  for (unsigned a = n; a > 0; --a) g.offsets[a] = g.offsets[a - 1];
  g.offsets[0] = 0;
  for (const KvChem::KvAtomBase* atom : mol.Atoms()) {
    const unsigned cls = ElementClassOf(atom->GetAtomicNum());
    g.hetero[atom->GetIdx()] = cls != ElementClass::C && cls != ElementClass::H;
  }

  // Ring systems: atoms joined by ring bonds, found by a flood fill that
  // reuses onPath as the visited mark.
  thread_local std::vector<unsigned> todo;
  for (unsigned start = 0; start < n; ++start) {
    if (g.onPath[start] || g.offsets[start] == g.offsets[start + 1]) continue;
    unsigned size = 0;
    todo.assign(1, start);
    g.onPath[start] = 1;
    while (!todo.empty()) {
      const unsigned atom = todo.back();
      todo.pop_back();
      ++size;
      for (unsigned k = g.offsets[atom]; k < g.offsets[atom + 1]; ++k)
        if (!g.onPath[g.nbrs[k]]) {
          g.onPath[g.nbrs[k]] = 1;
          todo.push_back(g.nbrs[k]);
        }
    }
    profile.largestRingSystem = std::max(profile.largestRingSystem, size);
  }
  std::fill(g.onPath.begin(), g.onPath.end(), 0);

  if (!CycleWalk(g, profile).Run()) {
    // Too many paths to walk: claim every cycle, so that nothing is screened out.
    profile.cycleLengths = profile.heteroCycleLengths = 0xFFFF;
    profile.cycleCount.fill(2);
  }
}

bool IsBondChar(char c) {
  return c == '-' || c == '=' || c == '#' || c == ':' || c == '~' || c == '@' || c == '!' || c == ';' || c == '&' ||
         c == ',';
}

}  // namespace

unsigned ElementClassOf(unsigned atomicNum) {
  switch (atomicNum) {
    case 1: return ElementClass::H;
    case 6: return ElementClass::C;
    case 7: return ElementClass::N;
    case 8: return ElementClass::O;
    case 9: return ElementClass::F;
    case 14: return ElementClass::Si;
    case 16: return ElementClass::S;
    case 17: return ElementClass::Cl;
    case 35: return ElementClass::Br;
    case 53: return ElementClass::I;
    default: return ElementClass::Other;
  }
}

void BuildProfile(const KvChem::KvMolBase& mol, MolProfile& profile) {
  profile = MolProfile{};
  profile.numAtoms = mol.NumAtoms();
  for (const KvChem::KvAtomBase* atom : mol.Atoms()) {
    const unsigned cls = ElementClassOf(atom->GetAtomicNum());
    const unsigned kind = cls * kNumHBuckets + std::min(atom->GetTotalHCount(), kNumHBuckets - 1);
    profile.atomKinds |= AtomKindMask{1} << kind;
    ++profile.kindCount[kind];
    ++profile.classCount[cls];
  }
  for (const KvChem::KvBondBase* bond : mol.Bonds()) {
    unsigned order = kAromatic;
    if (!bond->IsAromatic()) {
      switch (bond->GetOrder()) {
        case 1: order = kSingle; break;
        case 2: order = kDouble; break;
        case 3: order = kTriple; break;
        default: order = kOtherOrder; break;
      }
    }
    const bool ring = bond->IsInRing();
    const unsigned kind = order * 2 + (ring ? 1 : 0);
    const unsigned a = ElementClassOf(bond->GetBeginAtom()->GetAtomicNum());
    const unsigned b = ElementClassOf(bond->GetEndAtom()->GetAtomicNum());
    profile.neighbours[kind][a] |= static_cast<ClassMask>(1u << b);
    profile.neighbours[kind][b] |= static_cast<ClassMask>(1u << a);
    profile.hasRingBond = profile.hasRingBond || ring;
    profile.hasAromaticBond = profile.hasAromaticBond || order == kAromatic;
  }
  if (profile.hasRingBond) ProfileRings(mol, profile);
}

PatternScreen::PatternScreen(std::string_view smarts) {
  active_ = Analyse(smarts);
  if (!active_) {
    atomMasks_.clear();
    edges_.clear();
    kindNeeds_.clear();
    classNeeds_.clear();
    needsCycle_ = false;
    numAtoms_ = 0;
  }
}

// Walks the SMARTS chain: atoms, bonds between consecutive atoms, branches,
// ring closures and '.' separators. Fails on anything else.
bool PatternScreen::Analyse(std::string_view smarts) {
  std::vector<AtomKindMask> atoms;
  std::vector<std::pair<unsigned, unsigned>> ends;  // query atoms of each entry of edges_
  struct Opening {
    unsigned atom;
    std::string_view bond;
  };
  std::map<unsigned, Opening> openRings;
  std::vector<int> branchStack;
  int previous = -1;
  std::size_t bondStart = std::string_view::npos;
  std::string_view pendingBond;

  auto addEdge = [&](unsigned a, unsigned b, std::string_view bondText) {
    const auto bonds = ReadBondExpression(bondText);
    if (!bonds) return false;
    edges_.push_back({ClassesOf(atoms[a]), ClassesOf(atoms[b]), *bonds});
    ends.emplace_back(a, b);
    return true;
  };
  auto takeBond = [&](std::size_t pos) {
    pendingBond = bondStart == std::string_view::npos ? std::string_view{} : smarts.substr(bondStart, pos - bondStart);
    bondStart = std::string_view::npos;
  };

  std::size_t pos = 0;
  while (pos < smarts.size()) {
    const char c = smarts[pos];
    if (IsBondChar(c)) {
      if (bondStart == std::string_view::npos) bondStart = pos;
      ++pos;
      continue;
    }
    takeBond(pos);
    if (c == '(') {
      if (previous < 0 || !pendingBond.empty()) return false;
      branchStack.push_back(previous);
      ++pos;
    } else if (c == ')') {
      if (branchStack.empty() || !pendingBond.empty()) return false;
      previous = branchStack.back();
      branchStack.pop_back();
      ++pos;
    } else if (c == '.') {
      if (!pendingBond.empty()) return false;
      previous = -1;
      ++pos;
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '%') {
      if (previous < 0) return false;
      unsigned number = 0;
      if (c == '%') {
        if (pos + 2 >= smarts.size() || !std::isdigit(static_cast<unsigned char>(smarts[pos + 1])) ||
            !std::isdigit(static_cast<unsigned char>(smarts[pos + 2])))
          return false;
        number = static_cast<unsigned>((smarts[pos + 1] - '0') * 10 + (smarts[pos + 2] - '0'));
        pos += 3;
      } else {
        number = static_cast<unsigned>(c - '0');
        ++pos;
      }
      needsCycle_ = true;
      auto open = openRings.find(number);
      if (open == openRings.end()) {
        openRings[number] = {static_cast<unsigned>(previous), pendingBond};
      } else {
        // Bond texts at both ends must agree; the screen keeps the wider one
        // by reading only a given side, or all kinds when neither is given.
        std::string_view bondText = pendingBond.empty() ? open->second.bond : pendingBond;
        if (!pendingBond.empty() && !open->second.bond.empty() && pendingBond != open->second.bond) bondText = "~";
        if (!addEdge(open->second.atom, static_cast<unsigned>(previous), bondText)) return false;
        openRings.erase(open);
      }
    } else {
      std::optional<AtomKindMask> mask;
      if (c == '[') {
        const std::size_t close = smarts.find(']', pos);
        if (close == std::string_view::npos) return false;
        mask = ReadAtomExpression(smarts.substr(pos + 1, close - pos - 1));
        pos = close + 1;
      } else if (c == '*') {
        mask = kAllAtomKinds;
        ++pos;
      } else if (auto cls = ReadElementSymbol(smarts, pos)) {
        mask = ClassKinds(*cls);
      }
      if (!mask) return false;
      atoms.push_back(*mask);
      const unsigned index = static_cast<unsigned>(atoms.size() - 1);
      if (previous >= 0 && !addEdge(static_cast<unsigned>(previous), index, pendingBond)) return false;
      if (previous < 0 && !pendingBond.empty()) return false;
      previous = static_cast<int>(index);
    }
  }
  if (bondStart != std::string_view::npos || !openRings.empty() || !branchStack.empty() || atoms.empty())
    return false;

  numAtoms_ = static_cast<unsigned>(atoms.size());
  AnalyseShape(atoms, ends);
  std::array<unsigned, kNumAtomKinds> kindDemand{};
  std::array<unsigned, ElementClass::Count> classDemand{};
  for (const AtomKindMask mask : atoms) {
    if (std::find(atomMasks_.begin(), atomMasks_.end(), mask) == atomMasks_.end()) atomMasks_.push_back(mask);
    const auto kind = static_cast<unsigned>(std::countr_zero(mask));
    if (std::popcount(mask) == 1 && kind < kNumAtomKinds) ++kindDemand[kind];
    const ClassMask classes = ClassesOf(mask);
    const auto cls = static_cast<unsigned>(std::countr_zero(classes));
    if (std::popcount(classes) == 1 && cls < ElementClass::Count) ++classDemand[cls];
  }
  for (unsigned k = 0; k < kNumAtomKinds; ++k)
    if (kindDemand[k] > 1) kindNeeds_.push_back({k, kindDemand[k]});
  for (unsigned c = 0; c < ElementClass::Count; ++c)
    if (classDemand[c] > 1) classNeeds_.push_back({c, classDemand[c]});
  // Identical query bonds need testing once.
  std::vector<Edge> distinct;
  for (const Edge& e : edges_) {
    const bool seen = std::any_of(distinct.begin(), distinct.end(), [&](const Edge& d) {
      return d.bondKinds == e.bondKinds && ((d.classesA == e.classesA && d.classesB == e.classesB) ||
                                            (d.classesA == e.classesB && d.classesB == e.classesA));
    });
    if (!seen) distinct.push_back(e);
  }
  edges_ = std::move(distinct);
  return true;
}

// The shape facts the ring and count screens use: one simple cycle, ring
// bonds only, a single atom.
void PatternScreen::AnalyseShape(const std::vector<AtomKindMask>& atoms,
                                 const std::vector<std::pair<unsigned, unsigned>>& ends) {
  const auto n = static_cast<unsigned>(atoms.size());
  if (n == 1) singleAtom_ = atoms[0];
  std::vector<unsigned> degree(n, 0), component(n);
  for (unsigned a = 0; a < n; ++a) component[a] = a;
  auto find = [&](unsigned a) {
    while (component[a] != a) a = component[a] = component[component[a]];
    return a;
  };
  bool ringOnly = !ends.empty();
  for (std::size_t e = 0; e < ends.size(); ++e) {
    ++degree[ends[e].first];
    ++degree[ends[e].second];
    component[find(ends[e].first)] = find(ends[e].second);
    if (edges_[e].bondKinds & ~RingKinds()) ringOnly = false;
  }
  bool connected = true;
  for (unsigned a = 1; a < n; ++a) connected = connected && find(a) == find(0);
  ringBondsOnly_ = connected && ringOnly;
  const bool allDegreeTwo = std::all_of(degree.begin(), degree.end(), [](unsigned d) { return d == 2; });
  if (connected && n >= 3 && n <= kMaxCycleAtoms && ends.size() == n && allDegreeTwo) {
    cycleAtoms_ = n;
    constexpr ClassMask kCarbonOrHydrogen = (1u << ElementClass::C) | (1u << ElementClass::H);
    heteroCycle_ = std::any_of(atoms.begin(), atoms.end(),
                               [](AtomKindMask m) { return (ClassesOf(m) & kCarbonOrHydrogen) == 0; });
  }
}

bool PatternScreen::MayMatchTwice(const MolProfile& profile) const {
  if (!active_) return true;
  if (cycleAtoms_ != 0) return profile.cycleCount[cycleAtoms_] >= 2;
  if (singleAtom_ != 0) {
    unsigned atoms = 0;
    for (AtomKindMask kinds = singleAtom_; kinds != 0 && atoms < 2; kinds &= kinds - 1)
      atoms += profile.kindCount[static_cast<unsigned>(std::countr_zero(kinds))];
    return atoms >= 2;
  }
  return true;
}

bool PatternScreen::MayMatch(const MolProfile& profile) const {
  if (!active_) return true;
  if (profile.numAtoms < numAtoms_) return false;
  if (needsCycle_ && !profile.hasRingBond) return false;
  if (cycleAtoms_ != 0) {
    const auto bit = static_cast<std::uint16_t>(1u << cycleAtoms_);
    if (!(profile.cycleLengths & bit)) return false;
    if (heteroCycle_ && !(profile.heteroCycleLengths & bit)) return false;
  }
  if (ringBondsOnly_ && profile.largestRingSystem < numAtoms_) return false;
  for (const AtomKindMask mask : atomMasks_)
    if ((mask & profile.atomKinds) == 0) return false;
  for (const Need& need : kindNeeds_)
    if (profile.kindCount[need.index] < need.count) return false;
  for (const Need& need : classNeeds_)
    if (profile.classCount[need.index] < need.count) return false;
  for (const Edge& edge : edges_) {
    bool found = false;
    for (unsigned kinds = edge.bondKinds; kinds != 0 && !found; kinds &= kinds - 1) {
      const auto& byClass = profile.neighbours[static_cast<unsigned>(std::countr_zero(kinds))];
      for (unsigned classes = edge.classesA; classes != 0; classes &= classes - 1)
        if (byClass[static_cast<unsigned>(std::countr_zero(classes))] & edge.classesB) {
          found = true;
          break;
        }
    }
    if (!found) return false;
  }
  return true;
}

}  // namespace Varnex::Maccs
