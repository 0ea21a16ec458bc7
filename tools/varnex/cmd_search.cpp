// varnex search: the nearest neighbours of one SMILES or of a file of queries.

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "database.h"
#include "molecules.h"
#include "output.h"
#include "parameters_common.h"
#include "kvsystem/iterator.h"
#include "varnex/config.h"

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
  AddFormat(itf);
  Varnex::KvFPDatabaseOptions defaults;
  defaults.SetLimit(10);
  Varnex::KvConfigureFPDatabaseOptions(itf, defaults);
}

int RunSearch(KvSystem::KvInterface& itf) {
  Varnex::KvFPDatabaseOptions options;
  Varnex::KvSetupFPDatabaseOptions(options, itf);
  options.SetNumProcessors(0);
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

  unsigned failed = 0;
  HitWriter writer(WantsJson(itf), names);
  auto search = [&](unsigned index, const KvChem::KvMol& mol, const std::string& name) {
    writer.Write(index, name, KvSystem::KvCollect(db->GetSortedScores(mol, options)));
  };
  if (fromFile) {
    KvChem::KvMol mol;
    for (unsigned i = 0; i < queries.GetMaxMolIdx(); ++i) {
      if (queries.GetMolecule(mol, i))
        search(i, mol, queries.GetMolName(i));
      else
        ++failed;  // the library has named the record
    }
  } else {
    search(0, single, single.GetTitle());
  }
  if (failed != 0) {
    std::fprintf(stderr, "varnex search: %u queries could not be read\n", failed);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace VarnexCli
