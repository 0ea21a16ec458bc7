// Two-dimensional drawings of molecules as SVG, with highlighted atoms and
// bonds.
//
// The drawing uses the molecule's own 2D coordinates when it has them (a
// molfile drawn by a chemist) and otherwise lays the molecule out with the
// toolkit's depiction code. Atom and bond indices are the molecule's own, so
// explicit hydrogen atoms are drawn and keep their indices.
//
// Thread safety: re-entrant; the molecule is only read (the layout is made on
// a private copy), so concurrent drawings of one molecule are fine.
#pragma once

#include <string>
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

// What to draw: the canvas size in pixels and the highlights; an atom or bond
// in several highlights takes the colour of the last.
struct KvDepiction {
  unsigned width = 260;
  unsigned height = 200;
  std::vector<KvHighlight> highlights;
};

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

}  // namespace KvChem
