// The search page of the service.

#include "serve_page.h"

#include <memory>

#include "varnex/measures.h"

namespace VarnexCli {
namespace {

constexpr const char* kHighlights[] = {"mcs", "bits", "none"};  // in the order of KvHitHighlight

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:16px;color:#222222;background:#F4F4F4}"
    "form{display:flex;flex-wrap:wrap;gap:12px;align-items:flex-end;margin-bottom:16px}"
    "label{display:flex;flex-direction:column;font-size:13px}"
    "textarea{font-family:monospace;width:42em;height:7em}"
    ".error{color:#A00000;font-weight:bold;overflow-wrap:anywhere}";

std::string Escaped(const std::string& text) { return Varnex::KvXmlText(text); }

std::string Field(const char* label, const char* name, const std::string& value, const std::string& attributes) {
  return std::string("<label>") + label + " <input name=\"" + name + "\" value=\"" + Escaped(value) + "\" " +
         attributes + "/></label>\n";
}

std::string Choice(const char* label, const char* name, const std::string& chosen,
                   const std::vector<const char*>& values) {
  std::string html = std::string("<label>") + label + " <select name=\"" + name + "\">";
  for (const char* value : values)
    html += std::string("<option") + (chosen == value ? " selected=\"selected\"" : "") + ">" + value + "</option>";
  return html + "</select></label>\n";
}

std::string Form(const PageForm& form, const Varnex::KvHitGridOptions& pictures) {
  std::string html = "<form method=\"post\" action=\"/\">\n<label>Structure (SMILES or molfile)"
                     "<textarea id=\"query\" name=\"q\" required=\"required\">" +
                     Escaped(form.query) + "</textarea></label>\n";
  html += Field("k", "k", form.k.empty() ? "10" : form.k,
                "type=\"number\" min=\"1\" max=\"" + std::to_string(kMaxPageHits) + "\"");
  html += Field("cutoff", "cutoff", form.cutoff, "type=\"number\" min=\"0\" max=\"1\" step=\"any\"");
  std::vector<const char*> measures;
  for (const Varnex::KvSimMeasureInfo& measure : Varnex::KvSimMeasures) measures.push_back(measure.key);
  html += Choice("measure", "measure", form.measure, measures);
  const char* highlight = kHighlights[static_cast<int>(pictures.highlight)];
  html += Choice("highlight", "highlight", form.highlight.empty() ? highlight : form.highlight,
                 {std::begin(kHighlights), std::end(kHighlights)});
  return html + "<button id=\"search\" type=\"submit\">Search</button>\n</form>\n";
}

std::string Grid(const ServeBackend& backend, const Varnex::KvHitGridOptions& pictures, const PreparedQuery& query,
                 const std::vector<Varnex::KvSimScore>& hits) {
  // An unreadable record stays an invalid molecule, which the grid shows as a note.
  std::vector<std::unique_ptr<KvChem::KvMol>> mols;
  std::vector<Varnex::KvPictureHit> pictureHits;
  std::vector<std::size_t> indices;
  for (const Varnex::KvSimScore& hit : hits) indices.push_back(hit.GetIdx());
  const std::vector<MoleculeRecord> records = backend.GetRecords(indices);
  for (std::size_t i = 0; i < hits.size(); ++i) {
    mols.push_back(std::make_unique<KvChem::KvMol>());
    if (!backend.GetMolecule(hits[i].GetIdx(), *mols.back())) mols.back()->SetInvalid();
    pictureHits.push_back({mols.back().get(), records[i].id, hits[i].GetIdx(), hits[i].GetScore()});
  }
  const std::string heading = std::to_string(hits.size()) + (hits.size() == 1 ? " hit" : " hits");
  return Varnex::KvGetHitGridHtml(heading, query.mol, pictureHits, backend.GetFPType(), pictures);
}

}  // namespace

std::string SearchPage(const ServeBackend& backend, const Varnex::KvHitGridOptions& pictures, const PageForm& form,
                       const std::string& error, const PreparedQuery* query,
                       const std::vector<Varnex::KvSimScore>* hits) {
  std::string html = std::string("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
                                 "<title>varnex search</title>\n<style>") +
                     kStyle + Varnex::KvGetHitGridStyle() + "</style>\n</head>\n<body>\n<h1>varnex search</h1>\n" +
                     "<p class=\"collection\">" +
                     Escaped(backend.GetName() + ": " + std::to_string(backend.NumRecords()) + " records of " +
                             backend.GetFPType()->GetFPTypeString()) +
                     "</p>\n" + Form(form, pictures);
  if (!error.empty()) html += "<p class=\"error\" id=\"error\">" + Escaped(error) + "</p>\n";
  if (query != nullptr && hits != nullptr)
    html += "<div id=\"results\">\n" + Grid(backend, pictures, *query, *hits) + "</div>\n";
  return html + "<p><a href=\"/api/openapi.json\">HTTP API</a></p>\n</body>\n</html>\n";
}

}  // namespace VarnexCli
