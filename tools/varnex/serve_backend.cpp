// The collections the search service serves.

#include "serve_backend.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>

#include "collection_cli.h"
#include "database.h"
#include "varnex/collection.h"
#include "varnex/config.h"
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

  std::vector<MoleculeRecord> GetRecords(const std::vector<std::size_t>& indices) const override {
    std::vector<MoleculeRecord> records(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
      if (indices[i] >= NumRecords()) continue;
      records[i].smiles = names_.GetSmiles(indices[i]);
      records[i].id = names_.Get(indices[i]);
      records[i].known = !records[i].smiles.empty();
    }
    return records;
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

// A collection named by its catalog: ids and SMILES come from the catalog.
class CollectionBackend final : public ServeBackend {
 public:
  bool Open(KvSystem::KvInterface& itf) {
    path_ = itf.Get<std::string>("-db");
    // Stamped before reading, so that an append while opening is noticed.
    checked_ = FileStamp::Of(path_);
    collection_ = OpenCollection(itf, "serve", Varnex::KvGetFPDatabaseMemoryType(itf, "-memory"));
    return collection_ != nullptr;
  }

  std::string GetName() const override { return path_.substr(path_.find_last_of('/') + 1); }
  const Varnex::KvFPTypeBase* GetFPType() const override { return collection_->GetFPTypeBase(); }
  std::size_t NumRecords() const override { return collection_->NumMolecules(); }
  std::size_t NumShards() const override { return collection_->Shards().size(); }

  std::vector<std::vector<Varnex::KvSimScore>> Search(const std::vector<Varnex::KvFingerPrint>& queries,
                                                      const Varnex::KvFPDatabaseOptions& options) const override {
    return collection_->GetSortedScoresMany(queries, options);
  }

  std::vector<MoleculeRecord> GetRecords(const std::vector<std::size_t>& indices) const override {
    const std::vector<std::uint64_t> wanted(indices.begin(), indices.end());
    std::vector<std::string> ids = collection_->GetIds(wanted), smiles = collection_->GetSmiles(wanted);
    std::vector<MoleculeRecord> records(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
      records[i].id = std::move(ids[i]);
      records[i].smiles = std::move(smiles[i]);
      // "" for a molecule that could not be read when it was added.
      records[i].known = indices[i] < NumRecords() && !records[i].smiles.empty();
    }
    return records;
  }

  bool GetMolecule(std::size_t index, KvChem::KvMol& mol) const override {
    const MoleculeRecord record = GetRecords({index}).front();
    return record.known && KvChem::KvSmilesToMol(record.smiles, mol);
  }

  // Every change of a collection commits shard files under names no earlier
  // generation used, so another list of shard names is another generation.
  // The catalog is read only when its file was written since the last look.
  bool IsStale() const override {
    const std::optional<FileStamp> now = FileStamp::Of(path_);
    std::lock_guard<std::mutex> lock(checkLock_);
    if (now.has_value() && now == checked_) return false;
    std::string type;
    std::vector<Varnex::KvShardInfo> shards;
    if (!now.has_value() || !Varnex::KvReadCollectionCatalog(path_, type, shards)) return true;
    const std::vector<Varnex::KvShardInfo>& served = collection_->Shards();
    const bool same = type == GetFPType()->GetFPTypeString() && shards.size() == served.size() &&
                      std::equal(shards.begin(), shards.end(), served.begin(),
                                 [](const Varnex::KvShardInfo& a, const Varnex::KvShardInfo& b) {
                                   return a.file == b.file && a.sha256 == b.sha256;
                                 });
    if (same) checked_ = now;
    return !same;
  }

 private:
  std::string path_;
  std::unique_ptr<Varnex::KvCollection> collection_;
  mutable std::mutex checkLock_;
  mutable std::optional<FileStamp> checked_;  // of the catalog when last found to be this generation
};

}  // namespace

std::unique_ptr<ServeBackend> OpenServeBackend(KvSystem::KvInterface& itf) {
  std::unique_ptr<ServeBackend> backend;
  if (NamesCollection(itf)) {
    auto collection = std::make_unique<CollectionBackend>();
    if (collection->Open(itf)) backend = std::move(collection);
  } else {
    auto file = std::make_unique<FpbinBackend>();
    if (file->Open(itf)) backend = std::move(file);
  }
  return backend;
}

}  // namespace VarnexCli
