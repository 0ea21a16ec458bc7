"""varnex serve: every endpoint against the library's own answers, hostile traffic, many
clients at once and the memory they leave, signals and a browser, against the program on a free loopback port."""

import json
import os
import pathlib
import re
import signal
import socket
import subprocess
import threading
import time
import xml.etree.ElementTree as ET
from concurrent.futures import ThreadPoolExecutor

import pytest
import requests
from rdkit import Chem

import varnex
from conftest import NCI, assert_same_hits

PROGRAM = pathlib.Path(varnex.__file__).resolve().parents[2] / "tools" / "varnex" / "varnex"
SVG = "{http://www.w3.org/2000/svg}"
# Names the service must pass on literally; the last one is not UTF-8.
HOSTILE = [("c1ccccc1CC(=O)NCCO", b'<img src=x onerror="alert(1)">&amp;'), ("OCCN(CCO)CCO", b"bad \xff\xfe utf-8")]


class Service:
    """`varnex serve` on a free loopback port, its log in a file; as a context, it must exit 0
    on SIGTERM."""

    def __init__(self, folder, *args):
        self.log_path = folder / f"serve-{time.monotonic_ns()}.log"
        with open(self.log_path, "w") as log:
            self.process = subprocess.Popen([str(PROGRAM), "serve", *args, "-port", "0"], stdout=subprocess.PIPE,
                                            stderr=log, text=True)
        line = self.process.stdout.readline()
        found = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        assert found, f"the service did not start: {line!r} {self.log()}"
        self.port = int(found.group(1))
        self.url = f"http://127.0.0.1:{self.port}"

    def get(self, path, timeout=60, **options):
        return requests.get(self.url + path, timeout=timeout, **options)

    def post(self, path, **options):
        return requests.post(self.url + path, timeout=60, **options)

    def raw(self, data, wait=10):
        """Sends bytes on a fresh connection; what comes back until the service closes it."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=wait) as s:
            s.sendall(data)
            return receive_all(s)

    def log(self):
        return self.log_path.read_text(errors="replace")

    def stop(self, sig=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        return self.process.wait(timeout=60)

    def __enter__(self):
        return self

    def __exit__(self, *error):
        assert self.stop() == 0


def receive_all(s):
    data = b""
    while chunk := s.recv(65536):
        data += chunk
    return data


@pytest.fixture(scope="module")
def collection(tmp_path_factory):
    folder = tmp_path_factory.mktemp("serve")
    mols = folder / "mols.smi"
    with NCI.open("rb") as nci:
        lines = [next(nci) for _ in range(400)]
    mols.write_bytes(b"".join(lines) + b"".join(s.encode() + b" " + name + b"\n" for s, name in HOSTILE))
    varnex.create_database(mols, folder / "mols.fpbin")
    return folder


@pytest.fixture(scope="module")
def service(collection):
    with Service(collection, "-db", collection / "mols.fpbin", "-mols", collection / "mols.smi", "-threads", "2") as s:
        yield s


@pytest.fixture(scope="module")
def strict(collection):
    """Small limits, to break each of them cheaply."""
    with Service(collection, "-db", collection / "mols.fpbin", "-mols", collection / "mols.smi", "-timeout", "1",
                 "-connections", "4", "-maxbody", "2048", "-maxheader", "2048", "-maxquery", "100", "-maxk", "50",
                 "-maxqueries", "3", "-maxpending", "2") as s:
        yield s


@pytest.fixture(scope="module")
def catalog(collection):
    """The same molecules as a collection of three shards, with ids of their own."""
    path = collection / "mols.vxc"
    varnex.create_collection(path, collection / "mols.smi", ids=[f"VX-{i:04d}" for i in range(402)], shards=3).close()
    return path


@pytest.fixture(scope="module")
def served(collection, catalog):
    """`varnex serve` on the collection, which names its molecules itself."""
    with Service(collection, "-db", catalog, "-threads", "2") as s:
        yield s


@pytest.fixture(scope="module", params=["mols.fpbin", "mols.vxc"])
def backend(request, collection):
    """A running service, what it serves opened through the package, and the (id, SMILES) of
    each index as the service should name them: the molecule file's for a .fpbin, the catalog's
    for a collection."""
    running = request.getfixturevalue("service" if request.param == "mols.fpbin" else "served")
    names = records(collection)
    with varnex.open(collection / request.param) as opened:
        if isinstance(opened, varnex.Collection):
            def named(indices):
                return list(zip(opened.ids(indices), opened.smiles(indices)))
        else:
            def named(indices):
                return [(names[i][1], names[i][0]) for i in indices]
        yield running, opened, named


def records(collection):
    """(SMILES, name) of every record of the molecule file, names as the service shows them."""
    out = []
    for line in (collection / "mols.smi").read_bytes().splitlines():
        smiles, name = re.split(rb"[ \t]", line, maxsplit=1)
        out.append((smiles.decode(), name.strip().decode(errors="replace")))
    return out


def assert_same_answer(hits, expected, k, named):
    """The library's hits, ranked from 1, each with the id and SMILES of its index."""
    assert_same_hits([h["index"] for h in hits], [h["score"] for h in hits], expected, k)
    assert [h["rank"] for h in hits] == list(range(1, len(hits) + 1))
    assert [(h["id"], h["smiles"]) for h in hits] == named([h["index"] for h in hits])


