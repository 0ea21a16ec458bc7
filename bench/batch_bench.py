"""Many queries per pass, and the neighbour matrix, against single searches in the same run.

    PYTHONPATH=build/python /usr/bin/python3 bench/batch_bench.py [path/to/varnex]

The command-line program defaults to build/tools/varnex/varnex. Prints, as
medians of repetitions:
  * 1,000 top-10 queries over the 1,000,000-record database of
    bench/fastdb_bench (molecules 4000 and on of the NCI set, repeated):
    `varnex search` with a query file, Python search_many on one and two
    threads and a Python loop of db.search, each against 1,000 single
    library searches on one thread (the baseline);
  * `varnex matrix -limit 10` over 100,000 records (every command-line run
    on all cores), against one single top-11 search per record, estimated
    from 1,000 of them.
The 100,000 records are the fingerprints of NCI molecules 0-3999, repeated
25 times; every copy but the first loses each bit with probability 0.15, so
a record has its siblings at a Tanimoto score of about 0.74 and no exact
duplicates. Written once to /tmp/varnex_matrix_bench_100k.fpbin.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time
import warnings

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import python_bench as pb  # noqa: E402  (the shared database helpers)
import varnex  # noqa: E402
from varnex import _core  # noqa: E402

MATRIX = "/tmp/varnex_matrix_bench_100k.fpbin"
MATRIX_RECORDS = 100_000
QUERIES = 1000
REPEATS = 3


def write_matrix_database(t, smiles):
    header, records = pb.small_database(t, smiles)
    copies = MATRIX_RECORDS // len(records) + 1
    rng = np.random.default_rng(12345)
    words = records.shape[1] - 2
    rows = []
    for c in range(copies):
        block = records.copy()
        if c > 0:
            bits = np.unpackbits(block[:, 2:].view(np.uint8), axis=1, bitorder="little")
            bits &= (rng.random(bits.shape, dtype=np.float32) < 0.85).astype(np.uint8)
            block[:, 2:] = np.packbits(bits, axis=1, bitorder="little").view(np.uint64).reshape(-1, words)
            block[:, 1] = bits.sum(axis=1, dtype=np.uint64)
        rows.append(block)
    big = np.concatenate(rows)[:MATRIX_RECORDS].copy()
    big[:, 0] = np.arange(MATRIX_RECORDS, dtype=np.uint64)
    pb.write_database(MATRIX, header, big)


def readable(t, smiles):
    try:
        t.fingerprint(smiles)
        return True
    except ValueError:
        return False


def seconds_of(command, repeats=REPEATS):
    def run():
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    return pb.median_seconds(run, repeats)


def main():
    cli = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build", "tools",
                                                              "varnex", "varnex")
    warnings.simplefilter("ignore", varnex.VarnexWarning)
    with open(pb.NCI) as f:
        smiles = [line.split()[0] for line in f]
    t = varnex.FPType("Path")
    db = pb.open_big_database(t, smiles)
    distant = [s for s in smiles[4000:] if readable(t, s)]
    query_smiles = [distant[i % len(distant)] for i in range(QUERIES)]
    queries = [t.fingerprint(s) for s in query_smiles]
    print(f"varnex {varnex.__version__}, scan kernel {varnex.scan_kernel()}, load {os.getloadavg()[0]:.1f}")

    single = statistics.median(_core._cxx_search_seconds(pb.BIG, queries, 10, REPEATS))
    rows = [("1,000 single library searches (baseline)", single)]
    rows.append(("Python search_many, 1 thread", pb.median_seconds(lambda: db.search_many(queries, k=10, threads=1),
                                                                    REPEATS)))
    rows.append(("Python search_many, 2 threads", pb.median_seconds(lambda: db.search_many(queries, k=10, threads=2),
                                                                     REPEATS)))
    rows.append(("Python db.search loop", pb.median_seconds(lambda: [db.search(q, k=10) for q in queries], REPEATS)))
    with tempfile.TemporaryDirectory() as folder:
        many, one = os.path.join(folder, "many.smi"), os.path.join(folder, "one.smi")
        with open(many, "w") as f:
            f.writelines(f"{s} q{i}\n" for i, s in enumerate(query_smiles))
        with open(one, "w") as f:
            f.write(f"{query_smiles[0]} q0\n")
        search = [cli, "search", "-db", pb.BIG, "-format", "tsv", "-q"]
        fixed = seconds_of(search + [one])
        rows.append(("varnex search, 1,000-query file, 2 threads", seconds_of(search + [many])))
        rows.append(("  the same with one query (opening, index)", fixed))
    print(f"\n1,000 queries top-10 over {len(db):,} records:")
    for name, seconds in rows:
        print(f"  {name:45s} {seconds:7.3f} s   throughput {single / seconds:5.2f}x the baseline")

    try:
        small = varnex.FastDatabase(MATRIX)
        ok = len(small) == MATRIX_RECORDS and small.type == t
    except (OSError, ValueError):
        ok = False
    if not ok:
        print(f"writing {MATRIX} ...")
        write_matrix_database(t, smiles)
        small = varnex.FastDatabase(MATRIX)
    _, records = pb.read_database(MATRIX)
    array = varnex.FingerprintArray.from_words(t, np.ascontiguousarray(records[:QUERIES:, 2:]))
    rows_sample = [array[i] for i in range(QUERIES)]
    per_row = statistics.median(_core._cxx_search_seconds(MATRIX, rows_sample, 11, REPEATS)) / QUERIES
    matrix = seconds_of([cli, "matrix", "-db", MATRIX, "-limit", "10", "-format", "tsv"], 1)
    estimate = per_row * MATRIX_RECORDS
    print(f"\nvarnex matrix -limit 10 over {MATRIX_RECORDS:,} records: {matrix:.1f} s (goal <= 15 s); "
          f"one single search per record {estimate:.1f} s (estimated), {estimate / matrix:.2f}x")


if __name__ == "__main__":
    main()
