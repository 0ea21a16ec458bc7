// Pictures of the patterns behind a fingerprint's bits, and the atoms two
// molecules share.

#include <map>
#include <set>

#include "kvsystem/iterator.h"
#include "varnex/maccs.h"
#include "varnex/pictures.h"

namespace Varnex {
namespace {

// The hashed kind whose patterns carry an unhashed kind's identifiers, with
// the same distances and typing; null for any other type.
const KvFPTypeBase* HashedSibling(const KvFPTypeBase* type) {
  const auto* graph = dynamic_cast<const KvFPGraphTypeBase*>(type);
  if (graph == nullptr) return nullptr;
  const unsigned min = graph->GetMinDistance(), max = graph->GetMaxDistance();
  const unsigned atoms = graph->GetAtomTypes(), bonds = graph->GetBondTypes();
  constexpr unsigned kBits = 4096;  // any size: the caller ignores the bits
  switch (type->GetFPType()) {
    case KvFPType::UnhashedPath: return KvGetPathFPType(kBits, min, max, atoms, bonds);
    case KvFPType::UnhashedTree: return KvGetTreeFPType(kBits, min, max, atoms, bonds);
    case KvFPType::UnhashedCircular: return KvGetCircularFPType(kBits, min, max, atoms, bonds);
    default: return nullptr;
  }
}

// Colours of the several patterns behind one bit, the first the usual one;
// light enough for black bonds and labels on top.
constexpr KvChem::KvColour kPatternPalette[] = {
    KvPatternColour,       {0.55f, 0.78f, 1.0f},  {0.60f, 0.87f, 0.60f}, {1.0f, 0.65f, 0.80f},
    {0.80f, 0.70f, 1.0f},  {1.0f, 0.90f, 0.40f},  {0.55f, 0.90f, 0.90f}, {0.85f, 0.80f, 0.65f},
};

// The atoms and bonds of the patterns of one text.
struct AtomsAndBonds {
  std::set<unsigned> atoms, bonds;
  void Add(const KvChem::KvAtomBondSet& set) {
    for (const KvChem::KvAtomBase* atom : set.GetAtoms()) atoms.insert(atom->GetIdx());
    for (const KvChem::KvBondBase* bond : set.GetBonds()) bonds.insert(bond->GetIdx());
  }
  KvChem::KvHighlight Highlight(KvChem::KvColour colour) const {
    return {{atoms.begin(), atoms.end()}, {bonds.begin(), bonds.end()}, colour};
  }
};

// The patterns of one panel by text: each text highlighted in its own colour,
// which its caption line shows.
struct PatternGroup {
  std::map<std::string, AtomsAndBonds> byText;
  void Add(const KvFPPattern& p) { byText[p.GetSmarts()].Add(p); }
  void AppendTo(std::vector<KvChem::KvHighlight>& highlights, std::vector<KvCaptionLine>& caption) const {
    std::size_t i = 0;
    for (const auto& [text, set] : byText) {
      const KvChem::KvColour colour = kPatternPalette[i++ % std::size(kPatternPalette)];
      highlights.push_back(set.Highlight(colour));
      caption.emplace_back(text, colour);
    }
  }
};

// Adds the atoms and bonds of one side of a match to a highlight's sets.
template <typename Pair>
void Collect(const std::vector<Pair>& pairs, bool querySide, std::set<unsigned>& into) {
  for (const Pair& pair : pairs) {
    const auto* item = querySide ? pair.query : pair.target;
    if (item != nullptr) into.insert(item->GetIdx());
  }
}

// How the panels of a kind are made: one per bit, one per key, or one per
// pattern text (kinds whose bits mean nothing).
enum class PanelsPer { Bit, Key, Text };

PanelsPer PanelsOf(const KvFPTypeBase* type) {
  if (type == nullptr) return PanelsPer::Bit;
  if (type->GetFPType() == KvFPType::MACCS166) return PanelsPer::Key;
  if (type->GetFPType() == KvFPType::Lingo || HashedSibling(type) != nullptr) return PanelsPer::Text;
  return PanelsPer::Bit;
}

}  // namespace

std::vector<KvFPPattern> KvGetFeaturePatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  if (type != nullptr && type->GetFPType() == KvFPType::MACCS166)
    return KvSystem::KvCollect(KvGetMACCSFPPatterns(mol, type));
  if (type != nullptr && type->GetFPType() == KvFPType::Lingo)
    return KvSystem::KvCollect(KvGetLingoFPPatterns(mol, type));
  const KvFPTypeBase* sibling = HashedSibling(type);
  return KvSystem::KvCollect(KvGetFPPatterns(mol, sibling != nullptr ? sibling : type));
}

