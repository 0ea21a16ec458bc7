"""Python is as strict as the command line, the cutoff rule holds exactly, and
every long call stops on Ctrl-C whatever signal disposition the tests
inherited."""

import math
import pathlib
import re
import signal
import threading
import warnings
from unittest import mock

import numpy as np
import pytest

import varnex
from conftest import NCI

N = 6400  # bits: every ratio below is an exact Euclid and Manhattan score at this size
RATIOS = [(1, 2), (7, 10), (4, 5), (9, 10)]


def test_arguments_outside_their_meaning_raise_like_the_command_line(small_db, tmp_path):
    db = small_db
    folder = pathlib.Path(db.path).parent
    t = db.type
    fp = t.fingerprint("CCO")
    (tmp_path / "cut.fpbin").write_bytes(pathlib.Path(db.path).read_bytes()[:1000])
    hits = [(0, 1.0)]
    cases = [
        (lambda: t.fingerprints("CCO"), TypeError, "iterable of molecules"),
        (lambda: t.fingerprint(None), TypeError, ""),  # in a list, None is a missing molecule
        (lambda: t.fingerprint(b"CCO"), TypeError, ""),
        (lambda: t.fingerprint(1.5), TypeError, ""),
        (lambda: t.fingerprints(["CCO", object()]), TypeError, ""),
        (lambda: db.search_many("CCO"), TypeError, "iterable of molecules"),
        (lambda: db.search("CCO", cutoff=float("nan")), ValueError, "outside the range of Tanimoto"),
        (lambda: db.search("CCO", cutoff=2, measure="dice"), ValueError, "outside the range of Dice"),
        (lambda: db.search("CCO", cutoff="high"), TypeError, "cutoff must be a number"),
        (lambda: varnex.similarity(fp, fp, "tversky", beta=float("inf")), ValueError, "must each lie between 0 and 1"),
        (lambda: varnex.FPType("Path", size=1024.0), TypeError, "size must be an integer"),
        (lambda: varnex.explain("CCO", t, bit=-1), ValueError, "outside the 1024 bits"),
        (lambda: varnex.explain("CCO", t, bit=1024), ValueError, "outside the 1024 bits"),
        (lambda: varnex.similarity(fp, varnex.FPType("Tree").fingerprint("CCO")), ValueError, "type mismatch"),
        (lambda: varnex.bulk_similarity(fp, varnex.FPType("Tree").fingerprints(["CCO"])), ValueError, "type mismatch"),
        (lambda: varnex.bulk_similarity(fp, t.fingerprints(["C"]), "tversky", alpha=2), ValueError, "between 0 and 1"),
        (lambda: db.search(varnex.FPType("Path", size=2048).fingerprint("CCO")), ValueError, "type mismatch"),
        (lambda: db.search(42), TypeError, ""),
        (lambda: varnex.create_database(folder / "mols.smi", tmp_path / "missing" / "x.fpbin", progress=False),
         FileNotFoundError, "missing"),
        (lambda: varnex.create_database(tmp_path / "absent.smi", tmp_path / "x.fpbin", progress=False),
         FileNotFoundError, "absent.smi"),
        (lambda: varnex.FastDatabase(tmp_path / "absent.fpbin"), FileNotFoundError, "absent.fpbin"),
        (lambda: varnex.FastDatabase(tmp_path), IsADirectoryError, ""),
        (lambda: varnex.FastDatabase(tmp_path / "cut.fpbin"), ValueError, "KvFastFPDatabase"),
        (lambda: varnex.FastDatabase(db.path, memory="gpu"), ValueError, "memory must be"),
        (lambda: varnex.draw("CCO", varnex.FPType("UnhashedTree"), bit=3), ValueError, "no bits"),
        (lambda: varnex.draw("CCO", t, bit=-5), ValueError, "outside the 1024 bits"),
        (lambda: varnex.draw("CCO", t, panel=(39, 100)), ValueError, "panel sides"),
        (lambda: varnex.draw("CCO", t, panel=(100, 2001)), ValueError, "panel sides"),
        (lambda: varnex.draw("CCO", t, columns=0), ValueError, "columns"),
        (lambda: varnex.draw("CCO", t, columns=101), ValueError, "columns"),
        (lambda: varnex.draw("C1CC(", t), ValueError, "cannot"),
        (lambda: varnex.draw_hits("CCO", hits, ["CCO"], highlight="atoms"), ValueError, "highlight must be"),
        (lambda: varnex.draw_hits("CCO", hits, ["CCO"], highlight="bits"), ValueError, "needs the fingerprint type"),
        (lambda: varnex.draw_hits("CCO", hits, ["CCO"], mcs_time=0), ValueError, "mcs_time"),
        (lambda: varnex.draw_hits("CCO", hits, ["CCO"], panel=(10, 10)), ValueError, "panel sides"),
        (lambda: varnex.draw_hits("CCO", [(3, 1.0)], ["CCO"]), IndexError, "beyond the 1 molecules"),
        (lambda: varnex.draw_hits("C1CC(", hits, ["CCO"]), ValueError, "cannot parse SMILES"),
    ]
    for call, error, match in cases:
        with pytest.raises(error, match=re.escape(match)):
            call()


def test_numpy_numbers_count_as_numbers(small_db):
    t = varnex.FPType("Path", size=np.int64(1024), max_dist=np.uint8(4))
    assert t.size == 1024
    hits = small_db.search("CCO", k=np.int64(2), cutoff=np.float32(0.5), threads=np.int32(1))
    assert len(hits) == 1 and hits["index"][0] == 2
    assert varnex.explain("CCO", small_db.type, bit=np.int64(0)) is not None


