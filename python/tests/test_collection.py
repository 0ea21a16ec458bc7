"""Collections from Python: one door for files and catalogs, creation from
files and from iterables of molecules, appends that equal a fresh build, and
searches that equal one .fpbin file of the same molecules."""

import os
import warnings

import numpy as np
import pytest

import varnex
from conftest import NCI, nci_smiles


@pytest.fixture(scope="module")
def library(tmp_path_factory):
    """A collection grown by an append, one made at once and one .fpbin file,
    all of the same 150 NCI molecules (one unreadable among them)."""
    folder = tmp_path_factory.mktemp("collection")
    lines = NCI.read_text().splitlines()[:150]
    lines[20] = "C1CC(broken 20"
    first, second, whole = folder / "first.smi", folder / "second.smi", folder / "whole.smi"
    first.write_text("\n".join(lines[:100]) + "\n")
    second.write_text("\n".join(lines[100:]) + "\n")
    whole.write_text("\n".join(lines) + "\n")
    t = varnex.FPType("Path", size=1024)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", varnex.VarnexWarning)
        grown = varnex.create_collection(folder / "grown.vxc", first, t, shards=3, progress=False)
        added = grown.append(second, shards=2)
        at_once = varnex.create_collection(folder / "once.vxc", whole, t, shards=1, progress=False)
        varnex.create_database(whole, folder / "whole.fpbin", t, progress=False)
    return grown, added, at_once, varnex.open(folder / "whole.fpbin"), lines


def test_append_continues_the_indices_and_equals_a_fresh_build(library):
    grown, added, at_once, _, lines = library
    assert added.tolist() == list(range(100, 150))
    assert grown.ids(range(150)) == at_once.ids(range(150)) == [line.split()[1] for line in lines]
    assert grown.failed.tolist() == at_once.failed.tolist() == [20]
    assert grown.smiles([0, 149]) == [lines[0].split()[0], lines[149].split()[0]]
    assert grown.molecule(20) is None and grown.molecule(0).GetNumAtoms() > 0


@pytest.mark.parametrize("measure,alpha,beta", [("tanimoto", 1, 1), ("dice", 1, 1), ("tversky", 0.9, 0.1),
                                                ("manhattan", 1, 1)])
def test_sharded_search_equals_one_file(library, measure, alpha, beta):
    grown, _, _, one, _ = library
    queries = nci_smiles(160)[150:] + ["c1ccccc1", "CC(=O)O"]  # these two: hits of equal score
    cutoff = 0.4 if measure != "manhattan" else 0.05
    for hits, expected in zip(grown.search_many(queries, k=0, cutoff=cutoff, measure=measure, alpha=alpha, beta=beta),
                              one.search_many(queries, k=0, cutoff=cutoff, measure=measure, alpha=alpha, beta=beta)):
        order = np.lexsort((expected["index"], expected["score"] if measure == "manhattan" else -expected["score"]))
        assert hits["index"].tolist() == expected["index"][order].tolist()
        assert hits["score"].tolist() == expected["score"][order].tolist()
        assert hits["id"].tolist() == grown.ids(hits["index"])
    top = grown.search_many(queries, k=5, measure=measure, alpha=alpha, beta=beta)
    one_top = one.search_many(queries, k=5, measure=measure, alpha=alpha, beta=beta)
    assert [h["score"].tolist() for h in top] == [h["score"].tolist() for h in one_top]
    counts = grown.count(queries, cutoff=cutoff, measure=measure, alpha=alpha, beta=beta)
    assert counts.tolist() == [len(h) for h in one.search_many(queries, k=0, cutoff=cutoff, measure=measure,
                                                               alpha=alpha, beta=beta)]
    assert grown.histogram(bins=10, measure=measure, alpha=alpha, beta=beta).tolist() == \
        one.histogram(bins=10, measure=measure, alpha=alpha, beta=beta).tolist()


def test_matrix_and_records_by_molecule_index_on_every_shard(library):
    grown, _, _, one, _ = library
    cells = grown.matrix(k=3)
    expected = one.matrix(k=3)
    expected = expected[expected["score"] > 0]
    assert cells["row"].tolist() == expected["row"].tolist()
    assert np.allclose(cells["score"], expected["score"], rtol=1e-6)
    for i in [0, 33, 99, 100, 149]:
        assert bytes(grown.fingerprint(i)) == bytes(one.fingerprint(i))


def test_create_from_an_iterable_of_molecules(tmp_path):
    from rdkit import Chem
    benzene = Chem.MolFromSmiles("c1ccccc1")
    block = Chem.MolToMolBlock(Chem.MolFromSmiles("CCO"))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", varnex.VarnexWarning)
        coll = varnex.create_collection(tmp_path / "mixed.vxc", ["c1ccccc1O", None, benzene, block, "not a smiles("],
                                        progress=False)
    assert coll.failed.tolist() == [1, 4]
    assert coll.ids(range(5)) == ["0", "1", "2", "3", "4"]
    assert coll.smiles([2, 3]) == ["c1ccccc1", "CCO"]
    hit = coll.search("CCO", k=1)
    assert hit["index"].tolist() == [3] and hit["score"].tolist() == [1.0] and hit["id"].tolist() == ["3"]
    assert coll.append(["CCN"], ids=["ethylamine"]).tolist() == [5]
    assert coll.search("CCN", k=1)["id"].tolist() == ["ethylamine"]


@pytest.mark.parametrize("bad,error", [
    (dict(ids=["only one"]), ValueError),
    (dict(ids=["a\nb", "c"]), ValueError),
    (dict(fptype="MACCS166"), ValueError),
])
def test_refused_creations_leave_nothing(tmp_path, bad, error):
    with pytest.raises(error):
        varnex.create_collection(tmp_path / "bad.vxc", ["CCO", "CCN"], progress=False, **bad)
    assert os.listdir(tmp_path) == []


def test_refused_append_leaves_the_collection_as_it_was(tmp_path):
    coll = varnex.create_collection(tmp_path / "c.vxc", ["CCO", "CCN"], progress=False)
    before = sorted(os.listdir(tmp_path))
    with pytest.raises(ValueError, match="3 ids for 1 molecules"):
        coll.append(["CCC"], ids=["x", "y", "z"])
    assert sorted(os.listdir(tmp_path)) == before
    assert len(varnex.open(coll.path)) == 2
