#!/usr/bin/env bash
# Mutation check of the test suite: applies one small fault at a time to the
# library, rebuilds, runs the tests that should notice, and prints whether
# each fault was killed (some test failed) or survived, with the killers.
#
# Usage: scripts/mutants.sh [build-dir] [name...]   (default build dir: build)
# Run from a clean tree (every mutant is reverted on exit, even on Ctrl-C).
# Each mutant is a sed expression that must change exactly one line of its file.
set -u
top=$(cd "$(dirname "$0")/.." && pwd) || exit 2
cd "$top" || exit 2
build=${1:-build}
shift || true
only=" $* "
py=/usr/bin/python3

# name @ file @ sed expression @ test programs (program[:gtest filter], or py:<pytest file>[::test]) ...
mutants=(
  "dice-is-tanimoto@src/similarity/measures.cpp@s/return DiceOf(terms);/return TanimotoOf(terms);/@similarity_tests@database_tests"
  "prune-strict@src/fastdb/engine/pruned_scan.h@s/query_.bits, queryExcess) >= minCommon;/query_.bits, queryExcess) > minCommon;/@fastdb_tests:OracleTest.*:FrontTest.*"
  "neighbour-ties-dropped@src/fastdb/engine/neighbour_rows.cpp@s/return static_cast<float>(score) >= floor_; }/return static_cast<float>(score) > floor_; }/@fastdb_tests:OracleTest.Neigh*"
  "neighbour-replay-short@src/fastdb/engine/neighbour_rows.cpp@s/Replay(list, score, scratch, std::uint64_t{last} + 1);/Replay(list, score, scratch, std::uint64_t{last});/@fastdb_tests:OracleTest.Neigh*"
  "hitlist-keeps-one-less@src/database/hitlist.h@s/buffer_.begin() + static_cast<std::ptrdiff_t>(limit_), buffer_.end());/buffer_.begin() + static_cast<std::ptrdiff_t>(limit_ - 1), buffer_.end());/@database_tests"
  "tie-break-reversed@src/fastdb/collection/collection.cpp@s/return a.GetIdx() < b.GetIdx();/return a.GetIdx() > b.GetIdx();/@fastdb_tests:CollectionTest.*:Shard*@py:python/tests/test_collection.py"
  "output-not-renamed@src/system/temporary_output.cpp@s/if (!fs_.Rename(path_, target_, error)) return false;/if (false) return false;/@fastdb_tests:FaultInjection.*:FpbinCreate*:CollectionTest.*"
  "batch-skips-last-query@src/fastdb/engine/batch.cpp@s/for (std::size_t k = KvClaim(next, queries); k < queries;/for (std::size_t k = KvClaim(next, queries); k + 1 < queries;/@fastdb_tests:OracleTest.*:FrontTest.*@py:python/tests/test_search.py"
  "creation-drops-record@src/fastdb/create/job.cpp@s/for (std::uint64_t i = begin; i < last; ++i) {/for (std::uint64_t i = begin; i + 1 < last; ++i) {/@fastdb_tests:FpbinCreate*:FpbinCompat*:FaultInjection.*"
  "stored-count-unchecked@src/fastdb/engine/search_index.cpp@s/else if (stored != bits\\[k\\])/else if (false \\&\\& stored != bits[k])/@fastdb_tests:OracleTest.*"
  "header-count-unchecked@src/fastdb/format/header.cpp@s/if (numFingerPrints_ != textCount) {/if (false \\&\\& numFingerPrints_ != textCount) {/@fastdb_tests:Fpbin*"
  "sparse-limit-n-refused@src/fastdb/engine/matrix.cpp@s/if (k > view.n) {/if (k >= view.n) {/@fastdb_tests:OracleTest.*:Engine*"
  "variogram-one-value-short@src/fastdb/engine/pairs.cpp@s/if (values.size() < view.n) {/if (values.size() + 1 < view.n) {/@fastdb_tests:OracleTest.*:Engine*"
  "scan-cutoff-exclusive@src/database/scan.h@s/if (score >= rule.cutoff) scores/if (score > rule.cutoff) scores/@database_tests"
  "result-histogram-replaced@src/database/searchresult.cpp@s/  histogram_ += histogram;/  histogram_ = histogram;/@database_tests@fastdb_tests:OracleTest.*"
  # The fast database's record and header checks, creation's extension and
  # compatibility rules, the front's index check and histogram merges.
  "blob-size-unchecked@src/fastdb/format/record.cpp@s/  if (bytes % 8 != 0) {/  if (bytes % 4 != 0) {/@fastdb_tests:Fpbin*@messages_tests"
  "header-type-unchecked@src/fastdb/format/header.cpp@s/if (type_ == nullptr) {/if (false \\&\\& type_ == nullptr) {/@fastdb_tests:Fpbin*@messages_tests"
  "compat-empty-record-refused@src/fastdb/create/compat.cpp@s/if (empty) return true;/if (false) return true;/@fastdb_tests:FpbinCompat*"
  "extension-dot-unchecked@src/fastdb/storage/file_names.cpp@s/return KvSystem::KvFileExtension(path) == kExtension \\&\\& /return /@fastdb_tests:FpbinCreate*:Shards*@messages_tests"
  "front-index-past-end@src/fastdb/engine/database.cpp@s/if (idx < db.NumFingerPrints()) return true;/if (idx <= db.NumFingerPrints()) return true;/@fastdb_tests:FrontTest.*"
  "histogram-merge-min-unchecked@src/stats/histogram.cpp@s/if (other.min_ != min_) {/if (false \\&\\& other.min_ != min_) {/@stats_tests@messages_tests"
  "ends-checksum-ignored@src/fastdb/collection/collection.cpp@s/if (ends != s.endsSha256)/if (false \\&\\& ends != s.endsSha256)/@fastdb_tests:CollectionTest.*"
  "verify-checksum-ignored@src/fastdb/collection/verify.cpp@s/if (checksum \\&\\& sha.HexDigest() != s.sha256)/if (false \\&\\& sha.HexDigest() != s.sha256)/@fastdb_tests:CollectionTest.*@tools_tests:VarnexCollection*"
  # The fast database's pruning, its front, a strict cutoff in single precision, and the in-memory
  # database's ranges and Lingo options.
  "prune-bin-stops-early@src/fastdb/engine/pruned_scan.h@s/if (minCommon > MaxCommon(p)) break;/if (minCommon >= MaxCommon(p)) break;/@fastdb_tests:OracleTest.*"
  "coarse-bound-fine-slack@src/fastdb/engine/pruned_scan.h@s/coarse_.size(), index_.CoarseBits().data() + first,/coarse_.size(), sigBits,/@fastdb_tests:OracleTest.*"
  "lead-cut-skips-one@src/fastdb/engine/batch.cpp@s/return p == leadBin ? leadEnd : index_.BinBegin(p);/return p == leadBin ? leadEnd + 1 : index_.BinBegin(p);/@fastdb_tests:OracleTest.*"
  "admissible-counts-upper-short@src/fastdb/engine/neighbour_list.h@s/      }) - 1);/      }) - 2);/@fastdb_tests:AdmissibleCountsTest.*"
  "strict-cutoff-in-float@src/database/dboptions.cpp@s/|| std::isnan(cutoff)) return static_cast<double>(cutoff);/|| std::isnan(cutoff)) return std::nextafter(cutoff, descending ? 2.0f : -2.0f);/@fastdb_tests:OracleTest.*@database_tests"
  "inclusive-cutoff-strict@src/database/dboptions.cpp@s/  if (!options.HasInclusiveCutoff() || std::isnan(cutoff)) return/  if (true || std::isnan(cutoff)) return/@fastdb_tests:OracleTest.*"
  "front-molecule-index-is-position@src/fastdb/engine/database.cpp@s/  return static_cast<std::size_t>(molIdx);/  return idx;/@fastdb_tests:FrontTest.*"
  "range-end-zero-ignored@src/database/fpdatabase.cpp@0,/if (end == 0) end = impl_->NumFingerPrints();/s//if (false) end = impl_->NumFingerPrints();/@database_tests"
  "lingo-options-cutoff-ignored@src/database/fpdatabase_lingo.cpp@s/return ScanScores(query, 0, NumFingerPrints(), options.HasCutoff(), options.GetCutoff(),/return ScanScores(query, 0, NumFingerPrints(), HasCutoff(), GetCutoff(),/@database_tests"
  "maccs-key-off-by-one@src/generators/maccs.cpp@s/fp.SetBitOn(key - 1);/fp.SetBitOn(key);/@generators_tests"
  "aromatic-systems-apart@src/chem/perception.cpp@s/parent\[find(k)\] = find(static_cast<unsigned>(bondOwner\[b\]));/parent[find(k)] = find(k);/@chem_tests@generators_tests:Maccs*"
  "first-highlight-wins@src/chem/depict.cpp@s/if (a < numAtoms) atomColours\[static_cast<int>(a)\] = colour;/if (a < numAtoms) atomColours.emplace(static_cast<int>(a), colour);/@chem_tests"
  "unhashed-text-extra-word@src/core/fptext.cpp@s/text.resize((text.size() + 3) \/ 4 \* 4, ' ');/text.resize((text.size() + 4) \/ 4 * 4, ' ');/@generators_tests"
  "vsepr-bounds-not-swapped@src/vsepr/vsepr_fingerprint.cpp@s/if (maxBonds < minBonds) std::swap(maxBonds, minBonds);/if (false) std::swap(maxBonds, minBonds);/@vsepr_tests"
  "maccs-coverage-every-atom@src/patterns/maccs_features.cpp@s/if (zSeen\[z\]) continue;/if (false) continue;/@patterns_tests"
  "log-scale-at-hundredfold@src/pictures/histogram_chart.cpp@s/> 100.0 \* static_cast<double>(smallest)/>= 100.0 * static_cast<double>(smallest)/@pictures_tests"
  "histogram-bin-width@src/stats/histogram.cpp@s/(max - min) \\/ static_cast<double>(nbins)/(max - min) \\/ static_cast<double>(nbins + 1)/@stats_tests"
  "moldb-range-check@src/chem/moldb.cpp@s/if (index >= impl_->records.size()) {/if (index > impl_->records.size()) {/@chem_tests"
  "moldb-broken-index@src/chem/moldb.cpp@s/cannot parse record %u of %s\", index,/cannot parse record %u of %s\", index + 1,/@chem_tests@tools_tests:VarnexInputFaults*"
  "kvb-tag-limit@src/system/kvb.cpp@s/length == 0 || length > KvBMaxTagLength) return KvBStatus::Failure;/length == 0 || length >= KvBMaxTagLength) return KvBStatus::Failure;/@system_tests@io_tests"
  "bitvector-hex-no-size@src/system/bitvector.cpp@s/if (size_ % 8 != 0) {/if (size_ % 8 > 1) {/@system_tests@io_tests"
  "dfbuffer-not-sticky@src/system/dfbuffer.cpp@s/if (failed_ || count > Remaining()) {/if (count > Remaining()) {/@system_tests@io_tests"
  "param-bound-exclusive@src/system/parameter.cpp@0,/return lower ? v < b : v > b;/s//return lower ? v <= b : v > b;/@system_tests@config_tests"
  "tversky-closed-range@src/database/dboptions.cpp@s/alpha >= 0.0 \\&\\& alpha <= 1.0/alpha >= 0.0 \\&\\& alpha < 1.0/@similarity_tests"
  "version-minor-limit@src/core/fptype_parse.cpp@s/major < 15 \\&\\& minor < 255/major < 15 \\&\\& minor <= 255/@core_tests"
  "fpkvb-words-rounded-down@src/io/fpkvb.cpp@s|(static_cast<std::uint64_t>(bits) + 31) / 32 \\* 4|static_cast<std::uint64_t>(bits) / 32 * 4|@io_tests"
  "pattern-atom-shifted@src/pictures/pattern_pictures.cpp@s/for (const KvChem::KvAtomBase\* atom : set.GetAtoms()) atoms.insert(atom->GetIdx());/for (const KvChem::KvAtomBase* atom : set.GetAtoms()) atoms.insert(atom->GetIdx() + 1);/@pictures_tests@py:python/tests/test_pictures.py"
  "overlap-counts-one-bond@src/pictures/pattern_pictures.cpp@s/KvFPType::Circular ? 2 : 3;/KvFPType::Circular ? 2 : 2;/@pictures_tests"
  # Chemistry, patterns, VSEPR and pictures: the checks that merged tables and the Python layer still own.
  "pattern-bit-filter-inverted@src/pictures/pattern_pictures.cpp@s/return !hasBits || p.GetBit() != static_cast<unsigned>(bit); });/return !hasBits || p.GetBit() == static_cast<unsigned>(bit); });/@pictures_tests@py:python/tests/test_pictures.py"
  "maccs-overlap-any-element@src/patterns/maccs_features.cpp@s/KvGetMACCSElementKey(z) != 0) atoms\[z\].push_back(atom);/KvGetMACCSElementKey(z) != 0) atoms[8].push_back(atom);/@patterns_tests"
  "vsepr-union-takes-min@src/vsepr/vsepr_fingerprint.cpp@s/\[\](double x, double y) { return x > y ? x : y; });/[](double x, double y) { return x < y ? x : y; });/@vsepr_tests"
  "vsepr-tversky-swapped@src/vsepr/vsepr_fingerprint.cpp@s/(a.GetVolume() - common) \* alpha + (b.GetVolume() - common) \* beta/(a.GetVolume() - common) * beta + (b.GetVolume() - common) * alpha/@vsepr_tests"
  "vsepr-prep-keeps-first@src/vsepr/vsepr_fingerprint.cpp@s/static_cast<AttachedFingerprint\*>(item)->GetData().swap(fingerprint);/(void)item;/@vsepr_tests"
  "smarts-limit-counts-raw@src/chem/substruct.cpp@s/} else if (limitUnique) {/} else if (false) {/@chem_tests@generators_tests:Maccs*"
  # Generators and chemistry: the faults that golden bits, the size guard and the hand-checked
  # keys own once the typing strings, the key list and the invalid-molecule walk were merged.
  "typing-string-ring-mark@src/generators/typing_strings.cpp@s/q += atom.IsInRing() ? \";R\" : \";R0\";/q += atom.IsInRing() ? \";R\" : \"\";/@generators_tests"
  "maccs-invalid-molecule-made@src/generators/maccs.cpp@s/if (!mol.IsValid() || !KvChem::KvIsWithinSizeLimit(mol, \"KvMakeMACCS166FP()\")) {/if (!KvChem::KvIsWithinSizeLimit(mol, \"KvMakeMACCS166FP()\")) {/@generators_tests"
  "maccs-count-key-shifted@src/generators/maccs_keys.cpp@s/{\"\[#6H3\]\", 160, 149},/{\"[#6H3]\", 160, 148},/@generators_tests"
  "vsepr-sum-drops-options@src/vsepr/vsepr_fingerprint.cpp@s/if (impl_->pairs.empty()) return other;/if (false) return other;/@vsepr_tests"
  "moldb-unknown-format-read@src/chem/moldb.cpp@s/if (kind.format == FileFormat::Unknown) {/if (false) {/@chem_tests"
  "pool-ignores-cancel@src/system/workers.cpp@s/return KvCancelRequested() || (tCall/return (tCall/@system_tests:*Worker*@fastdb_tests:*Cancel*"
  # Records, texts and names whose checks live in one test each.
  "kvb-payload-one-short@src/system/kvb.cpp@s/if (got != piece) {/if (got + 1 < piece) {/@system_tests@io_tests"
  "fpkvb-empty-record-fails@src/io/fpkvb.cpp@s/if (length == 0) return KvBStatus::Success;/if (length == 0) return KvBStatus::Failure;/@io_tests"
  "json-array-attr-any-value@src/system/dfjson.cpp@s/found->value.IsArray()) return/!found->value.IsNull()) return/@system_tests@io_tests"
  "param-alias-ignored@src/system/parameter.cpp@s/std::find(aliases_.begin(), aliases_.end(), name) != aliases_.end()/false/@system_tests@config_tests"
  "lingo-short-rule-needs-both@src/similarity/lingo_terms.cpp@s/textA.size() < kLingoLength || textB.size() < kLingoLength/textA.size() < kLingoLength \\&\\& textB.size() < kLingoLength/@similarity_tests"
  "fptype-name-of-invalid-type@src/core/fptype_parse.cpp@s/return params.IsValid() ? KvFindFPKind/return params.GetFPType() != 0 ? KvFindFPKind/@core_tests"
  # Options, versions, streams, data-flow records and unhashed scores: where merged checks now stand alone.
  "options-bad-measure-not-tanimoto@src/database/dboptions.cpp@s/    simFunc_ = KvSimMeasure::Tanimoto;/    simFunc_ = KvSimMeasure::Cosine;/@similarity_tests@config_tests"
  "legacy-kind-version-warns@src/core/fptype_parse.cpp@s/if (kind.legacyCode != 0 \\&\\& kind.legacyCode == code) return 0;/if (false) return 0;/@core_tests@io_tests"
  "getline-full-piece-keeps-crlf@src/system/streams.cpp@s/} else if (peek() == '\\\\r' \\&\\& Fill(2) >= 2/} else if (false \\&\\& Fill(2) >= 2/@system_tests"
  "uncacheable-field-cached@src/system/dfrecord.cpp@s/if (handler != nullptr \\&\\& !handler->IsCacheable()) {/if (false) {/@system_tests@io_tests"
  "unhashed-empty-sets-differ@src/similarity/internal_simfunc.cpp@s/if (total == 0) return 1.0f;/if (total == 0) return 0.0f;/@similarity_tests"
  "lingo-tversky-swapped@src/similarity/internal_simfunc.cpp@s/TverskyOf(terms, alpha_, beta_)/TverskyOf(terms, beta_, alpha_)/@similarity_tests"
  "manifest-fields-swapped@python/varnex/_shards.py@s/s\[.records.\], s\[.first.\]/s[\"first\"], s[\"records\"]/@py:python/tests/test_distributed.py"
  "dist-skips-last-query@python/varnex/distributed.py@s/batch = np.arange(first, min(n, first + self.batch))/batch = np.arange(first, min(n - 1, first + self.batch))/@py:python/tests/test_distributed.py"
  # The command line, the service and the package pass options and records through (tools_tests
  # also rebuilds the varnex program that the service tests run).
  "cli-record-past-end@tools/varnex/matrix_page.cpp@s/if (static_cast<std::size_t>(record) >= db.NumFingerPrints()) {/if (static_cast<std::size_t>(record) > db.NumFingerPrints()) {/@tools_tests:VarnexDatabaseCli*"
  "cli-compare-tversky-swapped@tools/varnex/cmd_compare.cpp@s/measure.score(fa.bits, fb.bits, alpha, beta)/measure.score(fa.bits, fb.bits, beta, alpha)/@tools_tests:VarnexKindsCli*"
  "serve-tversky-swapped@tools/varnex/serve_query.cpp@s/options.SetTverskyCoeffs(itf.Get<float>(\"alpha\"), itf.Get<float>(\"beta\"));/options.SetTverskyCoeffs(itf.Get<float>(\"beta\"), itf.Get<float>(\"alpha\"));/@tools_tests:VarnexCliTest.*@py:python/tests/test_serve.py"
  "serve-query-index-shifted@tools/varnex/serve_query.cpp@s/\"queries\[\" + std::to_string(i) + \"]\"/\"queries[\" + std::to_string(i + 1) + \"]\"/@tools_tests:VarnexCliTest.*@py:python/tests/test_serve.py"
  "py-search-tversky-swapped@python/src/options.cpp@s/options.SetTverskyCoeffs(static_cast<float>(alpha), static_cast<float>(beta));/options.SetTverskyCoeffs(static_cast<float>(beta), static_cast<float>(alpha));/@py:python/tests/test_search.py"
  "py-collection-drops-last-hit@python/varnex/_collection.py@s/results\[q\] = flat\[offsets\[j\]:offsets\[j + 1\]\]/results[q] = flat[offsets[j]:offsets[j + 1] - 1]/@py:python/tests/test_collection.py"
  # The command line, the service and the package: the explain bit filter, the VSEPR options,
  # the cutoff check, hit ranks, the measure table and the rows of a second batch of molecules.
  "cli-explain-bit-filter-ignored@tools/varnex/cmd_explain.cpp@s/if (only >= 0 \\&\\& p.GetBit()/if (false \\&\\& p.GetBit()/@tools_tests:VarnexExplain*"
  "cli-vsepr-weight-ignored@tools/varnex/fingerprint_kinds.cpp@s/.SetWeightByLength(itf.Get<bool>(\"-weightbylength\"))/.SetWeightByLength(false)/@tools_tests:VarnexKindsCli*"
  "cli-cutoff-range-unchecked@tools/varnex/checks.cpp@s/    if (!problem.empty()) {/    if (false) {/@tools_tests:VarnexInputFaults*"
  "serve-rank-from-zero@tools/varnex/serve_json.cpp@s/w.Uint64(rank + 1);/w.Uint64(rank);/@tools_tests:VarnexCliTest.*@py:python/tests/test_serve.py"
  "py-measure-fields-swapped@python/src/similarity.cpp@s/info.higherIsBetter, info.symmetric,/info.symmetric, info.higherIsBetter,/@py:python/tests/test_search.py"
  "py-fingerprint-batch-offset@python/src/generation.cpp@s/failed.push_back(first + i);/failed.push_back(i);/@py:python/tests/test_fingerprints.py"
  # The front's own checks where its tests were cut: explain's bit filter, Tversky weights of a
  # pair, the exit status of damaged input, fractional molecule indices.
  "py-explain-bit-filter-ignored@python/src/explain.cpp@s/if (only >= 0 \\&\\& p.GetBit()/if (false \\&\\& p.GetBit()/@py:python/tests/test_fingerprints.py"
  "py-pair-beta-unchecked@python/src/similarity.cpp@s/^  CheckTverskyCoeffs(alpha, beta);/  CheckTverskyCoeffs(alpha, alpha);/@py:python/tests/test_strict.py"
  "cli-damaged-input-exits-0@tools/varnex/molecules.cpp@s/return failed != 0 || mols.IsDamaged() ? kExitPartial/return failed != 0 ? kExitPartial/@tools_tests:VarnexInputFaults*"
  "py-float-index-accepted@python/varnex/_collection.py@s/array.dtype.kind not in \"iu\"/array.dtype.kind not in \"iuf\"/@py:python/tests/test_distributed.py"
)

