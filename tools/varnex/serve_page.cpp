// The search page of the service.

#include "serve_page.h"

#include "output.h"
#include "serve_messages.h"
#include "varnex/pictures.h"

namespace VarnexCli {
namespace {

constexpr Varnex::KvPictureLayout kHitLayout{220, 170, 4};
constexpr const char* kMeasures[] = {"tanimoto", "dice", "cosine", "euclid", "tversky", "manhattan"};

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:16px;color:#222222;background:#F4F4F4}"
    "form{display:flex;flex-wrap:wrap;gap:12px;align-items:flex-end;margin-bottom:16px}"
    "label{display:flex;flex-direction:column;font-size:13px}"
    "textarea{font-family:monospace;width:42em;height:7em}"
    ".error{color:#A00000;font-weight:bold;overflow-wrap:anywhere}"
    "table{border-collapse:collapse;margin-top:12px;background:#FFFFFF}"
    "td,th{border:1px solid #CCCCCC;padding:3px 8px;text-align:left;font-size:13px}"
    "td.smiles{font-family:monospace;overflow-wrap:anywhere;max-width:40em}";

std::string Escaped(const std::string& text) { return Varnex::KvXmlText(text); }

std::string Field(const char* label, const char* name, const std::string& value, const std::string& attributes) {
  return std::string("<label>") + label + " <input name=\"" + name + "\" value=\"" + Escaped(value) + "\" " +
         attributes + "/></label>\n";
}

std::string Form(const PageForm& form) {
  std::string html = "<form method=\"post\" action=\"/\">\n<label>Structure (SMILES or molfile)"
                     "<textarea id=\"query\" name=\"q\" required=\"required\">" +
                     Escaped(form.query) + "</textarea></label>\n";
  html += Field("k", "k", form.k.empty() ? "10" : form.k,
                "type=\"number\" min=\"1\" max=\"" + std::to_string(kMaxPageHits) + "\"");
  html += Field("cutoff", "cutoff", form.cutoff, "type=\"number\" min=\"0\" max=\"1\" step=\"any\"");
  html += "<label>measure <select name=\"measure\">";
  for (const char* measure : kMeasures)
    html += std::string("<option") + (form.measure == measure ? " selected=\"selected\"" : "") + ">" + measure +
            "</option>";
  return html + "</select></label>\n<button id=\"search\" type=\"submit\">Search</button>\n</form>\n";
}

// One drawing per hit with the atoms it shares with the query, captioned.
std::string Grid(const ServeBackend& backend, const PreparedQuery& query, const std::vector<Varnex::KvSimScore>& hits) {
  std::vector<Varnex::KvPicturePanel> panels;
  MoleculeRecord record;
  KvChem::KvMol mol;
  MessageCapture quiet;  // kinds without atom patterns say so; the grid simply has no highlights
  for (std::size_t rank = 0; rank < hits.size(); ++rank) {
    const std::size_t index = hits[rank].GetIdx();
    backend.GetRecord(index, record);
    std::vector<std::string> caption = {std::to_string(rank + 1) + ". " + record.id,
                                        "index " + std::to_string(index),
                                        "score " + FormatScore(hits[rank].GetScore())};
    if (!backend.GetMolecule(index, mol)) {
      panels.push_back({Varnex::KvGetNoteSvg("cannot be read", kHitLayout.panelWidth, kHitLayout.panelHeight),
                        std::move(caption)});
      continue;
    }
    KvChem::KvHighlight onQuery, onHit;
    Varnex::KvGetOverlapHighlights(query.mol, mol, backend.GetFPType(), onQuery, onHit);
    panels.push_back(Varnex::KvGetMoleculePanel(mol, {onHit}, kHitLayout, std::move(caption)));
  }
  std::string svg = Varnex::KvGetSvgGrid(panels, kHitLayout, "no hits");
  if (svg.compare(0, 5, "<?xml") == 0) svg.erase(0, svg.find("?>") + 2);
  return svg;
}

std::string Table(const ServeBackend& backend, const std::vector<Varnex::KvSimScore>& hits) {
  std::string html = "<table id=\"hits\">\n<tr><th>rank</th><th>id</th><th>index</th><th>score</th><th>SMILES</th></tr>\n";
  MoleculeRecord record;
  for (std::size_t rank = 0; rank < hits.size(); ++rank) {
    const std::size_t index = hits[rank].GetIdx();
    const bool known = backend.GetRecord(index, record);
    html += "<tr class=\"hit\"><td>" + std::to_string(rank + 1) + "</td><td class=\"id\">" + Escaped(record.id) +
            "</td><td><a href=\"/api/molecules/" + std::to_string(index) + "\">" + std::to_string(index) +
            "</a></td><td>" + FormatScore(hits[rank].GetScore()) + "</td><td class=\"smiles\">" +
            (known ? Escaped(record.smiles) : "") + "</td></tr>\n";
  }
  return html + "</table>\n";
}

}  // namespace

std::string SearchPage(const ServeBackend& backend, const PageForm& form, const std::string& error,
                       const PreparedQuery* query, const std::vector<Varnex::KvSimScore>* hits) {
  std::string html = std::string("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
                                 "<title>varnex search</title>\n<style>") +
                     kStyle + "</style>\n</head>\n<body>\n<h1>varnex search</h1>\n<p class=\"collection\">" +
                     Escaped(backend.GetName() + ": " + std::to_string(backend.NumRecords()) + " records of " +
                             backend.GetFPType()->GetFPTypeString()) +
                     "</p>\n" + Form(form);
  if (!error.empty()) html += "<p class=\"error\" id=\"error\">" + Escaped(error) + "</p>\n";
  if (query != nullptr && hits != nullptr) {
    html += "<section id=\"results\">\n<h2>" + std::to_string(hits->size()) + " hits for " + Escaped(query->smiles) +
            "</h2>\n<div class=\"grid\">" + Grid(backend, *query, *hits) + "</div>\n" + Table(backend, *hits) +
            "</section>\n";
  }
  return html + "<p><a href=\"/api/openapi.json\">HTTP API</a></p>\n</body>\n</html>\n";
}

}  // namespace VarnexCli
