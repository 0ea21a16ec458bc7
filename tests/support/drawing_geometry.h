// Test helper: what a reader of a molecule drawing sees, measured from the
// drawing's SVG elements: highlighted atoms, the length of bonds and the size
// of atom labels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "xml_tree.h"

namespace VarnexTest {

// The number after `key` in a class or style text ("atom-12" -> 12), or -1.
inline double NumberAfter(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key);
  return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + key.size());
}

// The atom indices of the highlight ellipses ("atom-N" classes), each as
// often as it is drawn.
inline std::multiset<unsigned> HighlightedAtoms(const XmlElement& svg) {
  std::multiset<unsigned> atoms;
  for (const XmlElement* e : svg.FindAll("ellipse"))
    if (const double atom = NumberAfter(e->Attribute("class"), "atom-"); atom >= 0) atoms.insert(static_cast<unsigned>(atom));
  return atoms;
}

// The lengths of the bonds between two unlabelled atoms (drawn from atom
// centre to atom centre), one per bond: the longest straight segment among
// the bond's paths (the outer line of a double bond, a highlight).
inline std::vector<double> CentreBondLengths(const XmlElement& svg) {
  std::set<int> labelled;
  for (const XmlElement* text : svg.FindAll("text"))
    if (const double atom = NumberAfter(text->Attribute("class"), "atom-"); atom >= 0) labelled.insert(static_cast<int>(atom));
  std::map<int, double> longest;
  for (const XmlElement* path : svg.FindAll("path")) {
    const std::string cls = path->Attribute("class");
    double x1, y1, x2, y2;
    char tail;
    if (cls.rfind("bond-", 0) != 0 ||
        std::sscanf(path->Attribute("d").c_str(), "M %lf,%lf L %lf,%lf %c", &x1, &y1, &x2, &y2, &tail) != 4)
      continue;
    const std::size_t first = cls.find("atom-"), second = cls.find("atom-", first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    if (labelled.count(std::atoi(cls.c_str() + first + 5)) || labelled.count(std::atoi(cls.c_str() + second + 5)))
      continue;
    double& length = longest[std::atoi(cls.c_str() + 5)];
    length = std::max(length, std::hypot(x2 - x1, y2 - y1));
  }
  std::vector<double> lengths;
  for (const auto& entry : longest) lengths.push_back(entry.second);
  return lengths;
}

// The font size of each atom's label: the largest of its text pieces (a
// hydrogen count or charge is written smaller beside the element).
inline std::map<int, double> LabelSizes(const XmlElement& svg) {
  std::map<int, double> sizes;
  for (const XmlElement* text : svg.FindAll("text")) {
    const double atom = NumberAfter(text->Attribute("class"), "atom-");
    if (atom < 0) continue;
    double& size = sizes[static_cast<int>(atom)];
    size = std::max(size, NumberAfter(text->Attribute("style"), "font-size:"));
  }
  return sizes;
}

}  // namespace VarnexTest
