"""Fingerprint types, generation from every molecule form, arrays and bit layout."""

import os
import pickle
import subprocess
import sys
import threading
import warnings
import _thread
from pathlib import Path

import numpy as np
import pytest
from rdkit import Chem

import varnex

KINDS = ["Path", "Tree", "Circular", "MACCS166", "Lingo", "UnhashedPath", "UnhashedTree", "UnhashedCircular"]


@pytest.mark.parametrize("kind", KINDS)
def test_rdkit_molecules_molblocks_and_smiles_give_the_same_fingerprints(kind, smiles):
    t = varnex.FPType(kind)
    smiles = smiles[:118] + ["C[C@H](N)C(=O)O", "OC1=C(Cl)C=C(C=C1[N+]([O-])=O)[N+]([O-])=O", "c1ccc2[nH]ccc2c1"]
    mols = [Chem.MolFromSmiles(s) for s in smiles]
    pickles = [m.ToBinary() for m in mols]
    from_text = t.fingerprints(smiles)
    from_mols = t.fingerprints(mols)
    assert len(from_text.failed) == 0 and len(from_mols.failed) == 0
    for i, m in enumerate(mols):
        assert from_mols[i] == from_text[i], smiles[i]
        kekule = Chem.Mol(m)  # kekulized and hydrogen-rich molecules are prepared like SMILES
        Chem.Kekulize(kekule, clearAromaticFlags=True)
        for form in [Chem.MolToMolBlock(m), kekule, Chem.AddHs(m)]:
            assert t.fingerprint(form) == from_text[i], smiles[i]
    # The caller's molecules are never changed.
    assert [m.ToBinary() for m in mols] == pickles


# Run in a fresh interpreter: threaded calls, then the interpreter's exit while the
# library's worker threads wait idle (a forked child's pool is WorkerPool's to test).
_EXIT_WITH_IDLE_WORKERS = """
import sys
import varnex
print(len(varnex.FPType("Path", size=256).fingerprints(sys.argv[1:] * 20, threads=4)))
"""


def test_the_interpreter_exits_while_worker_threads_wait(smiles):
    env = dict(os.environ, PYTHONPATH=str(Path(varnex.__file__).resolve().parent.parent))
    done = subprocess.run([sys.executable, "-c", _EXIT_WITH_IDLE_WORKERS, *smiles[:40]], capture_output=True,
                          text=True, timeout=300, env=env)
    assert (done.returncode, done.stdout, done.stderr) == (0, "800\n", "")


def test_failed_molecules_keep_their_rows_and_warn_once_each_at_the_callers_line(smiles):
    """Two batches of molecules from an iterator, on two threads: every row is that of
    its own molecule made alone and of a serial run, the failed rows are empty and each
    warns once."""
    t = varnex.FPType("Path", size=512)
    mols = smiles * 4  # 1,200: more than one batch of 1,024
    bad = {3: "C1CC", 1030: "not a smiles", 1100: None, 1199: "c1cccc1"}  # None: RDKit's unreadable molecule
    for i, s in bad.items():
        mols[i] = s
    with pytest.warns(varnex.VarnexWarning) as caught:
        a = t.fingerprints(iter(mols), threads=2)
    assert list(a.failed) == sorted(bad) and len(a) == len(mols)
    assert all(w.filename == __file__ for w in caught)
    expected = sorted(f"KvSmilesToMol(): cannot parse SMILES '{s}'" if s else "no molecule (None)" for s in bad.values())
    assert len(caught) == len(bad)
    assert all(m.startswith(e) for m, e in zip(sorted(str(w.message) for w in caught), expected))
    counts = a.counts()
    for i in range(len(mols)):
        if i in bad:
            assert counts[i] == 0 and a[i].count() == 0 and len(a[i]) == 512
        else:
            assert a[i] == t.fingerprint(mols[i])
    with pytest.warns(varnex.VarnexWarning):
        assert np.array_equal(t.fingerprints(mols, threads=1).words, a.words)
    with pytest.raises(ValueError, match="KvSmilesToMol.*not a smiles"):
        t.fingerprint("not a smiles")


