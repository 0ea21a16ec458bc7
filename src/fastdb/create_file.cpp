// KvCreateFastFPDatabaseFile: a molecule file to a fast database file.

#include "fastdb/create_job.h"
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

}  // namespace

bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath,
                                const KvCreateFastFPDatabaseOptions& options) {
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
  MMapOutputFile file;
  if (!file.Open(fpbinPath, fileSize)) {
    report->Warning("%s : unable to open fingerprint database file: %s", kCreator, fpbinPath.c_str());
    return false;
  }
  if (file.GetPtr() == nullptr) {
    report->Warning("%s : unable to access fingerprint database file pointer: %s", kCreator, fpbinPath.c_str());
    return false;
  }
  KvFastFPDatabaseParams params;
  params.SetMolDatabaseFilename(molPath);
  params.SetFPTypeBase(type);
  params.SetNumFingerPrints(count);
  params.SetFileSize(fileSize);
  if (!KvWriteFastFPDatabaseParams(file, params)) {
    report->Warning("%s : unable to write fingerprint database header: %s", kCreator, fpbinPath.c_str());
    return false;
  }

  KvSystem::KvDots* tracer = options.GetTracer();
  KvRunCreationJob(mols, type, static_cast<std::uint8_t*>(file.GetPtr()), options.GetNumProcessors(), tracer, kCreator);
  if (tracer != nullptr) tracer->Total();
  file.Close();
  return true;
}

bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath, const KvFPTypeBase* type) {
  return KvCreateFastFPDatabaseFile(fpbinPath, molPath, KvCreateFastFPDatabaseOptions(type));
}

}  // namespace Varnex
