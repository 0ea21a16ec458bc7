// varnex search: the nearest neighbours of one SMILES or of a file of queries.

#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "collection_cli.h"
#include "command.h"
#include "database.h"
#include "hit_writer.h"
#include "html_report.h"
#include "molecules.h"
#include "output.h"
#include "parameters_common.h"
#include "picture_options.h"
#include "run_context.h"
#include "kvsystem/iterator.h"
#include "varnex/config.h"
#include "varnex/generation.h"

namespace VarnexCli {
namespace {

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void ConfigureSearch(KvSystem::KvInterface& itf) {
  AddText(itf, "-query", "-q", "One SMILES, or a molecule file of queries");
  AddDatabaseParameters(itf);
  AddNameTag(itf);
  AddFormat(itf, "html");
  AddHitPictureOptions(itf);
  Varnex::KvFPDatabaseOptions defaults;
  defaults.SetLimit(10);
  Varnex::KvConfigureFPDatabaseOptions(itf, defaults);
}

int RunSearch(KvSystem::KvInterface& itf) {
  std::string page;
  Varnex::KvHitGridOptions pictures;
  if (!ReadPageRequest(itf, "search", page, pictures)) return kExitUsage;
  const bool collection = NamesCollection(itf);
  Varnex::KvFPDatabaseOptions options;
  SetupSearchOptions(options, itf);
  // A .fpbin file, named through -mols, or a collection, named by its catalog.
  std::unique_ptr<Varnex::KvFastFPDatabase> db;
  std::unique_ptr<Varnex::KvCollection> shards;
  RecordNames names;
  if (collection) {
    if ((shards = OpenCollection(itf, "search")) == nullptr || !IsNoShard(*shards, itf, "search", page))
      return kExitFailure;
  } else if ((db = OpenDatabase(itf)) == nullptr || !names.Open(itf, *db)) {
    return kExitFailure;
  }
  const Varnex::KvFPTypeBase* type = collection ? shards->GetFPTypeBase() : db->GetFPTypeBase();
  const auto searchMany = [&](const std::vector<Varnex::KvFingerPrint>& fps) {
    return collection ? shards->GetSortedScoresMany(fps, options) : db->GetSortedScoresMany(fps, options);
  };

  const std::string query = itf.Get<std::string>("-query");
  // Queries are read before any output, so a bad one leaves no header behind.
  KvChem::KvMolDatabase queries;
  KvChem::KvMol single;
  const bool fromFile = IsFile(query);
  if (fromFile ? !OpenMolecules(queries, query) : !ReadSmiles(query, single, "the query")) return kExitFailure;

  // The hits go to lines, or to the sections of a page.
  std::optional<HtmlReport> report;
  std::optional<HitWriter> writer;
  if (!page.empty()) {
    const std::uint64_t records = collection ? shards->NumMolecules() : db->NumFingerPrints();
    report.emplace(type, collection ? HitRecordsOf(*shards) : HitRecordsOf(names), pictures);
    if (!report->Open(page, "varnex search", PageSubtitle(itf.Get<std::string>("-db"), records, type, options)))
      return kExitFailure;
  } else if (collection) {
    writer.emplace(WantsJson(itf),
                   [&shards](const std::vector<Varnex::KvSimScore>& hits) { return shards->GetIds(IndicesOf(hits)); });
  } else {
    writer.emplace(WantsJson(itf), [&names](const std::vector<Varnex::KvSimScore>& hits) {
      std::vector<std::string> named;
      for (const Varnex::KvSimScore& hit : hits) named.push_back(names.Get(hit.GetIdx()));
      return named;
    });
  }
  auto write = [&](unsigned index, const KvChem::KvMolBase& mol, const std::string& name,
                   const std::vector<Varnex::KvSimScore>& hits) {
    if (writer)
      writer->Write(index, name, hits);
    else
      report->AddQuery("query " + std::to_string(index) + (name.empty() ? "" : ": " + name), mol, hits);
  };

  unsigned failed = 0;
  const MolNames queryNames(itf);
  if (!fromFile && !collection) {
    write(0, single, single.GetTitle(), KvSystem::KvCollect(db->GetSortedScores(single, options)));
  } else if (!fromFile) {
    Varnex::KvFingerPrint fp;
    if (!Varnex::KvMakeFP(fp, single, type)) return kExitFailure;  // the library has said why
    write(0, single, single.GetTitle(), searchMany({fp}).front());
  } else {
    // Blocks of queries go to the batch search, which reads the records once
    // per block instead of once per query; the output keeps the file order.
    constexpr unsigned kQueriesPerBatch = 1024;
    std::vector<Varnex::KvFingerPrint> fps;
    std::vector<unsigned> indices;
    auto flush = [&] {
      const auto hits = searchMany(fps);
      KvChem::KvMol drawn;
      for (std::size_t k = 0; k < fps.size(); ++k) {
        if (report) queries.GetMolecule(drawn, indices[k]);  // the page draws the query
        write(indices[k], drawn, queryNames.Get(queries, indices[k]), hits[k]);
      }
      fps.clear();
      indices.clear();
    };
    KvChem::KvMol mol;
    for (unsigned i = 0; i < queries.GetMaxMolIdx(); ++i) {
      Varnex::KvFingerPrint fp;
      if (!queries.GetMolecule(mol, i) || !Varnex::KvMakeFP(fp, mol, type)) {
        ++failed;  // the library has named the record
        continue;
      }
      fps.push_back(std::move(fp));
      indices.push_back(i);
      if (fps.size() == kQueriesPerBatch) flush();
    }
    flush();
  }
  if (names.Mismatched() || (report && !report->Commit())) return kExitFailure;
  if (failed != 0) std::fprintf(stderr, "varnex search: %u queries could not be read\n", failed);
  return InputStatus(queries, failed);
}

}  // namespace VarnexCli
