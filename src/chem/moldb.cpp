// Random access to the records of SMILES and SD files, plain or gzipped.
//
// Open reads the whole (decompressed) file into memory and records where each
// record starts and ends; GetMolecule parses one record on demand. The text
// and the index are read-only after Open, so lookups need no lock; the only
// state GetMolecule writes is the set of failed records, kept in atomics.
//
// No record is lost silently: a record that cannot be read keeps its index
// and fails in GetMolecule with a warning naming it, and every kind of
// damage found by Open is reported there.
//
// Records:
// - SMILES files: one record per line that holds anything but whitespace and
//   does not start with '#' (blank lines and '#' comment lines are not
//   records). The first whitespace-separated token is the SMILES, the rest of
//   the line after the following whitespace is the name.
// - SD files: text up to a "$$$$" line. After "M  END" only data items and
//   blank lines may come: a counts line there starts the next molecule
//   (three lines above it), and the record before has lost its "$$$$"; a
//   second counts line before "M  END" means the record was cut short. A
//   last record without "$$$$" counts when it has an "M  END" line (reported
//   when data items follow it, which may have been cut); without one it was
//   cut short. In a cut text the last line may be incomplete, so it is
//   neither a counts line nor "$$$$", and its record is cut short.

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "chem/mol_impl.h"
#include "kvchem/moldb.h"
#include "kvchem/size_limits.h"
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

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A zlib inflate stream for gzip members, ended on destruction.
class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

// How a file's bytes came out of reading it.
struct ReadOutcome {
  bool opened = false;
  int osError = 0;  // why it could not be read, when it could not
  // The bytes may stop short of what the file once held: truncated or
  // damaged compressed data; the last line may then be incomplete.
  bool cut = false;
  // What went wrong, when anything did ("" otherwise).
  std::string damage;
};

// Appends decompressed bytes to `data`, keeping at most one byte more than
// the line limit of any one line: such a line is refused whatever its
// length, so the rest need never be held, and a small compressed file that
// expands to one enormous line costs no more memory than the limit. The last
// byte kept of a cut line is DEL, so that no cut (of trailing blanks, say)
// makes it read as a shorter valid record.
class LineCappedText {
 public:
  explicit LineCappedText(std::string& data) : data_(data), cap_(KvGetMaxLineLength() + 1) {}
  void Append(const char* bytes, std::size_t n) {
    while (n > 0) {
      const char* end = static_cast<const char*>(std::memchr(bytes, '\n', n));
      const char* cr = static_cast<const char*>(std::memchr(bytes, '\r', end != nullptr ? end - bytes : n));
      if (cr != nullptr) end = cr;
      const std::size_t segment = end != nullptr ? static_cast<std::size_t>(end - bytes) : n;
      const std::size_t keep = std::min(segment, cap_ - std::min(cap_, line_));
      data_.append(bytes, keep);
      if (keep < segment && line_ + keep == cap_) data_.back() = '\x7f';
      line_ += segment;
      if (end == nullptr) return;
      data_.push_back(*end);
      line_ = 0;
      bytes = end + 1;
      n -= segment + 1;
    }
  }

 private:
  std::string& data_;
  std::size_t cap_;
  std::size_t line_ = 0;
};

// Makes CR LF and lone CR line ends LF ends, so that files written on any
// system read as written.
void NormaliseLineEnds(std::string& data) {
  if (data.find('\r') == std::string::npos) return;
  std::size_t out = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\r') {
      data[out++] = data[i];
    } else {
      data[out++] = '\n';
      if (i + 1 < data.size() && data[i + 1] == '\n') ++i;
    }
  }
  data.resize(out);
}

// Reads a plain file whole.
ReadOutcome ReadPlain(const std::string& path, std::string& data) {
  ReadOutcome outcome;
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    outcome.osError = errno;
    return outcome;
  }
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) data.append(buffer, n);
  outcome.opened = !std::ferror(f.get());
  if (!outcome.opened) outcome.osError = EIO;
  return outcome;
}

