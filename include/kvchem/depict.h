// Two-dimensional layouts and drawings of molecules as SVG, with highlighted
// atoms and bonds.
//
// A layout is one 2D position per atom. It is the molecule's own drawing when
// it has one (a molfile drawn by a chemist), else made by the toolkit's
// depiction code, and it can be made around fixed positions of some atoms, so
// that a molecule is drawn in the orientation of another. Layouts are scaled
// so that bonds are KvLayoutBondLength long, which lets drawings of different
// molecules share one scale (KvDepiction::bondLength). Atom and bond indices
// are the molecule's own, so explicit hydrogen atoms are drawn and keep their
// indices.
//
// Thread safety: re-entrant; the molecule is only read (layouts and drawings
// are made on private copies), so concurrent drawings of one molecule are
// fine.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kvchem/mol.h"

namespace KvChem {

// An RGB colour, each component in [0, 1].
struct KvColour {
  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
};

// Atoms and bonds (by index) filled with one colour.
struct KvHighlight {
  std::vector<unsigned> atoms;
  std::vector<unsigned> bonds;
  KvColour colour{1.0f, 0.71f, 0.43f};
};

// What to draw: the canvas size in pixels, the highlights (an atom or bond in
// several highlights takes the colour of the last) and the scale.
struct KvDepiction {
  unsigned width = 260;
  unsigned height = 200;
  std::vector<KvHighlight> highlights;
  // Pixels per bond; 0 fits the molecule to the canvas. A molecule that does
  // not fit the canvas at this length is drawn smaller (KvDepictionSize gives
  // the canvas that fits).
  double bondLength = 0.0;
};

// At a fixed bond length, atom labels are drawn at half of it, never below
// this many pixels (fitted drawings keep this minimum too).
inline constexpr double KvMinLabelSize = 11.0;

// A position in a layout.
struct KvPoint2D {
  double x = 0.0;
  double y = 0.0;
};

// The length of a bond in a layout: the median bond of a layout has it.
inline constexpr double KvLayoutBondLength = 1.5;

// One position per atom index.
using KvLayout = std::vector<KvPoint2D>;

// Lays `mol` out: its own 2D coordinates when it has usable ones (rescaled to
// KvLayoutBondLength), else new ones. An invalid molecule, or one the toolkit
// cannot lay out, gives false, an empty layout and a warning ("KvLayOut() ...").
[[nodiscard]] bool KvLayOut(const KvMolBase& mol, KvLayout& layout);
// Lays `mol` out with each atom of `fixed` at its given position (which should
// come from a layout, so that bonds between them have layout length) and the
// other atoms placed around them. Atom indices outside the molecule are left
// out. Fails like KvLayOut ("KvLayOutAround() ...").
[[nodiscard]] bool KvLayOutAround(const KvMolBase& mol, const std::vector<std::pair<unsigned, KvPoint2D>>& fixed,
                                  KvLayout& layout);

// The canvas (width and height in pixels) in which `layout` is drawn whole at
// `bondLength` pixels per bond, labels included.
void KvDepictionSize(const KvLayout& layout, double bondLength, unsigned& width, unsigned& height);

// The molecule drawn as one <svg> element (no XML declaration, so that it can
// be placed inside another SVG or HTML document). Each highlighted atom is
// drawn as one filled <ellipse> of class "atom-N". Highlight indices outside
// the molecule are left out. An invalid molecule, or one the toolkit cannot
// lay out or draw, gives "" and a warning ("KvDepictSvg() ...").
std::string KvDepictSvg(const KvMolBase& mol, const KvDepiction& depiction);
// The same for several depictions of one molecule, which is laid out once:
// one <svg> element per depiction, in order; all "" (and one warning,
// "KvDepictSvgs() ...") when the molecule cannot be drawn.
std::vector<std::string> KvDepictSvgs(const KvMolBase& mol, const std::vector<KvDepiction>& depictions);
// The same with a given layout. A layout that does not have one position per
// atom gives all "" and a warning.
std::vector<std::string> KvDepictSvgs(const KvMolBase& mol, const KvLayout& layout,
                                      const std::vector<KvDepiction>& depictions);

}  // namespace KvChem