SEARCHES = [
    {"k": 10},
    {"k": 7, "measure": "Cosine", "cutoff": 0.5},
    {"k": 6, "measure": "tversky", "alpha": 0.7, "beta": 0.2},
    {"k": 4, "measure": "manhattan", "cutoff": 0.01},
]
ASPIRIN_BLOCK = Chem.MolToMolBlock(Chem.MolFromSmiles("CC(=O)Oc1ccccc1C(=O)O"))


@pytest.mark.parametrize("options", SEARCHES)
def test_get_and_post_answer_as_the_library_with_ids_and_smiles(backend, collection, options):
    running, opened, named = backend
    queries = [s for s, _ in records(collection)[:400:37] + records(collection)[-2:]] + [ASPIRIN_BLOCK]
    library = {"alpha": 0.95, "beta": 0.05, **options}
    batch = running.post("/api/search", json={"queries": queries, **options}).json()["results"]
    assert len(batch) == len(queries)
    for query, posted in zip(queries, batch):
        answer = running.get("/api/search", params={"q": query, **options}).json()
        assert answer == posted
        mol = Chem.MolFromMolBlock(query) if "\n" in query else Chem.MolFromSmiles(query)
        assert answer["type"] == str(opened.type) and answer["query"] == Chem.MolToSmiles(mol)
        assert_same_answer(answer["hits"], opened.search(mol, **library), options["k"], named)


def test_molecules_info_health_metrics_and_description(backend):
    running, opened, named = backend
    shards = 3 if isinstance(opened, varnex.Collection) else 1
    release = subprocess.run([str(PROGRAM), "info"], capture_output=True, text=True).stdout.split()[1]
    assert running.get("/api/info").json() == {"name": os.path.basename(opened.path), "type": str(opened.type),
                                               "records": 402, "shards": shards, "version": release}
    for index in [0, 7, 133, 134, 268, 401]:  # both ends of the shards
        (name, smiles), = named([index])
        assert running.get(f"/api/molecules/{index}").json() == {"index": index, "id": name, "smiles": smiles}
        drawing = running.get(f"/api/molecules/{index}.svg")
        assert drawing.headers["Content-Type"] == "image/svg+xml" and ET.fromstring(drawing.content).tag == SVG + "svg"
    for path in ["/api/molecules/402", "/api/molecules/99999999999999999999999", "/api/molecules/x", "/nowhere"]:
        assert running.get(path).status_code == 404
    assert running.get("/api/health").json() == {"status": "ok"}
    metrics = running.get("/metrics").text
    assert re.search(r'^varnex_http_requests_total\{endpoint="molecule",status="404"\} [1-9]', metrics, re.M)
    assert "varnex_collection_records 402\n" in metrics and f"varnex_collection_shards {shards}\n" in metrics
    assert "/api/molecules/{index}.svg" in running.get("/api/openapi.json").json()["paths"]


