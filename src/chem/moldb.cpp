// Random access to the records of SMILES and SD files, plain or gzipped.
//
// Open reads the whole (decompressed) file into memory and records where each
// record starts and ends; GetMolecule parses one record on demand. The text
// and the index are read-only after Open, so lookups need no lock.
//
// Records:
// - SMILES files: one record per line that holds anything but whitespace and
//   does not start with '#' (blank lines and '#' comment lines are not
//   records). The first whitespace-separated token is the SMILES, the rest of
//   the line after the following whitespace is the name.
// - SD files: text up to a "$$$$" line; a last record without "$$$$" counts
//   when it has an "M  END" line (unless the file was cut short). The first
//   line is the name.

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "chem/mol_impl.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"

namespace KvChem {

namespace {

enum class FileFormat { Unknown, Smiles, Sd };

struct FileKind {
  FileFormat format = FileFormat::Unknown;
  bool gzipped = false;
};

FileKind KindOfPath(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  auto endsWith = [&](std::string_view s) {
    return lower.size() >= s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0;
  };
  FileKind kind;
  if (endsWith(".gz")) {
    kind.gzipped = true;
    lower.resize(lower.size() - 3);
  }
  for (const char* ext : {".smi", ".smiles", ".txt"})
    if (endsWith(ext)) kind.format = FileFormat::Smiles;
  for (const char* ext : {".sdf", ".sd", ".mol"})
    if (endsWith(ext)) kind.format = FileFormat::Sd;
  return kind;
}

// Reads a plain file; false when it cannot be opened or read.
bool ReadPlain(const std::string& path, std::string& data) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

enum class GzResult { Ok, CannotOpen, Truncated };

// Decompresses a gzip file; on a damaged or cut stream keeps what was
// decompressed before the damage.
GzResult ReadGzip(const std::string& path, std::string& data, std::string& error) {
  gzFile f = gzopen(path.c_str(), "rb");
  if (!f) return GzResult::CannotOpen;
  gzbuffer(f, 1 << 17);
  char buffer[1 << 16];
  GzResult result = GzResult::Ok;
  for (;;) {
    const int n = gzread(f, buffer, sizeof buffer);
    if (n > 0) data.append(buffer, static_cast<size_t>(n));
    if (n < static_cast<int>(sizeof buffer)) {
      int code = Z_OK;
      const char* message = gzerror(f, &code);
      if (n < 0 || (code != Z_OK && code != Z_STREAM_END)) {
        error = message ? message : "read error";
        result = GzResult::Truncated;
      }
      if (n <= 0 || result != GzResult::Ok) break;
    }
  }
  gzclose(f);
  return result;
}

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](unsigned char c) { return std::isspace(c); });
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

struct KvMolDatabaseImpl {
  std::string path;
  bool open = false;
  FileFormat format = FileFormat::Unknown;
  std::string data;
  std::vector<std::pair<size_t, size_t>> records;  // offset, length

  void IndexSmiles(bool cut);
  void IndexSd(bool cut);
  std::string_view Record(unsigned i) const { return std::string_view(data).substr(records[i].first, records[i].second); }
};

void KvMolDatabaseImpl::IndexSmiles(bool cut) {
  size_t pos = 0;
  while (pos < data.size()) {
    size_t end = data.find('\n', pos);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = data.size();
    // A last line without its newline in a cut file may be incomplete.
    if (!terminated && cut) break;
    std::string_view line = TrimRight(std::string_view(data).substr(pos, end - pos));
    size_t lead = 0;
    while (lead < line.size() && std::isspace(static_cast<unsigned char>(line[lead]))) ++lead;
    if (lead < line.size() && line[lead] != '#') records.emplace_back(pos + lead, line.size() - lead);
    pos = end + 1;
  }
}

void KvMolDatabaseImpl::IndexSd(bool cut) {
  size_t pos = 0, start = 0;
  bool sawEnd = false;
  while (pos < data.size()) {
    size_t end = data.find('\n', pos);
    if (end == std::string::npos) end = data.size();
    std::string_view line = TrimRight(std::string_view(data).substr(pos, end - pos));
    if (line == "$$$$") {
      records.emplace_back(start, pos - start);
      start = end + 1;
      sawEnd = false;
    } else if (line.substr(0, 6) == "M  END") {
      sawEnd = true;
    }
    pos = end + 1;
  }
  if (start < data.size() && sawEnd && !cut && !IsBlank(std::string_view(data).substr(start)))
    records.emplace_back(start, data.size() - start);
}

KvMolDatabase::KvMolDatabase() : impl_(std::make_unique<KvMolDatabaseImpl>()) {}
KvMolDatabase::~KvMolDatabase() = default;

