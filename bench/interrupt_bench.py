"""How soon every long call stops after Ctrl-C, on the 1,000,000-record database.

    PYTHONPATH=build/python /usr/bin/python3 bench/interrupt_bench.py [path/to/varnex]

Each long call runs in its own process (Python calls under Debian's
interpreter, command-line runs of the `varnex` program, default
build/tools/varnex/varnex). The process says when the call starts; SIGINT
follows `DELAY` seconds later and the script measures the time until the
call has given control back (the Python call raises KeyboardInterrupt; the
program has ended; the interpreter's own exit, which frees the database's
memory, is not counted), and checks that no output file was left behind (the
command line's tables go to standard output, which is not kept). A call
that ends before the signal is reported as such (it was not long enough to
need interrupting). The database is bench/fastdb_bench's
/tmp/varnex_fastdb_bench_1M.fpbin (written on first use); creation reads
the NCI set repeated to 200,000 lines.
"""

import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import python_bench as pb  # noqa: E402  (the shared database helpers)
import varnex  # noqa: E402

DELAY = 2.0
REPEATS = 3

PREAMBLE = """
import sys, warnings, varnex
warnings.simplefilter("ignore")
db = varnex.FastDatabase({db!r}, memory="mmap")
smiles = [line.split()[0] for line in open({smi!r}) if line.strip()]
t = varnex.FPType("Path")
print("ready", flush=True)
try:
    {call}
except KeyboardInterrupt:
    import time
    print("interrupted", time.monotonic(), flush=True)
    sys.exit(130)
"""

PYTHON_CALLS = [
    ("fingerprints of 200,000 SMILES", "t.fingerprints(smiles * 10)"),
    ("create_database", "varnex.create_database({smi!r}, {out!r}, t, progress=False)"),
    ("search, k=0, cutoff 0 (20 calls)", "for q in smiles[:20]: db.search(q, k=0, cutoff=0.0)"),
    ("search_many, k=0", "db.search_many(smiles[:50], k=0, cutoff=0.0, threads=2)"),
    ("matrix, k=10", "db.matrix(k=10, threads=2)"),
    ("histogram", "db.histogram(threads=2)"),
]


def cli_calls(program, db, smi, out):
    return [
        ("create", [program, "create", "-in", smi, "-out", out]),
        ("search -limit 0", [program, "search", "-db", db, "-query", "CCO", "-limit", "0"]),
        ("matrix -limit 10", [program, "matrix", "-db", db, "-limit", "10"]),
        ("histogram", [program, "histogram", "-db", db]),
    ]


def stop_time(command, out, ready_line):
    """Seconds from SIGINT to the end of the call (the Python exception; for
    the command line, the end of the process), or None when it ended first."""
    # The command line's tables go to standard output, which nobody reads here.
    stdout = subprocess.PIPE if ready_line else subprocess.DEVNULL
    proc = subprocess.Popen(command, stdout=stdout, stderr=subprocess.DEVNULL, text=True)
    if ready_line:
        proc.stdout.readline()
    time.sleep(DELAY)
    if proc.poll() is not None:
        return None, proc.returncode
    sent = time.monotonic()
    proc.send_signal(signal.SIGINT)
    if ready_line:
        words = proc.stdout.readline().split()
        ended = float(words[1]) if len(words) == 2 and words[0] == "interrupted" else time.monotonic()
    proc.wait()
    if not ready_line:
        ended = time.monotonic()
    elapsed = ended - sent
    if os.path.exists(out):
        raise AssertionError(f"{command[:3]} left {out} behind")
    return elapsed, proc.returncode


def report(label, command, out, ready_line):
    times, codes = [], set()
    for _ in range(REPEATS):
        elapsed, code = stop_time(command, out, ready_line)
        codes.add(code)
        if elapsed is None:
            print(f"{label:34s} ended within {DELAY:.0f} s, before the signal")
            return
        times.append(elapsed)
    print(f"{label:34s} stopped after {max(times) * 1000:7.0f} ms at most"
          f" (median {sorted(times)[len(times) // 2] * 1000:.0f} ms; exit {sorted(codes)})")


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build/tools/varnex/varnex"
    t = varnex.FPType("Path")
    nci = [line.split()[0] for line in open(pb.NCI) if line.strip()]
    pb.open_big_database(t, nci).close()
    with tempfile.TemporaryDirectory() as folder:
        smi = os.path.join(folder, "nci200k.smi")
        with open(smi, "w") as f:
            for _ in range(40):
                f.writelines(line for line in open(pb.NCI))
        out = os.path.join(folder, "out.fpbin")
        print(f"SIGINT {DELAY:.0f} s into the call; worst of {REPEATS} runs; {os.cpu_count()} processors")
        for label, call in PYTHON_CALLS:
            code = PREAMBLE.format(db=pb.BIG, smi=smi, call=call.format(smi=smi, out=out))
            report("Python " + label, [sys.executable, "-c", code], out, True)
        for label, command in cli_calls(program, pb.BIG, smi, out):
            report("varnex " + label, command, out, False)


if __name__ == "__main__":
    main()
