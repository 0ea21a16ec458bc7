"""Molecular fingerprints and similarity search on the Varnex library.

Make fingerprints of molecules (SMILES strings, molfile blocks or RDKit
``Chem.Mol`` objects), compare them, keep them in an in-memory
:class:`Database` or search a fast database file (``.fpbin``) made by
:func:`create_database`::

    import varnex
    t = varnex.FPType("Path", size=1024)
    fps = t.fingerprints(["CCO", "c1ccccc1O"])
    varnex.create_database("mols.smi", "mols.fpbin", t)
    with varnex.FastDatabase("mols.fpbin") as db:
        hits = db.search("c1ccccc1O", k=5)    # fields 'index' and 'score'
    varnex.draw("c1ccccc1O", t)               # the atoms behind each bit, as SVG
    varnex.draw_hits("c1ccccc1O", hits, smiles_of_the_file)  # the hits as an HTML page

A collection (:func:`create_collection`, :func:`open`) keeps molecule ids and
SMILES in a SQLite catalog beside its shard files, grows with
:meth:`Collection.append` and answers the search API of :class:`FastDatabase`
with ids::

    coll = varnex.create_collection("lib.vxc", "mols.smi", shards=4)
    coll.append(["CCO", "c1ccccc1N"], ids=["ethanol", "aniline"])
    hits = varnex.open("lib.vxc").search("c1ccccc1O", k=5)  # 'index', 'score', 'id'

Collections too large for one machine are searched on a Dask cluster with
:class:`varnex.distributed.ShardedDatabase`.

The similarity measures, their names, codes and which way their scores
improve are in :data:`MEASURES` (:func:`measure_info` reads a name).

Long calls release the interpreter lock and run on the library's threads.
Library warnings arrive as :class:`VarnexWarning`; failures raise
``ValueError`` or ``OSError`` with the library's message.
"""

from ._core import (
    Database,
    Fingerprint,
    FingerprintArray,
    FPType,
    VarnexWarning,
    __version__,
    bulk_similarity,
    explain,
    scan_kernel,
    similarity,
)
from ._collection import Collection, create_collection, open
from ._fastdb import CreateResult, FastDatabase, create_database
from ._measures import MEASURES, Measure, measure_info
from ._pictures import Drawing, HitPage, ScoreHistogram, draw, draw_hits
from ._shards import ShardInfo, Shards, read_manifest, shard_database

__all__ = [
    "MEASURES",
    "Collection",
    "CreateResult",
    "Database",
    "Drawing",
    "HitPage",
    "Measure",
    "FastDatabase",
    "Fingerprint",
    "FingerprintArray",
    "FPType",
    "ScoreHistogram",
    "ShardInfo",
    "Shards",
    "VarnexWarning",
    "__version__",
    "bulk_similarity",
    "create_collection",
    "create_database",
    "draw",
    "draw_hits",
    "explain",
    "measure_info",
    "open",
    "read_manifest",
    "scan_kernel",
    "shard_database",
    "similarity",
]
