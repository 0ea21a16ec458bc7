// SVG drawings of molecules through RDKit's 2D depiction and drawing code.

#include "kvchem/depict.h"

#include <GraphMol/Conformer.h>
#include <GraphMol/Depictor/RDDepictor.h>
#include <GraphMol/MolDraw2D/MolDraw2DSVG.h>
#include <GraphMol/MolDraw2D/MolDraw2DUtils.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

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
std::string SvgElement(const std::string& document) {
  const std::size_t start = document.find("<svg");
  return start == std::string::npos ? std::string() : document.substr(start);
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
  drawer.drawOptions().clearBackground = false;
  drawer.drawMolecule(mol, "", &atoms, &bonds, &atomColours, &bondColours);
  drawer.finishDrawing();
  return SvgElement(drawer.getDrawingText());
}

// Lays the molecule out once and draws every depiction; warnings name `caller`.
std::vector<std::string> DrawAll(const KvMolBase& mol, const std::vector<KvDepiction>& depictions, const char* caller) {
  std::vector<std::string> svgs(depictions.size());
  if (!mol.IsValid()) {
    KvSystem::KvThrow()->Warning("%s invalid molecule!", caller);
    return svgs;
  }
  try {
    RDKit::RWMol copy(*mol.Impl().mol);
    if (!HasDrawnCoordinates(copy)) {
      copy.clearConformers();
      RDDepict::compute2DCoords(copy);
    }
    PrepareForDrawing(copy);
    for (std::size_t i = 0; i < depictions.size(); ++i) svgs[i] = Draw(copy, depictions[i]);
  } catch (...) {
    KvSystem::KvThrow()->Warning("%s cannot draw molecule: %s", caller, DescribeCurrentException().c_str());
    std::fill(svgs.begin(), svgs.end(), std::string());
  }
  return svgs;
}

}  // namespace

std::vector<std::string> KvDepictSvgs(const KvMolBase& mol, const std::vector<KvDepiction>& depictions) {
  return DrawAll(mol, depictions, "KvDepictSvgs()");
}

std::string KvDepictSvg(const KvMolBase& mol, const KvDepiction& depiction) {
  return DrawAll(mol, {depiction}, "KvDepictSvg()").front();
}

}  // namespace KvChem