bool KvMolDatabase::Open(const std::string& path) {
  Close();
  impl_->path = path;
  const FileKind kind = KindOfPath(path);
  if (kind.format == FileFormat::Unknown) {
    KvSystem::KvThrow()->Warning("KvMolDatabase::Open(): unknown molecule file format of %s", path.c_str());
    return false;
  }
  bool cut = false;
  try {
    if (kind.gzipped) {
      std::string error;
      switch (ReadGzip(path, impl_->data, error)) {
        case GzResult::CannotOpen:
          KvSystem::KvThrow()->Warning("KvMolDatabase::Open(): cannot read %s", path.c_str());
          impl_->data.clear();
          return false;
        case GzResult::Truncated:
          cut = true;
          break;
        case GzResult::Ok: break;
      }
      if (cut)
        KvSystem::KvThrow()->Warning("KvMolDatabase::Open(): %s is damaged or truncated (%s); keeping the records before the damage",
                                     path.c_str(), error.c_str());
    } else if (!ReadPlain(path, impl_->data)) {
      KvSystem::KvThrow()->Warning("KvMolDatabase::Open(): cannot read %s", path.c_str());
      impl_->data.clear();
      return false;
    }
    impl_->format = kind.format;
    if (kind.format == FileFormat::Smiles)
      impl_->IndexSmiles(cut);
    else
      impl_->IndexSd(cut);
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("KvMolDatabase::Open(): cannot read %s: %s", path.c_str(), e.what());
    Close();
    return false;
  }
  impl_->open = true;
  return true;
}

void KvMolDatabase::Close() {
  impl_->open = false;
  impl_->format = FileFormat::Unknown;
  impl_->path.clear();
  impl_->data.clear();
  impl_->data.shrink_to_fit();
  impl_->records.clear();
}

bool KvMolDatabase::IsOpen() const { return impl_->open; }
const std::string& KvMolDatabase::GetPath() const { return impl_->path; }
unsigned KvMolDatabase::GetMaxMolIdx() const { return static_cast<unsigned>(impl_->records.size()); }

namespace {

// Splits a SMILES record into the SMILES token and the name.
void SplitSmilesRecord(std::string_view record, std::string_view& smiles, std::string_view& name) {
  size_t cut = 0;
  while (cut < record.size() && !std::isspace(static_cast<unsigned char>(record[cut]))) ++cut;
  smiles = record.substr(0, cut);
  size_t rest = cut;
  while (rest < record.size() && std::isspace(static_cast<unsigned char>(record[rest]))) ++rest;
  name = TrimRight(record.substr(rest));
}

}  // namespace

bool KvMolDatabase::GetMolecule(KvMolBase& mol, unsigned index) const {
  if (index >= impl_->records.size()) {
    KvSystem::KvThrow()->Warning("KvMolDatabase::GetMolecule(): record %u out of range in %s", index,
                                 impl_->path.c_str());
    mol.SetInvalid();
    return false;
  }
  const std::string_view record = impl_->Record(index);
  std::string reason;
  bool ok = false;
  if (impl_->format == FileFormat::Smiles) {
    std::string_view smiles, name;
    SplitSmilesRecord(record, smiles, name);
    ok = ParseSmiles(std::string(smiles), mol, reason, false);
    if (ok) mol.SetTitle(std::string(name));
  } else {
    ok = ParseMolBlock(std::string(record), mol, reason);
    if (ok) mol.SetTitle(GetMolName(index));
  }
  if (!ok) {
    if (reason.empty())
      KvSystem::KvThrow()->Warning("KvMolDatabase::GetMolecule(): cannot parse record %u of %s", index,
                                   impl_->path.c_str());
    else
      KvSystem::KvThrow()->Warning("KvMolDatabase::GetMolecule(): cannot parse record %u of %s: %s", index,
                                   impl_->path.c_str(), reason.c_str());
  }
  return ok;
}

std::string KvMolDatabase::GetMolName(unsigned index) const {
  if (index >= impl_->records.size()) return "";
  const std::string_view record = impl_->Record(index);
  if (impl_->format == FileFormat::Smiles) {
    std::string_view smiles, name;
    SplitSmilesRecord(record, smiles, name);
    return std::string(name);
  }
  const size_t eol = record.find('\n');
  return std::string(TrimRight(record.substr(0, eol == std::string_view::npos ? record.size() : eol)));
}

std::string KvMolDatabase::GetRecordText(unsigned index) const {
  if (index >= impl_->records.size()) return "";
  return std::string(impl_->Record(index));
}

}  // namespace KvChem
