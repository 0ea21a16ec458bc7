// Molecules drawn at one scale, and the captioned SVG grid of such panels.

#include <algorithm>

#include "pictures/drawing.h"
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
constexpr unsigned kSwatch = 10;     // side of a caption's colour square

std::string SvgOpen(unsigned width, unsigned height) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  return "<svg xmlns='http://www.w3.org/2000/svg' version='1.1' width='" + w + "' height='" + h + "' viewBox='0 0 " +
         w + " " + h + "'>\n";
}

std::string Join(const std::vector<KvCaptionLine>& lines) {
  std::string text;
  for (const KvCaptionLine& line : lines) text += (text.empty() ? "" : "\n") + line.text;
  return text;
}

// One caption line broken to the cell width; the swatch stays on the first.
struct WrappedLine {
  std::string text;
  const KvChem::KvColour* swatch;
};

std::vector<WrappedLine> Wrap(const std::vector<KvCaptionLine>& caption, unsigned width) {
  std::vector<WrappedLine> lines;
  for (const KvCaptionLine& line : caption) {
    const unsigned room = line.swatch ? width - (kSwatch + 4) : width;
    bool first = true;
    for (std::string& piece : Pictures::WrapToChars(line.text, std::max(room / kCharWidth, 4u))) {
      lines.push_back({std::move(piece), first && line.swatch ? &*line.swatch : nullptr});
      first = false;
    }
  }
  return lines;
}

}  // namespace

namespace Pictures {

Drawing NoteDrawing(const std::string& note, const KvPictureLayout& picture) {
  return {KvGetNoteSvg(note, picture.panelWidth, picture.panelHeight), picture.panelWidth, picture.panelHeight};
}

std::vector<Drawing> DrawMolecule(const KvChem::KvMolBase& mol, const KvChem::KvLayout& layout,
                                  const std::vector<std::vector<KvChem::KvHighlight>>& highlights,
                                  const KvPictureLayout& picture) {
  unsigned width = 0, height = 0;
  KvChem::KvDepictionSize(layout, picture.bondLength, width, height);
  width = std::clamp(width, picture.panelWidth, std::max(KvMaxPanelSide, picture.panelWidth));
  height = std::clamp(height, picture.panelHeight, std::max(KvMaxPanelSide, picture.panelHeight));
  std::vector<KvChem::KvDepiction> depictions;
  for (const auto& h : highlights) depictions.push_back({width, height, h, picture.bondLength});
  std::vector<Drawing> drawings;
  for (std::string& svg : KvChem::KvDepictSvgs(mol, layout, depictions))
    drawings.push_back(svg.empty() ? NoteDrawing("no 2D drawing", picture) : Drawing{std::move(svg), width, height});
  return drawings;
}

}  // namespace Pictures

std::string KvGetNoteSvg(const std::string& note, unsigned width, unsigned height) {
  return SvgOpen(width, height) + "<text class='note' x='" + Num(width / 2.0) + "' y='" + Num(height / 2.0) +
         "' text-anchor='middle' font-family='sans-serif' font-size='13' fill='#666666'>" + KvXmlText(note) +
         "</text>\n</svg>\n";
}

std::vector<KvPicturePanel> KvGetMoleculePanels(const KvChem::KvMolBase& mol,
                                                const std::vector<std::vector<KvChem::KvHighlight>>& highlights,
                                                const KvPictureLayout& layout,
                                                std::vector<std::vector<KvCaptionLine>> captions) {
  KvChem::KvLayout coordinates;
  std::vector<Pictures::Drawing> drawings;
  if (KvChem::KvLayOut(mol, coordinates))
    drawings = Pictures::DrawMolecule(mol, coordinates, highlights, layout);
  else
    drawings.assign(highlights.size(), Pictures::NoteDrawing("no 2D drawing", layout));
  std::vector<KvPicturePanel> panels;
  for (std::size_t i = 0; i < drawings.size(); ++i)
    panels.push_back({std::move(drawings[i].svg), drawings[i].width, drawings[i].height, std::move(captions[i])});
  return panels;
}

