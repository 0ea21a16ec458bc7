"""Similarity measures, bulk scoring, the in-memory database and fast database files."""

import math
import _thread
import pickle
import threading

import numpy as np
import pytest
from rdkit import Chem

import varnex
from conftest import NCI, nci_smiles

N = 1024


def fp_with_bits(t, bits):
    """A fingerprint of type t with `bits` set (bit i is bit i % 8 of byte i // 8)."""
    return varnex.Fingerprint.from_hex(t, sum(1 << b for b in set(bits)).to_bytes(t.size // 8, "little").hex())


# a = 2 bits only in A, b = 1 only in B, c = 2 in both, d = N - 5 in neither.
@pytest.mark.parametrize("measure, alpha, beta, expect", [
    ("tanimoto", 1, 1, 2 / 5),
    ("Dice", 1, 1, 4 / 7),
    ("cosine", 1, 1, 2 / math.sqrt(4 * 3)),
    ("euclid", 1, 1, math.sqrt((2 + N - 5) / N)),
    ("tversky", 0.5, 0.25, 2 / (0.5 * 2 + 0.25 * 1 + 2)),
    ("manhattan", 1, 1, 3 / N),
])
def test_measures_give_their_formulas_direction_and_symmetry(measure, alpha, beta, expect):
    t = varnex.FPType("Path", size=N)
    a = fp_with_bits(t, [0, 1, 2, 3])
    b = fp_with_bits(t, [2, 3, 700])
    assert varnex.similarity(a, b, measure, alpha=alpha, beta=beta) == pytest.approx(expect, rel=1e-6)
    array = varnex.FingerprintArray.from_words(t, np.stack([np.frombuffer(bytes(b), np.uint64)] * 3))
    assert varnex.bulk_similarity(a, array, measure, alpha=alpha, beta=beta) == pytest.approx([expect] * 3, rel=1e-12)
    # The measure table: identical fingerprints score best, complementary ones worst.
    m = varnex.MEASURES[measure.lower()]
    assert varnex.measure_info(measure.upper()) is m
    apart = varnex.similarity(fp_with_bits(t, range(N)), fp_with_bits(t, []), measure)
    best, worst = (m.highest, m.lowest) if m.higher_is_better else (m.lowest, m.highest)
    assert (varnex.similarity(a, a, measure), apart) == (best, worst)
    forth = varnex.similarity(a, b, measure, alpha=0.9, beta=0.1)
    assert (forth == varnex.similarity(b, a, measure, alpha=0.9, beta=0.1)) == m.symmetric
    with pytest.raises(ValueError, match=r"^unknown similarity measure 'jaccard' \(tanimoto, dice, "):
        varnex.measure_info("jaccard")


# Text fingerprints (Lingo, unhashed) compare pair by pair in bulk too (the scan kernel's
# bulk scores of the other kinds are checked against the formulas above).
@pytest.mark.parametrize("kind, measure", [("Lingo", "tanimoto"), ("UnhashedTree", "dice")])
def test_bulk_scores_agree_with_pairwise_scores(kind, measure, smiles):
    array = varnex.FPType(kind).fingerprints(smiles[:150])
    for q in range(0, 150, 37):
        bulk = varnex.bulk_similarity(array[q], array, measure, alpha=0.7, beta=0.3)
        pair = [varnex.similarity(array[q], array[i], measure, alpha=0.7, beta=0.3) for i in range(len(array))]
        assert bulk == pytest.approx(pair, rel=1e-6, abs=1e-7)


def test_in_memory_database_ranks_like_brute_force(smiles):
    t = varnex.FPType("Circular", size=1024)
    db = varnex.Database(t)
    fps = t.fingerprints(smiles[:200])
    for i in range(100):
        assert db.add(fps[i]) == i
    for s in smiles[100:200]:
        db.add(Chem.MolFromSmiles(s))
    assert len(db) == 200 and db.type == t
    query = smiles[7]
    hits = db.search(query, k=10)
    brute = sorted(((varnex.similarity(fps[7], fps[i]), i) for i in range(200)), key=lambda p: -p[0])
    assert list(hits["score"]) == pytest.approx([s for s, _ in brute[:10]])
    assert hits["index"][0] == 7
    with pytest.raises(ValueError, match="type mismatch"):
        db.add(varnex.FPType("Path").fingerprint("CCO"))
    with pytest.raises(ValueError, match="KvSmilesToMol"):
        db.add("C1CC")


@pytest.fixture(scope="module")
def nci_db(tmp_path_factory):
    """A fast database of 500 NCI molecules with two unreadable lines."""
    folder = tmp_path_factory.mktemp("fpbin")
    mols = nci_smiles(500)
    mols[10] = "C1CC"
    mols[321] = "not_a_smiles"
    source = folder / "mols.smi"
    source.write_text("".join(f"{s} m{i}\n" for i, s in enumerate(mols)))
    t = varnex.FPType("Path", size=1024)
    with pytest.warns(varnex.VarnexWarning):
        result = varnex.create_database(source, folder / "mols.fpbin", t, threads=2, progress=False)
    with pytest.warns(varnex.VarnexWarning):
        array = t.fingerprints(mols)
    return result, mols, t, array


def test_creation_reports_count_and_failed_molecules(nci_db):
    result, mols, t, _ = nci_db
    assert result.count == 500 and list(result.failed) == [10, 321] and result.type == t
    with varnex.FastDatabase(result.path) as db:
        assert len(db) == 500 and db.type == t
        for i in [0, 9, 11, 499]:
            assert db.fingerprint(i) == t.fingerprint(mols[i])
        assert db.fingerprint(10).count() == 0 and db.fingerprint(-1) == db.fingerprint(499)
        with pytest.raises(IndexError):
            db.fingerprint(500)
    assert db.closed
    with pytest.raises(ValueError, match="closed"):
        db.search("CCO")


@pytest.mark.parametrize("measure", list(varnex.MEASURES))
def test_searches_equal_brute_force_in_both_memory_types(nci_db, measure):
    result, mols, t, array = nci_db
    best_first = -1 if measure != "manhattan" else 1
    for memory in ["mmap", "memory"]:
        db = varnex.FastDatabase(result.path, memory=memory)
        for q in [0, 42, 250]:
            query = array[q]
            scores = varnex.bulk_similarity(query, array, measure, alpha=0.9, beta=0.1)
            hits = db.search(query, k=8, measure=measure, alpha=0.9, beta=0.1)
            assert hits.dtype.names == ("index", "score") and hits["index"].dtype == np.uint64
            expect = np.sort(best_first * scores)[:8] * best_first
            assert hits["score"] == pytest.approx(expect)
            assert np.allclose(scores[hits["index"].astype(int)], hits["score"])


def test_query_forms_cutoffs_and_many_queries_agree(nci_db):
    result, mols, t, _ = nci_db
    db = varnex.FastDatabase(result.path)
    by_smiles = db.search(mols[3], k=0, cutoff=0.1)
    assert np.array_equal(by_smiles, db.search(t.fingerprint(mols[3]), k=0, cutoff=0.1))
    assert len(by_smiles) > 1 and all(by_smiles["score"].astype(np.float32) >= np.float32(0.1)) and by_smiles["index"][0] == 3
    queries = [mols[i] for i in range(0, 500, 7)] + ["C1CC"]
    with pytest.warns(varnex.VarnexWarning, match="C1CC"):
        many = db.search_many(queries, k=5, threads=2)
    assert len(many) == len(queries) and len(many[-1]) == 0
    for q, hits in zip(queries[:-1], many):
        assert np.array_equal(hits["score"], db.search(q, k=5)["score"])


def test_matrix_covers_every_record(nci_db):
    result, _, t, _ = nci_db
    db = varnex.FastDatabase(result.path)
    matrix = db.matrix(k=3)
    assert matrix.dtype.names == ("row", "col", "score") and len(matrix) == 3 * 500
    readable = [i for i in range(500) if i not in (10, 321)]
    first = {int(r): (int(c), s) for r, c, s in matrix[::3]}
    assert all(first[i] == (i, 1.0) or first[i][1] == 1.0 for i in readable)


@pytest.mark.parametrize("error", [KeyboardInterrupt, RuntimeError])
def test_stopped_creation_leaves_the_output_as_it_was(tmp_path, error, interruptible):
    """Ctrl-C (from another thread, as a terminal would) or an exception of the progress callback."""
    out = tmp_path / "nci.fpbin"
    out.write_bytes(b"the previous database")
    counts = []

    def progress(count):
        counts.append(count)
        if error is RuntimeError:
            raise RuntimeError("stop")
        if len(counts) == 1:
            threading.Thread(target=_thread.interrupt_main, daemon=True).start()

    with pytest.raises(error):
        varnex.create_database(NCI, out, "Path", threads=1, progress=progress)
    assert out.read_bytes() == b"the previous database"
    assert [p.name for p in tmp_path.iterdir()] == ["nci.fpbin"]  # no temporary file left
    assert 0 < counts[-1] < 5000


# Many callers of one database at once are the service's test (test_serve).
def test_databases_pickle_by_path(nci_db):
    result, mols, _, _ = nci_db
    db = pickle.loads(pickle.dumps(varnex.FastDatabase(result.path, memory="memory")))
    assert db.memory == "memory" and len(db) == 500
    assert np.array_equal(db.search(mols[11], k=4), varnex.FastDatabase(result.path).search(mols[11], k=4))