status=0
restore() {
  if [ -n "${saved:-}" ] && [ -f "$saved" ]; then cp "$saved" "$target"; rm -f "$saved"; saved=""; fi
}
trap 'restore; exit 130' INT TERM
trap restore EXIT

run_tests() {  # prints the names of failing tests; returns 1 when any failed
  local failed="" item prog filter out
  for item in "$@"; do
    case "$item" in
      py:*)
        out=$(PYTHONPATH="$build/python" timeout 900 bash -c "trap '' INT; exec $py -m pytest -q -x -p no:cacheprovider ${item#py:}" 2>&1)
        if [ $? -ne 0 ]; then
          failed+=" $(printf '%s\n' "$out" | sed -n 's/^FAILED \([^ ]*\).*/\1/p' | sed 's|.*/||' | head -n 3 | tr '\n' ' ')"
          [ -n "${failed// /}" ] || failed+=" ${item#py:}(crash)"
        fi ;;
      *)
        prog=${item%%:*}; filter="*"
        [ "$prog" != "$item" ] && filter=${item#*:}
        out=$(timeout 900 "$build/tests/$prog" --gtest_filter="$filter" --gtest_brief=1 2>&1)
        if [ $? -ne 0 ]; then
          local names
          names=$(printf '%s\n' "$out" | sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_./]*\).*/\1/p' | sort -u | grep -v '^[0-9]' | head -n 4 | tr '\n' ' ')
          failed+=" ${names:-$prog(crash)}"
        fi ;;
    esac
  done
  printf '%s' "$failed"
  [ -z "${failed// /}" ]
}