def test_words_hex_bytes_and_numpy_share_one_bit_order(smiles):
    t = varnex.FPType("Tree", size=1024)
    a = t.fingerprints(smiles[:40])
    words = a.words
    assert words.dtype == np.uint64 and words.shape == (40, 16) and not words.flags.writeable
    assert words.base is not None  # a view, not a copy
    for i in range(40):
        fp = a[i]
        bits = np.flatnonzero(np.unpackbits(words[i].view(np.uint8), bitorder="little"))
        assert np.array_equal(bits, fp.on_bits())
        assert bytes(fp) == fp.to_numpy().tobytes() == words[i].tobytes()
        assert varnex.Fingerprint.from_hex(t, fp.hex()) == fp
        assert pickle.loads(pickle.dumps(fp)) == fp and hash(pickle.loads(pickle.dumps(fp))) == hash(fp)
        assert a.counts()[i] == fp.count() == len(fp.on_bits())
    again = pickle.loads(pickle.dumps(a))
    assert np.array_equal(again.words, words) and again.type == t
    assert np.array_equal(varnex.FingerprintArray.from_words(t, np.array(words)).words, words)


def test_variable_size_rows_are_padded_and_sized():
    t = varnex.FPType("Lingo")
    a = t.fingerprints(["CCO", "c1ccccc1CCCCCCN", ""])
    assert list(a.sizes) == [len(a[i]) for i in range(3)]
    assert a.words.shape[1] == (max(a.sizes) + 63) // 64
    assert a[1] == t.fingerprint("c1ccccc1CCCCCCN")


@pytest.mark.parametrize("kind, words, error, message", [
    ("Path", np.zeros((2, 16), dtype=np.int64), TypeError, ""),
    ("Path", np.zeros((2, 16), dtype=">u8"), TypeError, ""),
    ("Path", [[0] * 16], TypeError, ""),
    ("Path", np.zeros((2, 15), dtype=np.uint64), ValueError, ""),
    ("Path", np.zeros(16, dtype=np.uint64), ValueError, ""),
    ("MACCS166", np.array([[0, 0, 1 << (166 - 128)]], dtype=np.uint64), ValueError, "above the fingerprint size"),
])
def test_words_of_wrong_dtype_shape_or_bits_are_refused(kind, words, error, message):
    t = varnex.FPType(kind, size=1024) if kind == "Path" else varnex.FPType(kind)
    with pytest.raises(error, match=message):
        varnex.FingerprintArray.from_words(t, words)


def test_the_last_bit_is_kept_and_hex_of_another_size_is_refused():
    maccs = varnex.FPType("MACCS166")
    words = np.array([[0, 0, 1 << (165 - 128)]], dtype=np.uint64)
    assert list(varnex.FingerprintArray.from_words(maccs, words)[0].on_bits()) == [165]
    with pytest.raises(ValueError, match="166 bits"):
        varnex.Fingerprint.from_hex(maccs, "00" * 22)
    with pytest.raises(ValueError):
        varnex.Fingerprint.from_hex(maccs, "0g" * 21)


