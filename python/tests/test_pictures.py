"""Pictures: varnex.draw against varnex.explain, and the score histogram's chart and plot."""

import re
import sys
import types
import xml.etree.ElementTree as ET
from unittest import mock

import numpy as np
import pytest
from rdkit import Chem

import varnex

SVG = "{http://www.w3.org/2000/svg}"
XHTML = "{http://www.w3.org/1999/xhtml}"


def panels(drawing):
    """Per panel of a drawing: its first caption line and the highlighted atom indices (sorted)."""
    root = ET.fromstring(drawing.svg.encode())
    out = []
    for g in root.iter(SVG + "g"):
        if g.get("class") != "panel":
            continue
        caption = next(t.text for t in g.iter(SVG + "text") if t.get("class") == "caption")
        atoms = sorted(int(e.get("class")[5:]) for e in g.iter(SVG + "ellipse"))
        out.append((caption, atoms))
    return out


def test_panel_and_columns_shape_the_grid():
    t = varnex.FPType("MACCS166")
    keys = len(list(t.fingerprint("CCO").on_bits()))
    for panel, columns in [((300, 200), 2), ((120, 90), 3)]:
        root = ET.fromstring(varnex.draw("CCO", t, panel=panel, columns=columns).svg.encode())
        # columns cells of the panel's width, 10 px apart within 10 px margins
        assert int(root.get("width")) == 2 * 10 + columns * panel[0] + (columns - 1) * 10
        frames = [int(float(r.get("width"))) for r in root.iter(SVG + "rect") if r.get("class") == "frame"]
        assert frames == [panel[0]] * keys


def test_drawing_shows_inline_and_takes_every_molecule_form(tmp_path):
    t = varnex.FPType("Circular")
    d = varnex.draw(Chem.MolFromSmiles("c1ccccc1O"), t, bit=varnex.explain("c1ccccc1O", t)[0]["bit"])
    assert d._repr_svg_() == d.svg == str(d)
    assert len(panels(d)) == 1
    d.save(tmp_path / "one.svg")
    assert (tmp_path / "one.svg").read_text(encoding="utf-8") == d.svg
    # A folder that does not exist, or a folder in the way: OSError, no file left behind.
    (tmp_path / "folder.svg").mkdir()
    for path, error in [(tmp_path / "missing" / "x.svg", FileNotFoundError),
                        (tmp_path / "folder.svg", IsADirectoryError)]:
        with pytest.raises(error, match=re.escape(f"cannot write {path}")):
            d.save(path)
    # A write that fails half-way (text that cannot be encoded) leaves the old file.
    with pytest.raises(UnicodeEncodeError):
        varnex.Drawing(d.svg + "\ud800").save(tmp_path / "one.svg")
    assert (tmp_path / "one.svg").read_text(encoding="utf-8") == d.svg
    assert sorted(p.name for p in tmp_path.iterdir()) == ["folder.svg", "one.svg"]
    assert not any((tmp_path / "folder.svg").iterdir())
    # Unhashed kinds: one panel per stored identifier, lighting up the atoms explain gives it.
    unhashed = varnex.FPType("UnhashedPath", max_dist=1)
    explained = [(p["pattern"], sorted(p["atoms"])) for p in varnex.explain("CCO", unhashed)]
    assert panels(varnex.draw("CCO", unhashed)) == explained


