"""Fast database files: creation with a progress bar, and searches."""

import os
import sys
from dataclasses import dataclass, field

import numpy as np

from . import _core
from ._core import FPType
from ._measures import measure_info
from ._pictures import ScoreHistogram
from ._shards import manifest_path, read_manifest


@dataclass(frozen=True)
class CreateResult:
    """What :func:`create_database` wrote.

    ``count`` records, one per molecule of the input file in file order;
    ``failed`` holds the indices of the molecules that could not be read or
    fingerprinted (their records hold no bits). ``shards`` is the
    :class:`Shards` of a sharded creation, else None.
    """

    path: str
    type: FPType
    count: int
    failed: np.ndarray = field(repr=False)
    shards: object = field(default=None, repr=False)


def _progress_bar(progress):
    """A tqdm bar when asked for (or, by default, when stderr is a terminal)."""
    if progress is False:
        return None
    if progress is None and not (hasattr(sys.stderr, "isatty") and sys.stderr.isatty()):
        return None
    try:
        from tqdm import tqdm
    except ImportError:
        return None
    return tqdm(unit=" molecules", desc="Creating", file=sys.stderr)


def _set_total(bar):
    """Gives a tqdm bar its end once the number of molecules is known."""
    if bar is None:
        return None

    def total(count):
        bar.total = count
        bar.refresh()
    return total


def create_database(molecule_file, out_path, fptype="Path", threads=0, progress=None, shards=1):
    """Write the fast database ``out_path`` (``.fpbin``) of a molecule file.

    ``molecule_file`` is a SMILES file (``.smi``, ``.smiles``, ``.txt``) or an
    SD file (``.sdf``, ``.sd``, ``.mol``), also gzip-compressed. ``fptype`` is
    an :class:`FPType` or a kind name (Path, Circular or Tree, a size that is a
    multiple of 256). Runs on ``threads`` threads (0: every processor). A
    progress bar (tqdm) is shown when stderr is a terminal, unless
    ``progress`` is False; True shows it anyway; a callable is called instead
    with the number of molecules done, a few times a second. Returns a
    :class:`CreateResult`. Raises ``OSError`` for an unreadable input and
    ``ValueError`` with the library's message when the database cannot be
    made. A KeyboardInterrupt (or an exception of the ``progress`` callable)
    stops the writing threads within a few molecules and is raised then;
    ``out_path`` is left as it was, as after any failure.

    With ``shards=N`` above 1 the molecules are split into N consecutive
    ranges written to ``db-0.fpbin`` ... ``db-<N-1>.fpbin`` for
    ``out_path="db.fpbin"``, with the manifest ``db.json`` that
    :class:`varnex.distributed.ShardedDatabase` opens (see
    :func:`shard_database`); every record keeps its molecule index.
    """
    if isinstance(fptype, str):
        fptype = FPType(fptype)
    if not isinstance(fptype, FPType):
        raise TypeError("fptype must be an FPType or a kind name")
    bar = None if callable(progress) else _progress_bar(progress)
    update = progress if callable(progress) else None
    if bar is not None:
        def update(count):
            bar.update(count - bar.n)
    try:
        count, failed = _core._create_database(
            os.fspath(molecule_file), os.fspath(out_path), fptype, int(threads), update, int(shards),
            _set_total(bar))
    finally:
        if bar is not None:
            bar.close()
    made = read_manifest(manifest_path(out_path)) if int(shards) > 1 else None
    return CreateResult(os.fspath(out_path), fptype, int(count), np.asarray(failed, dtype=np.uint64), made)


class ClosesOnExit:
    """``with`` support for objects with ``close()``: closed when the block
    ends, whether or not it raised."""

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()
        return False


class FastDatabase(ClosesOnExit, _core.FastDatabase):
    """A fast database file (``.fpbin``), memory-mapped or read into memory.

    ``FastDatabase(path, memory="mmap")``; ``memory="memory"`` reads every
    record into memory. ``len(db)``, ``db.type``, ``db.fingerprint(i)``. Any
    number of threads may search one database at once. Use it as a context
    manager (or call :meth:`close`) to release the mapping. Pickling reopens
    the file by path, so a database is cheap to hand to worker processes.

    Searches return NumPy structured arrays, best first (smallest first for the
    Manhattan distance, whose ``higher_is_better`` in :data:`varnex.MEASURES`
    is False):

    * ``db.search(query, k=10, cutoff=None, measure="tanimoto", alpha=1.0,
      beta=1.0, threads=1)``: fields ``index`` (the stored molecule index,
      uint64) and ``score`` (float64). ``query`` is a :class:`Fingerprint` of
      the database's type, a SMILES string or an RDKit ``Chem.Mol``; ``k=0``
      means no limit; only scores better than ``cutoff`` when given. Measures:
      the keys of :data:`varnex.MEASURES` (tversky with weights ``alpha``,
      ``beta`` in [0, 1]).
    * ``db.search_many(queries, ..., threads=0)``: one such array per query,
      the queries spread over the library's threads. A query that cannot be
      read gives an empty array and a warning.
    * ``db.matrix(k=10, measure=...)``: the ``k`` nearest neighbours of every
      record (itself included), fields ``row``, ``col`` (molecule indices) and
      ``score``.
    * ``db.histogram(bins=50, measure=...)``: counts of the scores of all pairs
      of records in ``bins`` bins over [0, 1], a :class:`ScoreHistogram` (a
      NumPy uint64 array that also knows its bins and plots itself).
    """

    def __init__(self, path, memory="mmap"):
        super().__init__(os.fspath(path), memory)

    def histogram(self, bins=50, measure="tanimoto", alpha=1.0, beta=1.0, threads=1):
        """The scores of all pairs of records in ``bins`` bins over [0, 1].

        Each unordered pair counts once (every ordered pair for tversky).
        Returns a :class:`ScoreHistogram`.
        """
        counts = super().histogram(bins, measure, alpha, beta, threads)
        title = _core._histogram_title(self.path, len(self), self.type, measure_info(measure).name,
                                       counts)
        return ScoreHistogram(counts, measure, title)

    def __reduce__(self):
        return (type(self), (self.path, self.memory))

    def __repr__(self):
        state = "closed" if self.closed else f"{len(self)} records of {self.type}"
        return f"<varnex.FastDatabase {self.path!r} ({self.memory}), {state}>"
