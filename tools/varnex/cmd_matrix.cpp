// varnex matrix: the nearest neighbours of every record of a database, or
// every pair of records at or above a cutoff.

#include <unistd.h>

#include <cstdio>

#include "collection_cli.h"
#include "command.h"
#include "database.h"
#include "matrix_page.h"
#include "output.h"
#include "parameters_common.h"
#include "picture_options.h"
#include "run_context.h"
#include "kvsystem/dots.h"
#include "kvsystem/iterator.h"
#include "varnex/config.h"

namespace VarnexCli {

void ConfigureMatrix(KvSystem::KvInterface& itf) {
  AddDatabaseParameters(itf);
  AddNameTag(itf);
  AddFormat(itf, "html");
  AddRecordParameter(itf);
  AddHitPictureOptions(itf);
  Varnex::KvConfigureFPDatabaseOptions(itf, 7u);  // -limit (10 per record), -simfunc, -cutoff
  AddThreadsAndQuiet(itf);
}

namespace {

// The search options of "-threads" and the rest, with a progress display of
// the finished rows on a terminal, unless "-quiet" or the rows themselves go
// to the terminal.
void SetupMatrixOptions(Varnex::KvFPDatabaseOptions& options, KvSystem::KvDots& rows,
                        const KvSystem::KvInterface& itf) {
  SetupSearchOptions(options, itf);
  options.SetNumProcessors(static_cast<unsigned>(itf.Get<int>("-threads")));
  if (itf.Get<bool>("-quiet") || ::isatty(STDOUT_FILENO) == 1) rows.SetDisplay(KvSystem::KvDots::Display::Never);
  options.SetProgress(&rows);
}

}  // namespace

int RunMatrix(KvSystem::KvInterface& itf) {
  if (WantsPicture(itf) || itf.GetParameter("-out")->HasValue()) return RunMatrixPage(itf);
  Varnex::KvFPDatabaseOptions options;
  KvSystem::KvDots rows("Neighbours of", "records");
  SetupMatrixOptions(options, rows, itf);
  if (NamesCollection(itf)) {
    const KvSystem::KvParameter* limit = itf.GetParameter("-limit");
    if (options.HasCutoff() && (limit == nullptr || !limit->IsSet())) options.SetLimit(0);  // every pair above it
    return RunCollectionMatrix(itf, options, itf.Get<int>("-record"));
  }
  auto db = OpenDatabase(itf);
  if (db == nullptr) return kExitFailure;
  // A cutoff without a limit (or with -limit 0) asks for every pair at or
  // above it: the threshold form, which never holds n x n pairs.
  const KvSystem::KvParameter* limit = itf.GetParameter("-limit");
  const bool everyPairAbove = options.HasCutoff() && (limit == nullptr || !limit->IsSet() || options.GetLimit() == 0);
  if (!everyPairAbove) ClampLimit(options, *db, "matrix");
  RecordNames names;
  if (!names.Open(itf, *db)) return kExitFailure;
  const int record = itf.Get<int>("-record");
  std::vector<Varnex::KvSimScorePair> pairs;
  if (record >= 0) {
    if (!RecordNeighbours(*db, record, options, pairs)) return kExitUsage;
  } else {
    pairs = KvSystem::KvCollect(everyPairAbove ? db->GetThresholdMatrix(options) : db->GetSparseMatrix(options));
    if (!Interrupted()) rows.Total();
  }
  const bool json = WantsJson(itf);
  std::fputs(json ? "[" : "index_a\tname_a\tindex_b\tname_b\tscore\n", stdout);
  bool first = true;
  for (const auto& p : pairs) {
    if (json)
      std::printf("%s\n{\"index_a\": %zu, \"name_a\": %s, \"index_b\": %zu, \"name_b\": %s, \"score\": %s}",
                  first ? "" : ",", p.GetIdxA(), JsonString(names.Get(p.GetIdxA())).c_str(), p.GetIdxB(),
                  JsonString(names.Get(p.GetIdxB())).c_str(), FormatScore(p.GetScore()).c_str());
    else
      std::printf("%zu\t%s\t%zu\t%s\t%s\n", p.GetIdxA(), TsvField(names.Get(p.GetIdxA())).c_str(), p.GetIdxB(),
                  TsvField(names.Get(p.GetIdxB())).c_str(), FormatScore(p.GetScore()).c_str());
    first = false;
  }
  if (json) std::fputs("\n]\n", stdout);
  return names.Mismatched() ? kExitFailure : kExitOk;
}

}  // namespace VarnexCli
