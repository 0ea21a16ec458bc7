"""Collections: molecules with ids in shard files listed by a SQLite catalog,
grown by appends and searched as one database."""

import builtins
import os
import re
import tempfile

import numpy as np

from . import _core
from ._core import Fingerprint, FingerprintArray, FPType
from ._fastdb import ClosesOnExit, FastDatabase, _progress_bar, _set_total
from ._measures import measure_info
from ._pictures import ScoreHistogram
from ._shards import ShardInfo

__all__ = ["Collection", "create_collection", "open"]

HIT_DTYPE = np.dtype([("index", "<u8"), ("score", "<f8"), ("id", object)])

# A line the molecule reader takes as a record and cannot parse: the place of
# a molecule that is missing (None) or could not be converted.
_UNREADABLE = "?"
_BLANK = re.compile(r"\s")


def is_single_query(queries):
    """Whether ``queries`` is one query rather than a sequence of them."""
    return isinstance(queries, (str, bytes, Fingerprint)) or type(queries).__name__ == "Mol"


def query_words(fptype, queries):
    """(words, bit counts, readable mask) of ``queries`` as fingerprints of
    ``fptype``: the packed rows a shard or collection search takes. A query
    that cannot be read warns and keeps an empty row."""
    words_per_row = fptype.size // 64
    if isinstance(queries, FingerprintArray):
        array = queries
    else:
        items = list(queries)
        if items and all(isinstance(q, Fingerprint) for q in items):
            rows = [np.frombuffer(bytes(q), dtype=np.uint64) if q.type == fptype else None for q in items]
            if any(r is None for r in rows):
                raise ValueError(f"every query fingerprint must be of the type {fptype}")
            array = FingerprintArray.from_words(fptype, np.stack(rows))
        else:
            array = fptype.fingerprints(items, threads=0)
    if array.type != fptype:
        raise ValueError(f"the queries are {array.type} fingerprints, the collection holds {fptype}")
    words = np.ascontiguousarray(array.words, dtype=np.uint64).reshape(len(array), words_per_row)
    readable = np.ones(len(array), dtype=bool)
    readable[np.asarray(array.failed, dtype=np.int64)] = False
    return words, np.asarray(array.counts(), dtype=np.uint64), readable


def molecule_indices(indices):
    """``indices`` as a uint64 array; ``IndexError`` for a negative or
    non-integer one."""
    array = np.atleast_1d(np.asarray(indices))
    if array.size and (array.dtype.kind not in "iu" or array.min() < 0):
        raise IndexError("molecule indices must be non-negative integers")
    return array.astype(np.uint64)


def with_ids(hits, catalog):
    """The hits (fields ``index`` and ``score``) as a :data:`HIT_DTYPE` array,
    their ids looked up in ``catalog`` at once."""
    out = np.empty(len(hits), dtype=HIT_DTYPE)
    out["index"] = hits["index"]
    out["score"] = hits["score"]
    out["id"] = catalog.ids(np.ascontiguousarray(hits["index"], dtype=np.uint64)) if len(hits) else []
    return out


def _smiles_line(item):
    """The SMILES of one molecule for the input file, or the unreadable mark."""
    if item is None:
        return _UNREADABLE
    if isinstance(item, str):
        if "\n" in item:  # a molfile block
            from rdkit import Chem
            mol = Chem.MolFromMolBlock(item)
            return Chem.MolToSmiles(mol) if mol is not None and mol.GetNumAtoms() else _UNREADABLE
        smiles = item.strip()
        return smiles if smiles and not _BLANK.search(smiles) and not smiles.startswith("#") else _UNREADABLE
    if type(item).__name__ == "Mol":
        from rdkit import Chem
        return Chem.MolToSmiles(item) if item.GetNumAtoms() else _UNREADABLE
    raise TypeError("expected a molecule (a SMILES string, a molfile block, an rdkit.Chem.Mol or None), got "
                    + type(item).__name__)


def _id_list(ids):
    if ids is None:
        return []
    out = [str(i) for i in ids]
    for i in out:
        if "\n" in i or "\r" in i:
            raise ValueError(f"an id must be one line: {i!r}")
    return out


