"""Throughput and latency of `varnex serve`: concurrent single-query requests gathered into
batch passes against the same requests answered one at a time, at 1, 8 and 64 clients.

    PYTHONPATH=build/python /usr/bin/python3 bench/serve_bench.py --data /path/to/folder

The folder gets (once) a database of 1,000,000 records: NCI molecules 0-3999 repeated 250
times, each copy under its own id. The queries are NCI molecules 4000-4999, which are not in
the database (top-10 Tanimoto, the "no close neighbours" case). Load comes from wrk against
loopback, each run bounded in time; every figure is from this one run.
"""

import argparse
import pathlib
import re
import subprocess
import sys
import tempfile
import urllib.parse

import varnex
from rdkit import Chem, RDLogger

RDLogger.DisableLog("rdApp.*")

ROOT = pathlib.Path(__file__).resolve().parents[1]
NCI = pathlib.Path("/usr/share/RDKit/Data/NCI/first_5K.smi")
LUA = """
local paths = {}
for line in io.lines("%s") do paths[#paths + 1] = line end
local next_path = 0
function setup(thread)
  thread:set("first", math.random(#paths))
end
function init(args)
  next_path = first
end
function request()
  next_path = next_path %% #paths + 1
  return wrk.format("GET", paths[next_path])
end
"""


def make_data(folder, program, copies):
    mols, fpbin = folder / "mols.smi", folder / "mols.fpbin"
    lines = NCI.read_text().splitlines()
    if not fpbin.exists():
        with mols.open("w") as out:
            for copy in range(copies):
                for line in lines[:4000]:
                    smiles, name = line.split()
                    out.write(f"{smiles} {name}-{copy}\n")
        # Status 3: a few NCI records do not parse and stay empty records.
        if subprocess.run([program, "create", "-in", mols, "-out", fpbin]).returncode not in (0, 3):
            sys.exit("cannot create the database")
    paths = folder / "paths.txt"
    queries = [line.split()[0] for line in lines[4000:5000]]
    paths.write_text("".join(f"/api/search?q={urllib.parse.quote(q, safe='')}&k=10\n"
                             for q in queries if Chem.MolFromSmiles(q) is not None))
    return mols, fpbin, paths


def serve(program, mols, fpbin, options):
    process = subprocess.Popen([program, "serve", "-db", fpbin, "-mols", mols, "-port", "0", *options],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    port = int(re.search(r":(\d+)/", process.stdout.readline()).group(1))
    return process, f"http://127.0.0.1:{port}"


def wrk(url, script, clients, seconds):
    text = subprocess.run(["wrk", "-t", str(min(clients, 2)), "-c", str(clients), "-d", f"{seconds}s",
                           "--timeout", "30s", "--latency", "-s", script, url],
                          check=True, capture_output=True, text=True).stdout
    rate = float(re.search(r"Requests/sec:\s+([\d.]+)", text).group(1))

    def percentile(p):
        value, unit = re.search(rf"^\s+{p}%\s+([\d.]+)(us|ms|s)", text, re.M).groups()
        return float(value) * {"us": 1e-3, "ms": 1.0, "s": 1e3}[unit]

    errors = re.search(r"Non-2xx or 3xx responses: (\d+)|Socket errors: (.*)", text)
    return rate, percentile(50), percentile(99), errors.group(0) if errors else ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", type=pathlib.Path, required=True, help="folder for the database (about 600 MB)")
    parser.add_argument("--copies", type=int, default=250, help="copies of the 4,000 molecules (250: 1,000,000)")
    parser.add_argument("--seconds", type=int, default=15, help="length of each wrk run")
    parser.add_argument("--clients", default="1,8,64")
    parser.add_argument("--program", default=str(ROOT / "build" / "tools" / "varnex" / "varnex"))
    args = parser.parse_args()
    args.data.mkdir(parents=True, exist_ok=True)
    mols, fpbin, paths = make_data(args.data, args.program, args.copies)
    with tempfile.NamedTemporaryFile("w", suffix=".lua") as script:
        script.write(LUA % paths)
        script.flush()
        # Unbatched: each request searches on its own thread, on one thread or split over two.
        configs = {"batched": [], "one at a time": ["-batch", "1", "-threads", "1"],
                   "one at a time, 2 threads": ["-batch", "1", "-threads", "2"]}
        results = {}
        for name, options in configs.items():
            process, url = serve(args.program, mols, fpbin, options)
            try:
                wrk(url, script.name, 8, 3)  # warm the page cache and the connection threads
                for clients in map(int, args.clients.split(",")):
                    results[name, clients] = wrk(url, script.name, clients, args.seconds)
            finally:
                process.terminate()
                process.wait()
    print(f"varnex serve, {varnex.FastDatabase(fpbin).__len__():,} records, top-10 Tanimoto, "
          f"wrk {args.seconds} s per run")
    print("| clients | configuration | req/s | p50 ms | p99 ms | batched / this |")
    print("|---|---|---|---|---|---|")
    for clients in map(int, args.clients.split(",")):
        batched = results["batched", clients][0]
        for name in configs:
            rate, p50, p99, errors = results[name, clients]
            print(f"| {clients} | {name} | {rate:.1f} | {p50:.1f} | {p99:.1f} | {batched / rate:.2f}x | {errors}")


if __name__ == "__main__":
    sys.exit(main())
