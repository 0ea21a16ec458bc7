// Panels of molecule drawings and the captioned grid that holds them.

#include <algorithm>

#include "pictures/svg_text.h"
#include "varnex/pictures.h"

namespace Varnex {
namespace {

using Pictures::Num;

constexpr unsigned kMargin = 10;
constexpr unsigned kGap = 10;
constexpr unsigned kCaptionLine = 16;  // line height of the 12-pixel caption font
constexpr unsigned kCaptionTop = 4;
constexpr unsigned kCharWidth = 7;  // a generous average width of a caption character

std::string SvgOpen(unsigned width, unsigned height) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  return "<svg xmlns='http://www.w3.org/2000/svg' version='1.1' width='" + w + "' height='" + h + "' viewBox='0 0 " +
         w + " " + h + "'>\n";
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

std::string KvGetNoteSvg(const std::string& note, unsigned width, unsigned height) {
  return SvgOpen(width, height) + "<text class='note' x='" + Num(width / 2.0) + "' y='" + Num(height / 2.0) +
         "' text-anchor='middle' font-family='sans-serif' font-size='13' fill='#666666'>" + KvXmlText(note) +
         "</text>\n</svg>\n";
}

std::vector<KvPicturePanel> KvGetMoleculePanels(const KvChem::KvMolBase& mol,
                                                const std::vector<std::vector<KvChem::KvHighlight>>& highlights,
                                                const KvPictureLayout& layout,
                                                std::vector<std::vector<std::string>> captions) {
  std::vector<KvChem::KvDepiction> depictions;
  for (const auto& h : highlights) depictions.push_back({layout.panelWidth, layout.panelHeight, h});
  const std::vector<std::string> svgs = KvChem::KvDepictSvgs(mol, depictions);
  std::vector<KvPicturePanel> panels;
  for (std::size_t i = 0; i < svgs.size(); ++i)
    panels.push_back({svgs[i].empty() ? KvGetNoteSvg("no 2D drawing", layout.panelWidth, layout.panelHeight) : svgs[i],
                      std::move(captions[i])});
  return panels;
}

KvPicturePanel KvGetMoleculePanel(const KvChem::KvMolBase& mol, const std::vector<KvChem::KvHighlight>& highlights,
                                  const KvPictureLayout& layout, std::vector<std::string> caption) {
  return KvGetMoleculePanels(mol, {highlights}, layout, {std::move(caption)}).front();
}

std::string KvGetSvgGrid(const std::vector<KvPicturePanel>& panels, const KvPictureLayout& layout,
                         const std::string& emptyNote) {
  std::string doc = "<?xml version='1.0' encoding='UTF-8'?>\n";
  if (panels.empty()) {
    const unsigned width = std::max(2 * layout.panelWidth, 360u), height = 60;
    return doc + SvgOpen(width, height) + "<rect width='100%' height='100%' fill='#FFFFFF'/>\n" +
           "<text class='note' x='" + Num(width / 2.0) + "' y='34' text-anchor='middle' font-family='sans-serif' "
           "font-size='14'>" + KvXmlText(emptyNote) + "</text>\n</svg>\n";
  }
  std::size_t lines = 1;
  for (const KvPicturePanel& p : panels) lines = std::max(lines, p.caption.size());
  const unsigned columns = static_cast<unsigned>(std::min<std::size_t>(std::max(layout.columns, 1u), panels.size()));
  const unsigned rows = static_cast<unsigned>((panels.size() + columns - 1) / columns);
  const unsigned cellHeight = layout.panelHeight + kCaptionTop + static_cast<unsigned>(lines) * kCaptionLine;
  const unsigned width = 2 * kMargin + columns * layout.panelWidth + (columns - 1) * kGap;
  const unsigned height = 2 * kMargin + rows * cellHeight + (rows - 1) * kGap;
  const std::size_t maxChars = std::max(layout.panelWidth / kCharWidth, 4u);

  doc += SvgOpen(width, height) + "<rect width='100%' height='100%' fill='#FFFFFF'/>\n";
  for (std::size_t i = 0; i < panels.size(); ++i) {
    const KvPicturePanel& p = panels[i];
    const unsigned x = kMargin + static_cast<unsigned>(i % columns) * (layout.panelWidth + kGap);
    const unsigned y = kMargin + static_cast<unsigned>(i / columns) * (cellHeight + kGap);
    doc += "<g class='panel' transform='translate(" + std::to_string(x) + "," + std::to_string(y) + ")'>\n";
    doc += "<title>" + KvXmlText(Join(p.caption)) + "</title>\n";
    doc += "<rect class='frame' width='" + std::to_string(layout.panelWidth) + "' height='" +
           std::to_string(layout.panelHeight) + "' fill='#FFFFFF' stroke='#CCCCCC'/>\n";
    doc += p.svg;
    for (std::size_t k = 0; k < p.caption.size(); ++k) {
      const unsigned baseline = layout.panelHeight + kCaptionTop + static_cast<unsigned>(k + 1) * kCaptionLine - 4;
      doc += "<text class='caption' x='" + Num(layout.panelWidth / 2.0) + "' y='" + std::to_string(baseline) +
             "' text-anchor='middle' font-family='sans-serif' font-size='12'>" +
             KvXmlText(Pictures::CutToChars(p.caption[k], maxChars)) + "</text>\n";
    }
    doc += "</g>\n";
  }
  return doc + "</svg>\n";
}

}  // namespace Varnex