// Decompresses a gzip file (one or more members). Everything inflated before
// damage is kept: a bad checksum or length trailer leaves the data whole
// but unverified; a file that ends early keeps what it held. Corrupt
// compressed data also drops the output of the block it sits in, which a
// decoder led astray may have filled with wrong text before noticing. A
// file without the gzip magic is read as plain text, and reported.
ReadOutcome ReadGzip(const std::string& path, std::string& data) {
  ReadOutcome outcome;
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    outcome.osError = errno;
    return outcome;
  }
  std::string packed;
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) packed.append(buffer, n);
  if (std::ferror(f.get())) {
    outcome.osError = EIO;
    return outcome;
  }
  outcome.opened = true;
  if (packed.empty()) {  // not even a gzip header: a compression that never wrote, or a file cut to nothing
    outcome.damage = "unexpected end of file";
    return outcome;
  }
  if (packed.size() < 2 || static_cast<unsigned char>(packed[0]) != 0x1f || static_cast<unsigned char>(packed[1]) != 0x8b) {
    // Mislabelled, or its first bytes damaged: read, but not silently.
    outcome.damage = "not in gzip format, read as plain text";
    LineCappedText(data).Append(packed.data(), packed.size());
    return outcome;
  }

  Inflater inflater;
  if (!inflater.ok()) {
    outcome.cut = true;
    outcome.damage = "cannot start decompression";
    return outcome;
  }
  z_stream& z = inflater.stream();
  z.next_in = reinterpret_cast<Bytef*>(packed.data());
  z.avail_in = static_cast<uInt>(std::min<size_t>(packed.size(), UINT32_MAX));
  size_t fed = z.avail_in;
  size_t blockEnd = 0;  // output length at the last finished block
  LineCappedText text(data);
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    const int rc = inflate(&z, Z_BLOCK);
    text.Append(buffer, sizeof buffer - z.avail_out);
    if (z.data_type & 128) blockEnd = data.size();
    if (z.avail_in == 0 && fed < packed.size()) {
      z.next_in = reinterpret_cast<Bytef*>(packed.data() + fed);
      z.avail_in = static_cast<uInt>(std::min<size_t>(packed.size() - fed, UINT32_MAX));
      fed += z.avail_in;
    }
    if (rc == Z_OK) continue;
    if (rc == Z_STREAM_END) {
      blockEnd = data.size();
      // Another member may follow. Zero padding is harmless; other bytes may
      // be a member whose start was damaged.
      if (z.avail_in >= 2 && z.next_in[0] == 0x1f && z.next_in[1] == 0x8b && inflateReset(&z) == Z_OK) continue;
      const std::string_view rest(reinterpret_cast<const char*>(z.next_in), z.avail_in);
      if (rest.find_first_not_of('\0') != std::string_view::npos) outcome.damage = "data after the compressed stream";
      return outcome;
    }
    if (rc == Z_BUF_ERROR && z.avail_in == 0) {
      outcome.cut = true;
      outcome.damage = "unexpected end of file";
      return outcome;
    }
    const std::string_view message = z.msg != nullptr ? z.msg : "corrupt compressed data";
    outcome.damage = message;
    // A trailer fault is found after the member's data was inflated whole.
    outcome.cut = message != "incorrect data check" && message != "incorrect length check";
    if (outcome.cut) data.resize(blockEnd);
    return outcome;
  }
}

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](unsigned char c) { return std::isspace(c); });
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Splits a SMILES record into the SMILES token and the name.
void SplitSmilesRecord(std::string_view record, std::string_view& smiles, std::string_view& name) {
  size_t cut = 0;
  while (cut < record.size() && !std::isspace(static_cast<unsigned char>(record[cut]))) ++cut;
  smiles = record.substr(0, cut);
  size_t rest = cut;
  while (rest < record.size() && std::isspace(static_cast<unsigned char>(record[rest]))) ++rest;
  name = TrimRight(record.substr(rest));
}

// Walks the lines of `text` from `pos`: each call gives the next line (end
// of line excluded) and its start; false at the end.
class LineReader {
 public:
  LineReader(std::string_view text, size_t pos) : text_(text), pos_(pos) {}
  bool Next(std::string_view& line, size_t& start) {
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    start = pos_;
    line = TrimRight(text_.substr(pos_, end - pos_));
    pos_ = end + 1;
    return true;
  }
  size_t Position() const { return std::min(pos_, text_.size()); }

 private:
  std::string_view text_;
  size_t pos_;
};

