"""Pictures: the patterns behind a fingerprint's bits, and score histograms."""

import os

import numpy as np

from . import _core


def _save_text(path, text):
    """Write ``text`` to ``path`` as UTF-8, whole or not at all (the library's file writer)."""
    _core._save_file(os.fsencode(path), text.encode("utf-8"))


class Drawing:
    """An SVG picture.

    ``d.svg`` (also ``str(d)``) is the whole SVG document; Jupyter shows the
    drawing inline. ``d.save(path)`` writes it to a file.
    """

    def __init__(self, svg):
        self.svg = svg

    def _repr_svg_(self):
        return self.svg

    def __str__(self):
        return self.svg

    def __repr__(self):
        return f"<varnex.Drawing, {len(self.svg)} characters of SVG>"

    def save(self, path):
        """Write the SVG document to ``path``, whole or not at all.

        The text goes to a temporary file beside ``path`` that replaces it
        once complete; on any failure (``OSError`` for a folder that does not
        exist or cannot be written) ``path`` keeps what it had.
        """
        _save_text(path, self.svg)


def draw(mol, t, bit=None, panel=None, columns=None):
    """Draw the patterns behind ``mol``'s fingerprint of type ``t``.

    One panel per bit the fingerprint sets (or only ``bit``), the molecule
    with the atoms and bonds of that bit's patterns highlighted, captioned
    with the bit and the pattern texts, each text in the colour of its
    highlight when several patterns set one bit. MACCS166 gets one panel per
    key, captioned with what the key means and its pattern; the unhashed kinds
    one panel per stored identifier and Lingo one per substring (these take
    no ``bit``). All panels are drawn at one scale; ``panel=(width, height)``
    sets the smallest drawing in pixels (40 to 2000; drawings grow with the
    molecule) and ``columns`` the panels per row (1 to 100, default 4).
    ``mol`` is a SMILES string, a molfile block or an RDKit ``Chem.Mol``. A
    bit that no pattern sets gives an empty picture with a note. Returns a
    :class:`Drawing`. Raises ``ValueError`` for a molecule that cannot be
    read or a bad ``bit``, ``panel`` or ``columns``.
    """
    return Drawing(_core._draw(mol, t, bit, panel, columns))


class HitPage:
    """An HTML page of search hits (see :func:`draw_hits`).

    ``p.html`` (also ``str(p)``) is the whole self-contained page, with no
    script; Jupyter shows the grid inline. ``p.save(path)`` writes the page,
    whole or not at all.
    """

    def __init__(self, html, grid):
        self.html = html
        self._grid = grid

    def _repr_html_(self):
        return f"<style>{_core._hit_grid_style()}</style>{self._grid}"

    def __str__(self):
        return self.html

    def __repr__(self):
        return f"<varnex.HitPage, {len(self.html)} characters of HTML>"

    def save(self, path):
        """Write the page to ``path``, whole or not at all (``OSError`` as for :meth:`Drawing.save`)."""
        _save_text(path, self.html)


def draw_hits(query, hits, molecules, names=None, t=None, highlight="mcs", panel=None, columns=None,
              mcs_time=1.0, title="varnex search", heading="query"):
    """An HTML page of the hits of a search, drawn for a chemist to read.

    ``hits`` is what a search returns (an array with fields ``index`` and
    ``score``, best first) or pairs ``(index, score)``; ``molecules[index]``
    is each hit's molecule (SMILES, molfile block, RDKit ``Chem.Mol``, or None
    for one that cannot be had) and ``names[index]`` its name. The page shows
    the query once, then every hit drawn at the query's scale and in its
    orientation, captioned with rank, name, index, score and SMILES, the
    ``highlight`` in colour: ``"mcs"`` the largest common substructure with
    the query (searched for at most ``mcs_time`` seconds per hit), ``"bits"``
    the atoms of the fingerprint features of ``t`` both share (the query
    beside each hit), ``"none"`` nothing. ``panel=(width, height)`` is the
    smallest drawing in pixels and ``columns`` the most figures per row.
    Returns a :class:`HitPage`. Raises ``ValueError`` for a query that cannot
    be read or a bad option, ``IndexError`` for a hit beyond ``molecules``; a
    hit molecule that cannot be read gets a note and a warning.
    """
    rows = []
    for index, score in _hit_pairs(hits):
        if not 0 <= index < len(molecules):
            raise IndexError(f"draw_hits(): hit index {index} is beyond the {len(molecules)} molecules given")
        name = "" if names is None else str(names[index])
        rows.append((molecules[index], name, index, score))
    grid = _core._hit_grid_html(heading, query, rows, t, highlight, panel, columns, float(mcs_time))
    subtitle = f"{len(rows)} hits" + (f" by {t}" if t is not None else "")
    return HitPage(_core._hit_page_html(title, subtitle, [grid]), grid)


