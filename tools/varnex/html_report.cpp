// A self-contained HTML page of queries and their hits.

#include "html_report.h"

#include <cstdio>
#include <memory>

#include "parameters_common.h"
#include "varnex/similarity.h"

namespace VarnexCli {

bool HtmlReport::Open(const std::string& path, const std::string& title, const std::string& subtitle) {
  if (!file_.Open(path)) return false;
  file_.Write(Varnex::KvGetHitPageHead(title, subtitle));
  return true;
}

void HtmlReport::AddQuery(const std::string& heading, const KvChem::KvMolBase& query,
                          const std::vector<Varnex::KvSimScore>& hits) {
  // An unreadable record stays an invalid molecule, which the grid shows as a note.
  std::vector<std::unique_ptr<KvChem::KvMol>> mols;
  std::vector<Varnex::KvPictureHit> pictureHits;
  for (const Varnex::KvSimScore& hit : hits) {
    mols.push_back(std::make_unique<KvChem::KvMol>());
    if (!records_.GetMolecule(*mols.back(), hit.GetIdx())) mols.back()->SetInvalid();
    pictureHits.push_back({mols.back().get(), records_.Get(hit.GetIdx()), hit.GetIdx(), hit.GetScore()});
  }
  file_.Write(Varnex::KvGetHitGridHtml(heading, query, pictureHits, type_, options_));
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
  file_.Write(Varnex::KvGetHitPageTail());
  return file_.Commit();
}

}  // namespace VarnexCli
