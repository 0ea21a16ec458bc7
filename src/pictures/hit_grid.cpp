// The hits of a search as an HTML grid: each hit drawn in the orientation of
// its query, at the query's scale, with what it has in common highlighted.

#include <algorithm>
#include <cstdio>

#include "kvchem/mcs.h"
#include "pictures/drawing.h"
#include "pictures/svg_text.h"
#include "varnex/pictures.h"

namespace Varnex {
namespace {

// A common part smaller than this says nothing about the hit: it keeps its
// own layout and gets no highlight.
constexpr std::size_t kMinCommonAtoms = 3;
// The figure's padding and border, and the gap between figures (CSS below).
constexpr unsigned kFigureFrame = 2 * 6 + 2 * 1;
constexpr unsigned kFigureGap = 12;
constexpr unsigned kDrawingGap = 4;

// The grid's own rules, scoped to its class so that it can sit in any page;
// the page adds its body rules.
const std::string kGridStyle =
    ".varnex-hits{margin:0 0 28px 0;font-family:sans-serif;color:#222222}"
    ".varnex-hits h2{overflow-wrap:anywhere}"
    ".varnex-hits figure{margin:0;padding:6px;background:#FFFFFF;border:1px solid #CCCCCC}"
    ".varnex-hits figure.query{margin-bottom:8px}"
    ".varnex-hits .grid{display:flex;flex-wrap:wrap;gap:12px}"
    ".varnex-hits .drawings{display:flex;gap:4px;justify-content:center;align-items:flex-start}"
    ".varnex-hits svg{display:block;flex:none}"
    ".varnex-hits figcaption{font-size:13px;padding-top:4px;overflow-wrap:anywhere}"
    ".varnex-hits .name{font-weight:bold}"
    ".varnex-hits .smiles{font-family:monospace;font-size:12px;color:#444444}"
    ".varnex-hits .note{color:#666666}"
    ".varnex-hits .legend{font-size:13px;margin:4px 0 10px 0}"
    ".varnex-hits .swatch{display:inline-block;width:12px;height:12px;border:1px solid #888888;"
    "vertical-align:-2px;margin-right:6px}";
const std::string kPageStyle =
    "body{font-family:sans-serif;margin:16px;color:#222222;background:#F4F4F4}h1,.subtitle{overflow-wrap:anywhere}" +
    kGridStyle;

std::string Div(const char* cls, const std::string& text) {
  return std::string("<div class=\"") + cls + "\">" + KvXmlText(text) + "</div>";
}

std::string Score(double score) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%.3f", score);
  return buffer;
}

KvChem::KvHighlight CommonPart(const KvChem::KvMcsResult& mcs) {
  KvChem::KvHighlight highlight{{}, {}, KvCommonColour};
  for (const auto& pair : mcs.atoms) highlight.atoms.push_back(pair.second);
  for (const auto& pair : mcs.bonds) highlight.bonds.push_back(pair.second);
  return highlight;
}

// What the highlight colour means.
std::string LegendText(KvHitHighlight mode, const KvFPTypeBase* type) {
  const std::string oriented = "; hits are drawn in the orientation of the query";
  if (mode == KvHitHighlight::None) return "nothing highlighted" + oriented;
  if (mode == KvHitHighlight::Mcs)
    return "largest common substructure of hit and query (same elements and bond orders, rings only whole)" + oriented;
  const unsigned kind = type != nullptr ? type->GetFPType() : 0;
  const std::string features =
      kind == KvFPType::Circular || kind == KvFPType::UnhashedCircular ? "circular environments of radius 1 and more"
      : kind == KvFPType::MACCS166                                     ? "MACCS keys of at least 3 atoms"
      : kind == KvFPType::Lingo                                        ? "Lingo substrings"
                                                                       : "paths and trees of at least 2 bonds";
  return "atoms and bonds of fingerprint features found in both hit and query (" + features +
         "), shown on the query beside each hit" + oriented;
}

std::string Legend(KvHitHighlight mode, const KvFPTypeBase* type) {
  const KvChem::KvColour colour = mode == KvHitHighlight::Mcs ? KvCommonColour : KvOverlapColour;
  const std::string swatch = mode == KvHitHighlight::None ? ""
                                                           : "<span class=\"swatch\" style=\"background:" +
                                                                 Pictures::HexColour(colour) + "\"></span>";
  return "<p class=\"legend\">" + swatch + KvXmlText(LegendText(mode, type)) + "</p>\n";
}

// One hit's drawings (the query's first, when shown) and notes.
struct HitFigure {
  std::vector<Pictures::Drawing> drawings;
  std::string smiles;
  std::string note;
  unsigned Width() const {
    unsigned width = 0;
    for (const Pictures::Drawing& d : drawings) width += d.width + (width == 0 ? 0 : kDrawingGap);
    return width;
  }
};

HitFigure DrawHit(const KvChem::KvMolBase& query, const KvChem::KvLayout& queryLayout, const KvPictureHit& hit,
                  const KvFPTypeBase* type, const KvHitGridOptions& options) {
  HitFigure figure;
  const KvPictureLayout& picture = options.layout;
  if (hit.mol == nullptr || !hit.mol->IsValid()) {
    figure.drawings.push_back(
        Pictures::NoteDrawing("record " + std::to_string(hit.index) + " could not be read", picture));
    return figure;
  }
  const KvChem::KvMolBase& mol = *hit.mol;
  figure.smiles = KvChem::KvMolToSmiles(mol);

  // The common part takes the query's positions; the rest is laid out around it.
  KvChem::KvMcsResult mcs;
  KvChem::KvMcsOptions mcsOptions;
  mcsOptions.timeLimit = options.mcsTimeLimit;
  if (!queryLayout.empty() && KvChem::KvFindMcs(query, mol, mcsOptions, mcs) && mcs.atoms.size() < kMinCommonAtoms)
    mcs = {};
  if (!mcs.complete) figure.note = "common part: the largest found in the time limit";
  KvChem::KvLayout layout;
  std::vector<std::pair<unsigned, KvChem::KvPoint2D>> fixed;
  for (const auto& [q, h] : mcs.atoms) fixed.emplace_back(h, queryLayout[q]);
  if (!(fixed.empty() ? KvChem::KvLayOut(mol, layout) : KvChem::KvLayOutAround(mol, fixed, layout))) {
    figure.drawings.push_back(Pictures::NoteDrawing("no 2D drawing", picture));
    return figure;
  }

  std::vector<KvChem::KvHighlight> onHit;
  if (options.highlight == KvHitHighlight::Mcs && !mcs.atoms.empty()) onHit.push_back(CommonPart(mcs));
  if (options.highlight == KvHitHighlight::Bits) {
    KvChem::KvHighlight shared, onMol;
    KvGetOverlapHighlights(query, mol, type, shared, onMol);
    figure.drawings = queryLayout.empty() ? std::vector{Pictures::NoteDrawing("no 2D drawing", picture)}
                                          : Pictures::DrawMolecule(query, queryLayout, {{shared}}, picture);
    onHit.push_back(std::move(onMol));
  }
  for (Pictures::Drawing& d : Pictures::DrawMolecule(mol, layout, {onHit}, picture))
    figure.drawings.push_back(std::move(d));
  return figure;
}

}  // namespace

