// The fixed texts of the library's warnings and errors.
//
// THESE TEXTS ARE PART OF THE INTERFACE: callers, scripts and tests compare
// them byte for byte. Do not correct their spelling, spacing or punctuation
// (a missing blank, "endianess", "GetMolculeIndex" and the like are kept on
// purpose), and do not reword them. A leading "%s" is filled with the name of
// the reporting operation; other conversions as each entry shows.
//
// Every entry is a constant format (the compiler still checks the arguments
// of KvThrow()->Warning(Msg::kX, ...)), and kAll lists them for the test that
// raises each one. A new message belongs here, with a trigger in that test.
//
// Thread safety: constants only.
#pragma once

namespace Varnex::Msg {

// X(name, text), by floor, lowest first.
#define VARNEX_FIXED_MESSAGES(X)                                                                                     \
  /* system: parameters */                                                                                           \
  X(kGetNonExistent, "KvInterface::Get, requesting value of non-existent parameter %s")                              \
  X(kGetUnset, "KvInterface::Get, requesting value of unset parameter %s")                                           \
  X(kGetWrongType, "KvInterface::Get, requested parameter %s is not of requested type")                              \
  X(kGetNotSet, "KvInterface::Get, parameter %s is not set")                                                         \
  /* core: fingerprint objects and type strings */                                                                   \
  X(kEqualityUntyped, "KvFingerPrint::operator== : uninitialized fingerprint type!")                                 \
  X(kSameTypeUntyped, "KvIsSameFPType() : uninitialized fingerprint type!")                                          \
  X(kMissingType, "Missing fingerprint type!")                                                                       \
  X(kMissingVersion, "Missing fingerprint version!")                                                                 \
  X(kCannotTokenize, "Invalid string can not be tokenized for `%s` type!")                                           \
  X(kInvalidVersion, "Invalid version for `%s` type!")                                                               \
  X(kInvalidSize, "Invalid fingerprint size for `%s` type!")                                                         \
  X(kInvalidDistance, "Invalid fingerprint distance for `%s` type!")                                                 \
  X(kInvalidMinDistance, "Invalid fingerprint minimum distance for `%s` type!")                                      \
  X(kInvalidMaxDistance, "Invalid fingerprint maximum distance for `%s` type!")                                      \
  X(kInvalidPrimitive, "'%s' is not a valid fingerprint type primitive!")                                            \
  X(kNoSize, "Size cannot be initialized for `%s` type!")                                                            \
  X(kNoDistance, "Min or max distance cannot be initialized for `%s` type!")                                         \
  X(kNoAtomType, "Atom type cannot be initialized for `%s` type!")                                                   \
  X(kNoBondType, "Bond type cannot be initialized for `%s` type!")                                                   \
  X(kBothTypesNone, "The atom and bond type cannot be both None for `%s` type!")                                     \
  X(kInvalidKindString, "Invalid `%s` type string!")                                                                 \
  X(kInvalidTypeString, "Invalid fingerprint type string!")                                                          \
  X(kNoVersion, "Version number cannot be initialized for `%s` type!")                                               \
  X(kVersionUnknownType, "%s : unknown fingerprint type!")                                                           \
  X(kGetTypeUnknownVS, "KvGetFPType() unknown VS fingerprint version")                                               \
  X(kGetTypeUnknown, "KvGetFPType() unknown fingerprint type")                                                       \
  X(kGetVSTypeUnknownVS, "KvGetVSFPType() unknown VS fingerprint version")                                           \
  X(kGetVSTypeNone, "KvGetVSFPType: no VS fingerprint type defined for requested fingerprint type: %d")              \
  X(kGetTypeBadString, "KvGetFPType() invalid fingerprint type string")                                              \
  X(kGetTypeOldVersion, "KvGetFPType() fingerprint type with old version number")                                    \
  X(kValidStringOldVersion, "KvIsValidFPTypeString() fingerprint type with old version number")                      \
  X(kStrayPathBits, "Unrecognised data in KvFPPathType!")                                                            \
  X(kStrayCircularBits, "Unrecognised data in KvFPCircularType!")                                                    \
  X(kStrayTreeBits, "Unrecognised data in KvFPTreeType!")                                                            \
  X(kStrayBits, "Unrecognised data!")                                                                                \
  /* generators */                                                                                                   \
  X(kMakeUnknown, "KvMakeFP() unknown fingerprint type")                                                             \
  X(kMakeCircularVS,                                                                                                 \
    "KvMakeFP: (%d) use KvMakeVSFP() for generating VS fingerprints - deprecated CircularVS fingerprints are being "  \
    "generated")                                                                                                     \
  X(kMakeVSDeprecated, "KvMakeFP: (%d) (deprecated) use KvMakeVSFP() for generating VS fingerprints")                \
  X(kMakeVSUnknownVersion, "KvMakeVSFP: unknown vsVersion specified: %d")                                            \
  X(kMakeVSUnknown, "KvMakeVSFP() unknown fingerprint type")                                                         \
  X(kPathBits, "%s : invalid bit vector size %d for path fingerprint (default %d is used)!")                         \
  X(kPathMin, "%s : invalid min bonds %d for path fingerprint (default %d is used)!")                                \
  X(kPathMax, "%s : invalid max bonds %d for path fingerprint (default %d is used)!")                                \
  X(kPathMinAboveMax,                                                                                                \
    "%s : invalid min bonds %d > max bonds %d for path fingerprint (minbonds = maxbonds is used)!")                  \
  X(kPathType, "KvMakePathFP : invalid path fingerprint type!")                                                      \
  X(kTreeBits, "%s : invalid bit vector size %d for tree fingerprint (default %d is used)")                          \
  X(kTreeMin, "%s : invalid min bonds %d for tree fingerprint (default %d is used)")                                 \
  X(kTreeMax, "%s : invalid max bonds %d for tree fingerprint (default %d is used)")                                 \
  X(kTreeMinAboveMax, "%s : invalid min bonds %d > max bonds %d for tree fingerprint (minbonds = maxbonds is used)") \
  X(kTreeType, "KvMakeTreeFP ;invalid tree fingerprint type")                                                        \
  X(kCircularBits, "%s : invalid bit vector size %d for circular fingerprint (default %d is used)")                  \
  X(kCircularMin, "%s : invalid min radius %d for circular fingerprint (default %d is used)")                        \
  X(kCircularMax, "%s : invalid max radius %d for circular fingerprint (default %d is used)")                        \
  X(kCircularMinAboveMax,                                                                                            \
    "%s : invalid min radius %d > max radius %d for circular fingerprint (minradius = maxradius is used)")           \
  X(kCircularType, "KvMakeCircularFP : invalid circular fingerprint type")                                           \
  X(kBothTypesNoneRepaired, "%s : invalid to have both atom and bond types set to be None (default types are used)!") \
  X(kUnhashedPathType, "Invalid path fingerprint type")                                                              \
  X(kUnhashedTreeType, "Invalid unhashed tree fingerprint type")                                                     \
  X(kUnhashedCircularType, "Invalid circular fingerprint type")                                                      \
  /* similarity */                                                                                                   \
  X(kTypeMismatch, "fingerprint type mismatch!")                                                                     \
  X(kTanimotoMismatch, "KvTanimoto() fingerprint type mismatch!")                                                    \
  X(kLingoCannotInit, "Cannot initialize lingo similarity")                                                          \
  X(kLingoNotInit, "lingo is not initialized")                                                                       \
  /* patterns */                                                                                                     \
  X(kTypePointer, "%s invalid fingerprint type pointer!")                                                            \
  X(kPatternsMACCS, "%s is not available for MACCS fingerprint!")                                                   \
  X(kPatternsLingo, "%s is not available for Lingo fingerprint!")                                                   \
  X(kPatternsUnknownType, "%s unknown fingerprint type!")                                                            \
  /* io */                                                                                                           \
  X(kWriteOldVersion, "fingerprint type with old version cannot be written to an KvB")                               \
  X(kWriteUnknownType, "fingerprint with unknown type cannot be written to an KvB")                                  \
  X(kReadOldVersion, "fingerprint type with old version was read from the KvB")                                      \
  X(kReadUnknownType, "unknown fingerprint type was read from the KvB")                                              \
  /* vsepr ("VSEPRAroType::GetCharge : Invalid VSEPRAroType 99") */                                                  \
  X(kVseprInvalidType, "%s::%s : Invalid %s %d")                                                                     \
  X(kVseprMaxPath, "KvVseprFingerprint : Setting maxPathLength, passed as %d, to the max of 8u")                     \
  /* stats */                                                                                                        \
  X(kMergeMin, "KvFPHistogram::operator+=() : cannot merge histogram due to different min limit!")                   \
  X(kMergeMax, "KvFPHistogram::operator+=() : cannot merge histogram due to different max limit!")                   \
  X(kMergeBins, "KvFPHistogram::operator+=() : cannot merge histogram due to different bin size!")                   \
  /* database */                                                                                                     \
  X(kOptionsUnknownMeasure, "%s unknown similarity function type %d ignored!")                                       \
  X(kSetUnknownMeasure, "%s unknown similarity function type %u ignored!")                                           \
  X(kIllegalTversky, "%s illegal alpha/beta values for Tversky similarity function are ignored!")                    \
  X(kResultUninitialized, "%s : result object is uninitialized!")                                                    \
  X(kDatabaseUnknownType, "KvFPDatabase::KvFPDatabase() unknown fingerprint type")                                   \
  X(kDatabaseGetSimFunc, "KvFPDatabase::GetSimFunc() unknown similarity measure")                                    \
  X(kDatabaseSetSimFunc, "KvFPDatabase::SetSimFunc() unknown similarity measure")                                    \
  X(kDatabaseLingoUserMeasure,                                                                                       \
    "KvFPDatabase::SetSimFunc() user defined similarity measure not allowed with Lingo database")                    \
  X(kDatabaseUnhashedUserMeasure,                                                                                    \
    "KvFPDatabase::SetSimFunc() user defined similarity measure not allowed with unhashed database")                 \
  X(kScoresMismatch, "KvFPDatabase::GetScores() fingerprint type mismatch!")                                         \
  X(kSortedMismatch, "KvFPDatabase::GetSortedScores() fingerprint type mismatch!")                                   \
  X(kSortedMismatchLingoRange, "KvFPDatabase::GetSortedScores()fingerprint type mismatch!")                          \
  X(kLingoQuery, "%s cannot initialize lingo similarity!")                                                           \
  X(kScoresUnimplemented, "KvFPDatabase::GetScores() has not been implemented yet!")                                 \
  X(kSortedUnimplemented, "KvFPDatabase::GetSortedScores() has not been implemented yet!")                           \
  X(kOperationFailed, "%s : %s!")                                                                                    \
  /* fastdb/storage */                                                                                               \
  X(kMapOpen, "Unable to open file: %s")                                                                             \
  X(kMapCreate, "Unable to create file: %s")                                                                         \
  X(kMapMapping, "unable for create file mapping")                                                                   \
  X(kMapView, "Unable to mmap file")                                                                                 \
  /* fastdb/format */                                                                                                \
  X(kBlobUntyped, "%s : uninitialized fingerprint!")                                                                 \
  X(kBlobNoData, "%s: cannot access fingerprint data!")                                                              \
  X(kBlobSize, "%s : invalid fingerprint size!")                                                                     \
  X(kHeaderOpen, "%s cannot open fingerprint database file %s")                                                      \
  X(kHeaderTooSmall, "%s invalid fingerprint database file %s")                                                      \
  X(kHeaderEndianness, "%s invalid endianess '%2s' in %s header")                                                    \
  X(kHeaderMolFile, "%s cannot read molecule filename from %s header")                                               \
  X(kHeaderTypeLine, "%s cannot read fingerprint type from %s header")                                               \
  X(kHeaderType, "%s invalid fingerprint type in %s header")                                                         \
  X(kHeaderCountLine, "%s cannot read number of fingerprints from %s header")                                        \
  X(kHeaderCount, "%s invalid number of fingerprints in %s header")                                                  \
  X(kHeaderMap, "%s cannot open %s fingerprint database")                                                            \
  X(kHeaderInconsistent, "%s inconsistent number of fingerprints in %s header")                                      \
  X(kCheckPointer, "%s invalid fingerprint pointer!")                                                                \
  X(kCheckType, "%s invalid fingerprint type!")                                                                      \
  X(kCheckKind, "%s invalid fingerprint type (only path, circular or tree allowed)!")                                \
  X(kCheckSize, "%s invalid fingerprint size (has to be multiple of %d)!")                                           \
  /* fastdb/engine */                                                                                                \
  X(kEngineInvalid, "%s : cannot initialize object!")                                                                \
  X(kEngineMapped, "%s : cannot initialize object for memory mapping!")                                              \
  X(kEngineInMemory, "%s cannot initialize object for in memory search!")                                            \
  X(kEngineOpen, "%s : cannot open fingerprint database file %s")                                                    \
  X(kEngineSkipHeader, "%s : cannot skip header in database file %s")                                                \
  X(kEngineNoMemory, "%s : Cannot allocate enough memory!")                                                          \
  X(kEngineBadRecord, "%s : invalid data in %d-th fingerprint")                                                      \
  X(kEngineShortRead, "%s : cannot read %d-th fingerprint")                                                          \
  X(kNoCuda, "%s : no CUDA-enabled device available falling back to memory-mapped type!")                            \
  X(kBadMemoryType, "%s : invalid memory type parameter initialized for memory-mapped!")                             \
  X(kInvalidDatabase, "%s : invalid KvFastFPDatabase object!")                                                       \
  X(kNoFilePointer, "%s : invalid fingerprint database file pointer!")                                               \
  X(kIndexOutOfRange, "%s : fingerprint index out of range!")                                                        \
  X(kQueryType, "%s : invalid fingerprint type!")                                                                    \
  X(kQueryMismatch, "%s : fingerprint type mismatch!")                                                               \
  X(kCannotAccess, "%s : cannot access fingerprint!")                                                                \
  X(kIndexInconsistency, "%s : fingerprint and molecule index inconsistency!")                                       \
  X(kEmptyMolecule, "%s : empty molecule!")                                                                          \
  X(kCannotGenerateSpaced, "%s : cannot generate fingerprint!")                                                      \
  X(kCannotGenerate, "%s cannot generate fingerprint!")                                                              \
  X(kUnknownMeasureQuoted, "%s : unknown similarity measure type '%d'!")                                             \
  X(kUnknownMeasure, "%s : unknown similarity measure type %d!")                                                     \
  X(kTverskyUnsupported, "%s : Tversky similarity is not supported!")                                                \
  X(kMoreNeighbours, "%s set to retrieve more nearest neighbors (%d) than there are fingerprints (%d)!")             \
  X(kAllScores, "%s : set to retrieve all nxn scores!")                                                              \
  X(kNoCutoff, "%s : no cutoff specified, all results will be returned!")                                            \
  X(kNoMemoryForResults, "%s: not enough system memory to store results!")                                           \
  /* fastdb/create */                                                                                                \
  X(kCreateExtension, "%s fingerprint database file should have '.fpbin' file extension!")                           \
  X(kCreateMolFile, "%s cannot open molecule file %s!")                                                              \
  X(kEmptyMolDatabase, "%s empty molecule database!")                                                                \
  X(kCreateOpen, "%s : unable to open fingerprint database file: %s")                                                \
  X(kCreateHeader, "%s : unable to write fingerprint database header: %s")                                           \
  X(kCreateMolecule, "%s cannot access molecule with index %d")                                                      \
  X(kCreateFingerPrint, "%s cannot generate fingerprint with index %d")                                              \
  X(kCompatDatabase, "%s invalid fingerprint database!")                                                             \
  X(kCompatCount, "%s different number of entries!")                                                                 \
  X(kCompatFingerPrint, "%s cannot access fingerprint data!")                                                        \
  X(kCompatMolecule, "%s cannot access molecule data!")                                                              \
  X(kCompatMismatch, "%s fingerprint mismatch!")                                                                     \
  /* config */                                                                                                       \
  X(kConfigureGroup, "%s problem configuring fingerprint interface!")                                                \
  X(kConfigureType, "%s invalid fingerprint type")                                                                   \
  X(kConfigureKind, "%s invalid fingerprint type (only path, circular or tree is allowed)")                          \
  X(kSetupType, "%s Invalid fingerprint type")                                                                       \
  X(kSetupTyping, "%s Invalid fingerprint atom or bond typing")                                                      \
  X(kSetupDistance, "%s Invalid min distance (%d) > max distance (%d)")

#define VARNEX_DEFINE_MESSAGE(name, text) inline constexpr char name[] = text;
VARNEX_FIXED_MESSAGES(VARNEX_DEFINE_MESSAGE)
#undef VARNEX_DEFINE_MESSAGE

// One entry of the table: the constant's name (without "k") and its text.
struct Entry {
  const char* name;
  const char* text;
};

#define VARNEX_LIST_MESSAGE(name, text) {#name + 1, name},
inline constexpr Entry kAll[] = {VARNEX_FIXED_MESSAGES(VARNEX_LIST_MESSAGE)};
#undef VARNEX_LIST_MESSAGE

}  // namespace Varnex::Msg
