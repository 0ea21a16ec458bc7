"""Sharded fast databases on a local Dask cluster: every answer equals that of
one FastDatabase over the unsharded file (of the Collection, ids included, for
a catalog), also when a worker dies; a missing or damaged shard raises an
error naming it."""

import os
import shutil
import signal
import sqlite3
import threading
import time
import warnings

import numpy as np
import pytest

import varnex
from conftest import NCI, assert_same_hits, nci_smiles

distributed = pytest.importorskip("distributed")
from varnex.distributed import ShardedDatabase  # noqa: E402

N = 1200
TYPE = varnex.FPType("Path", size=1024)
# Queries from the set itself (the NCI set holds duplicates, so scores tie
# at the limit), and one unreadable.
QUERIES = nci_smiles(N)[::97] + ["C1CC", "c1ccccc1C(=O)O"]
# The molecule file, and the collection's ids: its titles.
LINES = NCI.read_text().splitlines(keepends=True)[:N]
TITLES = [line.split()[1] for line in LINES]


@pytest.fixture(scope="module")
def client():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                           dashboard_address=None, silence_logs=50)
    with cluster, distributed.Client(cluster) as c:
        yield c


@pytest.fixture(scope="module")
def collection(tmp_path_factory):
    """The unsharded file and its manifests of 1, 3 and 7 shards."""
    folder = tmp_path_factory.mktemp("shards")
    smi = folder / "nci.smi"
    smi.write_text("".join(LINES))
    whole = folder / "whole.fpbin"
    varnex.create_database(smi, whole, TYPE, progress=False)
    made = varnex.create_database(smi, folder / "made.fpbin", TYPE, progress=False, shards=3)
    # The records ordered by bit count (each keeps its molecule index): its
    # shards hold disjoint bit count ranges, so most of them are pruned.
    data = whole.read_bytes()
    records = np.frombuffer(data[800:], dtype=np.uint64).reshape(N, -1)
    by_count = folder / "by_count.fpbin"
    by_count.write_bytes(data[:800] + records[np.argsort(records[:, 1], kind="stable")].tobytes())
    return {
        "whole": str(whole),
        1: varnex.shard_database(whole, 1).manifest,
        3: made.shards.manifest,
        7: varnex.shard_database(whole, 7, out=folder / "split.fpbin").manifest,
        "by count": varnex.shard_database(by_count, 7).manifest,
        # A collection of 3 shards grown by an append of 2.
        "catalog": grown_collection(folder, smi),
    }


def grown_collection(folder, smi):
    lines = smi.read_text().splitlines(keepends=True)
    (folder / "head.smi").write_text("".join(lines[:700]))
    (folder / "tail.smi").write_text("".join(lines[700:]))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", varnex.VarnexWarning)
        coll = varnex.create_collection(folder / "grown.vxc", folder / "head.smi", TYPE, shards=3, progress=False)
        coll.append(folder / "tail.smi", shards=2)
    return coll.path


@pytest.fixture(scope="module")
def whole(collection):
    with varnex.FastDatabase(collection["whole"]) as db:
        yield db


@pytest.fixture(scope="module")
def opened(collection):
    """The catalog's collection, opened in this process."""
    with varnex.open(collection["catalog"]) as coll:
        yield coll


def expect_same_hits(got, want, k):
    """The hits of one file, each with the id (if any) of its molecule."""
    assert got.dtype == want.dtype
    if "id" in want.dtype.names:
        assert got["id"].tolist() == [TITLES[i] for i in got["index"]]
    assert_same_hits(got["index"], got["score"], want, k)


@pytest.mark.parametrize("shards", [1, 3, 7, "by count", "catalog"])
@pytest.mark.parametrize("k, cutoff, measure, alpha, beta", [
    (10, None, "tanimoto", 1.0, 1.0),
    (3, None, "dice", 1.0, 1.0),
    (0, 0.6, "tanimoto", 1.0, 1.0),
    (25, 0.4, "cosine", 1.0, 1.0),
    (8, None, "tversky", 0.9, 0.1),
    (5, None, "manhattan", 1.0, 1.0),
])
def test_search_equals_one_database(client, collection, whole, opened, shards, k, cutoff, measure, alpha, beta):
    db = ShardedDatabase(collection[shards], client, batch=5)
    with pytest.warns(varnex.VarnexWarning):
        got = db.search(QUERIES, k=k, cutoff=cutoff, measure=measure, alpha=alpha, beta=beta)
    one = opened if shards == "catalog" else whole
    with pytest.warns(varnex.VarnexWarning):
        want = one.search_many(QUERIES, k=k, cutoff=cutoff, measure=measure, alpha=alpha, beta=beta)
    assert len(got) == len(QUERIES)
    for g, w in zip(got, want):
        expect_same_hits(g, w, k)
    expect_same_hits(db.search(QUERIES[0], k=k, cutoff=cutoff, measure=measure, alpha=alpha, beta=beta), want[0], k)


