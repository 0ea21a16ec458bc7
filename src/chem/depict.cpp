// 2D layouts and SVG drawings of molecules through RDKit's depiction and
// drawing code.

#include "kvchem/depict.h"

#include <GraphMol/Conformer.h>
#include <GraphMol/Depictor/RDDepictor.h>
#include <GraphMol/MolDraw2D/MolDraw2DSVG.h>
#include <GraphMol/MolDraw2D/MolDraw2DUtils.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "chem/mol_impl.h"
#include "kvsystem/error.h"

namespace KvChem {
namespace {


// Whether the molecule carries usable 2D coordinates: a 2D conformer whose
// atoms do not all sit on one point (files often hold zeros).
bool HasDrawnCoordinates(const RDKit::ROMol& mol) {
  if (mol.getNumConformers() == 0 || mol.getNumAtoms() < 2) return false;
  const RDKit::Conformer& conf = mol.getConformer();
  if (conf.is3D()) return false;
  const RDGeom::Point3D& first = conf.getAtomPos(0);
  for (unsigned i = 1; i < mol.getNumAtoms(); ++i)
    if ((conf.getAtomPos(i) - first).lengthSq() > 1e-6) return true;
  return false;
}

// RDKit's fraction of the canvas left empty on each side.
constexpr double kPadding = 0.05;
// Room for atom labels beyond the outermost atom positions, in label sizes.
constexpr double kLabelRoom = 1.5;
// The size in pixels of the atom labels of a drawing at `bondLength` pixels
// per bond: half the bond, and at least the readable minimum.
double LabelSize(double bondLength) { return std::max(KvMinLabelSize, 0.5 * bondLength); }

// A private copy of the RDKit molecule (reading it races with SMILES writing
// on another thread, which stores properties on it).
std::unique_ptr<RDKit::RWMol> CopyOf(const KvMolBase& mol) {
  std::lock_guard<std::mutex> lock(mol.Impl().toolkitMutex);
  return std::make_unique<RDKit::RWMol>(*mol.Impl().mol);
}

KvLayout PositionsOf(const RDKit::ROMol& mol) {
  const RDKit::Conformer& conf = mol.getConformer();
  KvLayout layout(mol.getNumAtoms());
  for (unsigned i = 0; i < layout.size(); ++i) layout[i] = {conf.getAtomPos(i).x, conf.getAtomPos(i).y};
  return layout;
}

// Scales a layout about the origin so that its median bond has layout length.
void NormaliseBondLength(const RDKit::ROMol& mol, KvLayout& layout) {
  std::vector<double> lengths;
  for (const RDKit::Bond* bond : mol.bonds()) {
    const KvPoint2D& a = layout[bond->getBeginAtomIdx()];
    const KvPoint2D& b = layout[bond->getEndAtomIdx()];
    const double length = std::hypot(a.x - b.x, a.y - b.y);
    if (length > 1e-6) lengths.push_back(length);
  }
  if (lengths.empty()) return;
  std::nth_element(lengths.begin(), lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2), lengths.end());
  const double factor = KvLayoutBondLength / lengths[lengths.size() / 2];
  for (KvPoint2D& p : layout) p = {p.x * factor, p.y * factor};
}

// The molecule with `layout` as its only conformer.
void SetLayout(RDKit::RWMol& mol, const KvLayout& layout) {
  auto* conf = new RDKit::Conformer(mol.getNumAtoms());
  for (unsigned i = 0; i < layout.size(); ++i) conf->setAtomPos(i, RDGeom::Point3D(layout[i].x, layout[i].y, 0.0));
  conf->set3D(false);
  mol.clearConformers();
  mol.addConformer(conf, true);
}

// Kekulé form and wedges for drawing; a molecule that cannot be kekulised is
// drawn with its aromatic bonds.
void PrepareForDrawing(RDKit::RWMol& mol) {
  try {
    RDKit::MolDraw2DUtils::prepareMolForDrawing(mol, true, false, true, false);
  } catch (...) {
    RDKit::MolDraw2DUtils::prepareMolForDrawing(mol, false, false, true, false);
  }
}

// RDKit does not promise that its drawing code is thread-safe; drawings are
// made one at a time (the layout before it runs unlocked).
std::mutex& DrawingMutex() {
  static std::mutex mutex;
  return mutex;
}

// The drawing's <svg> element without the XML declaration before it.
// Style declarations the drawing code repeats on nearly every element. All
// are inherited properties, so stating them once on the drawing's <svg>
// element and dropping them where an element repeats them draws the same
// picture in any page, at about half the bytes.
constexpr std::string_view kSharedStyle[] = {
    "fill-rule:evenodd", "fill-opacity:1",     "stroke-opacity:1",  "stroke-linecap:butt", "stroke-linejoin:miter",
    "font-style:normal", "font-weight:normal", "text-anchor:start", "font-family:sans-serif",
};

// A style attribute's declarations without the shared ones.
std::string WithoutSharedStyle(std::string_view style) {
  std::string kept;
  while (!style.empty()) {
    const std::size_t end = std::min(style.find(';'), style.size());
    const std::string_view declaration = style.substr(0, end);
    style.remove_prefix(std::min(end + 1, style.size()));
    if (declaration.empty() || std::find(std::begin(kSharedStyle), std::end(kSharedStyle), declaration) !=
                                   std::end(kSharedStyle))
      continue;
    if (!kept.empty()) kept += ';';
    kept.append(declaration);
  }
  return kept;
}

// The drawing's <svg> element, without the XML declaration and header
// comment before it (so that it nests in other documents) and with the
// shared style declarations stated once.
std::string SvgElement(const std::string& document) {
  const std::size_t start = document.find("<svg");
  if (start == std::string::npos) return std::string();
  std::string out = "<svg style='";
  for (std::string_view declaration : kSharedStyle) out.append(declaration).append(";");
  out += "'";
  std::size_t at = start + 4;
  constexpr std::string_view kComment = "<!-- END OF HEADER -->\n";
  constexpr std::string_view kStyle = "style='";
  for (;;) {
    const std::size_t style = document.find(kStyle, at), comment = document.find(kComment, at);
    if (comment < style) {
      out.append(document, at, comment - at);
      at = comment + kComment.size();
      continue;
    }
    const std::size_t close = style == std::string::npos ? style : document.find('\'', style + kStyle.size());
    if (close == std::string::npos) break;
    out.append(document, at, style - at);
    out += "style='" + WithoutSharedStyle(std::string_view(document).substr(style + kStyle.size(),
                                                                          close - style - kStyle.size())) + "'";
    at = close + 1;
  }
  out.append(document, at, std::string::npos);
  return out;
}

// One drawing of a laid-out, prepared molecule.
std::string Draw(const RDKit::ROMol& mol, const KvDepiction& depiction) {
  const unsigned numAtoms = mol.getNumAtoms();
  const unsigned numBonds = mol.getNumBonds();
  std::map<int, RDKit::DrawColour> atomColours, bondColours;
  for (const KvHighlight& h : depiction.highlights) {
    const RDKit::DrawColour colour(h.colour.red, h.colour.green, h.colour.blue);
    for (unsigned a : h.atoms)
      if (a < numAtoms) atomColours[static_cast<int>(a)] = colour;
    for (unsigned b : h.bonds)
      if (b < numBonds) bondColours[static_cast<int>(b)] = colour;
  }
  std::vector<int> atoms, bonds;
  for (const auto& entry : atomColours) atoms.push_back(entry.first);
  for (const auto& entry : bondColours) bonds.push_back(entry.first);

  std::lock_guard<std::mutex> lock(DrawingMutex());
  // Text as <text> elements rather than outlines: smaller, searchable.
  RDKit::MolDraw2DSVG drawer(static_cast<int>(depiction.width), static_cast<int>(depiction.height), -1, -1, true);
  RDKit::MolDrawOptions& options = drawer.drawOptions();
  options.clearBackground = false;
  options.padding = kPadding;
  options.minFontSize = static_cast<int>(KvMinLabelSize);
  if (depiction.bondLength > 0.0) {
    options.fixedBondLength = depiction.bondLength / KvLayoutBondLength;
    // Fixed, so that labels stay readable even where a large molecule is
    // drawn smaller than asked.
    options.fixedFontSize = static_cast<int>(std::lround(LabelSize(depiction.bondLength)));
  }
  drawer.drawMolecule(mol, "", &atoms, &bonds, &atomColours, &bondColours);
  drawer.finishDrawing();
  return SvgElement(drawer.getDrawingText());
}

// Draws every depiction of the molecule laid out by `layOut` (which fills a
// layout of the copy, or leaves it empty to keep the copy's own); warnings
// name `caller`.
template <typename LayOut>
std::vector<std::string> DrawAll(const KvMolBase& mol, const std::vector<KvDepiction>& depictions, const char* caller,
                                 LayOut layOut) {
  std::vector<std::string> svgs(depictions.size());
  if (!mol.IsValid()) {
    KvSystem::KvThrow()->Warning("%s invalid molecule!", caller);
    return svgs;
  }
  try {
    std::unique_ptr<RDKit::RWMol> copy = CopyOf(mol);
    KvLayout layout;
    if (!layOut(*copy, layout)) {
      KvSystem::KvThrow()->Warning("%s the layout does not fit the molecule!", caller);
      return svgs;
    }
    SetLayout(*copy, layout);
    PrepareForDrawing(*copy);
    for (std::size_t i = 0; i < depictions.size(); ++i) svgs[i] = Draw(*copy, depictions[i]);
  } catch (...) {
    KvSystem::KvThrow()->Warning("%s cannot draw molecule: %s", caller, DescribeCurrentException().c_str());
    std::fill(svgs.begin(), svgs.end(), std::string());
  }
  return svgs;
}

// The layout of a copy: its drawn coordinates, or new ones.
KvLayout NewLayout(RDKit::RWMol& copy) {
  if (HasDrawnCoordinates(copy)) {
    KvLayout layout = PositionsOf(copy);
    NormaliseBondLength(copy, layout);
    return layout;
  }
  copy.clearConformers();
  RDDepict::compute2DCoords(copy);
  return PositionsOf(copy);
}

// Runs `make` on a private copy of a valid molecule; false after a warning
// naming `caller`.
template <typename Make>
bool MakeLayout(const KvMolBase& mol, KvLayout& layout, const char* caller, Make make) {
  layout.clear();
  if (!mol.IsValid()) {
    KvSystem::KvThrow()->Warning("%s invalid molecule!", caller);
    return false;
  }
  try {
    std::unique_ptr<RDKit::RWMol> copy = CopyOf(mol);
    layout = make(*copy);
    return true;
  } catch (...) {
    KvSystem::KvThrow()->Warning("%s cannot lay out molecule: %s", caller, DescribeCurrentException().c_str());
    layout.clear();
    return false;
  }
}

}  // namespace

