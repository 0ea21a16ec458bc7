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
from ._fastdb import CreateResult, FastDatabase, create_database
from ._pictures import Drawing, ScoreHistogram, draw

__all__ = [
    "CreateResult",
    "Database",
    "Drawing",
    "FastDatabase",
    "Fingerprint",
    "FingerprintArray",
    "FPType",
    "ScoreHistogram",
    "VarnexWarning",
    "__version__",
    "bulk_similarity",
    "create_database",
    "draw",
    "explain",
    "scan_kernel",
    "similarity",
]