bool KvParseHitHighlight(const std::string& name, KvHitHighlight& mode) {
  if (name == "mcs") mode = KvHitHighlight::Mcs;
  else if (name == "bits") mode = KvHitHighlight::Bits;
  else if (name == "none") mode = KvHitHighlight::None;
  else return false;
  return true;
}

const std::string& KvGetHitGridStyle() { return kGridStyle; }

std::string KvGetHitGridHtml(const std::string& heading, const KvChem::KvMolBase& query,
                             const std::vector<KvPictureHit>& hits, const KvFPTypeBase* type,
                             const KvHitGridOptions& options) {
  const KvPictureLayout& picture = options.layout;
  KvChem::KvLayout queryLayout;
  const Pictures::Drawing queryDrawing = KvChem::KvLayOut(query, queryLayout)
                                             ? Pictures::DrawMolecule(query, queryLayout, {{}}, picture).front()
                                             : Pictures::NoteDrawing("no 2D drawing", picture);
  std::vector<HitFigure> figures;
  unsigned width = 0;  // every hit figure as wide as the widest, so that rows are columns
  for (const KvPictureHit& hit : hits) {
    figures.push_back(DrawHit(query, queryLayout, hit, type, options));
    width = std::max(width, figures.back().Width());
  }

  std::string html = "<section class=\"varnex-hits\">\n<h2>" + KvXmlText(heading) + "</h2>\n";
  html += "<figure class=\"query\" style=\"width:" + std::to_string(queryDrawing.width) + "px\">" + queryDrawing.svg +
          "<figcaption>" + Div("smiles", query.IsValid() ? KvChem::KvMolToSmiles(query) : "") +
          "</figcaption></figure>\n";
  html += Legend(options.highlight, type);
  if (hits.empty()) return html + "<p class=\"note\">no hits</p>\n</section>\n";
  const unsigned columns = std::max(picture.columns, 1u);
  html += "<div class=\"grid\" style=\"max-width:" +
          std::to_string(columns * (width + kFigureFrame) + (columns - 1) * kFigureGap) + "px\">\n";
  for (std::size_t rank = 0; rank < hits.size(); ++rank) {
    const KvPictureHit& hit = hits[rank];
    const HitFigure& figure = figures[rank];
    html += "<figure class=\"hit\" style=\"width:" + std::to_string(width) + "px\"><div class=\"drawings\">";
    for (const Pictures::Drawing& d : figure.drawings) html += d.svg;
    html += "</div><figcaption>" + Div("rank", "rank " + std::to_string(rank + 1)) + Div("name", hit.name) +
            Div("index", "index " + std::to_string(hit.index)) + Div("score", "score " + Score(hit.score));
    if (!figure.smiles.empty()) html += Div("smiles", figure.smiles);
    if (!figure.note.empty()) html += Div("note", figure.note);
    html += "</figcaption></figure>\n";
  }
  return html + "</div>\n</section>\n";
}

std::string KvGetHitPageHead(const std::string& title, const std::string& subtitle) {
  return "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
         "<meta charset=\"utf-8\"/>\n<title>" +
         KvXmlText(title) + "</title>\n<style>" + kPageStyle + "</style>\n</head>\n<body>\n<h1>" + KvXmlText(title) +
         "</h1>\n<p class=\"subtitle\">" + KvXmlText(subtitle) + "</p>\n";
}

std::string KvGetHitPageTail() { return "</body>\n</html>\n"; }

std::string KvGetHitPageHtml(const std::string& title, const std::string& subtitle,
                             const std::vector<std::string>& grids) {
  std::string page = KvGetHitPageHead(title, subtitle);
  for (const std::string& grid : grids) page += grid;
  return page + KvGetHitPageTail();
}

}  // namespace Varnex
