// What the search service serves: one collection of fingerprints with the
// ids, SMILES and structures of its molecules, behind a small interface so
// that routes and the batch gatherer do not care where these live.
//
// Thread safety: a backend is read-only once open; any number of threads may
// use it at once.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "kvsystem/parameters.h"
#include "varnex/dboptions.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"

namespace VarnexCli {

// A molecule of the collection as the service shows it.
struct MoleculeRecord {
  std::string id;
  std::string smiles;
  bool known = false;  // false when there is no such molecule or it cannot be read
};

class ServeBackend {
 public:
  virtual ~ServeBackend() = default;

  // The file name of the collection, without folders.
  virtual std::string GetName() const = 0;
  // The one fingerprint type of all records.
  virtual const Varnex::KvFPTypeBase* GetFPType() const = 0;
  virtual std::size_t NumRecords() const = 0;
  virtual std::size_t NumShards() const = 0;
  // Per query, in order, its hits best first, as KvFastFPDatabase's
  // GetSortedScoresMany answers them.
  virtual std::vector<std::vector<Varnex::KvSimScore>> Search(const std::vector<Varnex::KvFingerPrint>& queries,
                                                              const Varnex::KvFPDatabaseOptions& options) const = 0;
  // The ids and SMILES of molecules `indices`, in order; asked for all the
  // hits of a query at once, which a catalog answers in a few lookups.
  virtual std::vector<MoleculeRecord> GetRecords(const std::vector<std::size_t>& indices) const = 0;
  // Molecule `index`, to draw it; false when there is no such molecule or it
  // cannot be read.
  virtual bool GetMolecule(std::size_t index, KvChem::KvMol& mol) const = 0;
  // Whether the files behind it have been replaced or changed since it was
  // opened (a new collection generation, a rewritten file).
  virtual bool IsStale() const = 0;
};

// Opens what "-db" of `itf` names: a collection's catalog (NAME.vxc), or a
// .fpbin file with the molecule file "-mols"; shards or file with the memory
// type of "-memory". Null after messages on stderr.
std::unique_ptr<ServeBackend> OpenServeBackend(KvSystem::KvInterface& itf);

}  // namespace VarnexCli
