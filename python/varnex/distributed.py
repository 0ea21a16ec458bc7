"""Searches of collections and sharded fast databases on a Dask cluster.

A collection too large for one machine lies in shards (ordinary ``.fpbin``
files listed by its catalog, see :func:`varnex.create_collection`, or by a
JSON manifest, see :func:`varnex.shard_database`) that the workers find on
their disks at the catalog's folder (or the paths the manifest names). A
:class:`ShardedDatabase` sends each worker batches of queries as packed
fingerprint words; the worker opens its shards once, memory-mapped, keeps
them for later tasks, searches them with the library's batch calls and
returns partial results that merge exactly: top-k lists of global molecule
indices, hit counts and histogram bins. Records never cross the network; the
client names the hits from the catalog, which is all it needs to read::

    from distributed import Client
    from varnex.distributed import ShardedDatabase
    client = Client("tcp://scheduler:8786")
    db = ShardedDatabase("/data/enamine.vxc", client)
    hits = db.search(["c1ccccc1O", "CCO"], k=10)   # one array per query
    hits[0]["id"], db.smiles(hits[0]["index"])

Needs Dask's distributed scheduler (Debian ``python3-distributed``) and the
same varnex package on every worker: a worker that cannot import it, or
imports another version, is named in the error.
"""

import contextlib
import os
import threading
import warnings

import numpy as np

try:
    import distributed
except ImportError as error:  # pragma: no cover - depends on the machine
    raise ImportError(
        "varnex.distributed needs Dask's distributed scheduler: install python3-distributed "
        "(Debian) or the 'distributed' package") from error

from . import _core
from ._core import VarnexWarning
from ._measures import measure_info
from ._pictures import ScoreHistogram
from ._collection import is_single_query as _is_single, molecule_indices, query_words, with_ids
from ._core import FPType
from ._shards import ShardInfo, Shards, read_manifest

__all__ = ["ShardedDatabase"]

# ---- Worker side: the shards a worker process has opened.

_opened = {}
_opened_lock = threading.Lock()


def _open_shard(path, records, type_string, row=None):
    """The shard ``path`` opened in this process, reopened when the file
    changed; checked against the manifest's record count and type, and for
    the shard of a collection every record against its catalog ``row``."""
    try:
        st = os.stat(path)
    except FileNotFoundError:
        raise FileNotFoundError(2, f"shard file missing on worker {_worker_name()}", path) from None
    key = (path, st.st_ino, st.st_size, st.st_mtime_ns)
    with _opened_lock:
        shard = _opened.get(key)
        if shard is None:
            for old in [k for k in _opened if k[0] == path]:
                del _opened[old]
            if row is not None:
                problems = _core._check_shard(path, row, type_string)
                if problems:
                    raise ValueError(f"on worker {_worker_name()}: " + "; ".join(problems))
            shard = _core._Shard(path)
            if len(shard) != records or shard.type != type_string:
                raise ValueError(f"shard {path} holds {len(shard)} records of {shard.type}, the manifest lists "
                                 f"{records} of {type_string}")
            _opened[key] = shard
    return shard


def _present(paths):
    """Which of the files ``paths`` this worker finds."""
    return [os.path.isfile(p) for p in paths]


def _version_probe():
    """A function that reports the varnex version a worker imports (or why it
    cannot), built here so that it travels by value: a worker without varnex
    can still run it."""
    namespace = {}
    exec("def probe():\n"
         "    try:\n"
         "        import varnex\n"
         "        return varnex.__version__\n"
         "    except Exception as error:\n"
         "        return error\n", namespace)
    return namespace["probe"]


def _worker_name():
    try:
        return distributed.get_worker().address
    except ValueError:
        return "(none)"


# Tasks: pure functions of their arguments, so a rerun after a lost worker
# gives the same partial result.

def _open_task(shard):
    _open_shard(*shard)


def _search_task(shard, words, k, cutoff, measure, alpha, beta, threads):
    return _open_shard(*shard).search(words, k, cutoff, measure, alpha, beta, threads)