// A molfile's counts line, which ends with its format version.
bool IsCountsLine(std::string_view line) { return line.ends_with("V2000") || line.ends_with("V3000"); }

}  // namespace

struct KvMolDatabaseImpl {
  struct Record {
    size_t offset = 0;
    size_t length = 0;
    bool cutShort = false;  // the text stops inside the record
  };

  std::string path;
  bool open = false;
  FileFormat format = FileFormat::Unknown;
  std::string data;
  std::vector<Record> records;
  // One flag per record that failed to read, and their number.
  std::unique_ptr<std::atomic<bool>[]> failed;
  std::atomic<unsigned> numFailed{0};
  bool damaged = false;  // Open reported damage

  void IndexSmiles(bool cut);
  void IndexSd(bool cut);
  void MarkFailed(unsigned i) {
    if (!failed[i].exchange(true, std::memory_order_relaxed)) numFailed.fetch_add(1, std::memory_order_relaxed);
  }
  std::string_view Record(unsigned i) const {
    return std::string_view(data).substr(records[i].offset, records[i].length);
  }
};

void KvMolDatabaseImpl::IndexSmiles(bool cut) {
  size_t pos = 0;
  while (pos < data.size()) {
    size_t end = data.find('\n', pos);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = data.size();
    std::string_view line = TrimRight(std::string_view(data).substr(pos, end - pos));
    size_t lead = 0;
    while (lead < line.size() && std::isspace(static_cast<unsigned char>(line[lead]))) ++lead;
    // A last line without its newline in a cut file may be incomplete: a
    // shorter SMILES can still parse, so the record is kept but refused.
    if (lead < line.size() && line[lead] != '#') records.push_back({pos + lead, line.size() - lead, cut && !terminated});
    pos = end + 1;
  }
}

