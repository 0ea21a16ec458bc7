// Helpers of the molecule file fuzz targets: gzip compression and a reader
// of every record that checks the failure count.
#pragma once

#include <zlib.h>

#include <string>

#include "fuzz_util.h"
#include "kvchem/kvchem.h"

namespace VarnexFuzz {

// `text` as one gzip member.
inline std::string Gzip(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Molecules above this many atoms are refused, which keeps every run short.
inline void LimitMoleculeSize() {
  static const bool once = (KvChem::KvSetMaxAtoms(100), true);
  (void)once;
}

// Reads the first `cap` records of `db`; the database must count exactly
// the records that failed, and cut-short records from the start.
inline void ReadRecords(const KvChem::KvMolDatabase& db, unsigned cap) {
  const unsigned count = db.GetMaxMolIdx() < cap ? db.GetMaxMolIdx() : cap;
  const unsigned failedAtOpen = db.NumFailedRecords();
  Check(failedAtOpen <= db.GetMaxMolIdx(), "no more failures than records");
  unsigned failed = 0;
  KvChem::KvMol mol;
  for (unsigned i = 0; i < count; ++i) {
    db.GetMolName(i);
    if (!db.GetMolecule(mol, i)) ++failed;
  }
  if (count == db.GetMaxMolIdx())
    Check(db.NumFailedRecords() == failed, "every failed record counted once");
  else
    Check(db.NumFailedRecords() >= failed, "failed records counted");
}

}  // namespace VarnexFuzz
