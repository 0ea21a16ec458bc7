// varnex histogram: the distribution of the scores of all pairs of records.

#include <cstdio>
#include <string>

#include "collection_cli.h"
#include "command.h"
#include "database.h"
#include "output.h"
#include "output_file.h"
#include "parameters_common.h"
#include "varnex/config.h"
#include "varnex/pictures.h"
#include "varnex/similarity.h"

namespace VarnexCli {

void ConfigureHistogram(KvSystem::KvInterface& itf) {
  AddDatabaseParameters(itf);
  AddFormat(itf, "svg");
  KvSystem::KvParameter* bins = itf.AddParameter("int");
  bins->SetName("-bins");
  bins->AddAlias("-n");
  bins->SetBrief("Number of bins over [0, 1]");
  bins->SetLegalRange("1", "10000");
  bins->SetDefault(20);
  KvSystem::KvParameter* scale = AddText(itf, "-scale", "", "Counts axis of -format svg");
  for (const char* name : {"auto", "log", "linear"}) scale->AddLegalValue(name);
  scale->SetDefault("auto");
  scale->AddDetail("\n\tauto: log when the largest bin holds more than 100 times the smallest non-empty one, "
                   "else linear");
  Varnex::KvConfigureFPDatabaseOptions(itf, 2u);  // -simfunc
}

int RunHistogram(KvSystem::KvInterface& itf) {
  std::string chart;
  if (!ReadPictureOut(itf, "histogram", chart)) return kExitUsage;
  Varnex::KvHistogramChartOptions chartOptions;
  const std::string scale = itf.Get<std::string>("-scale");
  if (!Varnex::KvParseChartScale(scale, chartOptions.scale)) {
    std::fprintf(stderr, "varnex histogram: -scale must be auto, log or linear: %s\n", scale.c_str());
    return kExitUsage;
  }
  if (NamesCollection(itf) && !RefuseMolsOfCollection(itf, "histogram")) return kExitUsage;
  Varnex::KvFPDatabaseOptions options;
  SetupSearchOptions(options, itf);
  // A .fpbin file or a collection's catalog.
  std::unique_ptr<Varnex::KvFastFPDatabase> db;
  std::unique_ptr<Varnex::KvCollection> collection;
  if (NamesCollection(itf) ? (collection = OpenCollection(itf, "histogram")) == nullptr ||
                                 !IsNoShard(*collection, itf, "histogram", chart)
                           : (db = OpenDatabase(itf)) == nullptr)
    return kExitFailure;
  OutputFile file;  // opened first: a folder that cannot be written ends the command before the work
  if (!chart.empty() && !file.Open(chart)) return kExitFailure;
  const auto bins = static_cast<std::size_t>(itf.Get<int>("-bins"));
  const Varnex::KvFPHistogram histogram =
      collection ? collection->GetHistogram(options, bins) : db->GetHistogram(options, bins);
  if (!chart.empty()) {
    const std::string measure = Varnex::KvGetSimilarityMeasureName(options.GetSimFunc());
    const std::size_t records = collection ? collection->NumMolecules() : db->NumFingerPrints();
    const Varnex::KvFPTypeBase* type = collection ? collection->GetFPTypeBase() : db->GetFPTypeBase();
    chartOptions.title = Varnex::KvGetHistogramTitle(itf.Get<std::string>("-db"), records,
                                                     type->GetFPTypeString(), measure, histogram);
    chartOptions.xLabel = measure + " score";
    file.Write(Varnex::KvDrawHistogram(histogram, chartOptions));
    return file.Commit() ? kExitOk : kExitFailure;
  }
  const bool json = WantsJson(itf);
  std::fputs(json ? "[" : "low\thigh\tcount\n", stdout);
  for (std::size_t i = 0; i < histogram.NumBins(); ++i) {
    const double low = histogram.GetMin() + static_cast<double>(i) * histogram.GetBinWidth();
    const double high = i + 1 == histogram.NumBins() ? histogram.GetMax() : low + histogram.GetBinWidth();
    const auto count = static_cast<unsigned long long>(histogram.GetCount(i));
    if (json)
      std::printf("%s\n{\"low\": %s, \"high\": %s, \"count\": %llu}", i == 0 ? "" : ",", FormatScore(low).c_str(),
                  FormatScore(high).c_str(), count);
    else
      std::printf("%s\t%s\t%llu\n", FormatScore(low).c_str(), FormatScore(high).c_str(), count);
  }
  if (json) std::fputs("\n]\n", stdout);
  return kExitOk;
}

}  // namespace VarnexCli