def _count_task(shard, words, cutoff, measure, alpha, beta, threads):
    return _open_shard(*shard).count(words, cutoff, measure, alpha, beta, threads)


def _histogram_task(shard, words, bins, measure, alpha, beta, threads):
    return _open_shard(*shard).histogram(words, bins, measure, alpha, beta, threads)


# ---- Client side.

class ShardedDatabase:
    """The shards of a collection (or of a manifest), searched on the workers of
    a Dask ``client``.

    ``ShardedDatabase(path, client, batch=256, threads=1)``: ``path`` is a
    collection's catalog (``NAME.vxc``) or a JSON shard manifest; ``batch``
    queries travel per task, each task searches one shard on ``threads``
    library threads (1 suits workers with a thread per core; a worker per
    machine holding large shards does better with a thread per core here).
    Workers find the shard files in the catalog's folder (at the manifest's
    paths), on a shared file system or each on its own disk; the client needs
    only the catalog (or manifest). Every shard is searched by two of the
    workers that have its file (asked when the workers change), which keep it
    open; when one is lost Dask reruns its tasks on the other.

    Queries are SMILES strings, RDKit molecules, :class:`Fingerprint` objects of
    the shards' type, or a :class:`FingerprintArray`; one query gives one
    result, a sequence gives a list. Every result is exactly that of
    :class:`varnex.Collection` (of one :class:`varnex.FastDatabase` over the
    unsharded file for a manifest), with fields ``index``, ``score`` and
    ``id`` (``index`` and ``score`` for a manifest, which has no ids); which of
    several equal scores at the k-th place are kept is, as there, not defined.
    ``db.ids(indices)`` and ``db.smiles(indices)`` read the catalog. A query that
    cannot be read warns and gets an empty result. A shard missing or damaged
    on a worker raises an exception that names its file; there is never a
    partial answer.
    """

    def __init__(self, manifest, client, batch=256, threads=1):
        path = os.path.abspath(os.fspath(manifest))
        self._rows = None
        self._catalog = None  # the ids and SMILES, for a collection
        if _core._is_collection(path):
            self._catalog = _core._CollectionCatalog(path)
            rows = self._catalog.shards()
            folder = os.path.dirname(path)
            shards = tuple(ShardInfo(os.path.join(folder, r["file"]), r["records"], r["first"], r["min_bits"],
                                     r["max_bits"], r["molecules"], r["bytes"], r["sha256"]) for r in rows)
            self.shards = Shards(path, FPType.from_string(self._catalog.type), "", shards)
            self._rows = rows
        else:
            self.shards = read_manifest(manifest)
        self.client = client
        self.batch = max(1, int(batch))
        self.threads = int(threads)
        self._words = self.shards.type.size // 64
        self._placed_on = None  # the workers that self._home was chosen among
        self._home = None

    @property
    def type(self):
        return self.shards.type

    def __len__(self):
        return self.shards.records

    def __repr__(self):
        return (f"<varnex.distributed.ShardedDatabase {self.shards.manifest!r}, {len(self)} records in "
                f"{len(self.shards)} shards>")

    # -- molecules

    def _named(self):
        if self._catalog is None:
            raise ValueError(f"{self.shards.manifest} is a shard manifest without a collection catalog: "
                             "its molecules have no ids or SMILES")
        return self._catalog

    def ids(self, indices):
        """The ids of the molecules ``indices`` (a list of str), read from the
        catalog on the client; ``ValueError`` for a manifest."""
        return self._named().ids(molecule_indices(indices))

    def smiles(self, indices):
        """The SMILES of the molecules ``indices`` as written into the
        collection ("" for a molecule that could not be read)."""
        return self._named().smiles(molecule_indices(indices))

    # -- queries

    def _queries(self, queries):
        """(words, bit counts, readable mask) of the queries."""
        return query_words(self.type, queries)

    def _bounds(self, counts, measure, alpha, beta):
        """Per shard and query, the best score its records can reach."""
        return np.stack([_core._shard_best_scores(counts, self._words, s.min_bits, s.max_bits, measure, alpha, beta)
                         for s in self.shards.shards])

    def _homes(self):
        """The workers that search each shard: two of those that find its
        file (one when only one does), taken in turn, so that each shard stays
        open in at most two processes and survives the loss of one. Asked
        again when the workers change."""
        workers = tuple(sorted(self.client.scheduler_info()["workers"]))
        if workers != self._placed_on:
            self._check_workers(workers)
            paths = [s.path for s in self.shards.shards]
            present = self.client.run(_present, paths, on_error="ignore") if workers else {}
            homes = []
            for i, path in enumerate(paths):
                holders = [w for w in workers if w in present and present[w][i]]
                if workers and not holders:
                    raise FileNotFoundError(2, "shard file on no worker", path)
                homes.append(list({holders[(i + j) % len(holders)]: None for j in range(2)}) if holders else None)
            if self._rows is not None:
                # Bit count ranges decide which shards a query skips: every
                # shard is checked against its catalog row before any is.
                checks = [self._submit(_open_task, i, homes[i]) for i in range(len(paths))]
                self.client.gather(checks)
            self._placed_on, self._home = workers, homes
        return self._home

    def _check_workers(self, workers):
        """Every worker imports this varnex version; otherwise an error that
        says which worker has which (or none)."""
        if not workers:
            return
        versions = self.client.run(_version_probe(), on_error="return")
        for worker, version in sorted(versions.items()):
            if isinstance(version, BaseException):
                raise RuntimeError(f"worker {worker} cannot import varnex ({version}); install the varnex "
                                   f"package {_core.__version__} on every worker") from None
            if version != _core.__version__:
                raise RuntimeError(f"worker {worker} runs varnex {version}, this client {_core.__version__}; "
                                   f"install the same varnex package on every worker")

    def _submit(self, task, shard, workers, *args):
        info = self.shards.shards[shard]
        row = None if self._rows is None else self._rows[shard]
        return self.client.submit(task, (info.path, info.records, str(self.type), row), *args, workers=workers,
                                  allow_other_workers=True, pure=False)

    def _window(self):
        return max(1, sum(self.client.nthreads().values()))

    # -- searches

    def search(self, queries, k=10, cutoff=None, measure="tanimoto", alpha=1.0, beta=1.0):
        """Per query, the best ``k`` hits over all shards (``k=0``: every hit),
        a structured array with fields ``index`` (molecule index), ``score``
        and, for a collection, ``id``, best first (smallest first for
        manhattan), as :meth:`varnex.Collection.search` gives them; equal
        scores come in molecule order. Only scores at or above ``cutoff`` (at
        or below it for manhattan) when given.
        A shard whose bit counts cannot beat the cutoff, or the k-th score
        already found elsewhere, is not searched; the ids of all hits are read
        from the catalog at once."""
        single = _is_single(queries)
        hits = self._search(queries, k, cutoff, measure, alpha, beta)
        if self._catalog is None:
            return hits
        runs = [hits] if single else hits
        if runs:
            named = with_ids(np.concatenate(runs), self._catalog)
            runs = np.split(named, np.cumsum([len(h) for h in runs])[:-1])
        return runs[0] if single else runs

    def _search(self, queries, k, cutoff, measure, alpha, beta):
        """The hits of :meth:`search`, without ids."""
        single = _is_single(queries)
        words, counts, readable = self._queries([queries] if single else queries)
        descending = measure_info(measure).higher_is_better
        bounds = self._bounds(counts, measure, alpha, beta)
        threshold = _initial_threshold(measure, cutoff)
        n = len(words)
        found = _TopK(n, int(k), descending) if k else _AllHits(n, descending)
        kth = np.full(n, threshold)

        def better(values, than):
            return values > than if descending else values < than

        def merge(positions, result):
            hits, offsets = result
            found.add(positions, hits.astype(_HIT), np.asarray(offsets, dtype=np.int64))
            if k:
                kth[positions] = found.kth(positions, kth[positions])

        # Units of work: (shard, query batch), most promising shards first.
        units = []
        for first in range(0, n, self.batch):
            batch = np.arange(first, min(n, first + self.batch))
            best = bounds[:, batch].max(axis=1) if descending else bounds[:, batch].min(axis=1)
            for s in sorted(range(len(self.shards)), key=lambda s: -best[s] if descending else best[s]):
                units.append((s, batch))
        homes = self._homes()
        pending = {}
        queue = iter(units)

        def submit_next():
            """Submits the next unit that can still improve a hit list."""
            for s, batch in queue:
                keep = batch[readable[batch] & better(bounds[s, batch], kth[batch])]
                if len(keep):
                    future = self._submit(_search_task, s, homes[s], words[keep], int(k), cutoff, measure,
                                          float(alpha), float(beta), self.threads)
                    pending[future] = keep
                    return future
            return None

        # As many units in flight as the cluster has threads; each finished
        # one raises the k-th scores that the next must beat.
        for _ in range(self._window()):
            if submit_next() is None:
                break
        done = distributed.as_completed(list(pending))
        with self._cancelled_on_error(pending):
            for future in done:
                merge(pending.pop(future), future.result())
                following = submit_next()
                if following is not None:
                    done.add(following)
        _warn_unreadable(readable)
        results = [found.hits(q) for q in range(n)]
        return results[0] if single else results

    def matrix(self, queries, k=10, cutoff=None, measure="tanimoto", alpha=1.0, beta=1.0):
        """The hits of :meth:`search` as one structured array with fields
        ``row`` (the query's position), ``col`` (molecule index) and
        ``score``, row by row, as :meth:`varnex.Collection.matrix` gives them
        (:meth:`ids` names the columns)."""
        hits = self._search(queries, k, cutoff, measure, alpha, beta)
        if _is_single(queries):
            hits = [hits]
        cells = np.zeros(sum(len(h) for h in hits), dtype=[("row", "<u8"), ("col", "<u8"), ("score", "<f8")])
        at = 0
        for row, h in enumerate(hits):
            cells["row"][at:at + len(h)] = row
            cells["col"][at:at + len(h)] = h["index"]
            cells["score"][at:at + len(h)] = h["score"]
            at += len(h)
        return cells

    def count(self, queries, cutoff=None, measure="tanimoto", alpha=1.0, beta=1.0):
        """Per query, the number of records scoring at or beyond ``cutoff``
        (above 0 for similarities without one): the length of
        ``search(query, k=0)``. A uint64 array (an int for one query)."""
        single = _is_single(queries)
        words, counts, readable = self._queries([queries] if single else queries)
        descending = measure_info(measure).higher_is_better
        bounds = self._bounds(counts, measure, alpha, beta)
        threshold = _initial_threshold(measure, cutoff)
        reachable = bounds > threshold if descending else bounds < threshold
        total = np.zeros(len(words), dtype=np.uint64)
        for positions, result in self._each_shard(_count_task, words, readable, reachable, cutoff, measure,
                                                  float(alpha), float(beta), self.threads):
            total[positions] += result
        _warn_unreadable(readable)
        return int(total[0]) if single else total

    def histogram(self, queries, bins=50, measure="tanimoto", alpha=1.0, beta=1.0):
        """Per query, its scores against every record in ``bins`` bins over
        [0, 1]: a :class:`varnex.ScoreHistogram` (a list of them for a
        sequence of queries)."""
        if int(bins) < 1:
            raise ValueError("bins must be at least 1")
        single = _is_single(queries)
        words, _, readable = self._queries([queries] if single else queries)
        every = np.ones((len(self.shards), len(words)), dtype=bool)
        total = np.zeros((len(words), int(bins)), dtype=np.uint64)
        for positions, result in self._each_shard(_histogram_task, words, readable, every, int(bins), measure,
                                                  float(alpha), float(beta), self.threads):
            total[positions] += result
        _warn_unreadable(readable)
        out = [ScoreHistogram(row, measure) for row in total]
        return out[0] if single else out

    def _each_shard(self, task, words, readable, wanted, *args):
        """Runs ``task`` for every shard and batch of the readable queries it
        is wanted for; yields (query positions, partial result)."""
        homes = self._homes()
        pending = {}
        for first in range(0, len(words), self.batch):
            batch = np.arange(first, min(len(words), first + self.batch))
            for s in range(len(self.shards)):
                keep = batch[readable[batch] & wanted[s, batch]]
                if len(keep):
                    pending[self._submit(task, s, homes[s], words[keep], *args)] = keep
        with self._cancelled_on_error(pending):
            for future in distributed.as_completed(list(pending)):
                yield pending[future], future.result()

    @contextlib.contextmanager
    def _cancelled_on_error(self, pending):
        """Cancels the tasks still pending when a task failed: no partial
        answer, and no work left behind for nobody."""
        try:
            yield
        except BaseException:
            self.client.cancel(list(pending))
            raise