def _write(path, molecules, fptype, ids, shards, threads, progress):
    """Creates (``fptype`` given) or grows the collection; (first, count, failed)."""
    bar = None if callable(progress) else _progress_bar(progress)
    update = progress if callable(progress) else None
    if bar is not None:
        def update(count):
            bar.update(count - bar.n)
    ids = _id_list(ids)
    try:
        if isinstance(molecules, (str, os.PathLike)) and not (isinstance(molecules, str) and "\n" in molecules):
            return _core._write_collection(path, os.fspath(molecules), fptype, ids, int(shards), int(threads),
                                           update, _set_total(bar))
        stem = os.path.splitext(os.path.basename(path))[0]
        with tempfile.TemporaryDirectory(prefix="varnex-") as folder:
            source = os.path.join(folder, stem + "-molecules.smi")
            with builtins.open(source, "w", encoding="utf-8") as out:
                for item in molecules:
                    out.write(_smiles_line(item) + "\n")
            return _core._write_collection(path, source, fptype, ids, int(shards), int(threads), update,
                                           _set_total(bar))
    finally:
        if bar is not None:
            bar.close()


def create_collection(path, molecules, fptype="Path", ids=None, shards=1, threads=0, progress=None):
    """Create the collection ``path`` (``NAME.vxc``) and return it opened.

    ``molecules`` is a molecule file (SMILES or SD, also gzip-compressed) or
    an iterable of SMILES strings, molfile blocks or RDKit ``Chem.Mol``
    objects: molecule ``i`` gets index ``i``; a ``None`` or unreadable item
    keeps its index with an empty record and is listed in the collection's
    :attr:`Collection.failed`. ``ids`` gives one id per molecule (default: the
    file's titles, else the index as text). The molecules go into ``shards``
    shard files beside the catalog, written on ``threads`` threads (0: every
    processor); ``progress`` as for :func:`create_database`. Every file
    appears whole or not at all: after any failure (``ValueError``,
    ``OSError``, ``KeyboardInterrupt``) no collection exists.
    """
    if isinstance(fptype, str):
        fptype = FPType(fptype)
    if not isinstance(fptype, FPType):
        raise TypeError("fptype must be an FPType or a kind name")
    path = os.fspath(path)
    _write(path, molecules, fptype, ids, shards, threads, progress)
    return Collection(path)


def open(path, memory="mmap"):  # noqa: A001 - the package's one door, varnex.open
    """A :class:`Collection` for a catalog (``NAME.vxc``), a
    :class:`FastDatabase` for a ``.fpbin`` file."""
    path = os.fspath(path)
    if _core._is_collection(path):
        return Collection(path)
    return FastDatabase(path, memory)