def test_catalog_names_molecules_without_its_shards(client, collection, opened, tmp_path):
    """The client reads ids and SMILES from the catalog alone; a manifest has none."""
    shutil.copy(collection["catalog"], tmp_path)
    db = ShardedDatabase(tmp_path / "grown.vxc", client)
    wanted = [0, 699, 700, 1199, 700]
    assert db.ids(wanted) == opened.ids(wanted) == [TITLES[i] for i in wanted]
    assert db.smiles(np.array(wanted, dtype=np.uint64)) == opened.smiles(wanted)
    assert db.ids([]) == []
    for bad, error in [([-1], IndexError), ([1.5], IndexError), ([N], IndexError)]:
        with pytest.raises(error):
            db.ids(bad)
    with pytest.raises(ValueError, match="without a collection catalog"):  # ids and smiles ask one catalog
        ShardedDatabase(collection[3], client).smiles([0])


@pytest.mark.parametrize("shards", [3, 7, "catalog"])
def test_counts_histograms_and_matrix_add_up(client, collection, whole, shards):
    db = ShardedDatabase(collection[shards], client, batch=4)
    queries = QUERIES[:-2]
    for cutoff, measure in [(0.5, "tanimoto"), (None, "dice"), (0.02, "manhattan")]:
        want = [len(h) for h in whole.search_many(queries, k=0, cutoff=cutoff, measure=measure)]
        np.testing.assert_array_equal(db.count(queries, cutoff=cutoff, measure=measure), want)
    # The histograms of the file as its own single shard.
    want = ShardedDatabase(collection[1], client).histogram(queries, bins=20, measure="tversky", alpha=0.3, beta=0.7)
    got = db.histogram(queries, bins=20, measure="tversky", alpha=0.3, beta=0.7)
    for g, w in zip(got, want):
        assert w.sum() == N
        np.testing.assert_array_equal(g, w)
    cells = db.matrix(queries[:3], k=4)
    assert list(cells["row"]) == [0] * 4 + [1] * 4 + [2] * 4
    np.testing.assert_array_equal(cells["score"],
                                  np.concatenate([h["score"] for h in whole.search_many(queries[:3], k=4)]))


def test_pruned_shards_get_no_task(client, collection, whole):
    """With a Tanimoto cutoff of 0.95 only shards holding records of nearly
    the query's bit count are searched."""
    db = ShardedDatabase(collection[7], client)
    shards = varnex.read_manifest(collection[7]).shards
    query = max((whole.fingerprint(i) for i in range(N)), key=lambda fp: fp.count())
    q = query.count()
    reachable = [s for s in shards if s.max_bits >= q or s.max_bits / q > np.float32(0.95)]
    with distributed.get_task_stream(client=client) as stream:
        hits = db.search(query, k=5, cutoff=0.95)
    assert len(stream.data) == len(reachable) < len(shards)
    expect_same_hits(hits, whole.search(query, k=5, cutoff=0.95), 5)


def test_killed_worker_is_replaced_and_the_result_stays_exact(client, collection, whole):
    db = ShardedDatabase(collection[7], client, batch=1)
    queries = nci_smiles(N)[::7]
    want = whole.search_many(queries, k=6)
    pids = client.run(os.getpid)
    victim = sorted(pids)[0]
    result = {}
    search = threading.Thread(target=lambda: result.update(hits=db.search(queries, k=6)))
    search.start()
    # Kill a worker as soon as it is busy (the search may also end first:
    # the answer must be exact either way).
    while search.is_alive() and not client.processing().get(victim):
        time.sleep(0.005)
    os.kill(pids[victim], signal.SIGKILL)
    search.join(timeout=300)
    assert not search.is_alive()
    for g, w in zip(result["hits"], want):
        expect_same_hits(g, w, 6)
    client.wait_for_workers(2, timeout=120)


@pytest.mark.parametrize("source, damage", [(3, "missing"), (3, "truncated"), ("catalog", "truncated"),
                                            ("catalog", "lying bit range")])
def test_missing_damaged_or_misdescribed_shard_is_named(client, collection, tmp_path, source, damage):
    listed = varnex.read_manifest(collection[3]) if source == 3 else varnex.open(collection["catalog"])
    listing = listed.manifest if source == 3 else listed.path
    for path in [s.path for s in listed.shards] + [listing]:
        shutil.copy(path, tmp_path)
    top = tmp_path / os.path.basename(listing)
    broken = tmp_path / os.path.basename(listed.shards[1].path)
    message = broken.name
    if damage == "missing":
        broken.unlink()
    elif damage == "truncated":
        with open(broken, "r+b") as f:
            f.truncate(os.path.getsize(broken) - 100)
    else:
        with sqlite3.connect(top) as db:
            db.execute("UPDATE shards SET min_bits = 0, max_bits = 1 WHERE position = 1")
        message = broken.name + ".*the catalog says 0 to 1"
    db = ShardedDatabase(top, client)
    with pytest.raises((OSError, ValueError), match=message):
        db.count(QUERIES[:-2], cutoff=0.3)


def test_worker_with_another_varnex_is_named(client, collection, monkeypatch):
    monkeypatch.setattr(varnex._core, "__version__", "0.0.0-other")
    db = ShardedDatabase(collection["catalog"], client)
    with pytest.raises(RuntimeError, match=r"worker tcp://.* runs varnex .*, this client 0\.0\.0-other"):
        db.search(QUERIES[:2], k=3)
