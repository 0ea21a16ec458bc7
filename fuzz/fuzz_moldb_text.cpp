// Fuzz target: SMILES and SD files through KvMolDatabase (the first byte
// picks the format). The same text plain and gzipped must give the same
// records, every failed record must be counted once, and blank lines before
// the "$$$$" lines of an SD file must change no record.
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
  if (sd) {  // a blank line before a "$$$$" line belongs to the record it ends
    std::string spaced;
    for (std::size_t from = 0, at; from < text.size(); from = at + 1) {
      at = text.find("\n$$$$\n", from);
      if (at == std::string::npos) at = text.size() - 1;
      spaced.append(text, from, at + 1 - from);
      if (at + 1 < text.size()) spaced += '\n';
    }
    static const VarnexFuzz::ScratchFile sdfSpaced("spaced.sdf");
    KvChem::KvMolDatabase blank;
    VarnexFuzz::Check(blank.Open(sdfSpaced.Write(spaced)), "a readable file opens");
    VarnexFuzz::Check(blank.GetMaxMolIdx() == plain.GetMaxMolIdx(), "blank lines before $$$$ add no record");
    VarnexFuzz::Check(blank.IsDamaged() == plain.IsDamaged(), "blank lines before $$$$ are no damage");
  }
  VarnexFuzz::ReadRecords(plain, 16);
  return 0;
}