def test_page_shows_the_hits_and_hostile_names_literally(service, collection):
    assert 'name="q"' in service.get("/").text
    smiles, name = HOSTILE[0]
    page = service.post("/", data={"q": smiles, "k": "3", "measure": "tanimoto"})
    assert page.status_code == 200 and "script-src" not in page.headers["Content-Security-Policy"]
    assert "&lt;img src=x onerror=&quot;alert(1)&quot;&gt;&amp;amp;" in page.text and "<img" not in page.text
    figures = re.findall(r'<figure class="hit".*?</figure>', page.text, re.S)
    assert len(figures) == 3 and all("<svg" in f for f in figures)
    for form, message in [({"q": "C1CC"}, "cannot parse SMILES"), ({"q": "CCO", "highlight": "x"}, "highlight must be")]:
        refused = service.post("/", data=form)
        assert refused.status_code == 400 and message in refused.text


@pytest.mark.parametrize("request_, status, message, limit", [
    (("get", {"q": "C1CC"}), 400, "q: KvSmilesToMol(): cannot parse SMILES 'C1CC'", None),
    (("get", {"q": " "}), 400, "q: the query is empty", None),
    (("get", {"k": "3"}), 400, "parameter q (the query structure) is missing", None),
    (("get", {"q": "CCO", "measure": "jaccard"}), 400, 'value "jaccard" of parameter measure is not one of', None),
    (("get", {"q": "CCO", "k": "0"}), 400, "k must be at least 1", None),
    (("get", {"q": "CCO", "k": "51"}), 400, "k 51 is above 50 hits per query (-maxk)", "maxk"),
    (("get", {"q": "CCO", "cutoff": "1.5"}), 400, "cutoff 1.5 is outside the range of Tanimoto scores", None),
    (("get", {"q": "CCO", "depth": "3"}), 400, "unknown parameter depth", None),
    (("get", {"q": "C" * 101}), 400, "q is 101 bytes long, longer than 100 bytes (-maxquery)", "maxquery"),
    (("json", "[" * 1500), 400, "request body: JSONParseHelper()", None),
    (("json", '["CCO"]'), 400, "request body: not a JSON object", None),
    (("json", '{"queries": ["CCO"], "k": 2, "k": 3}'), 400, 'member "k" is given twice', None),
    (("json", '{"queries": ["CCO"], "kk": 2}'), 400, 'unknown member "kk"', None),
    (("json", '{"queries": ["CCO"], "k": "2"}'), 400, '"k" is not a number', None),
    (("json", '{"queries": []}'), 400, '"queries" is missing or empty', None),
    (("json", '{"queries": ["C", "C", "C", "C"]}'), 400, "4 queries are more than 3 per request (-maxqueries)",
     "maxqueries"),
    (("json", '{"queries": ["C", "CC", "CCC"]}'), 429, "more than 2 queries are waiting", "maxpending"),
    (("json", '{"queries": ["CCO", "C1CC"]}'), 400, "queries[1]: KvSmilesToMol(): cannot parse SMILES", None),
    (("json", '{"queries": ["' + "C" * 3000 + '"]}'), 413, "request body is larger than 2048 bytes (-maxbody)",
     "maxbody"),
    (("text", '{"queries": ["CCO"]}'), 415, "must be application/json", None),
])
def test_bad_requests_get_the_reason_and_the_limit(strict, request_, status, message, limit):
    kind, payload = request_
    if kind == "get":
        answer = strict.get("/api/search", params=payload)
    else:
        answer = strict.post("/api/search", data=payload, headers={
            "Content-Type": "application/json" if kind == "json" else "text/plain"})
    error = answer.json()
    assert (answer.status_code, error["status"], error.get("limit")) == (status, status, limit)
    assert message in error["error"]