std::vector<KvPicturePanel> KvGetFPPatternPanels(const KvChem::KvMolBase& mol, const std::vector<KvFPPattern>& patterns,
                                                 const KvFPTypeBase* type, const KvPictureLayout& layout) {
  std::vector<std::vector<KvChem::KvHighlight>> highlights;
  std::vector<std::vector<KvCaptionLine>> captions;
  const PanelsPer per = PanelsOf(type);
  if (per == PanelsPer::Text) {
    std::map<std::string, AtomsAndBonds> groups;
    for (const KvFPPattern& p : patterns) groups[p.GetSmarts()].Add(p);
    for (const auto& [text, group] : groups) {
      highlights.push_back({group.Highlight(KvPatternColour)});
      captions.push_back({text});
    }
  } else {
    std::map<std::uint32_t, PatternGroup> groups;
    for (const KvFPPattern& p : patterns) groups[p.GetBit()].Add(p);
    for (const auto& [bit, group] : groups) {
      highlights.emplace_back();
      if (per == PanelsPer::Key)
        captions.push_back({"key " + std::to_string(bit + 1) + " (bit " + std::to_string(bit) + ")",
                            KvGetMACCSKeyDescription(bit + 1)});
      else
        captions.push_back({"bit " + std::to_string(bit)});
      group.AppendTo(highlights.back(), captions.back());
    }
  }
  return KvGetMoleculePanels(mol, highlights, layout, std::move(captions));
}

std::string KvDrawFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type, int bit,
                             const KvPictureLayout& layout) {
  const bool hasBits = PanelsOf(type) != PanelsPer::Text;
  std::vector<KvFPPattern> patterns = KvGetFeaturePatterns(mol, type);
  if (bit >= 0) {
    std::erase_if(patterns, [&](const KvFPPattern& p) { return !hasBits || p.GetBit() != static_cast<unsigned>(bit); });
    if (patterns.empty()) return KvGetSvgGrid({}, layout, "no pattern of this molecule sets bit " + std::to_string(bit));
  }
  return KvGetSvgGrid(KvGetFPPatternPanels(mol, patterns, type, layout), layout, "no patterns");
}

void KvGetOverlapHighlights(const KvChem::KvMolBase& a, const KvChem::KvMolBase& b, const KvFPTypeBase* type,
                            KvChem::KvHighlight& onA, KvChem::KvHighlight& onB) {
  AtomsAndBonds sharedA, sharedB;
  if (type != nullptr && type->GetFPType() == KvFPType::Lingo) {
    // The substrings both texts have, wherever they occur.
    const std::vector<KvFPPattern> patternsA = KvGetFeaturePatterns(a, type), patternsB = KvGetFeaturePatterns(b, type);
    std::set<std::string> textsA, common;
    for (const KvFPPattern& p : patternsA) textsA.insert(p.GetSmarts());
    for (const KvFPPattern& p : patternsB)
      if (textsA.count(p.GetSmarts())) common.insert(p.GetSmarts());
    for (const KvFPPattern& p : patternsA)
      if (common.count(p.GetSmarts())) sharedA.Add(p);
    for (const KvFPPattern& p : patternsB)
      if (common.count(p.GetSmarts())) sharedB.Add(p);
  } else {
    if (const KvFPTypeBase* sibling = HashedSibling(type)) type = sibling;
    // Single atoms and single bonds are shared by nearly any two molecules:
    // paths, trees and keys count from 3 atoms (2 bonds), circular
    // environments from radius 1 (2 atoms).
    const std::size_t minAtoms = type != nullptr && type->GetFPType() == KvFPType::Circular ? 2 : 3;
    for (const KvChem::KvMatchBase& match : KvSystem::KvCollect(KvGetFPOverlap(a, b, type))) {
      if (match.GetAtomPairs().size() < minAtoms) continue;
      Collect(match.GetAtomPairs(), true, sharedA.atoms);
      Collect(match.GetBondPairs(), true, sharedA.bonds);
      Collect(match.GetAtomPairs(), false, sharedB.atoms);
      Collect(match.GetBondPairs(), false, sharedB.bonds);
    }
  }
  onA = sharedA.Highlight(KvOverlapColour);
  onB = sharedB.Highlight(KvOverlapColour);
}

}  // namespace Varnex
