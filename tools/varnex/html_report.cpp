// A self-contained HTML page of queries and their hits.

#include "html_report.h"

#include <cstdio>

#include "output.h"
#include "parameters_common.h"
#include "varnex/pictures.h"
#include "varnex/similarity.h"

namespace VarnexCli {
namespace {

constexpr Varnex::KvPictureLayout kQueryLayout{280, 220, 1};
constexpr Varnex::KvPictureLayout kPairLayout{200, 160, 1};

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:16px;color:#222222;background:#F4F4F4}"
    "section{margin:0 0 28px 0}"
    ".grid{display:flex;flex-wrap:wrap;gap:12px;align-items:flex-start}"
    "figure{margin:0;padding:6px;background:#FFFFFF;border:1px solid #CCCCCC}"
    ".pair{display:flex;gap:4px}"
    "figcaption{font-size:13px;text-align:center;padding-top:4px}"
    ".name{font-weight:bold;overflow-wrap:anywhere}"
    ".smiles{font-family:monospace;font-size:12px;overflow-wrap:anywhere;max-width:280px}"
    ".note{color:#666666}";

std::string Div(const char* cls, const std::string& text) {
  return std::string("<div class=\"") + cls + "\">" + Varnex::KvXmlText(text) + "</div>";
}

std::string Drawing(const KvChem::KvMolBase& mol, const KvChem::KvHighlight& highlight,
                    const Varnex::KvPictureLayout& layout) {
  return Varnex::KvGetMoleculePanel(mol, {highlight}, layout, {}).svg;
}

}  // namespace

bool HtmlReport::Open(const std::string& path, const std::string& title, const std::string& subtitle) {
  if (!file_.Open(path)) return false;
  file_.Write("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
              "<meta charset=\"utf-8\"/>\n<title>" +
              Varnex::KvXmlText(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" +
              Varnex::KvXmlText(title) + "</h1>\n<p class=\"subtitle\">" + Varnex::KvXmlText(subtitle) + "</p>\n");
  return true;
}

void HtmlReport::AddQuery(const std::string& heading, const KvChem::KvMolBase& query,
                          const std::vector<Varnex::KvSimScore>& hits) {
  // Each hit drawn with the atoms it shares with the query, and the query
  // beside it with the same atoms (all those drawings of one layout).
  std::vector<std::string> hitDrawings;
  std::vector<std::vector<KvChem::KvHighlight>> onQuery(hits.size());
  KvChem::KvMol hit;
  for (std::size_t rank = 0; rank < hits.size(); ++rank) {
    const std::size_t index = hits[rank].GetIdx();
    if (!records_.GetMolecule(hit, index)) {
      hitDrawings.push_back(Varnex::KvGetNoteSvg("record " + std::to_string(index) + " could not be read",
                                                 kPairLayout.panelWidth, kPairLayout.panelHeight));
      continue;
    }
    KvChem::KvHighlight shared, onHit;
    Varnex::KvGetOverlapHighlights(query, hit, type_, shared, onHit);
    onQuery[rank].push_back(std::move(shared));
    hitDrawings.push_back(Drawing(hit, onHit, kPairLayout));
  }
  const auto queryDrawings =
      Varnex::KvGetMoleculePanels(query, onQuery, kPairLayout, std::vector<std::vector<std::string>>(hits.size()));

  std::string html = "<section>\n<h2>" + Varnex::KvXmlText(heading) + "</h2>\n<div class=\"grid\">\n";
  html += "<figure class=\"query\">" + Drawing(query, {}, kQueryLayout) + "<figcaption>" +
          Div("smiles", KvChem::KvMolToSmiles(query)) + "</figcaption></figure>\n";
  if (hits.empty()) html += "<p class=\"note\">no hits</p>\n";
  for (std::size_t rank = 0; rank < hits.size(); ++rank) {
    const std::size_t index = hits[rank].GetIdx();
    html += "<figure class=\"hit\"><div class=\"pair\">" + queryDrawings[rank].svg + hitDrawings[rank] +
            "</div><figcaption>" + Div("rank", "rank " + std::to_string(rank + 1)) + Div("name", records_.Get(index)) +
            Div("index", "index " + std::to_string(index)) +
            Div("score", "score " + FormatScore(hits[rank].GetScore())) + "</figcaption></figure>\n";
  }
  file_.Write(html + "</div>\n</section>\n");
}

bool PageHasMolecules(const KvSystem::KvInterface& itf, const char* command) {
  const KvSystem::KvParameter* mols = itf.GetParameter("-mols");
  if (!WantsPicture(itf) || (mols != nullptr && mols->HasValue())) return true;
  std::fprintf(stderr, "varnex %s: -format html draws the hits from their molecule file: give -mols FILE\n", command);
  return false;
}

std::string PageSubtitle(const std::string& dbPath, const Varnex::KvFastFPDatabase& db,
                         const Varnex::KvFPDatabaseOptions& options) {
  return dbPath + ": " + std::to_string(db.NumFingerPrints()) + " records of " + db.GetFPTypeBase()->GetFPTypeString() +
         "; " + Varnex::KvGetSimilarityMeasureName(options.GetSimFunc()) + " scores";
}

bool HtmlReport::Commit() {
  file_.Write("</body>\n</html>\n");
  return file_.Commit();
}

}  // namespace VarnexCli
