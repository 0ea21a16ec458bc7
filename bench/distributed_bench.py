"""Sharded search on a local Dask cluster against one in-process FastDatabase.

    PYTHONPATH=build/python /usr/bin/python3 bench/distributed_bench.py

1,000,000 records (4,000 NCI fingerprints repeated, the file of
bench/python_bench.py, written on first use) split into 4 shards; 100 NCI
queries, top-10 Tanimoto. Prints queries per second, as medians of
repetitions measured in this run, for:
  * one FastDatabase in this process, search_many on 1 and on 2 threads;
  * ShardedDatabase on a LocalCluster of 1 and of 2 worker processes (one
    thread each), after a first search that opens the shards;
and the ratios 2 workers / 1 worker and cluster / in-process at equal
cores, plus the figures of the scaling model in docs/distributed.md: the
round trip of an empty task, the scan rate of one shard task and the cost
of merging the partial hit lists.
"""

import os
import sys
import warnings

import numpy as np

import varnex
from varnex import distributed as vd

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from python_bench import BIG, NCI, RECORDS, median_seconds, write_big_database  # noqa: E402

SHARDS = 4
QUERIES = 100
K = 10
OUT = "/tmp/varnex_distributed_bench.fpbin"


def cluster_figures(workers, queries):
    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None, silence_logs=50) as cluster, Client(cluster) as client:
        db = vd.ShardedDatabase(os.path.splitext(OUT)[0] + ".json", client)
        db.search(queries, k=K)  # opens the shards on the workers
        seconds = median_seconds(lambda: db.search(queries, k=K))
        empty = median_seconds(lambda: client.submit(int, 0, pure=False).result(), repeats=50)
        shard = db.shards.shards[0]
        words = db._queries(queries)[0]
        task = median_seconds(lambda: client.submit(vd._search_task, (shard.path, shard.records, str(db.type)),
                                                    words, K, None, "tanimoto", 1.0, 1.0, 1, pure=False).result())
    return seconds, empty, task, shard.records


def main():
    warnings.simplefilter("ignore", varnex.VarnexWarning)
    with open(NCI) as f:
        smiles = [line.split()[0] for line in f]
    t = varnex.FPType("Path")
    try:
        ok = len(varnex.FastDatabase(BIG)) == RECORDS
    except (OSError, ValueError):
        ok = False
    if not ok:
        print(f"writing {BIG} ...")
        write_big_database(t, smiles)
    manifest = os.path.splitext(OUT)[0] + ".json"
    if not os.path.exists(manifest):
        varnex.shard_database(BIG, SHARDS, out=OUT)
    queries = t.fingerprints(smiles[4000:4000 + QUERIES])
    print(f"varnex {varnex.__version__}, scan kernel {varnex.scan_kernel()}, {os.cpu_count()} processors, "
          f"{RECORDS} records in {SHARDS} shards, {QUERIES} queries, top-{K}")

    with varnex.FastDatabase(BIG) as db:
        query_list = [queries[i] for i in range(len(queries))]
        db.search_many(query_list, k=K, threads=1)
        local = {n: median_seconds(lambda: db.search_many(query_list, k=K, threads=n)) for n in (1, 2)}
        want = db.search_many(query_list, k=K, threads=1)
    figures = {n: cluster_figures(n, queries) for n in (1, 2)}

    for n in (1, 2):
        print(f"in-process FastDatabase, {n} thread(s): {QUERIES / local[n]:8.1f} queries/s")
    for n in (1, 2):
        print(f"LocalCluster, {n} worker(s):            {QUERIES / figures[n][0]:8.1f} queries/s, "
              f"cluster/in-process time {figures[n][0] / local[n]:.2f}x")
    print(f"2 workers / 1 worker: {figures[1][0] / figures[2][0]:.2f}x the queries per second")
    _, empty, task, records = figures[1]
    print(f"empty task round trip: {empty * 1e3:.2f} ms; one shard task ({records} records x {QUERIES} queries): "
          f"{task * 1e3:.1f} ms = {records * QUERIES / task / 1e6:.1f} M record-queries/s")

    # Merge cost: the partial top-k lists of every shard for every query,
    # merged a shard's batch at a time as the search does.
    hits = np.concatenate([w[:K] for w in want]).astype(vd._HIT)
    offsets = np.concatenate([[0], np.cumsum([min(K, len(w)) for w in want])])
    positions = np.arange(QUERIES)

    def merge_all():
        top = vd._TopK(QUERIES, K, True)
        for _ in range(SHARDS):
            top.add(positions, hits, offsets)
    merge = median_seconds(merge_all)
    print(f"merge of {SHARDS} partial top-{K} lists: {merge / QUERIES / SHARDS * 1e6:.2f} us per query and shard")

if __name__ == "__main__":
    main()
