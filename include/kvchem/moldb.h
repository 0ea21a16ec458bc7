// Random access to the records of a molecule file.
//
// SMILES files (.smi, .smiles, .txt: SMILES, then optional whitespace and a
// name) and SD files (.sdf, .sd, .mol), plain or gzip-compressed (".gz" after
// either). Open indexes the record boundaries in one pass without parsing
// molecules. After Open, GetMolecule and GetMolName are safe to call from many
// threads at once; Open and Close are not.
//
// Records, numbered from 0: in SMILES files every line that holds something
// other than whitespace and does not start with '#' (blank and '#' lines are
// skipped and do not take an index); the first whitespace-separated token is
// the SMILES, the rest of the line the name. In SD files the text up to each
// "$$$$" line (blank lines after "M  END" belong to the record); a last
// record without "$$$$" counts when it has "M  END".
// The whole file is read (and decompressed) into memory by Open.
//
// Nothing is lost silently. Damage found by Open is a warning: a damaged or
// truncated gzip stream keeps every record inflated before the damage; an SD
// record that runs into the next molecule because its "$$$$" is missing is
// named by index and split there, so that later records keep their indices
// (also a last record that has data items but no "$$$$": they may be cut);
// a record cut short (by the end of the file or of the readable data, or by
// the next molecule's counts line before its "M  END") keeps its index and
// fails to read. A record that fails to read (cut short, a NUL
// byte, above the size limits of size_limits.h, or not parsable) fails in
// GetMolecule with a warning naming its index, and NumFailedRecords() counts
// such records.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "kvchem/mol.h"

namespace KvChem {

struct KvMolDatabaseImpl;

class KvMolDatabase {
 public:
  KvMolDatabase();
  ~KvMolDatabase();
  KvMolDatabase(const KvMolDatabase&) = delete;
  KvMolDatabase& operator=(const KvMolDatabase&) = delete;

  // Opens and indexes `path`; false with a warning when it cannot be read or
  // its format is unknown. A damaged compressed file keeps the records read
  // before the damage, with a warning.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const;
  const std::string& GetPath() const;
  // The number of records.
  unsigned GetMaxMolIdx() const;
  // Parses record `index` into `mol`; false with a warning naming the file and
  // the index when it does not parse or the index is out of range.
  // `perception` (KvPerception flags) is what the caller reads beyond rings,
  // aromaticity and stereo, which are always perceived: a SMILES record
  // without stereo marks read without KvPerception::Hybridization skips the
  // toolkit's hybridisation and the conjugation it reads (a fifth of its
  // perception). The molecule records what it has (KvMolBase::HasPerceived);
  // KvAssignHybridization adds the rest with the same result as a full read.
  bool GetMolecule(KvMolBase& mol, unsigned index, unsigned perception = KvPerception::Read) const;
  // The number of records known to be unreadable: those cut short, and those
  // GetMolecule has failed on so far (each record counted once).
  unsigned NumFailedRecords() const;
  // Whether Open found the file damaged (and said so): a damaged compressed
  // stream, a record cut short, or a missing "$$$$".
  bool IsDamaged() const;
  // The record's name (SMILES title or SD title line); "" when none.
  std::string GetMolName(unsigned index) const;
  // The record's raw text.
  std::string GetRecordText(unsigned index) const;

 private:
  std::unique_ptr<KvMolDatabaseImpl> impl_;
};

// The value of the SD data field `tag` of an SD record's text (its lines up
// to the next blank line, joined by blanks); nothing when the record has no
// such field.
std::optional<std::string> KvSdDataField(const std::string& recordText, const std::string& tag);

}  // namespace KvChem
