// Every fixed message of the library, raised by the smallest call that raises
// it and compared byte for byte. The rows are keyed by the table's names, and
// a table entry without a row fails, so a new message comes with its trigger.
#include "system/messages.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "faulty_file_system.h"
#include "molecules.h"
#include "temp_dir.h"
#include "varnex/varnex.h"

namespace {

using namespace Varnex;
using KvSystem::KvCollect;
using VarnexTest::Mol;

const std::string kTail = ",atype=AtmNum,btype=Order";

// Fixed messages that no call can raise (they guard against failures of the
// operating system or of allocation that no fault hook reaches, or against
// states the public API never creates), each with the reason.
const std::map<std::string, std::string> kUnreachable = {
    {"MapView", "mmap() failing on an opened, sized file"},
    {"EngineNoMemory", "the in-memory engine failing to allocate its records"},
    {"NoMemoryForResults", "a neighbour or threshold matrix failing to allocate"},
    {"EngineSkipHeader", "a read failing between the header check and the records"},
    {"CannotAccess", "a record read failing on a valid, opened database"},
    {"OperationFailed", "a standard exception escaping an engine or database call"},
    {"LingoCannotInit", "a Lingo comparer refusing a text of four or more characters"},
    {"WriteOldVersion", "a type object of a legacy kind code (none is ever made)"},
    {"DatabaseGetSimFunc", "options holding an unknown measure (their setters refuse one)"},
    {"UnknownMeasureQuoted", "options holding an unknown measure (their setters refuse one)"},
    {"UnknownMeasure", "options holding an unknown measure (their setters refuse one)"},
    {"CheckType", "a type object whose own type string does not parse"},
    {"EngineMapped", "mapping failing after the header was read"},
    {"EngineOpen", "the file failing to open after its header was read"},
    {"NoFilePointer", "an engine that is valid but has no records"},
    {"CannotGenerateSpaced", "a record read failing after the index check passed"},
    {"CompatFingerPrint", "record 0 unreadable in an opened, valid database"},
    {"ConfigureGroup", "KvInterface::AddInterface() failing"},
    {"ConfigureType", "a type object whose own type string does not parse"},
    {"CreateFingerPrint", "a molecule that reads but makes no fingerprint (one size limit guards both)"},
};

// A little-endian integer of `n` bytes.
std::string LE(std::uint64_t value, int n) {
  std::string out;
  for (int k = 0; k < n; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
  return out;
}

// A fingerprint of `smiles` for `type`, or for a kind (a warning's trigger).
KvFingerPrint Made(const KvFPTypeBase* type, const char* smiles = "CCO") {
  KvFingerPrint fp;
  (void)KvMakeFP(fp, Mol(smiles), type);
  return fp;
}
using Maker = bool (*)(KvFingerPrint&, const KvChem::KvMolBase&, const KvFPTypeBase*);
std::function<void()> Generate(Maker make, const KvFPTypeBase* type) {
  return [make, type] {
    KvFingerPrint fp;
    make(fp, Mol("CCO"), type);
  };
}
void MakeKind(unsigned kind, bool vs) {
  KvFingerPrint fp;
  (void)KvMakeFP(fp, Mol("CCO"), kind, vs);
}
void MakeVS(unsigned kind, unsigned version) {
  KvFingerPrint fp;
  (void)KvMakeVSFP(fp, Mol("CCO"), kind, version);
}

// Parses `text` as a path type string.
std::function<void()> ParsePath(const std::string& text) {
  return [text] {
    unsigned short v;
    unsigned b, mn, mx, a, bo;
    (void)KvGetPathFPTypeParams(text, v, b, mn, mx, a, bo);
  };
}

// Reads record `index` of a fast database.
void Fetch(const std::string& path, unsigned index) {
  KvFingerPrint fp;
  (void)KvFastFPDatabase(path, 1).GetFingerPrint(fp, index);
}

// Runs `trigger` under a file system that `arm` makes fail.
std::function<void()> Faulty(std::function<void(VarnexTest::FaultyFileSystem&)> arm, std::function<void()> trigger) {
  return [arm, trigger] {
    VarnexTest::FaultyFileSystem faults;
    arm(faults);
    trigger();
  };
}

// A molecule whose SMILES did not parse.
KvChem::KvMol Unparsed() {
  KvChem::KvMol mol;
  VarnexTest::CaptureSink quiet;
  (void)KvChem::KvSmilesToMol("C1CC", mol);
  return mol;
}

// Sets up a fingerprint type from an interface holding the given parameters.
void SetupFrom(const std::vector<std::pair<std::string, std::string>>& values) {
  KvSystem::KvInterface itf;
  for (const auto& [name, value] : values) {
    const bool number = name == "-mindistance" || name == "-maxdistance";
    KvSystem::KvParameter* p = itf.AddParameter(number ? "int" : "string");
    p->SetName(name);
    p->SetValue(value);
  }
  (void)KvSetupFingerPrint(itf);
}

// Reads a fingerprint from one KvB record with the given payload.
void ReadRecord(const std::string& payload) {
  KvSystem::kvosstream out;
  (void)KvSystem::KvBWriteRecord(out, "KvFingerPrint", payload);
  KvSystem::kvisstream in(out.str());
  KvFingerPrint fp;
  (void)KvSystem::KvBRead(in, fp);
}

// Writes the fast-database blob of a path fingerprint of `bits` bits.
void WriteBlob(std::size_t bits) {
  KvFingerPrint fp;
  fp.SetSize(bits);
  fp.SetFPTypeBase(KvGetFPType(102, false, 0));
  (void)KvWriteFastFingerPrintBlob(0, fp);
}

struct Row {
  std::string name;  // the table entry, without "k"
  std::function<void()> trigger;
  std::string expected;
};

class FixedMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    smi_ = dir_.File("mols.smi", "CCO ethanol\nc1ccccc1 benzene\nCC(=O)O acetic\nCCN ethylamine\n");
    fpbin_ = dir_.Path("db.fpbin");
    VarnexTest::CaptureSink quiet;
    ASSERT_TRUE(KvCreateFastFPDatabaseFile(fpbin_, smi_, Path256()));
  }
  static const KvFPTypeBase* Path256() { return KvGetPathFPType(256, 0, 5, 191, 3); }
  // A header of the fast database file: the given text, padded to `size`.
  std::string Header(const std::string& name, const std::string& text, std::size_t size = 800) {
    std::string bytes = text;
    bytes.resize(std::max(size, text.size()), ' ');
    return dir_.File(name, bytes);
  }
  // The database with 8 bytes at `offset` replaced by `value`.
  std::string Damaged(const std::string& name, std::size_t offset, std::uint64_t value) {
    std::string bytes = VarnexTest::ReadFile(fpbin_);
    bytes.replace(offset, 8, LE(value, 8));
    return dir_.File(name, bytes);
  }
  // Compares the molecules of a new SMILES file with the database at `db`
  // (the one of the set-up when empty).
  std::function<void()> Compat(const std::string& smiles, const std::string& db = "") {
    return [this, smiles, db] {
      KvChem::KvMolDatabase mols;
      mols.Open(dir_.File("compat.smi", smiles));
      (void)KvAreCompatibleDatabases(mols, KvFastFPDatabase(db.empty() ? fpbin_ : db, 1));
    };
  }
  // Creates `out` from the molecule file `mols`.
  std::function<void()> Create(const std::string& out, const std::string& mols) {
    return [out, mols] { KvCreateFastFPDatabaseFile(out, mols, Path256()); };
  }
  std::vector<Row> Rows();

