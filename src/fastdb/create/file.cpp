// KvCreateFastFPDatabaseFile: a molecule file to fast database files, each
// written to a temporary file that is renamed over its target only when all
// are complete.

#include "fastdb/create/file.h"

#include <memory>

#include "fastdb/create/job.h"
#include "fastdb/storage/file_names.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"
#include "kvsystem/file_system.h"
#include "kvsystem/temporary_output.h"
#include "varnex/fpbin.h"
#include "system/messages.h"

namespace Varnex {
namespace {

constexpr const char* kCreator = "KvCreateFastFPDatabaseFile()";

// Creates the temporary file of one part, sized and with its header.
bool StartPart(KvSystem::KvTemporaryOutput& output, const std::string& molPath, const KvFPTypeBase* type,
               std::uint64_t count, const char* caller) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const std::uint64_t fileSize = KvGetFPDatabaseFileSize(count, type);
  const char* target = output.Target().c_str();
  KvSystem::KvStatus error;
  if (!output.Create(error) || !output.File().Reserve(fileSize, error)) {
    report->Warning(error, "%s : %s", caller, error.Message().c_str());
    report->Warning(error, Msg::kCreateOpen, caller, target);
    return false;
  }
  KvFastFPDatabaseParams params;
  params.SetMolDatabaseFilename(HeaderSafeMolFilename(molPath, type, count));
  params.SetFPTypeBase(type);
  params.SetNumFingerPrints(count);
  params.SetFileSize(fileSize);
  const std::string header = KvWriteFastFPDatabaseHeaderBlob(params);
  if (!output.File().WriteAt(0, {reinterpret_cast<const std::uint8_t*>(header.data()), header.size()}, error)) {
    report->Warning(error, "%s : %s", caller, error.Message().c_str());
    report->Warning(error, Msg::kCreateHeader, caller, target);
    return false;
  }
  return true;
}

bool CreateParts(const std::string& fpbinPath, const std::string& molPath, const KvCreateFastFPDatabaseOptions& options,
                 unsigned parts, const std::function<std::string(unsigned)>& partPath,
                 const std::function<bool(const std::vector<KvShardInfo>&)>& beforeCommit, const char* caller,
                 KvCreateFastFPDatabaseSummary& summary, std::vector<KvShardInfo>& made, std::uint64_t indexBase) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  if (!HasFastDatabaseExtension(fpbinPath)) {
    report->Warning(Msg::kCreateExtension, caller);
    return false;
  }
  KvChem::KvMolDatabase mols;
  if (!mols.Open(molPath)) {
    report->Warning(Msg::kCreateMolFile, caller, molPath.c_str());
    return false;
  }
  const std::uint64_t count = mols.GetMaxMolIdx();
  if (count == 0) {
    report->Warning(Msg::kEmptyMolDatabase, caller);
    return false;
  }
  if (parts == 0 || count < parts) {
    report->Warning("%s cannot split %llu molecules into %u shards!", caller, static_cast<unsigned long long>(count),
                    parts);
    return false;
  }
  const KvFPTypeBase* type = options.GetFPType();
  if (!KvIsAdmissibleFastFPType(type, caller)) return false;

  std::vector<std::unique_ptr<KvSystem::KvTemporaryOutput>> files;
  std::vector<CreationOutput> outputs(parts);
  for (unsigned i = 0; i < parts; ++i) {
    outputs[i].first = count * i / parts;
    outputs[i].count = count * (i + 1) / parts - outputs[i].first;
    files.push_back(std::make_unique<KvSystem::KvTemporaryOutput>(KvSystem::KvGetFileSystem(), partPath(i)));
    if (!StartPart(*files.back(), molPath, type, outputs[i].count, caller)) return false;
    outputs[i].file = &files.back()->File();
  }

  KvSystem::KvDots* tracer = options.GetTracer();
  if (tracer != nullptr) tracer->SetExpected(count);
  CreationJobResult job =
      RunCreationJob(mols, type, outputs, options.GetNumProcessors(), tracer, caller, options.GetCancelFlag(), indexBase);
  if (job.cancelled) {
    report->Warning("%s : creation of %s cancelled", caller, fpbinPath.c_str());
    return false;
  }
  if (!job.written) {
    report->Warning(job.error, "%s : %s", caller, job.error.Message().c_str());
    report->Warning(job.error, "%s : unable to write fingerprint database file: %s", caller, fpbinPath.c_str());
    return false;
  }
  made.clear();
  for (unsigned i = 0; i < parts; ++i) {
    KvShardInfo& part = made.emplace_back();
    part.file = files[i]->Target();
    part.firstIndex = indexBase + outputs[i].first;
    part.records = outputs[i].count;
    part.minBits = outputs[i].minBits;
    part.maxBits = outputs[i].maxBits;
  }
  if (beforeCommit && !beforeCommit(made)) return false;
  KvSystem::KvStatus error;
  for (const auto& file : files) {
    if (!file->Commit(error)) {
      report->Warning(error, "%s : %s", caller, error.Message().c_str());
      report->Warning(error, "%s : unable to write fingerprint database file: %s", caller, file->Target().c_str());
      return false;
    }
  }
  if (tracer != nullptr) tracer->Total();
  summary.records = count;
  summary.unreadable = job.unreadable;
  summary.ungenerated = job.ungenerated;
  summary.damagedInput = mols.IsDamaged();
  summary.failed = std::move(job.failed);
  return true;
}

}  // namespace

bool CreateFastFPDatabaseParts(const std::string& fpbinPath, const std::string& molPath,
                                 const KvCreateFastFPDatabaseOptions& options, unsigned parts,
                                 const std::function<std::string(unsigned)>& partPath,
                                 const std::function<bool(const std::vector<KvShardInfo>&)>& beforeCommit,
                                 const char* caller, KvCreateFastFPDatabaseSummary& summary,
                                 std::vector<KvShardInfo>& made, std::uint64_t indexBase) {
  summary = {};
  try {
    return CreateParts(fpbinPath, molPath, options, parts, partPath, beforeCommit, caller, summary, made, indexBase);
  } catch (const std::exception& e) {
    // Memory exhausted: the temporary files are gone with the stack.
    KvSystem::KvThrow()->Warning("%s : %s", caller, e.what());
    return false;
  }
}

bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath,
                                const KvCreateFastFPDatabaseOptions& options, KvCreateFastFPDatabaseSummary& summary) {
  std::vector<KvShardInfo> made;
  return CreateFastFPDatabaseParts(
      fpbinPath, molPath, options, 1, [&](unsigned) { return fpbinPath; }, nullptr, kCreator, summary, made);
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
