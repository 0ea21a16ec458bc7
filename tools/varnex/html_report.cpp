// A self-contained HTML page of queries and their hits.

#include "html_report.h"

#include <cstdio>
#include <memory>

#include "collection_cli.h"
#include "parameters_common.h"
#include "picture_options.h"
#include "varnex/similarity.h"

namespace VarnexCli {

bool HtmlReport::Open(const std::string& path, const std::string& title, const std::string& subtitle) {
  if (!file_.Open(path)) return false;
  file_.Write(Varnex::KvGetHitPageHead(title, subtitle));
  return true;
}

HitRecords HitRecordsOf(const RecordNames& names) {
  return [&names](const std::vector<Varnex::KvSimScore>& hits, std::vector<std::string>& ids,
                  std::vector<std::unique_ptr<KvChem::KvMol>>& mols) {
    for (const Varnex::KvSimScore& hit : hits) {
      ids.push_back(names.Get(hit.GetIdx()));
      mols.push_back(std::make_unique<KvChem::KvMol>());
      if (!names.GetMolecule(*mols.back(), hit.GetIdx())) mols.back()->SetInvalid();
    }
  };
}

HitRecords HitRecordsOf(const Varnex::KvCollection& collection) {
  return [&collection](const std::vector<Varnex::KvSimScore>& hits, std::vector<std::string>& ids,
                       std::vector<std::unique_ptr<KvChem::KvMol>>& mols) {
    const std::vector<std::uint64_t> indices = IndicesOf(hits);
    ids = collection.GetIds(indices);
    const std::vector<std::string> smiles = collection.GetSmiles(indices);
    for (const std::string& text : smiles) {
      // "" for a molecule that could not be read when it was added.
      mols.push_back(std::make_unique<KvChem::KvMol>());
      if (text.empty() || !KvChem::KvSmilesToMol(text, *mols.back())) mols.back()->SetInvalid();
    }
  };
}

void HtmlReport::AddQuery(const std::string& heading, const KvChem::KvMolBase& query,
                          const std::vector<Varnex::KvSimScore>& hits) {
  std::vector<std::string> names;
  std::vector<std::unique_ptr<KvChem::KvMol>> mols;
  records_(hits, names, mols);
  std::vector<Varnex::KvPictureHit> pictureHits;
  for (std::size_t i = 0; i < hits.size(); ++i)
    pictureHits.push_back({mols[i].get(), names[i], hits[i].GetIdx(), hits[i].GetScore()});
  file_.Write(Varnex::KvGetHitGridHtml(heading, query, pictureHits, type_, options_));
}

bool ReadPageRequest(const KvSystem::KvInterface& itf, const char* command, std::string& page,
                     Varnex::KvHitGridOptions& pictures) {
  if (!ReadPictureOut(itf, command, page)) return false;
  if (NamesCollection(itf)) {
    if (!RefuseMolsOfCollection(itf, command)) return false;
  } else if (const KvSystem::KvParameter* mols = itf.GetParameter("-mols");
             WantsPicture(itf) && (mols == nullptr || !mols->HasValue())) {
    std::fprintf(stderr, "varnex %s: -format html draws the hits from their molecule file: give -mols FILE\n",
                 command);
    return false;
  }
  return ReadHitPictureOptions(itf, command, pictures);
}

std::string PageSubtitle(const std::string& dbPath, std::uint64_t records, const Varnex::KvFPTypeBase* type,
                         const Varnex::KvFPDatabaseOptions& options) {
  return dbPath + ": " + std::to_string(records) + " records of " + type->GetFPTypeString() +
         "; " + Varnex::KvGetSimilarityMeasureName(options.GetSimFunc()) + " scores";
}

bool HtmlReport::Commit() {
  file_.Write(Varnex::KvGetHitPageTail());
  return file_.Commit();
}

}  // namespace VarnexCli