class Collection(ClosesOnExit):
    """An open collection: the search API of :class:`FastDatabase` over all
    its shards, in this process on the library's threads, with molecule ids.

    ``len(coll)``, ``coll.type``, ``coll.shards`` (:class:`ShardInfo` tuple),
    ``coll.failed`` (indices of empty records). Searches return NumPy
    structured arrays with fields ``index`` (uint64), ``score`` (float64) and
    ``id`` (str), best first; they equal a search of one ``.fpbin`` file of the
    same molecules (which of several equal scores at the k-th place are kept
    is not defined there either). ``coll.ids(indices)``,
    ``coll.smiles(indices)``, ``coll.molecule(index)`` (an RDKit ``Chem.Mol``),
    ``coll.append(molecules, ids=None)`` (returns the new indices). Any number
    of threads may search one collection at once; :meth:`append` reopens it.
    """

    def __init__(self, path):
        self.path = os.fspath(path)
        self._c = _core._Collection(self.path)

    def __len__(self):
        return len(self._c)

    @property
    def type(self):
        """The :class:`FPType` of every record."""
        return self._c.type

    @property
    def shards(self):
        """The shards in molecule order, as :class:`ShardInfo`."""
        folder = os.path.dirname(os.path.abspath(self.path))
        return tuple(ShardInfo(os.path.join(folder, s["file"]), s["records"], s["first"], s["min_bits"],
                               s["max_bits"], s["molecules"], s["bytes"], s["sha256"]) for s in self._c.shards())

    @property
    def failed(self):
        """Indices of the molecules that could not be read or fingerprinted."""
        return np.asarray(self._c.failed(), dtype=np.uint64)

    @property
    def closed(self):
        return self._c.closed

    def close(self):
        """Releases the shards' mappings and the catalog."""
        self._c.close()

    def __reduce__(self):
        return (type(self), (self.path,))

    def __repr__(self):
        state = "closed" if self.closed else f"{len(self)} molecules of {self.type} in {len(self._c.shards())} shards"
        return f"<varnex.Collection {self.path!r}, {state}>"

    # -- molecules

    def ids(self, indices):
        """The ids of the molecules ``indices`` (a list of str)."""
        return self._c.ids(molecule_indices(indices))

    def smiles(self, indices):
        """The SMILES of the molecules ``indices`` as written into the
        collection ("" for a molecule that could not be read)."""
        return self._c.smiles(molecule_indices(indices))

    def molecule(self, index):
        """Molecule ``index`` as an RDKit ``Chem.Mol`` (None when it could not
        be read at creation)."""
        from rdkit import Chem
        smiles = self.smiles([index])[0]
        if not smiles or int(index) in set(self.failed.tolist()):
            return None
        return Chem.MolFromSmiles(smiles)

    def fingerprint(self, index):
        """The record of molecule ``index`` as a :class:`Fingerprint`."""
        return FingerprintArray.from_words(self.type, self._c.record(int(index)).reshape(1, -1))[0]

    def append(self, molecules, ids=None, shards=1, threads=0, progress=None):
        """Adds ``molecules`` (as for :func:`create_collection`) in ``shards``
        new shards and returns their indices, which continue the
        collection's. All or nothing: after a failure the collection is as it
        was. Searches afterwards see every molecule."""
        first, count, _ = _write(self.path, molecules, None, ids, shards, threads, progress)
        self._c = _core._Collection(self.path)
        return np.arange(first, first + count, dtype=np.uint64)

    # -- searches

    def search_many(self, queries, k=10, cutoff=None, measure="tanimoto", alpha=1.0, beta=1.0, threads=0):
        """One hit array per query (see :meth:`search`); a query that cannot be
        read warns and gets an empty array."""
        words, _, readable = query_words(self.type, queries)
        flat, offsets = self._c.search(words[readable], int(k), cutoff, measure, alpha, beta, int(threads))
        flat = with_ids(flat, self._c)
        results = [flat[:0]] * len(words)
        for j, q in enumerate(np.flatnonzero(readable)):
            results[q] = flat[offsets[j]:offsets[j + 1]]
        return results

    def search(self, query, k=10, cutoff=None, measure="tanimoto", alpha=1.0, beta=1.0, threads=0):
        """The ``k`` best hits of one query (0: no limit) better than ``cutoff``
        (above 0 for similarities when None): a structured array with fields
        ``index``, ``score`` and ``id``. ``query`` is a SMILES string, a
        molfile block, an RDKit molecule or a :class:`Fingerprint` of the
        collection's type; ``ValueError`` when it cannot be read."""
        words, _, readable = query_words(self.type, [query])
        if not readable[0]:
            raise ValueError("Collection.search(): the query cannot be read")
        return self.search_many(FingerprintArray.from_words(self.type, words), k, cutoff, measure, alpha, beta,
                                threads)[0]

    def count(self, queries, cutoff=None, measure="tanimoto", alpha=1.0, beta=1.0, threads=0):
        """The number of hits better than ``cutoff``: an int for one query, a
        uint64 array for several (0 for a query that cannot be read)."""
        single = is_single_query(queries)
        words, _, readable = query_words(self.type, [queries] if single else queries)
        counts = np.zeros(len(words), dtype=np.uint64)
        counts[readable] = self._c.count(words[readable], cutoff, measure, alpha, beta, int(threads))
        return int(counts[0]) if single else counts

    def matrix(self, k=10, cutoff=None, measure="tanimoto", alpha=1.0, beta=1.0, threads=0):
        """The ``k`` nearest neighbours of every molecule (itself included):
        fields ``row``, ``col`` (molecule indices) and ``score``; scores of 0
        are left out, as in a search."""
        return self._c.matrix(int(k), cutoff, measure, alpha, beta, int(threads))

    def histogram(self, bins=50, measure="tanimoto", alpha=1.0, beta=1.0, threads=0):
        """The scores of all pairs of molecules in ``bins`` bins over [0, 1], as
        :meth:`FastDatabase.histogram` gives them; a :class:`ScoreHistogram`."""
        counts = self._c.histogram(int(bins), measure, alpha, beta, int(threads))
        title = _core._histogram_title(self.path, len(self), self.type, measure_info(measure).name, counts)
        return ScoreHistogram(counts, measure, title)
