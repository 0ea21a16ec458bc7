// A self-contained HTML page of queries and their hits.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database.h"
#include "kvchem/mol.h"
#include "kvsystem/parameters.h"
#include "output_file.h"
#include "varnex/dboptions.h"
#include "varnex/collection.h"
#include "varnex/fastdb.h"
#include "varnex/fptypes.h"
#include "varnex/pictures.h"
#include "varnex/searchresult.h"

namespace VarnexCli {

// The names and molecules of a query's hits, looked up for all of them at
// once; a molecule that cannot be read stays invalid (the grid shows a note).
using HitRecords = std::function<void(const std::vector<Varnex::KvSimScore>& hits, std::vector<std::string>& names,
                                      std::vector<std::unique_ptr<KvChem::KvMol>>& mols)>;
// Hits named and drawn from the "-mols" file of a .fpbin database.
HitRecords HitRecordsOf(const RecordNames& names);
// Hits named and drawn from a collection's catalog (ids and SMILES).
HitRecords HitRecordsOf(const Varnex::KvCollection& collection);

// One section per query (the library's hit grid, Varnex::KvGetHitGridHtml):
// the query, then each hit drawn in the query's orientation with the chosen
// highlight, captioned with rank, name, index, score and SMILES. The page
// carries its drawings as inline SVG and needs no script and no network; it
// is also well-formed XML.
class HtmlReport {
 public:
  // `type`: the database's fingerprint type (outlives the report);
  // `records`: where the hits' names and molecules come from.
  HtmlReport(const Varnex::KvFPTypeBase* type, HitRecords records, const Varnex::KvHitGridOptions& options)
      : type_(type), records_(std::move(records)), options_(options) {}

  // Creates the output file and writes the head of the page; false after a
  // message on stderr.
  bool Open(const std::string& path, const std::string& title, const std::string& subtitle);
  // Adds the section of one query.
  void AddQuery(const std::string& heading, const KvChem::KvMolBase& query, const std::vector<Varnex::KvSimScore>& hits);
  // Ends the page and puts the file in place; false after a message.
  bool Commit();

 private:
  const Varnex::KvFPTypeBase* type_;
  HitRecords records_;
  Varnex::KvHitGridOptions options_;
  OutputFile file_;
};

// What a command that may write an HTML page of hits was asked for: the
// page file ("-out", empty for none) and the picture options; false after a
// message (a usage error), also when a .fpbin database's page lacks the
// molecule file to draw from ("-mols") or a collection is given "-mols".
bool ReadPageRequest(const KvSystem::KvInterface& itf, const char* command, std::string& page,
                     Varnex::KvHitGridOptions& pictures);
// The line under a page's title: database, records, type and measure.
std::string PageSubtitle(const std::string& dbPath, std::uint64_t records, const Varnex::KvFPTypeBase* type,
                         const Varnex::KvFPDatabaseOptions& options);

}  // namespace VarnexCli
