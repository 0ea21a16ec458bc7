"""Shared molecules for the varnex tests: Debian's NCI sample set."""

import os
import pathlib
import shutil
import signal
import tempfile

import numpy as np
import pytest

import varnex

NCI = pathlib.Path("/usr/share/RDKit/Data/NCI/first_5K.smi")
CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"


def nci_smiles(n):
    """The first n SMILES of the NCI sample set."""
    with NCI.open() as f:
        return [line.split()[0] for _, line in zip(range(n), f)]


def assert_same_hits(indices, scores, expected, k):
    """Hits equal to ``expected`` (fields index and score): the same scores in order and the
    same records, except that when the limit k is reached any of the records tied at the
    last score may stand there."""
    np.testing.assert_array_equal(np.asarray(scores, dtype=expected["score"].dtype), expected["score"])
    kept = np.ones(len(expected), dtype=bool)
    if k and len(expected) == k:
        kept = expected["score"] != expected["score"][-1]
    np.testing.assert_array_equal(np.sort(np.asarray(indices, dtype=np.uint64)[kept]), np.sort(expected["index"][kept]))


@pytest.fixture(scope="session")
def smiles():
    return nci_smiles(300)


@pytest.fixture(scope="module")
def small_db(tmp_path_factory):
    """Six small molecules (mols.smi) in a 1,024-bit Path database beside them."""
    folder = tmp_path_factory.mktemp("small")
    source = folder / "mols.smi"
    source.write_text("c1ccccc1C(=O)O\nCC(=O)Oc1ccccc1C(=O)O\nCCO\nc1ccccc1O\nCc1ccccc1\nCCN\n")
    result = varnex.create_database(source, folder / "mols.fpbin", varnex.FPType("Path", size=1024), progress=False)
    with varnex.FastDatabase(result.path) as db:
        yield db


@pytest.fixture()
def interruptible():
    """Ctrl-C raises KeyboardInterrupt during the test, also when the test
    process started with SIGINT ignored (a background job)."""
    previous = signal.signal(signal.SIGINT, signal.default_int_handler)
    yield
    signal.signal(signal.SIGINT, previous)


@pytest.fixture(scope="session")
def browser():
    """Headless Chromium 1,000 px wide, through chromedriver."""
    webdriver = pytest.importorskip("selenium.webdriver")
    from selenium.webdriver.chrome.service import Service
    if not (os.access(CHROMIUM, os.X_OK) and os.access(CHROMEDRIVER, os.X_OK)):
        pytest.skip("chromium and chromium-driver are not installed")
    profile = tempfile.mkdtemp(prefix="varnex-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={profile}", "--window-size=1000,900", "--force-device-scale-factor=1"]:
        options.add_argument(argument)
    # The browser gets a plain environment: none of the sanitizer preloads
    # or settings of the process running the tests.
    env = {"PATH": "/usr/bin:/bin", "HOME": profile}
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER, env=env, log_path=os.devnull), options=options)
    driver.set_page_load_timeout(60)
    driver.set_script_timeout(60)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
