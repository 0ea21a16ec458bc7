// varnex search: the nearest neighbours of one SMILES or of a file of queries.

#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "database.h"
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

// Writes the hits of each query as TSV lines or one JSON array.
class HitWriter {
 public:
  HitWriter(bool json, const RecordNames& names) : json_(json), names_(names) {
    std::fputs(json_ ? "[" : "query\tquery_name\trank\tindex\tname\tscore\n", stdout);
  }
  ~HitWriter() {
    if (json_) std::fputs("\n]\n", stdout);
  }
  void Write(unsigned query, const std::string& queryName, const std::vector<Varnex::KvSimScore>& hits) {
    if (Interrupted()) return;  // the hits of a cancelled search are incomplete
    if (json_) {
      std::printf("%s\n{\"query\": %u, \"query_name\": %s, \"hits\": [", first_ ? "" : ",", query,
                  JsonString(queryName).c_str());
      for (std::size_t r = 0; r < hits.size(); ++r)
        std::printf("%s\n  {\"rank\": %zu, \"index\": %zu, \"name\": %s, \"score\": %s}", r == 0 ? "" : ",", r + 1,
                    hits[r].GetIdx(), JsonString(names_.Get(hits[r].GetIdx())).c_str(),
                    FormatScore(hits[r].GetScore()).c_str());
      std::fputs("]}", stdout);
    } else {
      for (std::size_t r = 0; r < hits.size(); ++r)
        std::printf("%u\t%s\t%zu\t%zu\t%s\t%s\n", query, TsvField(queryName).c_str(), r + 1, hits[r].GetIdx(),
                    TsvField(names_.Get(hits[r].GetIdx())).c_str(), FormatScore(hits[r].GetScore()).c_str());
    }
    first_ = false;
  }

 private:
  bool json_;
  const RecordNames& names_;
  bool first_ = true;
};

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
  if (!ReadPictureOut(itf, "search", page) || !PageHasMolecules(itf, "search") ||
      !ReadHitPictureOptions(itf, "search", pictures))
    return kExitUsage;
  Varnex::KvFPDatabaseOptions options;
  SetupSearchOptions(options, itf);
  auto db = OpenDatabase(itf);
  if (db == nullptr) return kExitFailure;
  RecordNames names;
  if (!names.Open(itf, *db)) return kExitFailure;

  const std::string query = itf.Get<std::string>("-query");
  // Queries are read before any output, so a bad one leaves no header behind.
  KvChem::KvMolDatabase queries;
  KvChem::KvMol single;
  const bool fromFile = IsFile(query);
  if (fromFile ? !OpenMolecules(queries, query) : !ReadSmiles(query, single, "the query")) return kExitFailure;

  // The hits go to lines, or to the sections of a page.
  std::optional<HtmlReport> report;
  std::optional<HitWriter> writer;
  if (page.empty())
    writer.emplace(WantsJson(itf), names);
  else if (!report.emplace(db->GetFPTypeBase(), names, pictures)
                .Open(page, "varnex search", PageSubtitle(itf.Get<std::string>("-db"), *db, options)))
    return kExitFailure;
  auto write = [&](unsigned index, const KvChem::KvMolBase& mol, const std::string& name,
                   const std::vector<Varnex::KvSimScore>& hits) {
    if (writer)
      writer->Write(index, name, hits);
    else
      report->AddQuery("query " + std::to_string(index) + (name.empty() ? "" : ": " + name), mol, hits);
  };

  unsigned failed = 0;
  const MolNames queryNames(itf);
  if (!fromFile) {
    write(0, single, single.GetTitle(), KvSystem::KvCollect(db->GetSortedScores(single, options)));
  } else {
    // Blocks of queries go to the batch search, which reads the records once
    // per block instead of once per query; the output keeps the file order.
    constexpr unsigned kQueriesPerBatch = 1024;
    const Varnex::KvFPTypeBase* type = db->GetFPTypeBase();
    std::vector<Varnex::KvFingerPrint> fps;
    std::vector<unsigned> indices;
    auto flush = [&] {
      const auto hits = db->GetSortedScoresMany(fps, options);
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
