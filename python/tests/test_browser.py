"""Pictures as a reader sees them: pages rendered by headless Chromium at 1,000 px width.

On a search page and a histogram chart, measured from the rendered DOM:
every atom label at least 11 px high, bond lengths on one page within 10 % of
each other, nothing sticking out of its figure, tick labels clear of the axis
titles (that names are escaped is the hit grid's own test).
"""

import numpy as np

import varnex

# The molecule drawings of the page (svg elements with bond paths of their
# own), each with its label sizes and its bond lengths in screen pixels. A
# bond counts when neither atom has a label, so that it is drawn from atom
# centre to atom centre: its longest straight segment.
MEASURE_DRAWINGS = """
const drawings = [...document.querySelectorAll('svg')].filter(s => s.querySelector(':scope > path[class^="bond-"]'));
return drawings.map(svg => {
  const labels = {}, longest = {};
  for (const t of svg.querySelectorAll('text')) {
    const m = (t.getAttribute('class') || '').match(/atom-(\\d+)/);
    if (!m) continue;
    const ctm = t.getScreenCTM();
    const size = parseFloat(getComputedStyle(t).fontSize) * Math.hypot(ctm.a, ctm.b);
    labels[m[1]] = Math.max(labels[m[1]] || 0, size);
  }
  for (const p of svg.querySelectorAll('path')) {
    const m = (p.getAttribute('class') || '').match(/^bond-(\\d+) atom-(\\d+) atom-(\\d+)/);
    const d = (p.getAttribute('d') || '').match(/^M ([-\\d.]+),([-\\d.]+) L ([-\\d.]+),([-\\d.]+)$/);
    if (!m || !d || m[2] in labels || m[3] in labels) continue;
    const ctm = p.getScreenCTM();
    const a = new DOMPoint(+d[1], +d[2]).matrixTransform(ctm), b = new DOMPoint(+d[3], +d[4]).matrixTransform(ctm);
    longest[m[1]] = Math.max(longest[m[1]] || 0, Math.hypot(a.x - b.x, a.y - b.y));
  }
  return {labels: Object.values(labels), bonds: Object.values(longest)};
});
"""

# Everything inside each figure that reaches outside it, and whether the page
# scrolls sideways.
MEASURE_OVERFLOW = """
const out = [];
const inside = (q, r) => q.left >= r.left - 1 && q.right <= r.right + 1 && q.top >= r.top - 1 && q.bottom <= r.bottom + 1;
for (const f of document.querySelectorAll('figure')) {
  const r = f.getBoundingClientRect();
  for (const e of f.querySelectorAll('*')) {
    const q = e.getBoundingClientRect();
    if ((q.width || q.height) && !inside(q, r)) out.push(e.tagName + ' ' + (e.getAttribute('class') || ''));
  }
}
return {outside: out, sideways: document.documentElement.scrollWidth > window.innerWidth};
"""

MEASURE_CHART = """
const box = e => e.getBoundingClientRect();
const meet = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
const ticks = [...document.querySelectorAll('text.tick')].map(box);
const labels = [...document.querySelectorAll('text.axis-label')].map(box);
let clashes = 0;
for (const t of ticks) for (const l of labels) if (meet(t, l)) clashes++;
for (let i = 0; i < ticks.length; i++) for (let j = i + 1; j < ticks.length; j++) if (meet(ticks[i], ticks[j])) clashes++;
return {clashes: clashes, ticks: ticks.length, title: [...document.querySelectorAll('text.title')].map(e => e.textContent),
        right: Math.max(...[...document.querySelectorAll('text')].map(e => box(e).right)),
        width: document.documentElement.getBoundingClientRect().width};
"""


def show(browser, path):
    browser.get(path.as_uri())
    assert browser.execute_script("return window.innerWidth") == 1000


def check_drawings(browser, count):
    drawings = browser.execute_script(MEASURE_DRAWINGS)
    assert len(drawings) == count
    labels = [size for d in drawings for size in d["labels"]]
    bonds = [length for d in drawings for length in d["bonds"]]
    assert labels and min(labels) >= 11 - 0.01, min(labels)
    assert bonds and max(bonds) <= 1.10 * min(bonds), (min(bonds), max(bonds))
    overflow = browser.execute_script(MEASURE_OVERFLOW)
    assert overflow == {"outside": [], "sideways": False}


def test_search_page_reads_at_one_scale(browser, smiles, tmp_path):
    """A drug-sized query and its 8 nearest neighbours among 300 NCI molecules."""
    query = "CCN(CC)CCCC(C)Nc1ccnc2cc(Cl)ccc12"
    t = varnex.FPType("Path")
    scores = varnex.bulk_similarity(t.fingerprint(query), t.fingerprints(smiles))
    hits = [(int(i), float(scores[i])) for i in np.argsort(-scores, kind="stable")[:8]]
    page = varnex.draw_hits(query, hits, smiles, names=[f"NSC {i}" for i in range(len(smiles))])
    (tmp_path / "search.html").write_text(page.html, encoding="utf-8")
    show(browser, tmp_path / "search.html")
    check_drawings(browser, 1 + len(hits))


def test_histogram_chart_labels_stay_clear_of_each_other(browser, tmp_path):
    counts = np.array([12, 98_000_000, 310_000_000, 45_000_000, 2_500_000, 180_000, 9_000, 700, 40, 0], dtype=np.uint64)
    h = varnex.ScoreHistogram(counts, "tanimoto", ["nci.fpbin: 28,285 records", "Path,ver=2.0.0,size=4096",
                                                   "Tanimoto scores of 455,689,752 pairs"])
    (tmp_path / "histogram.svg").write_text(h.svg(), encoding="utf-8")
    show(browser, tmp_path / "histogram.svg")
    chart = browser.execute_script(MEASURE_CHART)
    assert chart["clashes"] == 0 and chart["ticks"] > 10
    assert chart["title"] == h.title
    assert chart["right"] <= chart["width"]
