"""Search pages as a chemist reads them, this build against an earlier varnex program.

For aspirin, caffeine and a drug-sized NCI query (a 4-aminoquinoline, NCI
record 107) over the 4,999 NCI molecules, at 10 and 100 hits, writes the HTML
page of `varnex search` with the earlier program (its only highlight: the
fingerprint overlap) and with this build (-highlight mcs, the default, and
-highlight bits), and reports per page: the share of the query's and of each
hit's atoms highlighted (mean over the hits), the smallest atom label in
pixels, the page size, and the CPU time of the command, each run repeated and
interleaved so that the ratios come from the same minutes of machine load.

    /usr/bin/python3 bench/pictures_page_bench.py --before OLD/varnex [--after build/tools/varnex/varnex]
"""

import argparse
import os
import re
import resource
import statistics
import subprocess
import tempfile
import time
import xml.etree.ElementTree as ET

from rdkit import Chem, RDLogger

NCI = "/usr/share/RDKit/Data/NCI/first_5K.smi"
XHTML, SVG = "{http://www.w3.org/1999/xhtml}", "{http://www.w3.org/2000/svg}"
QUERIES = {"aspirin": "CC(=O)Oc1ccccc1C(=O)O", "caffeine": "CN1C=NC2=C1C(=O)N(C(=O)N2C)C"}


def run(command):
    """CPU seconds of the command (children's user + system) and its wall time."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime, wall


def highlighted(svg):
    return {e.get("class") for e in svg.iter(SVG + "ellipse") if (e.get("class") or "").startswith("atom-")}


def smallest_label(root):
    """The smallest atom label of the page in pixels (per atom the largest piece of its label)."""
    smallest = float("inf")
    for svg in root.iter(SVG + "svg"):
        sizes = {}
        for t in svg.findall(SVG + "text"):
            atom = re.match(r"atom-(\d+)", t.get("class") or "")
            size = re.search(r"font-size:([0-9.]+)px", t.get("style") or "")
            if atom and size:
                sizes[atom.group(1)] = max(sizes.get(atom.group(1), 0.0), float(size.group(1)))
        if sizes:
            smallest = min(smallest, min(sizes.values()))
    return smallest


def shares(page, query_atoms, atoms_of_record, query_beside):
    """Mean shares of query and hit atoms highlighted over the hits of a page."""
    root = ET.parse(page).getroot()
    on_query, on_hit = [], []
    for figure in root.iter(XHTML + "figure"):
        if figure.get("class") != "hit":
            continue
        drawings = list(figure.iter(SVG + "svg"))
        drawings = [d for d in drawings if d.find(SVG + "path") is not None]
        index = int(next(d.text for d in figure.iter(XHTML + "div") if d.get("class") == "index").split()[1])
        hit = highlighted(drawings[-1])
        on_hit.append(len(hit) / atoms_of_record[index])
        # Without the query beside the hit, its highlighted part is the hit's
        # common part, the same number of atoms.
        on_query.append(len(highlighted(drawings[0]) if query_beside else hit) / query_atoms)
    return statistics.mean(on_query), statistics.mean(on_hit), smallest_label(root)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--before", required=True, help="the earlier varnex program")
    parser.add_argument("--after", default="build/tools/varnex/varnex")
    parser.add_argument("--reps", type=int, default=3)
    args = parser.parse_args()
    RDLogger.DisableLog("rdApp.*")
    with open(NCI) as f:
        lines = f.read().splitlines()
    mols = [Chem.MolFromSmiles(line.split()[0]) for line in lines]
    atoms_of_record = [m.GetNumAtoms() if m is not None else 0 for m in mols]
    queries = dict(QUERIES, **{"NCI 107": lines[107].split()[0]})

    with tempfile.TemporaryDirectory() as folder:
        db = os.path.join(folder, "nci.fpbin")
        # Status 3: done, with the few NCI records RDKit cannot read left empty.
        made = subprocess.run([args.after, "create", "-q", "-in", NCI, "-out", db], stderr=subprocess.DEVNULL)
        assert made.returncode in (0, 3), made.returncode
        print(f"load average at start: {os.getloadavg()[0]:.1f}")
        print("query     hits  page          query/hit atoms highlighted  smallest label  size (KB)  "
              "CPU s (ratio to before)")
        for name, smiles in queries.items():
            query_atoms = Chem.MolFromSmiles(smiles).GetNumAtoms()
            for limit in (10, 100):
                base = ["search", "-db", db, "-mols", NCI, "-query", smiles, "-limit", str(limit), "-format", "html"]
                variants = {"before": [args.before] + base, "mcs": [args.after] + base + ["-highlight", "mcs"],
                            "bits": [args.after] + base + ["-highlight", "bits"]}
                cpu = {v: [] for v in variants}
                for _ in range(args.reps):
                    for variant, command in variants.items():
                        page = os.path.join(folder, f"{variant}.html")
                        cpu[variant].append(run(command + ["-out", page])[0])
                baseline = statistics.median(cpu["before"])
                for variant in variants:
                    page = os.path.join(folder, f"{variant}.html")  # the last repetition's page
                    q, h, label = shares(page, query_atoms, atoms_of_record, variant != "mcs")
                    seconds = statistics.median(cpu[variant])
                    print(f"{name:9} {limit:4}  {variant:6}  {q:24.0%} /{h:4.0%}  {label:14.1f}  "
                          f"{os.path.getsize(page) / 1024:9.0f}  {seconds:6.2f} ({seconds / baseline:.2f}x)")
        print(f"load average at end: {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
