// The collections the search service serves.

#include "serve_backend.h"

#include <sys/stat.h>

#include <cstdio>
#include <optional>

#include "database.h"
#include "varnex/fastdb.h"

namespace VarnexCli {
namespace {

// What identifies a file's contents closely enough to notice a replacement
// (rename over it) or a rewrite in place.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};

  static std::optional<FileStamp> Of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
  }
  bool operator==(const FileStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec;
  }
};

// A .fpbin file with the molecule file it was made from ("-mols").
class FpbinBackend final : public ServeBackend {
 public:
  bool Open(KvSystem::KvInterface& itf) {
    dbPath_ = itf.Get<std::string>("-db");
    const KvSystem::KvParameter* mols = itf.GetParameter("-mols");
    if (mols == nullptr || !mols->HasValue()) {
      std::fprintf(stderr, "varnex serve: a .fpbin database needs the molecule file it was made from: give -mols FILE\n");
      return false;
    }
    molsPath_ = mols->GetText();
    // Stamped before reading, so that a change while opening is noticed.
    dbStamp_ = FileStamp::Of(dbPath_);
    molsStamp_ = FileStamp::Of(molsPath_);
    db_ = OpenDatabase(itf);
    return db_ != nullptr && names_.Open(itf, *db_);
  }

  std::string GetName() const override { return dbPath_.substr(dbPath_.find_last_of('/') + 1); }
  const Varnex::KvFPTypeBase* GetFPType() const override { return db_->GetFPTypeBase(); }
  std::size_t NumRecords() const override { return db_->NumFingerPrints(); }
  std::size_t NumShards() const override { return 1; }

  std::vector<std::vector<Varnex::KvSimScore>> Search(const std::vector<Varnex::KvFingerPrint>& queries,
                                                      const Varnex::KvFPDatabaseOptions& options) const override {
    return db_->GetSortedScoresMany(queries, options);
  }

  bool GetRecord(std::size_t index, MoleculeRecord& record) const override {
    if (index >= NumRecords()) return false;
    record.smiles = names_.GetSmiles(index);
    record.id = names_.Get(index);
    return !record.smiles.empty();
  }

  bool GetMolecule(std::size_t index, KvChem::KvMol& mol) const override { return names_.GetMolecule(mol, index); }

  bool IsStale() const override {
    return FileStamp::Of(dbPath_) != dbStamp_ || FileStamp::Of(molsPath_) != molsStamp_;
  }

 private:
  std::string dbPath_, molsPath_;
  std::optional<FileStamp> dbStamp_, molsStamp_;
  std::unique_ptr<Varnex::KvFastFPDatabase> db_;
  RecordNames names_;
};

}  // namespace

std::unique_ptr<ServeBackend> OpenServeBackend(KvSystem::KvInterface& itf) {
  auto backend = std::make_unique<FpbinBackend>();
  if (!backend->Open(itf)) return nullptr;
  return backend;
}

}  // namespace VarnexCli
