// Fuzz target: SMILES and SD files through KvMolDatabase (the first byte
// picks the format). The same text plain and gzipped must give the same
// records, and every failed record must be counted once.
#include "moldb_fuzz.h"

VARNEX_FUZZ_TARGET(moldb_text) {
  if (size == 0) return 0;
  VarnexFuzz::LimitMoleculeSize();
  const bool sd = data[0] & 1;
  static const VarnexFuzz::ScratchFile smi("text.smi"), smiGz("text.smi.gz"), sdf("text.sdf"), sdfGz("text.sdf.gz");
  const std::string text = VarnexFuzz::ToString(data + 1, size - 1);
  KvChem::KvMolDatabase plain, packed;
  VarnexFuzz::Check(plain.Open((sd ? sdf : smi).Write(text)), "a readable file opens");
  VarnexFuzz::Check(packed.Open((sd ? sdfGz : smiGz).Write(VarnexFuzz::Gzip(text))), "a gzip file opens");
  VarnexFuzz::Check(plain.GetMaxMolIdx() == packed.GetMaxMolIdx(), "plain and gzip give the same records");
  VarnexFuzz::Check(plain.IsDamaged() == packed.IsDamaged(), "plain and gzip agree on damage");
  for (unsigned i = 0; i < plain.GetMaxMolIdx(); ++i)
    VarnexFuzz::Check(plain.GetRecordText(i) == packed.GetRecordText(i), "plain and gzip give the same records");
  VarnexFuzz::ReadRecords(plain, 16);
  return 0;
}