def _initial_threshold(measure, cutoff):
    """The score a hit must beat, strictly: the library's cutoff rule (every
    score at or beyond ``cutoff`` is in), else the smallest positive double
    (similarities) or the largest (distances)."""
    return _core._score_threshold(cutoff, measure)


_HIT = np.dtype([("index", "<u8"), ("score", "<f8")])


class _TopK:
    """The best k hits of each query so far, in (n, k) arrays merged with the
    partial lists of many queries at once. Rows hold the sort key (the score,
    negated for similarities) ascending, then the molecule index; empty
    slots have key +inf."""

    def __init__(self, n, k, descending):
        self.k = k
        self.sign = -1.0 if descending else 1.0
        self.key = np.full((n, k), np.inf)
        self.index = np.full((n, k), np.iinfo(np.uint64).max, dtype=np.uint64)

    def add(self, positions, hits, offsets):
        """Merges the partial lists ``hits[offsets[j]:offsets[j + 1]]`` (at
        most k each) into the rows ``positions``."""
        m, k = len(positions), self.k
        counts = np.diff(offsets)
        row = np.repeat(np.arange(m), counts)
        col = np.arange(len(hits)) - np.repeat(offsets[:-1], counts)
        key = np.concatenate([self.key[positions], np.full((m, k), np.inf)], axis=1)
        index = np.concatenate([self.index[positions], np.full((m, k), np.iinfo(np.uint64).max, np.uint64)], axis=1)
        key[row, k + col] = self.sign * hits["score"]
        index[row, k + col] = hits["index"]
        order = np.lexsort((index.ravel(), key.ravel(), np.repeat(np.arange(m), 2 * k))).reshape(m, 2 * k)
        keep = order[:, :k] % (2 * k)
        self.key[positions] = np.take_along_axis(key, keep, axis=1)
        self.index[positions] = np.take_along_axis(index, keep, axis=1)

    def kth(self, positions, current):
        """The k-th best scores of the rows, ``current`` where a row is not full."""
        last = self.key[positions, self.k - 1]
        return np.where(np.isfinite(last), self.sign * last, current)

    def hits(self, q):
        full = np.isfinite(self.key[q])
        out = np.zeros(int(full.sum()), dtype=_HIT)
        out["index"] = self.index[q][full]
        out["score"] = self.sign * self.key[q][full]
        return out


class _AllHits:
    """Every hit of each query (a search without limit)."""

    def __init__(self, n, descending):
        self.descending = descending
        self.parts = [[] for _ in range(n)]

    def add(self, positions, hits, offsets):
        for j, q in enumerate(positions):
            self.parts[q].append(hits[offsets[j]:offsets[j + 1]])

    def hits(self, q):
        hits = np.concatenate(self.parts[q]) if self.parts[q] else np.zeros(0, dtype=_HIT)
        order = np.lexsort((hits["index"], -hits["score"] if self.descending else hits["score"]))
        return hits[order]


def _warn_unreadable(readable):
    bad = np.flatnonzero(~readable)
    if len(bad):
        warnings.warn(f"queries {bad.tolist()} could not be read and have empty results", VarnexWarning,
                      stacklevel=3)