KvPicturePanel KvGetMoleculePanel(const KvChem::KvMolBase& mol, const std::vector<KvChem::KvHighlight>& highlights,
                                  const KvPictureLayout& layout, std::vector<KvCaptionLine> caption) {
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
  const unsigned columns = static_cast<unsigned>(std::min<std::size_t>(std::max(layout.columns, 1u), panels.size()));
  unsigned cellWidth = 0;
  for (const KvPicturePanel& p : panels) cellWidth = std::max(cellWidth, p.width);
  std::vector<std::vector<WrappedLine>> captions;
  for (const KvPicturePanel& p : panels) captions.push_back(Wrap(p.caption, cellWidth));

  // Rows as high as their highest drawing and longest caption.
  std::vector<unsigned> rowTop{kMargin}, rowDrawing;
  for (std::size_t first = 0; first < panels.size(); first += columns) {
    unsigned drawing = 0, lines = 0;
    for (std::size_t i = first; i < std::min(first + columns, panels.size()); ++i) {
      drawing = std::max(drawing, panels[i].height);
      lines = std::max(lines, static_cast<unsigned>(captions[i].size()));
    }
    rowDrawing.push_back(drawing);
    rowTop.push_back(rowTop.back() + drawing + kCaptionTop + lines * kCaptionLine + kGap);
  }
  const unsigned width = 2 * kMargin + columns * cellWidth + (columns - 1) * kGap;
  const unsigned height = rowTop.back() - kGap + kMargin;

  doc += SvgOpen(width, height) + "<rect width='100%' height='100%' fill='#FFFFFF'/>\n";
  for (std::size_t i = 0; i < panels.size(); ++i) {
    const KvPicturePanel& p = panels[i];
    const unsigned x = kMargin + static_cast<unsigned>(i % columns) * (cellWidth + kGap);
    const unsigned y = rowTop[i / columns];
    const unsigned drawingHeight = rowDrawing[i / columns];
    doc += "<g class='panel' transform='translate(" + std::to_string(x) + "," + std::to_string(y) + ")'>\n";
    doc += "<title>" + KvXmlText(Join(p.caption)) + "</title>\n";
    doc += "<rect class='frame' width='" + std::to_string(cellWidth) + "' height='" + std::to_string(drawingHeight) +
           "' fill='#FFFFFF' stroke='#CCCCCC'/>\n";
    // The drawing centred in its frame.
    doc += "<g transform='translate(" + std::to_string((cellWidth - p.width) / 2) + "," +
           std::to_string((drawingHeight - p.height) / 2) + ")'>\n" + p.svg + "</g>\n";
    for (std::size_t k = 0; k < captions[i].size(); ++k) {
      const WrappedLine& line = captions[i][k];
      const unsigned baseline = drawingHeight + kCaptionTop + static_cast<unsigned>(k + 1) * kCaptionLine - 4;
      double textX = cellWidth / 2.0;
      if (line.swatch != nullptr) {
        const double textWidth = static_cast<double>(kCharWidth * Pictures::NumChars(line.text));
        const double left = std::max(0.0, (cellWidth - textWidth - kSwatch - 4) / 2.0);
        doc += "<rect class='swatch' x='" + Num(left) + "' y='" + std::to_string(baseline - kSwatch) + "' width='" +
               std::to_string(kSwatch) + "' height='" + std::to_string(kSwatch) + "' fill='" +
               Pictures::HexColour(*line.swatch) + "' stroke='#888888'/>\n";
        textX = left + kSwatch + 4 + textWidth / 2.0;
      }
      doc += "<text class='caption' x='" + Num(textX) + "' y='" + std::to_string(baseline) +
             "' text-anchor='middle' font-family='sans-serif' font-size='12'>" + KvXmlText(line.text) + "</text>\n";
    }
    doc += "</g>\n";
  }
  return doc + "</svg>\n";
}

}  // namespace Varnex
