"""Shared molecules for the varnex tests: Debian's NCI sample set."""

import pathlib
import signal

import pytest

NCI = pathlib.Path("/usr/share/RDKit/Data/NCI/first_5K.smi")


def nci_smiles(n):
    """The first n SMILES of the NCI sample set."""
    with NCI.open() as f:
        return [line.split()[0] for _, line in zip(range(n), f)]


@pytest.fixture(scope="session")
def smiles():
    return nci_smiles(300)


@pytest.fixture()
def interruptible():
    """Ctrl-C raises KeyboardInterrupt during the test, also when the test
    process started with SIGINT ignored (a background job)."""
    previous = signal.signal(signal.SIGINT, signal.default_int_handler)
    yield
    signal.signal(signal.SIGINT, previous)