void KvMolDatabaseImpl::IndexSd(bool cut) {
  enum class State { Molfile, DataItems, DataValue };
  LineReader lines(data, 0);
  std::string_view line;
  size_t lineStart = 0;
  size_t start = 0;
  State state = State::Molfile;
  // Lines are numbered from 0; the starts of the last four are kept, so that
  // a molecule can begin three lines above its counts line.
  size_t n = 0;
  size_t starts[4] = {};
  size_t recordLine = 0;  // the record's first line
  size_t floorLine = 0;   // the earliest line a molecule running into this record can start at
  bool hasData = false;   // something other than blank lines after "M  END"
  auto split = [&](size_t countsLine, bool cutShort) {
    const size_t first = std::max(countsLine >= 3 ? countsLine - 3 : 0, floorLine);
    const unsigned index = static_cast<unsigned>(records.size());
    KvSystem::KvThrow()->Warning(cutShort ? "KvMolDatabase::Open(): record %u of %s is cut short"
                                          : "KvMolDatabase::Open(): record %u of %s does not end with $$$$",
                                 index, path.c_str());
    damaged = true;
    records.push_back({start, starts[first % 4] - start, cutShort});
    start = starts[first % 4];
    recordLine = floorLine = first;
    state = State::Molfile;
    hasData = false;
  };
  for (; lines.Next(line, lineStart); ++n) {
    starts[n % 4] = lineStart;
    // The last line of a cut text may stop mid-line, where "...V2000" or
    // "$$$$" can be the start of a longer line: it marks nothing.
    const bool partial = cut && lines.Position() == data.size() && data.back() != '\n';
    if (line == "$$$$" && !partial) {
      records.push_back({start, lineStart - start, false});
      start = lines.Position();
      recordLine = floorLine = n + 1;
      state = State::Molfile;
      hasData = false;
    } else if (state == State::Molfile) {
      if (line.starts_with("M  END")) {
        state = State::DataItems;
        floorLine = n + 1;
      } else if (IsCountsLine(line) && n > recordLine + 3 && !partial) {
        floorLine = recordLine + 4;  // past this record's own counts line
        split(n, true);              // a second molecule began before this one's "M  END"
      }
    } else if (state == State::DataValue) {
      if (line.empty()) {
        state = State::DataItems;
        floorLine = n + 1;
      }
    } else if (line.starts_with(">")) {
      state = State::DataValue;
      hasData = true;
    } else if (IsCountsLine(line) && !partial) {
      split(n, false);  // the next molecule: this record lost its "$$$$"
    } else if (!line.empty()) {
      hasData = true;
    }
  }
  if (start < data.size() && !IsBlank(std::string_view(data).substr(start))) {
    const bool complete = state != State::Molfile && !cut;
    if (!complete || hasData) {
      KvSystem::KvThrow()->Warning(!complete ? "KvMolDatabase::Open(): record %u of %s is cut short"
                                             : "KvMolDatabase::Open(): record %u of %s does not end with $$$$",
                                   static_cast<unsigned>(records.size()), path.c_str());
      damaged = true;
    }
    records.push_back({start, data.size() - start, !complete});
  }
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
  try {
    const ReadOutcome outcome = kind.gzipped ? ReadGzip(path, impl_->data) : ReadPlain(path, impl_->data);
    if (!outcome.opened) {
      KvSystem::KvThrow()->Warning(KvSystem::KvStatus::FromErrno(outcome.osError, ""),
                                   "KvMolDatabase::Open(): cannot read %s", path.c_str());
      Close();
      return false;
    }
    NormaliseLineEnds(impl_->data);
    impl_->format = kind.format;
    if (kind.format == FileFormat::Smiles)
      impl_->IndexSmiles(outcome.cut);
    else
      impl_->IndexSd(outcome.cut);
    const auto count = static_cast<unsigned>(impl_->records.size());
    if (!outcome.damage.empty()) {
      impl_->damaged = true;
      KvSystem::KvThrow()->Warning(
          "KvMolDatabase::Open(): %s is damaged or truncated (%s); keeping the %u records before the damage",
          path.c_str(), outcome.damage.c_str(), count);
    }
    impl_->failed = std::make_unique<std::atomic<bool>[]>(count);
    for (unsigned i = 0; i < count; ++i)
      if (impl_->records[i].cutShort) impl_->MarkFailed(i);
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
  impl_->failed.reset();
  impl_->numFailed = 0;
  impl_->damaged = false;
}

bool KvMolDatabase::IsOpen() const { return impl_->open; }
const std::string& KvMolDatabase::GetPath() const { return impl_->path; }
unsigned KvMolDatabase::GetMaxMolIdx() const { return static_cast<unsigned>(impl_->records.size()); }
unsigned KvMolDatabase::NumFailedRecords() const { return impl_->numFailed.load(std::memory_order_relaxed); }
bool KvMolDatabase::IsDamaged() const { return impl_->damaged; }

bool KvMolDatabase::GetMolecule(KvMolBase& mol, unsigned index, unsigned perception) const {
  if (index >= impl_->records.size()) {
    KvSystem::KvThrow()->Warning("KvMolDatabase::GetMolecule(): record %u out of range in %s", index,
                                 impl_->path.c_str());
    mol.SetInvalid();
    return false;
  }
  const std::string_view record = impl_->Record(index);
  std::string reason;
  bool ok = false;
  if (impl_->records[index].cutShort) {
    reason = "the record is cut short";
    mol.SetInvalid();
  } else if (impl_->format == FileFormat::Smiles) {
    std::string_view smiles, name;
    SplitSmilesRecord(record, smiles, name);
    // The whole line is checked: a NUL byte would hide the rest of it.
    ok = KvCheckSmilesText(record, reason) && ParseSmiles(std::string(smiles), mol, reason, false, perception);
    if (ok) mol.SetTitle(std::string(name));
  } else {
    ok = ParseMolBlock(std::string(record), mol, reason);
    if (ok) mol.SetTitle(GetMolName(index));
  }
  if (!ok) {
    mol.SetInvalid();
    impl_->MarkFailed(index);
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

std::optional<std::string> KvSdDataField(const std::string& recordText, const std::string& tag) {
  std::istringstream in(recordText);
  const std::string wanted = "<" + tag + ">";
  bool inField = false;
  std::optional<std::string> value;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!inField) {
      // A data header: "> <TAG>", also with a number or text after the tag.
      inField = !line.empty() && line[0] == '>' && line.find(wanted) != std::string::npos;
      if (inField) value.emplace();
      continue;
    }
    if (line.empty() || line == "$$$$") break;
    *value += (value->empty() ? "" : " ") + line;
  }
  return value;
}

}  // namespace KvChem
