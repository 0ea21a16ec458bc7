// Fuzz target: damaged gzip streams through KvMolDatabase. The input is a
// SMILES or SD text (the first byte picks the format and the damage), which
// is compressed and then cut or has one byte changed at a position taken
// from bytes 2 to 4; with the damage bits clear the input itself is the
// gzip file. Clean against damaged: a cut stream keeps every record before
// the last exactly, and damage is either reported or changed nothing.
#include "moldb_fuzz.h"

VARNEX_FUZZ_TARGET(moldb_gzip) {
  if (size < 4) return 0;
  VarnexFuzz::LimitMoleculeSize();
  const bool sd = data[0] & 1;
  const unsigned damage = (data[0] >> 1) % 4;  // 0 raw, 1 cut, 2 changed byte, 3 changed trailer byte
  const std::size_t at = data[1] | (data[2] << 8) | (data[3] << 16);
  static const VarnexFuzz::ScratchFile text("gzip.smi"), gz("gzip.smi.gz"), sdText("gzip.sdf"), sdGz("gzip.sdf.gz");
  const VarnexFuzz::ScratchFile& plainFile = sd ? sdText : text;
  const VarnexFuzz::ScratchFile& gzFile = sd ? sdGz : gz;
  const std::string input = VarnexFuzz::ToString(data + 4, size - 4);

  KvChem::KvMolDatabase damaged;
  if (damage == 0) {
    damaged.Open(gzFile.Write(input));
    VarnexFuzz::ReadRecords(damaged, 16);
    return 0;
  }
  KvChem::KvMolDatabase clean;
  VarnexFuzz::Check(clean.Open(plainFile.Write(input)), "a readable file opens");
  std::string bytes = VarnexFuzz::Gzip(input);
  const std::size_t where = damage == 3 ? bytes.size() - 1 - at % 8 : at % bytes.size();
  if (damage == 1)
    bytes.resize(where);
  else
    bytes[where] = static_cast<char>(bytes[where] ^ (data[0] | 1));
  damaged.Open(gzFile.Write(bytes));
  const unsigned records = damaged.GetMaxMolIdx();
  if (damage == 1 && where >= 2) {
    VarnexFuzz::Check(damaged.IsDamaged(), "a cut stream is reported");
    VarnexFuzz::Check(records <= clean.GetMaxMolIdx(), "a cut stream invents no records");
    for (unsigned i = 0; i + 1 < records; ++i)
      VarnexFuzz::Check(damaged.GetRecordText(i) == clean.GetRecordText(i), "records before the cut are kept whole");
  } else if (!damaged.IsDamaged()) {
    VarnexFuzz::Check(records == clean.GetMaxMolIdx(), "unreported damage changed nothing");
    for (unsigned i = 0; i < records; ++i)
      VarnexFuzz::Check(damaged.GetRecordText(i) == clean.GetRecordText(i), "unreported damage changed nothing");
  }
  VarnexFuzz::ReadRecords(damaged, 16);
  return 0;
}