bool KvLayOut(const KvMolBase& mol, KvLayout& layout) {
  return MakeLayout(mol, layout, "KvLayOut()", NewLayout);
}

bool KvLayOutAround(const KvMolBase& mol, const std::vector<std::pair<unsigned, KvPoint2D>>& fixed, KvLayout& layout) {
  return MakeLayout(mol, layout, "KvLayOutAround()", [&](RDKit::RWMol& copy) {
    RDGeom::INT_POINT2D_MAP coordinates;
    for (const auto& [atom, p] : fixed)
      if (atom < copy.getNumAtoms()) coordinates[static_cast<int>(atom)] = RDGeom::Point2D(p.x, p.y);
    if (coordinates.empty()) return NewLayout(copy);
    copy.clearConformers();
    RDDepict::compute2DCoords(copy, &coordinates);
    return PositionsOf(copy);
  });
}

void KvDepictionSize(const KvLayout& layout, double bondLength, unsigned& width, unsigned& height) {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  if (!layout.empty()) {
    minX = maxX = layout.front().x;
    minY = maxY = layout.front().y;
  }
  for (const KvPoint2D& p : layout) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const double perUnit = bondLength / KvLayoutBondLength;
  const double margin = 2.0 * kLabelRoom * LabelSize(bondLength);
  const auto side = [&](double extent) {
    return static_cast<unsigned>(std::ceil((extent * perUnit + margin) / (1.0 - 2.0 * kPadding)));
  };
  width = side(maxX - minX);
  height = side(maxY - minY);
}

std::vector<std::string> KvDepictSvgs(const KvMolBase& mol, const std::vector<KvDepiction>& depictions) {
  return DrawAll(mol, depictions, "KvDepictSvgs()", [](RDKit::RWMol& copy, KvLayout& layout) {
    layout = NewLayout(copy);
    return true;
  });
}

std::vector<std::string> KvDepictSvgs(const KvMolBase& mol, const KvLayout& layout,
                                      const std::vector<KvDepiction>& depictions) {
  return DrawAll(mol, depictions, "KvDepictSvgs()", [&](RDKit::RWMol& copy, KvLayout& own) {
    own = layout;
    return own.size() == copy.getNumAtoms();
  });
}

std::string KvDepictSvg(const KvMolBase& mol, const KvDepiction& depiction) {
  return DrawAll(mol, {depiction}, "KvDepictSvg()", [](RDKit::RWMol& copy, KvLayout& layout) {
    layout = NewLayout(copy);
    return true;
  }).front();
}

}  // namespace KvChem
