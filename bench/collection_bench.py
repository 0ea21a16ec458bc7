"""Collections of 1,000,000 records against one .fpbin file of the same records.

    PYTHONPATH=build/python /usr/bin/python3 bench/collection_bench.py [folder] [path/to/varnex]

The records are the NCI sample set (4,999 molecules) repeated 200 times
(999,800 molecules), Path fingerprints of 4096 bits; written on first use to
`folder` (default /tmp/varnex_collection_bench) as one.fpbin and as the
collections c4.vxc and c64.vxc (4 and 64 shards) by the command-line program
(default build/tools/varnex/varnex). Prints medians of repetitions, each
figure beside its baseline of the same run:
  * opening the collection of 4 and of 64 shards (catalog, every shard
    checked and mapped) against opening the one file;
  * the ids of 1,000 hits, in ms;
  * `varnex append` of 10,000 molecules to the 1,000,000-record collection
    (a copy of its catalog beside the same shards) against `varnex create`
    of a collection of those 10,000 alone;
  * 100 top-10 searches (search_many, 2 threads) over the 4 shards against
    the one file.
"""

import os
import shutil
import statistics
import subprocess
import sys
import time
import warnings

import numpy as np

import varnex
from varnex._collection import query_words

NCI = "/usr/share/RDKit/Data/NCI/first_5K.smi"


def median_time(work, repeat=5):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def build(folder, program):
    os.makedirs(folder, exist_ok=True)
    smi = os.path.join(folder, "nci_1m.smi")
    if not os.path.exists(smi):
        text = open(NCI).read()
        with open(smi, "w") as out:
            out.write(text * 200)
    for name, shards in [("one.fpbin", 1), ("c4.vxc", 4), ("c64.vxc", 64)]:
        if not os.path.exists(os.path.join(folder, name)):
            # Exit status 3: some NCI molecules do not parse and keep empty records.
            status = subprocess.run([program, "create", "-in", smi, "-out", os.path.join(folder, name), "-shards",
                                     str(shards), "-q"], stderr=subprocess.DEVNULL).returncode
            if status not in (0, 3):
                raise RuntimeError(f"varnex create failed with status {status}")
    return smi


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "/tmp/varnex_collection_bench"
    program = sys.argv[2] if len(sys.argv) > 2 else "build/tools/varnex/varnex"
    build(folder, program)
    one_path = os.path.join(folder, "one.fpbin")
    warnings.simplefilter("ignore", varnex.VarnexWarning)

    def open_one():
        varnex.FastDatabase(one_path).close()

    base = median_time(open_one, repeat=7)
    for name in ["c4.vxc", "c64.vxc"]:
        t = median_time(lambda: varnex.open(os.path.join(folder, name)).close(), repeat=7)
        print(f"open {name}: {t * 1e3:.1f} ms, one .fpbin {base * 1e3:.1f} ms: +{(t - base) * 1e3:.1f} ms "
              f"({t / base:.2f}x)")

    coll = varnex.open(os.path.join(folder, "c4.vxc"))
    one = varnex.FastDatabase(one_path)
    queries = [line.split()[0] for line in open(NCI)][::50][:100]
    hits = np.concatenate(coll.search_many(queries, k=10, threads=2))["index"][:1000]
    t = median_time(lambda: coll.ids(hits), repeat=20)
    print(f"ids of {len(hits)} hits: {t * 1e3:.2f} ms")

    # The same fingerprints for both, so that only the searches are timed.
    fps = one.type.fingerprints(queries)
    t_one = median_time(lambda: one.search_many(fps, k=10, threads=2), repeat=11)
    t_coll = median_time(lambda: coll.search_many(fps, k=10, threads=2), repeat=11)
    print(f"100 top-10 searches: 4 shards {t_coll * 1e3:.1f} ms, one file {t_one * 1e3:.1f} ms: {t_coll / t_one:.2f}x "
          f"(the collection names its hits too)")
    # The searches alone, without naming the hits from the catalog.
    words = query_words(coll.type, fps)[0]
    t_bare = median_time(lambda: coll._c.search(words, 10, None, "tanimoto", 1.0, 1.0, 2), repeat=11)
    print(f"the same without ids: 4 shards {t_bare * 1e3:.1f} ms: {t_bare / t_one:.2f}x one file")

    molecules = open(NCI).read().splitlines()
    adds = os.path.join(folder, "add_10k.smi")
    with open(adds, "w") as out:
        out.write("\n".join((molecules * 3)[:10000]) + "\n")
    def run(*args):
        # Exit status 3: some NCI molecules do not parse (empty records), as in the 1,000,000.
        status = subprocess.run([program, *args, "-q", "-threads", "2"], stderr=subprocess.DEVNULL).returncode
        if status not in (0, 3):
            raise RuntimeError(f"varnex {args[0]} failed with status {status}")

    def remove(prefix):
        for f in os.listdir(folder):
            if f.startswith(prefix):
                os.remove(os.path.join(folder, f))

    def create_alone():
        run("create", "-in", adds, "-out", os.path.join(folder, "alone.vxc"))
        remove("alone")

    def append():
        shutil.copy(os.path.join(folder, "c4.vxc"), os.path.join(folder, "grown.vxc"))
        start = time.perf_counter()
        run("append", "-db", os.path.join(folder, "grown.vxc"), "-in", adds)
        elapsed = time.perf_counter() - start
        remove("grown")
        return elapsed

    remove("alone")
    alone = median_time(create_alone, repeat=3)
    appended = statistics.median(append() for _ in range(3))
    print(f"varnex append of 10,000 to 1,000,000: {appended:.2f} s, varnex create of the 10,000 alone "
          f"{alone:.2f} s: {appended / alone:.2f}x")

if __name__ == "__main__":
    main()
