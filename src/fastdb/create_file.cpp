// KvCreateFastFPDatabaseFile: a molecule file to a fast database file,
// written to a temporary file that is renamed over the output only when
// complete.

#include <unistd.h>

#include <atomic>

#include "fastdb/create_job.h"
#include "fastdb/file_system.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"
#include "kvsystem/strings.h"
#include "varnex/fpbin.h"
#include "varnex/fpbin_create.h"

namespace Varnex {
namespace {

constexpr const char* kCreator = "KvCreateFastFPDatabaseFile()";

// The extension must be "fpbin" exactly: the system's extension function
// folds case, so the file name's own last letters are compared as well.
bool HasFastDatabaseExtension(const std::string& path) {
  static constexpr std::string_view kExtension = "fpbin";
  return KvSystem::KvFileExtension(path) == kExtension && path.ends_with(kExtension);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The molecule file name as the header can hold it: the path unchanged when
// it has no line break and fits the header text with the type string and
// count; otherwise its base name with line breaks as '?', cut (at a UTF-8
// character boundary) to what fits.
std::string HeaderSafeMolFilename(const std::string& molPath, const KvFPTypeBase* type, std::uint64_t count) {
  // "LE", the name, the type string and the count, each with its line feed.
  const std::size_t others = 3 + type->GetFPTypeString().size() + 1 + std::to_string(count).size() + 1;
  const std::size_t budget = KvFastFPHeaderTextSize - others - 1;
  if (molPath.find_first_of("\n\r") == std::string::npos && molPath.size() <= budget) return molPath;
  std::string name = molPath.substr(molPath.find_last_of('/') + 1);  // npos + 1 == 0
  for (char& c : name)
    if (c == '\n' || c == '\r') c = '?';
  if (name.size() > budget) {
    std::size_t cut = budget;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return name;
}

// The temporary output file: created next to the target, removed on
// destruction unless Commit() renamed it over the target.
class TemporaryOutput {
 public:
  TemporaryOutput(KvFileSystem& fs, std::string target) : fs_(fs), target_(std::move(target)) {}
  ~TemporaryOutput() {
    file_.reset();
    if (!path_.empty()) fs_.Remove(path_);
  }
  TemporaryOutput(const TemporaryOutput&) = delete;
  TemporaryOutput& operator=(const TemporaryOutput&) = delete;

  // Creates "<target>.tmp-<pid>-<n>" with the first n that is free (a
  // process of the same id may have died and left one). A very long file
  // name is shortened, so that the suffix still fits.
  bool Create(std::string& error) {
    static std::atomic<unsigned> serial{0};
    constexpr std::size_t kLongestStem = 200;
    const std::size_t nameStart = target_.find_last_of('/') + 1;  // npos + 1 == 0
    const std::string stem = target_.substr(0, nameStart + std::min(kLongestStem, target_.size() - nameStart));
    for (int attempt = 0; attempt < 10 && file_ == nullptr; ++attempt) {
      const std::string path =
          stem + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1));
      error.clear();
      file_ = fs_.CreateNew(path, error);
      if (file_ != nullptr) path_ = path;
    }
    return file_ != nullptr;
  }
  KvWritableFile& File() { return *file_; }
  // Syncs and closes the file, renames it over the target and syncs the
  // directory that holds both.
  bool Commit(std::string& error) {
    if (!file_->Sync(error) || !file_->Close(error)) return false;
    file_.reset();
    if (!fs_.Rename(path_, target_, error)) return false;
    path_.clear();
    // The new file is in place; a directory that cannot be synced leaves
    // the rename to the next sync of the system, not a failure.
    std::string ignored;
    fs_.SyncDirectory(DirectoryOf(target_), ignored);
    return true;
  }

 private:
  KvFileSystem& fs_;
  std::string target_;
  std::string path_;
  std::unique_ptr<KvWritableFile> file_;
};

bool CreateFile(const std::string& fpbinPath, const std::string& molPath, const KvCreateFastFPDatabaseOptions& options,
                KvCreateFastFPDatabaseSummary& summary) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  if (!HasFastDatabaseExtension(fpbinPath)) {
    report->Warning("%s fingerprint database file should have '.fpbin' file extension!", kCreator);
    return false;
  }
  KvChem::KvMolDatabase mols;
  if (!mols.Open(molPath)) {
    report->Warning("%s cannot open molecule file %s!", kCreator, molPath.c_str());
    return false;
  }
  const std::uint64_t count = mols.GetMaxMolIdx();
  if (count == 0) {
    report->Warning("%s empty molecule database!", kCreator);
    return false;
  }
  const KvFPTypeBase* type = options.GetFPType();
  if (!KvIsAdmissibleFastFPType(type, kCreator)) return false;

  const std::uint64_t fileSize = KvGetFPDatabaseFileSize(count, type);
  TemporaryOutput output(KvGetFileSystem(), fpbinPath);
  std::string error;
  if (!output.Create(error) || !output.File().Reserve(fileSize, error)) {
    report->Warning("%s : %s", kCreator, error.c_str());
    report->Warning("%s : unable to open fingerprint database file: %s", kCreator, fpbinPath.c_str());
    return false;
  }
  KvFastFPDatabaseParams params;
  params.SetMolDatabaseFilename(HeaderSafeMolFilename(molPath, type, count));
  params.SetFPTypeBase(type);
  params.SetNumFingerPrints(count);
  params.SetFileSize(fileSize);
  const std::string header = KvWriteFastFPDatabaseHeaderBlob(params);
  if (!output.File().WriteAt(0, {reinterpret_cast<const std::uint8_t*>(header.data()), header.size()}, error)) {
    report->Warning("%s : %s", kCreator, error.c_str());
    report->Warning("%s : unable to write fingerprint database header: %s", kCreator, fpbinPath.c_str());
    return false;
  }

  KvSystem::KvDots* tracer = options.GetTracer();
  const KvCreationJobResult job = KvRunCreationJob(mols, type, output.File(), options.GetNumProcessors(), tracer,
                                                   kCreator, options.GetCancelFlag());
  if (job.cancelled) {
    report->Warning("%s : creation of %s cancelled", kCreator, fpbinPath.c_str());
    return false;
  }
  if (!job.written || !output.Commit(error)) {
    report->Warning("%s : %s", kCreator, (job.written ? error : job.error).c_str());
    report->Warning("%s : unable to write fingerprint database file: %s", kCreator, fpbinPath.c_str());
    return false;
  }
  if (tracer != nullptr) tracer->Total();
  summary.records = count;
  summary.unreadable = job.unreadable;
  summary.ungenerated = job.ungenerated;
  summary.damagedInput = mols.IsDamaged();
  return true;
}

}  // namespace

bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath,
                                const KvCreateFastFPDatabaseOptions& options, KvCreateFastFPDatabaseSummary& summary) {
  summary = {};
  try {
    return CreateFile(fpbinPath, molPath, options, summary);
  } catch (const std::exception& e) {
    // Memory exhausted: the temporary file is gone with the stack.
    KvSystem::KvThrow()->Warning("%s : %s", kCreator, e.what());
    return false;
  }
}

bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath,
                                const KvCreateFastFPDatabaseOptions& options) {
  KvCreateFastFPDatabaseSummary summary;
  return KvCreateFastFPDatabaseFile(fpbinPath, molPath, options, summary);
}

bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath, const KvFPTypeBase* type) {
  return KvCreateFastFPDatabaseFile(fpbinPath, molPath, KvCreateFastFPDatabaseOptions(type));
}

}  // namespace Varnex
