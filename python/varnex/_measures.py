"""The similarity measures of the library, read from its own table."""

import types
from collections import namedtuple

from . import _core

Measure = namedtuple("Measure", "key name code higher_is_better symmetric lowest highest")
Measure.__doc__ = """One similarity measure: ``key`` its name in this package
("tanimoto"), ``name`` its name in the library and the ``varnex`` program
("Tanimoto"), ``code`` the library's number for it, ``higher_is_better``
(False for the Manhattan distance, whose searches give the smallest scores
first), ``symmetric`` (whether a, b and b, a score alike; not Tversky) and
the range ``lowest`` to ``highest`` of its scores and cutoffs."""

MEASURES = types.MappingProxyType({row[0]: Measure(*row) for row in _core._measures()})
"""The measures by key, in the order the library offers them."""


def measure_info(measure):
    """The :class:`Measure` that the name ``measure`` spells in any case
    ("Dice", "dice"); ValueError naming the measures otherwise."""
    return MEASURES[_core._measure_key(measure)]