def test_version_is_the_package_version():
    cmake = (pathlib.Path(__file__).parents[2] / "CMakeLists.txt").read_text()
    assert varnex.__version__ == re.search(r"project\(Varnex VERSION ([0-9.]+)", cmake).group(1)


def test_the_progress_bar_knows_its_end(tmp_path, monkeypatch):
    import tqdm
    bar = mock.MagicMock(n=0, total=None)
    monkeypatch.setattr(tqdm, "tqdm", lambda **kwargs: bar)
    (tmp_path / "m.smi").write_text("CCO\nCCN\nCCC\n")
    varnex.create_database(tmp_path / "m.smi", tmp_path / "m.fpbin", "Path", progress=True)
    assert bar.total == 3 and bar.refresh.called and bar.close.called


# Per measure, the (common bits c, record bits p) scoring exactly each ratio against a query of
# 100 bits: Tanimoto c / (p + 100 - c), Dice and Tversky (weights 1/2) 2c / (p + 100), Cosine
# c / sqrt(100 p), Euclid sqrt((N - p - 100 + 2c) / N), Manhattan (p + 100 - 2c) / N.
EXACT = {
    "tanimoto": [(50, 50), (70, 70), (80, 80), (90, 90)],
    "dice": [(34, 36), (56, 60), (68, 70), (90, 100)],
    "cosine": [(25, 25), (49, 49), (64, 64), (81, 81)],
    "euclid": [(10, 4720), (10, 3184), (10, 2224), (10, 1136)],
    "tversky": [(34, 36), (56, 60), (68, 70), (90, 100)],
    "manhattan": [(10, 3120), (10, 4400), (10, 5040), (10, 5680)],
}


def _write_fpbin(path, fptype, row):
    """A fast database file of one record: molecule 0, the given 64-bit words."""
    header = f"LE\n\n{fptype}\n1\n".encode().ljust(784, b"\0")
    count = int(np.unpackbits(row.view(np.uint8)).sum())
    path.write_bytes(header + np.array([N // 64, 1, 0, count, *row], dtype="<u8").tobytes())


def _bits(indices):
    """N bits with `indices` set, as 64-bit little-endian words."""
    return np.frombuffer(sum(1 << i for i in set(indices)).to_bytes(N // 8, "little"), dtype="<u8")


@pytest.mark.parametrize("measure", list(EXACT))
def test_a_score_equal_to_the_cutoff_is_always_in(measure, tmp_path):
    """One record per ratio scores exactly that ratio against its query; a
    cutoff at the ratio keeps it, in every search form."""
    t = varnex.FPType("Path", size=N)
    weights = {"alpha": 0.5, "beta": 0.5}
    descending = measure != "manhattan"
    for ratio, (c, p) in zip(RATIOS, EXACT[measure]):
        q = 100
        query = _bits(range(q))
        record = _bits(list(range(c)) + list(range(q, q + p - c)))
        path = tmp_path / f"{measure}-{ratio[0]}.fpbin"
        _write_fpbin(path, t, record)
        db = varnex.FastDatabase(path)
        pair = varnex.FingerprintArray.from_words(t, np.stack([query, record]))
        fp, cutoff = pair[0], ratio[0] / ratio[1]
        score = varnex.bulk_similarity(fp, pair, measure, **weights)[1]  # in double precision
        assert math.isclose(score, cutoff, rel_tol=1e-12), (measure, ratio, score)
        for k in (0, 1):
            assert len(db.search(fp, k=k, cutoff=cutoff, measure=measure, **weights)) == 1, (measure, ratio, k)
            assert len(db.search_many([fp], k=k, cutoff=cutoff, measure=measure, **weights)[0]) == 1
        memory = varnex.Database(t)
        memory.add(pair[1])
        assert len(memory.search(fp, k=0, cutoff=cutoff, measure=measure, **weights)) == 1, (measure, ratio)
        # A cutoff one float step beyond the score leaves it out.
        beyond = float(np.nextafter(np.float32(cutoff), np.float32(2 if descending else -1)))
        assert len(db.search(fp, k=0, cutoff=beyond, measure=measure, **weights)) == 0, (measure, ratio)


@pytest.fixture(scope="module")
def big_db(tmp_path_factory):
    """Eight copies of the NCI sample set."""
    folder = tmp_path_factory.mktemp("big")
    (folder / "many.smi").write_text(NCI.read_text() * 8)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        result = varnex.create_database(folder / "many.smi", folder / "many.fpbin", varnex.FPType("Path", size=1024),
                                        progress=False)
    return varnex.FastDatabase(result.path)


@pytest.mark.parametrize("call", [
    lambda db: db.histogram(bins=20, threads=1),
    lambda db: db.matrix(k=100, threads=1),
    lambda db: db.search_many(["c1ccccc1"] * 20000, k=10, threads=1),
], ids=["histogram", "matrix", "search_many"])
def test_long_calls_stop_on_ctrl_c(big_db, call, interruptible):
    """Each call takes seconds; SIGINT after 0.3 s stops it with
    KeyboardInterrupt (bench/ measures how soon)."""
    timer = threading.Timer(0.3, signal.raise_signal, args=(signal.SIGINT,))
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        call(big_db)
    timer.join()
