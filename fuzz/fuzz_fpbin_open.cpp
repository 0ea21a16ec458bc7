// Fuzz target: .fpbin files opened through KvFastFPDatabase, memory-mapped
// and read into memory. The input is the whole file or, when its first byte
// is odd, a well-formed header of one of a few types (its count sometimes
// one off) followed by the rest of the input as records, so that records
// are explored as deeply as headers. Both memory types must agree on
// validity and on every answer.
#include <vector>

#include "fuzz_util.h"
#include "kvsystem/iterator.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin.h"

namespace {

std::string FileOf(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || (data[0] & 1) == 0) return VarnexFuzz::ToString(data, size);
  static const Varnex::KvFPTypeBase* const kTypes[] = {
      Varnex::KvGetPathFPType(256, 0, 5, 191, 3), Varnex::KvGetCircularFPType(512, 0, 2, 4239, 1),
      Varnex::KvGetTreeFPType(1024, 0, 4, 63, 1), Varnex::KvGetFPType(Varnex::KvFPType::Path)};
  const Varnex::KvFPTypeBase* type = kTypes[(data[0] >> 1) % 4];
  const std::uint64_t recordBytes = (Varnex::KvGetFingerPrintSize(type) / 64 + 2) * 8;
  const std::string records = VarnexFuzz::ToString(data + 1, size - 1);
  Varnex::KvFastFPDatabaseParams params;
  params.SetMolDatabaseFilename("fuzz.smi");
  params.SetFPTypeBase(type);
  params.SetNumFingerPrints(records.size() / recordBytes + ((data[0] >> 3) & 1));
  return Varnex::KvWriteFastFPDatabaseHeaderBlob(params) + records;
}

bool SameScores(const std::vector<Varnex::KvSimScore>& a, const std::vector<Varnex::KvSimScore>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].GetIdx() != b[i].GetIdx() || a[i].GetScore() != b[i].GetScore()) return false;
  return true;
}

}  // namespace

VARNEX_FUZZ_TARGET(fpbin_open) {
  static const VarnexFuzz::ScratchFile file("open.fpbin");
  const std::string& path = file.Write(FileOf(data, size));
  const Varnex::KvFastFPDatabase mapped(path, Varnex::KvFastFPDatabaseMemoryType::MemoryMapped);
  const Varnex::KvFastFPDatabase loaded(path, Varnex::KvFastFPDatabaseMemoryType::InMemory);
  VarnexFuzz::Check(mapped.IsValid() == loaded.IsValid(), "both memory types agree on validity");
  if (!mapped.IsValid()) return 0;
  const std::size_t n = mapped.NumFingerPrints();
  VarnexFuzz::Check(n == loaded.NumFingerPrints(), "both memory types count the same records");
  for (std::size_t i = 0; i < n && i < 4; ++i) {
    Varnex::KvFingerPrint a, b;
    const bool readA = mapped.GetFingerPrint(a, i), readB = loaded.GetFingerPrint(b, i);
    VarnexFuzz::Check(readA == readB && (!readA || a == b), "both memory types read the same record");
    VarnexFuzz::Check(mapped.GetMoleculeIndex(i) == loaded.GetMoleculeIndex(i), "same molecule index");
  }
  if (n == 0) return 0;
  Varnex::KvFPDatabaseOptions options;
  options.SetLimit(5);
  options.SetNumProcessors(1);
  const auto hitsA = KvSystem::KvCollect(mapped.GetSortedScores(std::size_t{0}, options));
  const auto hitsB = KvSystem::KvCollect(loaded.GetSortedScores(std::size_t{0}, options));
  VarnexFuzz::Check(SameScores(hitsA, hitsB), "both memory types find the same hits");
  VarnexFuzz::Check(KvSystem::KvCollect(mapped.GetRawScores(std::size_t{0}, options)) ==
                        KvSystem::KvCollect(loaded.GetRawScores(std::size_t{0}, options)),
                    "both memory types give the same scores");
  const Varnex::KvFPHistogram histA = mapped.GetHistogram(options, 8), histB = loaded.GetHistogram(options, 8);
  for (std::size_t bin = 0; bin < 8; ++bin)
    VarnexFuzz::Check(histA.GetCount(bin) == histB.GetCount(bin), "both memory types give the same histogram");
  return 0;
}