def _hit_pairs(hits):
    """(index, score) pairs from a search result array or from pairs."""
    names = getattr(getattr(hits, "dtype", None), "names", None)
    if names and "index" in names and "score" in names:
        return [(int(i), float(s)) for i, s in zip(hits["index"], hits["score"])]
    return [(int(i), float(s)) for i, s in hits]


class ScoreHistogram(np.ndarray):
    """The counts of a score histogram (a NumPy uint64 array) and its bins.

    ``h.edges`` holds the ``len(h) + 1`` bin boundaries over [0, 1],
    ``h.measure`` the similarity measure and ``h.title`` the lines that say
    which database, type and measure it counts and how many pairs. ``h.plot()``
    draws a bar chart with matplotlib (when it is installed); Jupyter shows
    the chart inline without it. Both put the counts on a logarithmic axis
    when the largest bin holds more than 100 times the smallest non-empty one
    (``log=None``), so that the few high scores stay visible; ``log=True`` or
    ``False`` chooses.
    """

    def __new__(cls, counts, measure, title=()):
        h = np.asarray(counts, dtype=np.uint64).view(cls)
        h.edges = np.linspace(0.0, 1.0, len(h) + 1)
        h.measure = measure
        h.title = list(title)
        return h

    def __array_finalize__(self, obj):
        self.edges = getattr(obj, "edges", None)
        self.measure = getattr(obj, "measure", "")
        self.title = getattr(obj, "title", [])

    def _whole(self):
        """Whether this is the histogram itself, not a slice or a result."""
        return self.ndim == 1 and self.edges is not None and len(self.edges) == len(self) + 1

    def _counts(self):
        return np.ascontiguousarray(self, dtype=np.uint64).view(np.ndarray)

    def svg(self, log=None):
        """The bar chart as an SVG document (what Jupyter shows)."""
        if not self._whole():
            raise ValueError("svg() needs the whole histogram, not a slice of it")
        return _core._histogram_svg(self._counts(), float(self.edges[0]), float(self.edges[-1]), self.title,
                                    f"{self.measure.capitalize()} score", "pairs of records", log)

    def _repr_svg_(self):
        return self.svg() if self._whole() else None

    def plot(self, ax=None, log=None, **bar_options):
        """Draw the counts as bars on ``ax`` (a new figure's axes by default).

        ``log``: counts on a logarithmic axis (None: when the largest bin
        holds more than 100 times the smallest non-empty one). Extra keyword
        arguments go to ``ax.bar``. Returns the axes. Needs matplotlib, which
        varnex does not depend on: ``ImportError`` when it is missing.
        """
        if not self._whole():
            raise ValueError("plot() needs the whole histogram, not a slice of it")
        try:
            import matplotlib.pyplot as plt
        except ImportError as e:
            raise ImportError("ScoreHistogram.plot() needs matplotlib (apt-get install python3-matplotlib)") from e
        if ax is None:
            ax = plt.figure().add_subplot()
        if log is None:
            log = _core._histogram_wants_log(self._counts())
        widths = np.diff(self.edges)
        ax.bar(self.edges[:-1], self.view(np.ndarray), width=widths, align="edge", **bar_options)
        if log:
            ax.set_yscale("log")
        ax.set_xlabel(f"{self.measure.capitalize()} score")
        ax.set_ylabel("pairs of records" + (" (log scale)" if log else ""))
        if self.title:
            ax.set_title("\n".join(self.title))
        return ax
