// varnex matrix for one record: its neighbours as matrix rows or as an HTML
// page with drawings.

#include <cstdio>

#include "collection_cli.h"
#include "command.h"
#include "html_report.h"
#include "matrix_page.h"
#include "parameters_common.h"
#include "picture_options.h"
#include "kvsystem/iterator.h"
#include "varnex/config.h"

namespace VarnexCli {

void AddRecordParameter(KvSystem::KvInterface& itf) {
  KvSystem::KvParameter* record = itf.AddParameter("int");
  record->SetName("-record");
  record->AddAlias("-r");
  record->SetBrief("Only the neighbours of this record (-1: every record; -format html needs one)");
  record->SetLegalRange("-1", "2147483647");
  record->SetDefault(-1);
}

bool RecordNeighbours(const Varnex::KvFastFPDatabase& db, int record, const Varnex::KvFPDatabaseOptions& options,
                      std::vector<Varnex::KvSimScorePair>& pairs) {
  if (static_cast<std::size_t>(record) >= db.NumFingerPrints()) {
    std::fprintf(stderr, "varnex matrix: -record %d is beyond the last record of the database (%zu records)\n", record,
                 db.NumFingerPrints());
    return false;
  }
  const std::size_t molecule = db.GetMoleculeIndex(static_cast<std::size_t>(record));
  if (molecule != static_cast<std::size_t>(record)) {
    // A shard of a sharded file: its records keep the molecule indices of the whole.
    std::fprintf(stderr,
                 "varnex matrix: record %d holds molecule %zu: the file is one shard of a collection; give the "
                 "collection (-db NAME.vxc) and a molecule index\n",
                 record, molecule);
    return false;
  }
  for (const auto& hit : KvSystem::KvCollect(db.GetSortedScores(static_cast<std::size_t>(record), options)))
    pairs.emplace_back(molecule, hit.GetIdx(), hit.GetScore());
  return true;
}

namespace {

// The page of one molecule and its neighbours.
int WritePage(const std::string& page, const std::string& subtitle, HtmlReport& report, int record,
              const std::string& name, const KvChem::KvMol& query, const std::vector<Varnex::KvSimScorePair>& pairs) {
  std::vector<Varnex::KvSimScore> hits;
  for (const auto& p : pairs) hits.emplace_back(p.GetIdxB(), p.GetScore());
  if (!report.Open(page, "varnex matrix", subtitle)) return kExitFailure;
  report.AddQuery("record " + std::to_string(record) + (name.empty() ? "" : ": " + name), query, hits);
  return report.Commit() ? kExitOk : kExitFailure;
}

int CollectionPage(KvSystem::KvInterface& itf, const std::string& page, const Varnex::KvHitGridOptions& pictures,
                   const Varnex::KvFPDatabaseOptions& options, int record) {
  auto collection = OpenCollection(itf, "matrix");
  if (collection == nullptr || !IsNoShard(*collection, itf, "matrix", page)) return kExitFailure;
  const std::uint64_t molecule = static_cast<std::uint64_t>(record);
  if (molecule >= collection->NumMolecules()) {
    std::fprintf(stderr, "varnex matrix: -record %d is beyond the last molecule of the collection (%llu molecules)\n",
                 record, static_cast<unsigned long long>(collection->NumMolecules()));
    return kExitUsage;
  }
  const std::vector<Varnex::KvSimScorePair> pairs = collection->GetNeighbours(molecule, 1, options);
  KvChem::KvMol query;
  const std::string smiles = collection->GetSmiles({molecule}).front();
  if (smiles.empty() || !KvChem::KvSmilesToMol(smiles, query)) {
    std::fprintf(stderr, "varnex matrix: molecule %d of the collection cannot be read\n", record);
    return kExitFailure;
  }
  HtmlReport report(collection->GetFPTypeBase(), HitRecordsOf(*collection), pictures);
  const std::string subtitle =
      PageSubtitle(itf.Get<std::string>("-db"), collection->NumMolecules(), collection->GetFPTypeBase(), options);
  return WritePage(page, subtitle, report, record, collection->GetIds({molecule}).front(), query, pairs);
}

int FilePage(KvSystem::KvInterface& itf, const std::string& page, const Varnex::KvHitGridOptions& pictures,
             const Varnex::KvFPDatabaseOptions& options, int record) {
  auto db = OpenDatabase(itf);
  if (db == nullptr) return kExitFailure;
  RecordNames names;
  if (!names.Open(itf, *db)) return kExitFailure;
  std::vector<Varnex::KvSimScorePair> pairs;
  if (!RecordNeighbours(*db, record, options, pairs)) return kExitUsage;
  KvChem::KvMol query;
  const std::size_t molecule = db->GetMoleculeIndex(static_cast<std::size_t>(record));
  if (!names.GetMolecule(query, molecule)) {
    std::fprintf(stderr, "varnex matrix: molecule %zu of the molecule file cannot be read\n", molecule);
    return kExitFailure;
  }
  HtmlReport report(db->GetFPTypeBase(), HitRecordsOf(names), pictures);
  const std::string subtitle =
      PageSubtitle(itf.Get<std::string>("-db"), db->NumFingerPrints(), db->GetFPTypeBase(), options);
  const int status = WritePage(page, subtitle, report, record, names.Get(molecule), query, pairs);
  return names.Mismatched() ? kExitFailure : status;
}

}  // namespace

int RunMatrixPage(KvSystem::KvInterface& itf) {
  std::string page;
  Varnex::KvHitGridOptions pictures;
  if (!ReadPageRequest(itf, "matrix", page, pictures)) return kExitUsage;
  const bool collection = NamesCollection(itf);
  const int record = itf.Get<int>("-record");
  if (record < 0) {
    std::fputs("varnex matrix: -format html shows the neighbours of one record: give -record N\n", stderr);
    return kExitUsage;
  }
  Varnex::KvFPDatabaseOptions options;
  SetupSearchOptions(options, itf);
  return collection ? CollectionPage(itf, page, pictures, options, record)
                    : FilePage(itf, page, pictures, options, record);
}

}  // namespace VarnexCli