  VarnexTest::TempDir dir_;
  std::string smi_, fpbin_;
};

std::vector<Row> FixedMessages::Rows() {
  const KvFingerPrint pathFP = Made(KvGetFPType(102, false, 0));
  const KvFingerPrint maccsFP = Made(KvGetFPType(101, false, 0));
  const KvFingerPrint lingoFP = Made(KvGetFPType(103, false, 0), "CC");
  const std::string pathText = Path256()->GetFPTypeString();
  const std::string db = fpbin_;
  const std::string fastName = "KvFastFPDatabase::";
  const std::string params = "KvFastFPDatabaseParams() ";
  const std::string creator = "KvCreateFastFPDatabaseFile()";
  const std::string compat = "KvAreCompatibleDatabases() ";
  // Reads a parameter of the search options' interface (no -cutoff value).
  auto getParameter = [](auto read) {
    KvSystem::KvInterface itf;
    KvConfigureFPDatabaseOptions(itf, KvFPDatabaseOptions());
    read(itf);
  };
  return {
      // system: parameters
      {"GetNonExistent", [=, this] { getParameter([](auto& i) { i.template Get<int>("-nothing"); }); },
       "KvInterface::Get, requesting value of non-existent parameter -nothing"},
      {"GetUnset", [=, this] { getParameter([](auto& i) { i.template Get<float>("-cutoff"); }); },
       "KvInterface::Get, requesting value of unset parameter -cutoff"},
      {"GetWrongType", [=, this] { getParameter([](auto& i) { i.template Get<std::string>("-limit"); }); },
       "KvInterface::Get, requested parameter -limit is not of requested type"},
      {"GetNotSet",
       [] {
         KvSystem::KvInterface itf;
         KvSystem::KvParameter* p = itf.AddParameter("int");
         p->SetName("-n");
         p->SetDefault(std::string("many"));
         itf.Get<int>("-n");
       },
       "KvInterface::Get, parameter -n is not set"},
      // core
      {"EqualityUntyped", [] { (void)(KvFingerPrint() == KvFingerPrint()); },
       "KvFingerPrint::operator== : uninitialized fingerprint type!"},
      {"SameTypeUntyped", [] { (void)KvIsSameFPType(KvFingerPrint(), KvFingerPrint()); },
       "KvIsSameFPType() : uninitialized fingerprint type!"},
      {"MissingType", ParsePath(""), "Missing fingerprint type!"},
      {"MissingVersion", ParsePath("Path"), "Missing fingerprint version!"},
      {"CannotTokenize", ParsePath("Path,ver=2.0.0,size"), "Invalid string can not be tokenized for `Path` type!"},
      {"InvalidVersion", ParsePath("Path,ver="), "Invalid version for `Path` type!"},
      {"InvalidSize", ParsePath("Path,ver=2.0.0,size=abc"), "Invalid fingerprint size for `Path` type!"},
      {"InvalidDistance", ParsePath("Path,ver=2.0.0,bonds=5"), "Invalid fingerprint distance for `Path` type!"},
      {"InvalidMinDistance", ParsePath("Path,ver=2.0.0,bonds=x-5"),
       "Invalid fingerprint minimum distance for `Path` type!"},
      {"InvalidMaxDistance", ParsePath("Path,ver=2.0.0,bonds=0-"),
       "Invalid fingerprint maximum distance for `Path` type!"},
      {"InvalidPrimitive", ParsePath("Path,ver=2.0.0,foo=1"), "'foo' is not a valid fingerprint type primitive!"},
      {"NoSize", ParsePath("Path,ver=2.0.0,bonds=0-5" + kTail), "Size cannot be initialized for `Path` type!"},
      {"NoDistance", ParsePath("Path,ver=2.0.0,size=64" + kTail),
       "Min or max distance cannot be initialized for `Path` type!"},
      {"NoAtomType", ParsePath("Path,ver=2.0.0,size=64,bonds=0-5,btype=Order"),
       "Atom type cannot be initialized for `Path` type!"},
      {"NoBondType", ParsePath("Path,ver=2.0.0,size=64,bonds=0-5,atype=AtmNum"),
       "Bond type cannot be initialized for `Path` type!"},
      {"BothTypesNone", ParsePath("Path,ver=2.0.0,size=64,bonds=0-5,atype=None,btype=None"),
       "The atom and bond type cannot be both None for `Path` type!"},
      {"InvalidKindString", [] { (void)KvGetFPType("Lingo,ver"); }, "Invalid `Lingo` type string!"},
      {"InvalidTypeString", [] { (void)KvGetFPType("MACCS166=1,ver=2.2.0"); }, "Invalid fingerprint type string!"},
      {"NoVersion", [] { (void)KvGetFPType("MACCS166,foo=1"); },
       "Version number cannot be initialized for `MACCS166` type!"},
      {"VersionUnknownType", [] { (void)KvGetFingerPrintVersion(4u); },
       "KvGetFingerPrintVersion : unknown fingerprint type!"},
      {"GetTypeUnknownVS", [] { (void)KvGetFPType(102, true, 3); }, "KvGetFPType() unknown VS fingerprint version"},
      {"GetTypeUnknown", [] { (void)KvGetFPType(7, false, 0); }, "KvGetFPType() unknown fingerprint type"},
      {"GetVSTypeUnknownVS", [] { (void)KvGetVSFPType(102, 3); }, "KvGetVSFPType() unknown VS fingerprint version"},
      {"GetVSTypeNone", [] { (void)KvGetVSFPType(101, 1); },
       "KvGetVSFPType: no VS fingerprint type defined for requested fingerprint type: 101"},
      {"GetTypeBadString", [] { (void)KvGetFPType("Path,ver=2.0.0,size=0,bonds=0-5" + kTail); },
       "KvGetFPType() invalid fingerprint type string"},
      {"GetTypeOldVersion", [] { (void)KvGetFPType("Path,ver=1.0.0,size=64,bonds=0-5" + kTail); },
       "KvGetFPType() fingerprint type with old version number"},
      {"ValidStringOldVersion", [] { (void)KvIsValidFPTypeString("Path,ver=1.0.0,size=64,bonds=0-5" + kTail); },
       "KvIsValidFPTypeString() fingerprint type with old version number"},
      {"StrayPathBits", [] { (void)KvGetPathFPType(0x10000 + 64, 0, 5, 1, 1)->GetFPTypeString(); },
       "Unrecognised data in KvFPPathType!"},
      {"StrayCircularBits", [] { (void)KvGetCircularFPType(0x20040, 0, 2, 1, 1)->GetFPTypeString(); },
       "Unrecognised data in KvFPCircularType!"},
      {"StrayTreeBits", [] { (void)KvGetTreeFPType(64, 0, 4, 0x10001, 1)->GetFPTypeString(); },
       "Unrecognised data in KvFPTreeType!"},
      {"StrayBits", [] { (void)KvGetUnhashedPathFPType(0x2000, 0, 5, 0x10001, 1)->GetFPTypeString(); },
       "Unrecognised data!"},
      // generators
      {"MakeUnknown", [] { MakeKind(7u, false); }, "KvMakeFP() unknown fingerprint type"},
      {"MakeCircularVS", [] { MakeKind(104u, true); },
       "KvMakeFP: (104) use KvMakeVSFP() for generating VS fingerprints - deprecated CircularVS fingerprints are "
       "being generated"},
      {"MakeVSDeprecated", [] { MakeKind(102u, true); },
       "KvMakeFP: (102) (deprecated) use KvMakeVSFP() for generating VS fingerprints"},
      {"MakeVSUnknownVersion", [] { MakeVS(102u, 3u); }, "KvMakeVSFP: unknown vsVersion specified: 3"},
      {"MakeVSUnknown", [] { MakeVS(101u, 1u); }, "KvMakeVSFP() unknown fingerprint type"},
      {"PathBits", Generate(KvMakePathFP, KvGetPathFPType(0, 0, 5, 191, 3)),
       "KvMakePathFP() : invalid bit vector size 0 for path fingerprint (default 4096 is used)!"},
      {"PathMin", Generate(KvMakePathFP, KvGetPathFPType(64, 99, 99, 191, 3)),
       "KvMakePathFP() : invalid min bonds 99 for path fingerprint (default 0 is used)!"},
      {"PathMax", Generate(KvMakePathFP, KvGetPathFPType(64, 0, 99, 191, 3)),
       "KvMakePathFP() : invalid max bonds 99 for path fingerprint (default 5 is used)!"},
      {"PathMinAboveMax", Generate(KvMakePathFP, KvGetPathFPType(64, 4, 2, 191, 3)),
       "KvMakePathFP() : invalid min bonds 4 > max bonds 2 for path fingerprint (minbonds = maxbonds is used)!"},
      {"PathType", Generate(KvMakePathFP, KvGetFPType(105, false, 0)),
       "KvMakePathFP : invalid path fingerprint type!"},
      {"TreeBits", Generate(KvMakeTreeFP, KvGetTreeFPType(0, 0, 4, 191, 3)),
       "KvMakeTreeFP() : invalid bit vector size 0 for tree fingerprint (default 4096 is used)"},
      {"TreeMin", Generate(KvMakeTreeFP, KvGetTreeFPType(64, 99, 99, 191, 3)),
       "KvMakeTreeFP() : invalid min bonds 99 for tree fingerprint (default 0 is used)"},
      {"TreeMax", Generate(KvMakeTreeFP, KvGetTreeFPType(64, 0, 99, 191, 3)),
       "KvMakeTreeFP() : invalid max bonds 99 for tree fingerprint (default 4 is used)"},
      {"TreeMinAboveMax", Generate(KvMakeTreeFP, KvGetTreeFPType(64, 4, 2, 191, 3)),
       "KvMakeTreeFP() : invalid min bonds 4 > max bonds 2 for tree fingerprint (minbonds = maxbonds is used)"},
      {"TreeType", Generate(KvMakeTreeFP, KvGetFPType(102, false, 0)),
       "KvMakeTreeFP ;invalid tree fingerprint type"},
      {"CircularBits", Generate(KvMakeCircularFP, KvGetCircularFPType(0, 0, 2, 191, 3)),
       "KvMakeCircularFP() : invalid bit vector size 0 for circular fingerprint (default 4096 is used)"},
      {"CircularMin", Generate(KvMakeCircularFP, KvGetCircularFPType(64, 99, 99, 191, 3)),
       "KvMakeCircularFP() : invalid min radius 99 for circular fingerprint (default 0 is used)"},
      {"CircularMax", Generate(KvMakeCircularFP, KvGetCircularFPType(64, 0, 99, 191, 3)),
       "KvMakeCircularFP() : invalid max radius 99 for circular fingerprint (default 5 is used)"},
      {"CircularMinAboveMax", Generate(KvMakeCircularFP, KvGetCircularFPType(64, 4, 2, 191, 3)),
       "KvMakeCircularFP() : invalid min radius 4 > max radius 2 for circular fingerprint (minradius = maxradius is "
       "used)"},
      {"CircularType", Generate(KvMakeCircularFP, KvGetFPType(102, false, 0)),
       "KvMakeCircularFP : invalid circular fingerprint type"},
      {"BothTypesNoneRepaired", Generate(KvMakePathFP, KvGetPathFPType(64, 0, 5, 0, 0)),
       "KvMakePathFP() : invalid to have both atom and bond types set to be None (default types are used)!"},
      {"UnhashedPathType", Generate(KvMakeUnhashedPathFP, KvGetFPType(102, false, 0)),
       "Invalid path fingerprint type"},
      {"UnhashedTreeType", Generate(KvMakeUnhashedTreeFP, KvGetFPType(102, false, 0)),
       "Invalid unhashed tree fingerprint type"},
      {"UnhashedCircularType", Generate(KvMakeUnhashedCircularFP, KvGetFPType(102, false, 0)),
       "Invalid circular fingerprint type"},
      // similarity
      {"TypeMismatch", [=] { (void)KvDice(pathFP, maccsFP); }, "fingerprint type mismatch!"},
      {"TanimotoMismatch", [=] { (void)KvTanimoto(pathFP, maccsFP); }, "KvTanimoto() fingerprint type mismatch!"},
      {"LingoNotInit",
       [=] {
         std::uint32_t a, b, c;
         (void)KvGetLingoSimTerms(KvChem::KvLingoSim("CC", 1), lingoFP, &a, &b, &c);
       },
       "lingo is not initialized"},
      // patterns
      {"TypePointer", [] { KvCollect(KvGetFPPatterns(Mol("CCO"), nullptr)); },
       "KvGetFPPatterns() invalid fingerprint type pointer!"},
      {"PatternsMACCS", [] { KvCollect(KvGetFPPatterns(Mol("CCO"), KvGetFPType(101, false, 0))); },
       "KvGetFPPatterns() is not available for MACCS fingerprint!"},
      {"PatternsLingo", [] { KvCollect(KvGetFPCoverage(Mol("CCO"), KvGetFPType(103, false, 0), false)); },
       "KvGetFPCoverage() is not available for Lingo fingerprint!"},
      {"PatternsUnknownType", [] { KvCollect(KvGetFPPatterns(Mol("CCO"), KvGetFPType(9000, false, 0))); },
       "KvGetFPPatterns() unknown fingerprint type!"},
      // io
      {"WriteUnknownType",
       [] {
         KvSystem::kvosstream out;
         (void)KvSystem::KvBWrite(out, KvFingerPrint());
       },
       "fingerprint with unknown type cannot be written to an KvB"},
      {"ReadOldVersion", [] { ReadRecord(LE(1, 4) + LE(0, 4)); },
       "fingerprint type with old version was read from the KvB"},
      {"ReadUnknownType", [] { ReadRecord(LE(9000, 4) + LE(0x2000, 2) + LE(0, 4)); },
       "unknown fingerprint type was read from the KvB"},
      // vsepr
      {"VseprInvalidType", [] { (void)VSEPRAroType::GetCharge(200); },
       "VSEPRAroType::GetCharge : Invalid VSEPRAroType 200"},
      {"VseprMaxPath", [] { KvVseprFingerprint(Mol("CCCC"), KvVseprOptions().SetMaxPathLength(12)); },
       "KvVseprFingerprint : Setting maxPathLength, passed as 12, to the max of 8u"},
      // stats
      {"MergeMin", [] { KvFPHistogram(10, 0.0, 1.0) += KvFPHistogram(10, 0.1, 1.1); },
       "KvFPHistogram::operator+=() : cannot merge histogram due to different min limit!"},
      {"MergeMax", [] { KvFPHistogram(10, 0.0, 1.0) += KvFPHistogram(10, 0.0, 2.0); },
       "KvFPHistogram::operator+=() : cannot merge histogram due to different max limit!"},
      {"MergeBins", [] { KvFPHistogram(10, 0.0, 1.0) += KvFPHistogram(20, 0.0, 1.0); },
       "KvFPHistogram::operator+=() : cannot merge histogram due to different bin size!"},
      // database
      {"OptionsUnknownMeasure", [] { KvFPDatabaseOptions(10, 0xFFFFFFFFu); },
       "KvFPDatabaseOptions::KvFPDatabaseOptions() unknown similarity function type -1 ignored!"},
      {"SetUnknownMeasure", [] { KvFPDatabaseOptions().SetSimFunc(0xFFFFFFFFu); },
       "KvFPDatabaseOptions::SetSimFunc() unknown similarity function type 4294967295 ignored!"},
      {"IllegalTversky", [] { KvFPDatabaseOptions().SetTverskyCoeffs(2.0f, 0.5f); },
       "KvFPDatabaseOptions::SetTverskyCoeffs() illegal alpha/beta values for Tversky similarity function are "
       "ignored!"},
      {"ResultUninitialized", [] { KvSimSearchResult().GetHistogram(); },
       "KvSimSearchResult::GetHistogram() : result object is uninitialized!"},
      {"DatabaseUnknownType", [] { KvFPDatabase(7u); }, "KvFPDatabase::KvFPDatabase() unknown fingerprint type"},
      {"DatabaseSetSimFunc", [] { KvFPDatabase(102u).SetSimFunc(9u, true); },
       "KvFPDatabase::SetSimFunc() unknown similarity measure"},
      {"DatabaseLingoUserMeasure", [] { KvFPDatabase(103u).SetSimFunc(KvDiceSim(), true); },
       "KvFPDatabase::SetSimFunc() user defined similarity measure not allowed with Lingo database"},
      {"DatabaseUnhashedUserMeasure", [] { KvFPDatabase(9000u).SetSimFunc(KvDiceSim(), true); },
       "KvFPDatabase::SetSimFunc() user defined similarity measure not allowed with unhashed database"},
      {"ScoresMismatch", [=] { KvCollect(KvFPDatabase(101u).GetScores(pathFP)); },
       "KvFPDatabase::GetScores() fingerprint type mismatch!"},
      {"SortedMismatch", [=] { KvCollect(KvFPDatabase(101u).GetSortedScores(pathFP)); },
       "KvFPDatabase::GetSortedScores() fingerprint type mismatch!"},
      {"SortedMismatchLingoRange", [=] { KvCollect(KvFPDatabase(103u).GetSortedScores(pathFP)); },
       "KvFPDatabase::GetSortedScores()fingerprint type mismatch!"},
      {"LingoQuery", [] { KvCollect(KvFPDatabase(103u).GetScores(Made(KvGetFPType(103, false, 0), "C"))); },
       "KvFPDatabase::GetScores() cannot initialize lingo similarity!"},
      {"ScoresUnimplemented",
       [] { KvCollect(KvFPDatabase(9000u).GetScores(Made(KvGetFPType(9000, false, 0)), KvFPDatabaseOptions())); },
       "KvFPDatabase::GetScores() has not been implemented yet!"},
      {"SortedUnimplemented",
       [] { KvCollect(KvFPDatabase(9000u).GetSortedScores(Made(KvGetFPType(9000, false, 0)), KvFPDatabaseOptions())); },
       "KvFPDatabase::GetSortedScores() has not been implemented yet!"},
      // fastdb/storage
      {"MapOpen", [=, this] { MMapInputFile().Open(dir_.Path("absent"), 800); },
       "Unable to open file: " + dir_.Path("absent")},
      {"MapCreate", [=, this] { MMapOutputFile().Open(dir_.Path("no/such/x.fpbin"), 800); },
       "Unable to create file: " + dir_.Path("no/such/x.fpbin")},
      {"MapMapping", [=, this] { MMapInputFile().Open(smi_, 0); }, "unable for create file mapping"},
      // fastdb/format
      {"BlobUntyped", [] { (void)KvWriteFastFingerPrintBlob(0, KvFingerPrint()); },
       "KvWriteFastFingerPrintBlob() : uninitialized fingerprint!"},
      {"BlobNoData", [] { WriteBlob(0); }, "KvWriteFastFingerPrintBlob(): cannot access fingerprint data!"},
      {"BlobSize", [] { WriteBlob(32); }, "KvWriteFastFingerPrintBlob() : invalid fingerprint size!"},
      {"HeaderOpen", [=, this] { KvFastFPDatabaseParams(dir_.Path("absent")); },
       params + "cannot open fingerprint database file " + dir_.Path("absent")},
      {"HeaderTooSmall", [=, this] { KvFastFPDatabaseParams(Header("small", "LE\n", 50)); },
       params + "invalid fingerprint database file " + dir_.Path("small")},
      {"HeaderEndianness", [=, this] { KvFastFPDatabaseParams(Header("xx", "XX\n")); },
       params + "invalid endianess 'XX' in " + dir_.Path("xx") + " header"},
      {"HeaderMolFile", [=, this] { KvFastFPDatabaseParams(Header("mol", "LE", 200)); },
       params + "cannot read molecule filename from " + dir_.Path("mol") + " header"},
      {"HeaderTypeLine", [=, this] { KvFastFPDatabaseParams(Header("type", "LE\nm", 200)); },
       params + "cannot read fingerprint type from " + dir_.Path("type") + " header"},
      {"HeaderType", [=, this] { KvFastFPDatabaseParams(Header("badtype", "LE\nm\nGarbage\n")); },
       params + "invalid fingerprint type in " + dir_.Path("badtype") + " header"},
      {"HeaderCountLine",
       [=, this] { KvFastFPDatabaseParams(Header("count", "LE\n" + std::string(200, 'm') + "\n" + pathText, 0)); },
       params + "cannot read number of fingerprints from " + dir_.Path("count") + " header"},
      {"HeaderCount", [=, this] { KvFastFPDatabaseParams(Header("badcount", "LE\nm\n" + pathText + "\nabc\n")); },
       params + "invalid number of fingerprints in " + dir_.Path("badcount") + " header"},
      {"HeaderMap", [=, this] { KvFastFPDatabaseParams(Header("short", "LE\nm\n" + pathText + "\n5\n", 400)); },
       params + "cannot open " + dir_.Path("short") + " fingerprint database"},
      {"HeaderInconsistent",
       [=, this] { KvFastFPDatabaseParams(Header("inconsistent", "LE\nm\n" + pathText + "\n5\n")); },
       params + "inconsistent number of fingerprints in " + dir_.Path("inconsistent") + " header"},
      {"CheckPointer", [] { (void)KvIsAdmissibleFastFPType(nullptr, "Caller()"); },
       "Caller() invalid fingerprint pointer!"},
      {"CheckKind", [] { (void)KvIsAdmissibleFastFPType(KvGetFPType(101, false, 0), "Caller()"); },
       "Caller() invalid fingerprint type (only path, circular or tree allowed)!"},
      {"CheckSize", [] { (void)KvIsAdmissibleFastFPType(KvGetPathFPType(64, 0, 5, 191, 3), "Caller()"); },
       "Caller() invalid fingerprint size (has to be multiple of 256)!"},
      // fastdb/engine
      {"EngineInvalid", [=, this] { KvFastFPDatabase(dir_.Path("absent.fpbin"), 1); },
       fastName + "KvFastFPDatabase() : cannot initialize object!"},
      {"EngineInMemory", [=, this] { KvFastFPDatabase(dir_.Path("absent.fpbin"), 2); },
       fastName + "KvFastFPDatabase() cannot initialize object for in memory search!"},
      {"EngineBadRecord", [=, this] { KvFastFPDatabase(Damaged("count.fpbin", 800 + 8, 999), 2); },  // a bit count
       fastName + "KvFastFPDatabase() : invalid data in 0-th fingerprint"},
      // Three records of 48 bytes arrive.
      {"EngineShortRead", Faulty([](auto& f) { f.readEnd = 800 + 3 * 48; }, [=] { KvFastFPDatabase(db, 2); }),
       fastName + "KvFastFPDatabase() : cannot read 3-th fingerprint"},
      {"NoCuda", [=, this] { KvFastFPDatabase(db, 3); },
       fastName + "KvFastFPDatabase() : no CUDA-enabled device available falling back to memory-mapped type!"},
      {"BadMemoryType", [=, this] { KvFastFPDatabase(db, 7); },
       fastName + "KvFastFPDatabase() : invalid memory type parameter initialized for memory-mapped!"},
      {"InvalidDatabase", [=, this] { (void)KvFastFPDatabase(dir_.Path("absent.fpbin"), 1).NumFingerPrints(); },
       fastName + "NumFingerPrints() : invalid KvFastFPDatabase object!"},
      {"IndexOutOfRange", [=, this] { Fetch(db, 4); },
       fastName + "GetFingerPrint() : fingerprint index out of range!"},
      {"QueryType", [=, this] { KvCollect(KvFastFPDatabase(db, 1).GetScores(KvFingerPrint(), {})); },
       fastName + "GetScores() : invalid fingerprint type!"},
      {"QueryMismatch", [=, this] { KvCollect(KvFastFPDatabase(db, 1).GetScores(maccsFP, {})); },
       fastName + "GetScores() : fingerprint type mismatch!"},
      {"IndexInconsistency", [=, this] { Fetch(Damaged("moved.fpbin", 800, 7), 0); },  // a molecule index moved
       fastName + "GetFingerPrint() : fingerprint and molecule index inconsistency!"},
      {"EmptyMolecule", [=, this] { KvCollect(KvFastFPDatabase(db, 1).GetScores(Unparsed(), {})); },
       fastName + "GetScores() : empty molecule!"},
      {"CannotGenerate",
       [=, this] {
         const KvFastFPDatabase fast(db, 1);
         const KvChem::KvMol butane = Mol("CCCC");
         KvChem::KvSetMaxAtoms(2);
         KvCollect(fast.GetRawScores(butane, {}));
         KvChem::KvSetMaxAtoms(0);
       },
       fastName + "GetRawScores() cannot generate fingerprint!"},
      {"TverskyUnsupported", [=] { KvFastFPDatabase(db, 1).GetVariogram({1, 2, 3, 4}, KvFPDatabaseOptions(0, 5), 10); },
       fastName + "GetVariogram() : Tversky similarity is not supported!"},
      {"MoreNeighbours", [=, this] { KvCollect(KvFastFPDatabase(db, 1).GetSparseMatrix(KvFPDatabaseOptions(9, 1))); },
       fastName + "GetSparseMatrix() set to retrieve more nearest neighbors (9) than there are fingerprints (4)!"},
      {"AllScores", [=, this] { KvCollect(KvFastFPDatabase(db, 1).GetSparseMatrix(KvFPDatabaseOptions(0, 1))); },
       fastName + "GetSparseMatrix() : set to retrieve all nxn scores!"},
      {"NoCutoff", [=, this] { KvCollect(KvFastFPDatabase(db, 1).GetSparseMatrix(KvFPDatabaseOptions(0, 1))); },
       fastName + "GetSparseMatrix() : no cutoff specified, all results will be returned!"},
      // fastdb/create
      {"CreateExtension", Create(dir_.Path("x.bin"), smi_),
       creator + " fingerprint database file should have '.fpbin' file extension!"},
      {"CreateMolFile", Create(dir_.Path("x.fpbin"), dir_.Path("absent.smi")),
       creator + " cannot open molecule file " + dir_.Path("absent.smi") + "!"},
      {"EmptyMolDatabase", Create(dir_.Path("x.fpbin"), dir_.File("empty.smi", "")),
       creator + " empty molecule database!"},
      {"CreateOpen", Create(dir_.Path("no/such/x.fpbin"), smi_),
       creator + " : unable to open fingerprint database file: " + dir_.Path("no/such/x.fpbin")},
      {"CreateHeader", Faulty([](auto& f) { f.failWriteNumber = 0; }, Create(dir_.Path("x.fpbin"), smi_)),
       creator + " : unable to write fingerprint database header: " + dir_.Path("x.fpbin")},
      {"CreateMolecule", Create(dir_.Path("bad.fpbin"), dir_.File("bad.smi", "CCO a\nC1CC b\nCCN c\n")),
       creator + " cannot access molecule with index 1"},
      {"CompatDatabase", Compat("CCO a\nCCN b\nCCC c\nCCCC d\n", dir_.Path("absent.fpbin")),
       compat + "invalid fingerprint database!"},
      {"CompatCount", Compat("CCO a\nCCN b\nCCC c\n"), compat + "different number of entries!"},
      {"CompatMolecule", Compat("C1CC a\nCCN b\nCCC c\nCCCC d\n"), compat + "cannot access molecule data!"},
      {"CompatMismatch", Compat("CCCl a\nc1ccccc1 b\nCC(=O)O c\nCCN d\n"), compat + "fingerprint mismatch!"},
      // config
      {"ConfigureKind",
       [] {
         KvSystem::KvInterface itf;
         KvConfigureFingerPrint(itf, KvGetFPType(101, false, 0));
       },
       "KvConfigureFingerPrint() invalid fingerprint type (only path, circular or tree is allowed)"},
      {"SetupType", [] { SetupFrom({{"-fptype", "MACCS166"}}); }, "KvSetupFingerPrint Invalid fingerprint type"},
      {"SetupTyping", [] { SetupFrom({{"-fptype", "Path"}, {"-atomtype", "Nonsense"}}); },
       "KvSetupFingerPrint Invalid fingerprint atom or bond typing"},
      {"SetupDistance", [] { SetupFrom({{"-fptype", "Path"}, {"-mindistance", "6"}, {"-maxdistance", "3"}}); },
       "KvSetupFingerPrint Invalid min distance (6) > max distance (3)"},
  };
}

TEST_F(FixedMessages, EveryEntryIsRaisedWordForWord) {
  const std::vector<Row> rows = Rows();
  std::map<std::string, std::string> table;
  for (const Msg::Entry& entry : Msg::kAll) table[entry.name] = entry.text;
  std::set<std::string> covered;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(table.count(row.name)) << "no such entry";
    EXPECT_TRUE(covered.insert(row.name).second) << "two rows";
    VarnexTest::CaptureSink sink;
    row.trigger();
    EXPECT_TRUE(sink.Contains(row.expected)) << "expected: " << row.expected << "\n"
                                             << ::testing::PrintToString(sink.Texts());
  }
  for (const auto& [name, text] : table) {
    if (kUnreachable.count(name)) {
      EXPECT_FALSE(covered.count(name)) << name << " has a trigger: drop it from the unreachable list";
      continue;
    }
    EXPECT_TRUE(covered.count(name)) << "no trigger for " << name << " (\"" << text << "\")";
  }
}

}  // namespace