for m in "${mutants[@]}"; do
  IFS='@' read -r -a f <<< "$m"
  name=${f[0]}; target=${f[1]}; expr=${f[2]}; tests=("${f[@]:3}")
  [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || continue
  saved=$(mktemp)
  cp "$target" "$saved"
  sed -i "$expr" "$target"
  changed=$(diff "$saved" "$target" | grep -c '^>')
  if [ "$changed" != 1 ]; then
    printf '%-24s NOT APPLIED (%s lines changed)\n' "$name" "$changed"
    restore; status=1; continue
  fi
  programs=()
  for t in "${tests[@]}"; do case "$t" in py:*) programs+=(varnex_python) ;; *) programs+=("${t%%:*}") ;; esac; done
  targets=$(printf '%s\n' "${programs[@]}" | sort -u | tr '\n' ' ')
  if ! nice ninja -C "$build" -j2 $targets > /dev/null 2>&1; then
    printf '%-24s killed   (does not build)\n' "$name"
    restore; continue
  fi
  if killers=$(run_tests "${tests[@]}"); then
    printf '%-24s SURVIVED\n' "$name"; status=1
  else
    printf '%-24s killed   by%s\n' "$name" "$killers"
  fi
  restore
done
# Leave the build matching the sources.
nice ninja -C "$build" -j2 > /dev/null 2>&1
exit $status