@pytest.mark.parametrize("kind, params, expect", [
    ("Path", {}, "Path,ver=2.0.0,size=4096,bonds=0-5,atype=AtmNum|Arom|Chiral|FCharge|HvyDeg|Hyb|EqHalo,btype=Order|Chiral"),
    ("path", {"size": 1024, "max_dist": 7}, "Path,ver=2.0.0,size=1024,bonds=0-7,"),
    ("Circular", {"size": 2048, "atom_type": "AtmNum|Arom", "bond_type": 1}, "Circular,ver=2.0.0,size=2048,"),
    ("Tree", {"min_dist": 1, "max_dist": 3}, "Tree,ver=2.0.0,size=4096,bonds=1-3,"),
    ("UnhashedCircular", {"max_dist": 2}, "UHCircular"),
])
def test_types_round_trip_through_strings_and_pickles(kind, params, expect):
    t = varnex.FPType(kind, **params)
    assert str(t).startswith(expect)
    assert varnex.FPType.from_string(str(t)) == t
    with pytest.raises(ValueError, match="unknown fingerprint type string"):
        varnex.FPType.from_string(str(t)[1:])
    assert pickle.loads(pickle.dumps(t)) == t and hash(pickle.loads(pickle.dumps(t))) == hash(t)
    assert varnex.FPType(kind, **params) is not t and varnex.FPType(kind, **params) == t
    assert t.fingerprint("CC(=O)Oc1ccccc1C(=O)O").type == t


@pytest.mark.parametrize("kind, params, message", [
    ("Path", {"size": 8}, r"size must lie in 64..65535, got 8"),
    ("Path", {"min_dist": 6}, "invalid min bonds 6 > max bonds 5"),
    ("Path", {"atom_type": "AtmNum|Nonsense"}, "unknown atom_type"),
    ("Path", {"size": 70000}, "size must lie in 64..65535"),
    ("Path", {"max_dist": 11}, "max_dist must lie in 0..10"),
    ("MACCS166", {"size": 1024}, "take no parameters"),
    ("UnhashedPath", {"size": 1024}, "no size parameter"),
    ("Fingerprint", {}, "unknown fingerprint kind"),
])
def test_bad_kinds_and_parameters_raise_value_error(kind, params, message):
    with pytest.raises(ValueError, match=message):
        varnex.FPType(kind, **params)


def test_explain_gives_each_pattern_as_a_dict_and_filters_by_bit():
    """Which bits the patterns set is the library's to test (FPPatternTest); here every
    field, atom and bond reaches Python, and the bit filter holds."""
    t = varnex.FPType("Path", size=1024)
    patterns = varnex.explain("CC(=O)O", t)
    assert sorted({p["bit"] for p in patterns}) == list(t.fingerprint("CC(=O)O").on_bits())
    assert {a for p in patterns for a in p["atoms"]} == {0, 1, 2, 3}
    assert {b for p in patterns for b in p["bonds"]} == {0, 1, 2}
    bit = patterns[-1]["bit"]
    assert varnex.explain(Chem.MolFromSmiles("CC(=O)O"), t, bit=bit) == [p for p in patterns if p["bit"] == bit]
    # MACCS keys say what they are; Lingo substrings and unhashed identifiers have no bits.
    assert varnex.explain("CCO", varnex.FPType("MACCS166"), bit=163) == [
        {"bit": 163, "identifier": 164, "pattern": "[#8]", "description": "oxygen", "atoms": [2], "bonds": []}]
    with pytest.raises(ValueError, match="no bits"):
        varnex.explain("CCO", varnex.FPType("Lingo"), bit=3)


def test_interrupt_is_honoured_at_the_next_batch(interruptible):
    yielded = 0

    def molecules():
        nonlocal yielded
        for _ in range(100_000):
            yielded += 1
            if yielded == 1500:
                _thread.interrupt_main()
            yield "CCO"

    with pytest.raises(KeyboardInterrupt):
        varnex.FPType("Path", size=256).fingerprints(molecules(), threads=2)
    assert yielded <= 2048


def test_warnings_reach_the_call_that_caused_them(smiles, monkeypatch):
    t = varnex.FPType("Path", size=256)
    shown = []
    monkeypatch.setattr(warnings, "showwarning",
                        lambda message, *args, **kwargs: shown.append(threading.current_thread().name))
    warnings.simplefilter("always")
    clean = threading.Thread(target=lambda: [t.fingerprints(smiles, threads=2) for _ in range(5)], name="clean")
    clean.start()
    for _ in range(5):
        t.fingerprints(["C1CC"] * 20, threads=2)
    clean.join()
    assert shown == [threading.current_thread().name] * 100
