"""Shards of a fast database: splitting a file and reading manifests."""

import os
from dataclasses import dataclass

from . import _core
from ._core import FPType


@dataclass(frozen=True)
class ShardInfo:
    """One shard: its file (absolute path), record count, the molecule index of
    its first record and the lowest and highest stored bit count; for the
    shard of a collection also its header's molecule file line, its size and
    its SHA-256 as the catalog keeps them."""

    path: str
    records: int
    first: int
    min_bits: int
    max_bits: int
    molecules: str = ""
    bytes: int = 0
    sha256: str = ""


@dataclass(frozen=True)
class Shards:
    """A manifest of shards (``<stem>.json``) and what it lists, in molecule
    order: ``shards[i + 1]`` starts where ``shards[i]`` ends."""

    manifest: str
    type: FPType
    molecules: str
    shards: tuple

    def __len__(self):
        return len(self.shards)

    @property
    def records(self):
        """The number of records of all shards together."""
        return sum(s.records for s in self.shards)


def read_manifest(manifest):
    """The :class:`Shards` of a manifest file; ``ValueError`` naming what is
    wrong when it is damaged, ``OSError`` when it cannot be read."""
    path = os.path.abspath(os.fspath(manifest))
    if not os.path.isfile(path):
        raise FileNotFoundError(2, "no shard manifest", path)
    return _from_dict(path, _core._read_manifest(path))


def _from_dict(path, d):
    folder = os.path.dirname(path)
    shards = tuple(ShardInfo(os.path.join(folder, s["file"]), s["records"], s["first"], s["min_bits"],
                             s["max_bits"]) for s in d["shards"])
    return Shards(path, FPType.from_string(d["type"]), d["molecules"], shards)


def manifest_path(fpbin):
    """The manifest of the collection ``fpbin``: ``db.fpbin`` -> ``db.json``
    (the library's own naming, so that the path is where creation writes it)."""
    return _core._manifest_path(os.fspath(fpbin))


def shard_database(fpbin, n, out=None):
    """Split the fast database ``fpbin`` into ``n`` shards of consecutive
    records and write their manifest; returns its :class:`Shards`.

    The shards of ``out`` (default: ``fpbin`` itself) ``db.fpbin`` are
    ``db-0.fpbin`` to ``db-<n-1>.fpbin`` beside the manifest ``db.json``;
    records are copied unchanged, so hits keep naming the same molecules.
    With ``n=1`` and no ``out`` nothing is copied: the manifest lists the file
    itself. Every file appears whole or not at all. ``ValueError`` with the
    library's message when the input is damaged or holds fewer than ``n``
    records.
    """
    fpbin = os.fspath(fpbin)
    out = fpbin if out is None else os.fspath(out)
    if int(n) < 1:
        raise ValueError("n must be at least 1")
    return _from_dict(os.path.abspath(manifest_path(out)), _core._split_database(fpbin, int(n), out))