def test_slow_large_and_idle_clients_cannot_hold_the_service(strict):
    head = b"GET /api/health HTTP/1.1\r\nHost: x\r\n"
    answer = strict.raw(head + b"X-Big: " + b"a" * 3000 + b"\r\n\r\n")
    assert answer.startswith(b"HTTP/1.1 431") and b'"limit":"maxheader"' in answer
    answer = strict.raw(b"POST /api/search HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                        b"Transfer-Encoding: chunked\r\n\r\n800\r\n" + b" " * 2048 + b"\r\n1\r\n \r\n0\r\n\r\n")
    assert answer.startswith(b"HTTP/1.1 413")
    assert strict.raw(head + b"Content-Length: 2\r\n\r\n{}").startswith(b"HTTP/1.1 400")
    assert strict.raw(head + b"\r\n" + head + b"Connection: close\r\n\r\n").count(b"HTTP/1.1 200") == 2
    # Twice as many clients as connections trickle their headers, more sit idle: each trickler
    # gets 408 after the 1 s time limit, and a plain request is still answered (after two
    # rounds of tricklers), long before the tricklers would stop.
    idle = [socket.create_connection(("127.0.0.1", strict.port)) for _ in range(8)]
    slow = [socket.create_connection(("127.0.0.1", strict.port), timeout=10) for _ in range(8)]
    for s in slow:
        s.sendall(head)
    stop = threading.Event()

    def trickle():
        while not stop.wait(0.2):
            for s in slow:
                try:
                    s.sendall(b"X: y\r\n")
                except OSError:
                    pass

    trickler = threading.Thread(target=trickle)
    trickler.start()
    try:
        assert strict.get("/api/health", timeout=10).status_code == 200
        assert all(receive_all(s).startswith(b"HTTP/1.1 408") for s in slow)
    finally:
        stop.set()
        trickler.join()
        for s in slow + idle:
            s.close()


def test_a_burst_of_connections_is_served_at_once(service):
    service.get("/api/health")  # leaves a connection thread idle
    # A connection queued behind open ones would wait for their 5 s idle limit: a receive
    # limit below it turns such a wait into a failure rather than a slow pass.
    burst = [socket.create_connection(("127.0.0.1", service.port), timeout=4.5) for _ in range(24)]
    for s in burst:
        s.sendall(b"GET /api/health HTTP/1.1\r\nHost: x\r\n\r\n")
    # Each is answered although every connection stays open (none waits for another to end).
    assert all(s.recv(4096).startswith(b"HTTP/1.1 200") for s in burst)
    for s in burst:
        s.close()


@pytest.mark.parametrize("args, status, message", [
    (["-db", "FPBIN"], 1, "a .fpbin database needs the molecule file it was made from: give -mols FILE"),
    (["-db", "FPBIN", "-mols", "MOLS", "-token", "EMPTY"], 1, "the token file EMPTY is empty"),
    (["-db", "FPBIN", "-mols", "MOLS", "-port", "70000"], 2,
     "value 70000 of parameter -port is above the legal maximum 65535"),
    (["-db", "VXC", "-mols", "MOLS"], 2, "-mols is not used with a collection: its catalog names the molecules"),
    (["-db", "BROKEN"], 1, "varnex serve: BROKEN is not a valid collection"),
])
def test_a_service_that_cannot_start_says_why(collection, catalog, tmp_path, args, status, message):
    (tmp_path / "empty").write_text("")
    (tmp_path / "broken.vxc").write_bytes(b"SQLite format 3\0" + bytes(200))
    names = {"MOLS": str(collection / "mols.smi"), "EMPTY": str(tmp_path / "empty"),
             "FPBIN": str(collection / "mols.fpbin"), "VXC": str(catalog), "BROKEN": str(tmp_path / "broken.vxc")}
    args = [names.get(a, a) for a in args]
    done = subprocess.run([str(PROGRAM), "serve", *args], capture_output=True, text=True, timeout=60)
    assert done.returncode == status and done.stdout == ""
    for name, value in names.items():
        message = message.replace(name, value)
    assert message in done.stderr


def test_a_token_guards_every_request(collection, tmp_path):
    token = tmp_path / "token"
    token.write_text("s3cret-token\n")
    token.chmod(0o600)
    with Service(tmp_path, "-db", collection / "mols.fpbin", "-mols", collection / "mols.smi", "-token", token) as s:
        for headers in [{}, {"Authorization": "Bearer s3cret-toke"}, {"Authorization": "Bearer s3cret-token2"},
                        {"Authorization": "Basic s3cret-token"}]:
            refused = s.get("/api/health", headers=headers)
            assert refused.status_code == 401 and refused.headers["WWW-Authenticate"].startswith("Bearer")
        assert s.get("/api/health", headers={"Authorization": "Bearer s3cret-token"}).status_code == 200


def rss_kib(pid):
    status = pathlib.Path(f"/proc/{pid}/status").read_text()
    return int(re.search(r"VmRSS:\s+(\d+)", status).group(1))


def test_many_clients_at_once_get_the_serial_answers_and_the_memory_stays(service, collection):
    # Two kinds of search, which must not share a pass.
    requests_ = [{"q": s, "k": 5} for s, _ in records(collection)[:400:8]]
    requests_ += [{"q": r["q"], "k": 3, "measure": "dice"} for r in requests_]
    serial = [service.get("/api/search", params=r).text for r in requests_]

    def client(c, rounds):
        with requests.Session() as session:
            for r in range(rounds):
                i = (c * 7 + r) % len(requests_)
                answer = session.get(service.url + "/api/search", params=requests_[i], timeout=60)
                assert answer.status_code == 200 and answer.text == serial[i]
        return True

    with ThreadPoolExecutor(32) as pool:
        assert all(pool.map(client, range(32), [50] * 32))
        warm = rss_kib(service.process.pid)
        # Four times as many requests again leave the memory as it was (AddressSanitizer
        # keeps freed memory aside, so there it cannot be measured).
        assert all(pool.map(client, range(32), [200] * 32))
    if "libasan" not in pathlib.Path(f"/proc/{service.process.pid}/maps").read_text():
        assert rss_kib(service.process.pid) <= 1.10 * warm
    passes = re.search(r"^varnex_batch_pass_queries_sum (\S+)\nvarnex_batch_pass_queries_count (\S+)",
                       service.get("/metrics").text, re.M)
    assert float(passes.group(1)) > float(passes.group(2))  # some passes answered several queries


def test_sigterm_answers_the_request_in_flight_then_exits_0(collection, tmp_path):
    body = json.dumps({"queries": ["CCO", "c1ccccc1O"], "k": 3}).encode()
    with Service(tmp_path, "-db", collection / "mols.fpbin", "-mols", collection / "mols.smi") as running, \
            socket.create_connection(("127.0.0.1", running.port), timeout=30) as s:
        s.sendall(b"POST /api/search HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                  b"Content-Length: %d\r\n\r\n" % len(body) + body[:9])
        time.sleep(0.3)
        running.process.send_signal(signal.SIGTERM)
        time.sleep(0.3)
        s.sendall(body[9:])
        answer = receive_all(s)
    assert answer.startswith(b"HTTP/1.1 200") and len(json.loads(answer.partition(b"\r\n\r\n")[2])["results"]) == 2


def replace_fpbin(source, folder, count):
    """mols.fpbin and mols.smi replaced by files of the first `count` molecules."""
    lines = (source / "mols.smi").read_bytes().splitlines(keepends=True)[:count]
    (folder / "new.smi").write_bytes(b"".join(lines))
    varnex.create_database(folder / "new.smi", folder / "new.fpbin")
    os.replace(folder / "new.smi", folder / "mols.smi")
    os.replace(folder / "new.fpbin", folder / "mols.fpbin")


def append_in_python(source, folder, count):
    """Molecules up to `count` added to mols.vxc through the package, with ids."""
    with varnex.open(folder / "mols.vxc") as opened:
        first = len(opened)
        opened.append([s for s, _ in records(source)[first:count]], ids=[f"NEW-{i}" for i in range(first, count)])


@pytest.mark.parametrize("served_file, steps, reopened", [
    ("mols.fpbin", [(100, replace_fpbin, True), (50, replace_fpbin, False)], "reopened mols.fpbin, 100 records"),
    ("mols.vxc", [(150, append_in_python, False), (260, append_in_python, True)],
     "the collection changed: reopened mols.vxc, 150 records"),
])
def test_a_new_generation_is_served_after_sighup_or_a_change_without_dropping_requests(
        collection, tmp_path, served_file, steps, reopened):
    """Each step changes what is served (and sends SIGHUP when asked); the service answers
    every request meanwhile and then serves the new molecules as the library does."""
    if served_file == "mols.vxc":
        first = [s for s, _ in records(collection)[:100]]
        varnex.create_collection(tmp_path / "mols.vxc", first, ids=[f"OLD-{i}" for i in range(100)], shards=2).close()
        running = Service(tmp_path, "-db", tmp_path / "mols.vxc")
    else:
        for name in ["mols.smi", "mols.fpbin"]:
            (tmp_path / name).write_bytes((collection / name).read_bytes())
        running = Service(tmp_path, "-db", tmp_path / "mols.fpbin", "-mols", tmp_path / "mols.smi")
    stop = threading.Event()
    statuses = []

    def client():
        with requests.Session() as session:
            while not stop.is_set():
                statuses.append(session.post(running.url + "/api/search", json={"queries": ["CCO", "c1ccccc1O"]},
                                             timeout=60).status_code)

    thread = threading.Thread(target=client)
    thread.start()
    try:
        for count, change, hangup in steps:
            change(collection, tmp_path, count)
            if hangup:
                running.process.send_signal(signal.SIGHUP)
            deadline = time.monotonic() + 60
            while running.get("/api/info").json()["records"] != count:
                assert time.monotonic() < deadline, running.log()
                time.sleep(0.1)
            if served_file == "mols.vxc":
                with varnex.open(tmp_path / "mols.vxc") as opened:
                    query = opened.smiles([count - 1])[0]  # a new molecule finds itself
                    hits = running.get("/api/search", params={"q": query, "k": 5}).json()["hits"]
                    assert_same_answer(hits, opened.search(query, k=5), 5,
                                       lambda indices: list(zip(opened.ids(indices), opened.smiles(indices))))
    finally:
        stop.set()
        thread.join()
    assert statuses and set(statuses) == {200}
    assert running.stop() == 0
    assert reopened in running.log()


def test_a_browser_pastes_a_smiles_and_sees_hits_with_ids_and_pictures(service, collection, browser):
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    smiles = records(collection)[12][0]
    browser.get(service.url + "/")
    browser.find_element(By.ID, "query").send_keys(smiles)
    browser.find_element(By.ID, "search").click()
    hits = WebDriverWait(browser, 60).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#results figure.hit"))
    expected = service.get("/api/search", params={"q": smiles}).json()["hits"]
    assert [h.find_element(By.CSS_SELECTOR, ".name").text for h in hits] == [h["id"] for h in expected]
    assert len(expected) == 10 and all(h.find_elements(By.TAG_NAME, "svg") for h in hits)
