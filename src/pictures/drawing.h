// Internal: molecules drawn at the one scale of a picture.
#pragma once

#include <string>
#include <vector>

#include "kvchem/depict.h"
#include "kvchem/mol.h"
#include "varnex/pictures.h"

namespace Varnex::Pictures {

// A drawing (an <svg> element) and its size in pixels.
struct Drawing {
  std::string svg;
  unsigned width = 0;
  unsigned height = 0;
};

// One drawing of `mol` at `layout` per highlighting, on the canvas that holds
// the molecule at the picture's bond length (at least the panel size, at most
// KvMaxPanelSide a side). A molecule that cannot be drawn gives panel-sized
// drawings of the note "no 2D drawing".
std::vector<Drawing> DrawMolecule(const KvChem::KvMolBase& mol, const KvChem::KvLayout& layout,
                                  const std::vector<std::vector<KvChem::KvHighlight>>& highlights,
                                  const KvPictureLayout& picture);

// A drawing of `note` of the picture's panel size.
Drawing NoteDrawing(const std::string& note, const KvPictureLayout& picture);

}  // namespace Varnex::Pictures