def test_histogram_is_an_array_with_its_bins_and_chart(small_db):
    h = small_db.histogram(bins=4, measure="dice")
    assert isinstance(h, np.ndarray) and h.dtype == np.uint64 and h.sum() == 15
    assert list(h.edges) == [0.0, 0.25, 0.5, 0.75, 1.0] and h.measure == "dice"
    root = ET.fromstring(h._repr_svg_().encode())
    bars = [r for r in root.iter(SVG + "rect") if r.get("class") == "bar"]
    assert [int(b.find(SVG + "title").text.rsplit(" ", 1)[1]) for b in bars] == list(h)
    assert "Dice score" in [e.text for e in root.iter(SVG + "text")]
    # The title says what is counted; the counts axis is logarithmic when asked.
    assert h.title[0] == f"{small_db.path}: 6 records" and h.title[-1] == "Dice scores of 15 pairs"
    assert [e.text for e in root.iter(SVG + "text") if e.get("class") == "title"][-1] == h.title[-1]
    log = ET.fromstring(h.svg(log=True).encode())
    assert "pairs of records (log scale)" in [e.text for e in log.iter(SVG + "text")]
    # A slice or a sum is no longer the histogram: no chart.
    assert h[1:3]._repr_svg_() is None and (h + 1)._repr_svg_() is not None


def test_plot_draws_the_bars_on_matplotlib_axes(small_db, monkeypatch):
    pyplot = mock.MagicMock()
    monkeypatch.setitem(sys.modules, "matplotlib", types.SimpleNamespace(pyplot=pyplot))
    monkeypatch.setitem(sys.modules, "matplotlib.pyplot", pyplot)
    h = small_db.histogram(bins=5)
    ax = h.plot(color="grey")
    assert ax is pyplot.figure().add_subplot()
    (x, height), kw = ax.bar.call_args
    assert list(x) == pytest.approx([0.0, 0.2, 0.4, 0.6, 0.8]) and list(height) == list(h)
    assert list(kw["width"]) == pytest.approx([0.2] * 5) and kw["align"] == "edge" and kw["color"] == "grey"
    ax.set_xlabel.assert_called_once_with("Tanimoto score")
    ax.set_title.assert_called_once_with("\n".join(h.title))
    # Counts spanning more than a hundredfold go on a log axis unless told otherwise.
    for counts, log, scaled in [(h, None, False), ([1, 5000, 0], None, True), ([1, 5000, 0], False, False)]:
        axes = mock.MagicMock()
        varnex.ScoreHistogram(counts, "tanimoto").plot(ax=axes, log=log)
        assert axes.set_yscale.called == scaled
        axes.set_ylabel.assert_called_once_with("pairs of records" + (" (log scale)" if scaled else ""))

    monkeypatch.setitem(sys.modules, "matplotlib", None)
    monkeypatch.setitem(sys.modules, "matplotlib.pyplot", None)
    with pytest.raises(ImportError, match="needs matplotlib"):
        h.plot()


def test_hit_page_from_a_search_with_notes(small_db, tmp_path):
    smiles = ["c1ccccc1C(=O)O", "CC(=O)Oc1ccccc1C(=O)O", "CCO", "c1ccccc1O", "Cc1ccccc1", "CCN"]
    hits = small_db.search("CC(=O)Oc1ccccc1C(=O)O", k=3)
    page = varnex.draw_hits("CC(=O)Oc1ccccc1C(=O)O", hits, smiles, names=[f"m{i}" for i in range(6)])
    root = ET.fromstring(page.html.encode())
    figures = [f for f in root.iter(XHTML + "figure") if f.get("class") == "hit"]
    captions = [[d.text for d in f.iter(XHTML + "div") if d.get("class") in ("name", "index", "score")] for f in figures]
    assert captions == [[f"m{i}", f"index {i}", f"score {s:.3f}"] for i, s in zip(hits["index"], hits["score"])]
    assert page._repr_html_().startswith("<style>") and str(page) == page.html
    page.save(tmp_path / "hits.html")
    assert (tmp_path / "hits.html").read_text(encoding="utf-8") == page.html

    # A molecule that cannot be read, or none at all: a note in its place.
    with pytest.warns(varnex.VarnexWarning, match="C1CC"):
        page = varnex.draw_hits("CCO", [(0, 0.5), (1, 0.25)], ["C1CC(", None])
    notes = [t.text for t in ET.fromstring(page.html.encode()).iter(SVG + "text") if t.get("class") == "note"]
    assert notes == ["record 0 could not be read", "record 1 could not be read"]
