"""The Python package against the plain C++ loops and RDKit, measured in one run.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py

Prints, as same-run ratios (medians of repetitions):
  * t.fingerprints on SMILES strings and on RDKit molecules (one thread)
    against a C++ loop that parses the same SMILES and fingerprints them;
  * db.search per query on the 1,000,000-record database of the fast
    database benchmark against the same search called from C++, and on a
    1,000-record database, where the per-call overhead dominates;
  * varnex.bulk_similarity against RDKit's DataStructs.BulkTanimotoSimilarity
    over the same bits.
The 1,000,000-record file (/tmp/varnex_fastdb_bench_1M.fpbin, shared with
bench/fastdb_bench) is written on first use from the NCI sample set.
"""

import os
import statistics
import tempfile
import time
import warnings

import numpy as np
from rdkit import Chem, DataStructs

import varnex
from varnex import _core

NCI = "/usr/share/RDKit/Data/NCI/first_5K.smi"
BIG = "/tmp/varnex_fastdb_bench_1M.fpbin"
RECORDS = 1_000_000
REPEATS = 5


def median_seconds(fn, repeats=REPEATS, clock=time.perf_counter):
    times = []
    for _ in range(repeats):
        start = clock()
        fn()
        times.append(clock() - start)
    return statistics.median(times)


def read_database(path):
    """The 800-byte header and the records (one row of W + 2 words each) of a .fpbin file."""
    with open(path, "rb") as f:
        header = bytearray(f.read(800))
        records = np.frombuffer(f.read(), dtype=np.uint64)
    count = int(np.frombuffer(bytes(header[792:800]), dtype=np.uint64)[0])
    return header, records.reshape(count, -1)


def write_database(path, header, records):
    """Writes `records` under a copy of `header` with their number, renamed into place whole."""
    header = bytearray(header)
    lines = bytes(header[:784]).rstrip(b"\0").split(b"\n")
    lines[3] = str(len(records)).encode()
    text = b"\n".join(lines)
    header[:784] = text + b"\0" * (784 - len(text))
    header[792:800] = np.uint64(len(records)).tobytes()
    with open(path + ".part", "wb") as f:
        f.write(bytes(header))
        records.tofile(f)
    os.replace(path + ".part", path)


def small_database(t, smiles):
    """The header and records of a database of the first 4,000 NCI molecules."""
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "first_5K.smi")
        with open(source, "w") as f:
            f.writelines(s + "\n" for s in smiles[:4000])
        small = varnex.create_database(source, os.path.join(folder, "small.fpbin"), t, progress=False)
        return read_database(small.path)


def write_big_database(t, smiles):
    """4,000 NCI fingerprints repeated to a million records (as bench/fastdb_bench does)."""
    header, records = small_database(t, smiles)
    big = np.tile(records, (RECORDS // len(records) + 1, 1))[:RECORDS].copy()
    big[:, 0] = np.arange(RECORDS, dtype=np.uint64)
    write_database(BIG, header, big)


def open_big_database(t, smiles):
    """The 1,000,000-record database, written first when missing or not of type `t`."""
    try:
        db = varnex.FastDatabase(BIG)
        if len(db) == RECORDS and db.type == t:
            return db
    except (OSError, ValueError):
        pass
    print(f"writing {BIG} ...")
    write_big_database(t, smiles)
    return varnex.FastDatabase(BIG)


def search_overhead(label, db, path, queries, repeats=REPEATS):
    """db.search on Fingerprint queries against the same searches called from C++.

    Elapsed time, and the calling thread's processor time, which other
    programs on a busy machine do not inflate (both sides search on it).
    """
    # Both sides search one open database pass after pass; the first, cold
    # pass (pages faulted in) falls out of the median.
    n = len(queries)
    for clock, name in [(time.perf_counter, "elapsed"), (time.thread_time, "thread cpu")]:
        cxx = statistics.median(_core._cxx_search_seconds(path, queries, 10, repeats, clock is time.thread_time))
        py = median_seconds(lambda: [db.search(q, k=10) for q in queries], repeats, clock)
        print(f"{label} {py / n * 1e6:9.1f} us/query, C++ {cxx / n * 1e6:9.1f} us/query, "
              f"overhead {(py - cxx) / n * 1e6:+.1f} us/query, ratio {py / cxx:.3f} ({name})")


def main():
    warnings.simplefilter("ignore", varnex.VarnexWarning)  # the NCI set has a few molecules RDKit refuses
    with open(NCI) as f:
        smiles = [line.split()[0] for line in f]
    t = varnex.FPType("Path")
    mols = [m for m in (Chem.MolFromSmiles(s) for s in smiles) if m is not None]
    print(f"varnex {varnex.__version__}, scan kernel {varnex.scan_kernel()}, {len(smiles)} NCI molecules")

    cxx = median_seconds(lambda: _core._cxx_fingerprint_seconds(smiles, t))
    py_smiles = median_seconds(lambda: t.fingerprints(smiles, threads=1))
    py_mols = median_seconds(lambda: t.fingerprints(mols, threads=1))
    per = 1e6 / len(smiles)
    print(f"fingerprints, SMILES:    {py_smiles * per:7.1f} us/mol, C++ loop {cxx * per:7.1f} us/mol, "
          f"ratio {py_smiles / cxx:.3f}")
    print(f"fingerprints, Chem.Mol:  {py_mols * 1e6 / len(mols):7.1f} us/mol, C++ loop (SMILES) {cxx * per:7.1f} us/mol, "
          f"ratio {py_mols / len(mols) / (cxx / len(smiles)):.3f}")

    db = open_big_database(t, smiles)
    search_overhead("search top-10 of 1M:    ", db, BIG, [t.fingerprint(s) for s in smiles[4000:4016]])
    header, records = small_database(t, smiles)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "first_1K.fpbin")
        write_database(path, header, records[:1000].copy())
        with varnex.FastDatabase(path) as small:
            search_overhead("search top-10 of 1k:    ", small, path, [t.fingerprint(s) for s in smiles[4000:4400]],
                            repeats=4 * REPEATS)

    array = t.fingerprints(smiles[:4000], threads=0)
    bitvects = []
    for i in range(len(array)):
        bv = DataStructs.ExplicitBitVect(len(array[i]))
        bv.SetBitsFromList([int(b) for b in array[i].on_bits()])
        bitvects.append(bv)
    bitvects = bitvects * 25  # 100,000 fingerprints
    words = np.tile(np.asarray(array.words), (25, 1))
    tiled = varnex.FingerprintArray.from_words(t, words)
    query, rd_query = array[7], bitvects[7]
    ours = median_seconds(lambda: varnex.bulk_similarity(query, tiled))
    rdkit = median_seconds(lambda: DataStructs.BulkTanimotoSimilarity(rd_query, bitvects))
    assert np.allclose(varnex.bulk_similarity(query, tiled), DataStructs.BulkTanimotoSimilarity(rd_query, bitvects))
    print(f"bulk Tanimoto, 100k:     {ours * 1e3:7.2f} ms, RDKit BulkTanimotoSimilarity {rdkit * 1e3:7.2f} ms, "
          f"ratio {ours / rdkit:.3f} (speed-up {rdkit / ours:.1f}x)")


if __name__ == "__main__":
    main()
