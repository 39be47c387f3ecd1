"""The circuit files vexil_kit writes, read by independent tools: each must give the tables the
circuit computes. Not a timing: a check of the writers against readers that are not ours.

Readers, each used when present and reported missing otherwise:
  ABC (``berkeley-abc`` or ``abc`` on PATH): reads bench, BLIF and binary aig (it reads no ASCII
      aag), collapses the network and writes a PLA, whose cubes this script evaluates.
  Yosys (``yosys`` on PATH): reads Verilog, BLIF and aag and prints ``eval -table``.
  cirbo (in the benchmark environment, --peers-python): reads bench, prints its truth table.

Usage: python bench/check_circuit_formats.py [--peers-python .venv-bench/bin/python] [--quick]
Exit status 1 when any reader disagrees.
"""

import argparse
import json
import random
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np

from vexil_kit import BooleanFunction as BF
from vexil_kit.circuits import AND_OPS, XOR_OPS, Circuit

CIRBO_READER = """
import json, sys
from cirbo.core.circuit import Circuit
for text in json.load(sys.stdin):
    try:
        c = Circuit.from_bench_string(text)
        table = [[bool(v) for v in row] for row in c.get_truth_table()]
        print(json.dumps([c.inputs, c.outputs, table, c.format_circuit()]))
    except Exception as error:
        print(json.dumps(repr(error)))
"""


def circuits(quick):
    rng = random.Random(5)
    out = [BF.random(5, seed=s).minimal_circuit() for s in range(4 if quick else 30)]
    out += [BF.constant(3, True).minimal_circuit(), (~BF.dictator(3, 1)).minimal_circuit()]
    out.append(Circuit(3, ((6, 0, 1), (6, 3, 2), (8, 0, 1), (8, 3, 2), (14, 5, 6)), outputs=((4, False), (7, False))))
    out.append(Circuit(3, tuple((op, 2 + op, op % 3) for op in range(16)), outputs=((18, True), (10, False))))
    out.append(Circuit(2, ((8, 0, 1),), outputs=((2, False), (2, True), (1, True), (None, True), (None, False))))
    for ops in (range(16), AND_OPS | XOR_OPS, AND_OPS):
        n, size = 8, 40 if quick else 300
        gates = [(rng.choice(list(ops)), rng.randrange(n + i), rng.randrange(n + i)) for i in range(size)]
        outs = [(rng.randrange(n + size), rng.random() < 0.5) for _ in range(3)]
        out.append(Circuit(n, gates, outputs=outs))
    return out


def names(c):
    inputs = [f"x{v}" for v in range(c.inputs)]
    return inputs, (["f"] if len(c.outputs) == 1 else [f"y{j}" for j in range(len(c.outputs))])


def abc_tables(abc, path, c):
    """ABC reads the file, collapses it to SOPs and writes a PLA; its cubes give the tables."""
    pla = path.with_name(path.name + ".pla")
    pla.unlink(missing_ok=True)
    reader = {".bench": "read_bench", ".blif": "read_blif"}.get(path.suffix, "read_aiger")
    run = subprocess.run([abc, "-c", f"{reader} {path}; collapse; write_pla {pla}"], capture_output=True, text=True)
    if not pla.exists():
        raise RuntimeError(f"ABC wrote no PLA: {run.stdout[-300:]} {run.stderr[-300:]}")
    text = pla.read_text()
    inputs, outputs = names(c)
    ilb = re.search(r"^\.ilb (.*)$", text, re.M)
    ob = re.search(r"^\.ob (.*)$", text, re.M).group(1).split()
    columns = ilb.group(1).split() if ilb else []
    size = 1 << c.inputs
    xs = np.arange(size)
    tables = {name: np.zeros(size, dtype=bool) for name in ob}
    for line in text.splitlines():
        if not line or line[0] in ".#":
            continue
        parts = line.split()
        plane, values = parts if len(parts) == 2 else ("", parts[0])
        hit = np.ones(size, dtype=bool)
        for name, ch in zip(columns, plane, strict=True):
            if ch != "-":
                hit &= (xs >> inputs.index(name) & 1) == int(ch)
        for name, value in zip(ob, values, strict=True):
            if value == "1":
                tables[name] |= hit
    return np.array([tables[name] for name in outputs])


def yosys_tables(yosys, path, c, reader):
    """Yosys reads the file and prints the table of every input combination."""
    inputs, outputs = names(c)
    script = f"{reader} {path}; hierarchy -auto-top; flatten; eval -table {','.join(inputs)}"
    run = subprocess.run([yosys, "-p", script], capture_output=True, text=True)
    lines = run.stdout.splitlines()
    header = next((i for i, line in enumerate(lines) if line.strip().startswith("\\") and "|" in line), None)
    if header is None:
        raise RuntimeError(f"Yosys printed no table: {run.stdout[-400:]} {run.stderr[-300:]}")
    left, right = lines[header].split("|")
    ins = [w.lstrip("\\") for w in left.split()]
    outs = [w.lstrip("\\") for w in right.split()]
    tables = {name: np.zeros(1 << c.inputs, dtype=bool) for name in outs}
    for line in lines[header + 2 : header + 2 + (1 << c.inputs)]:
        a, b = line.split("|")
        x = sum(int(bit[-1]) << inputs.index(name) for name, bit in zip(ins, a.split(), strict=True))
        for name, bit in zip(outs, b.split(), strict=True):
            tables[name][x] = bit[-1] == "1"
    return np.array([tables[name] for name in outputs])


def cirbo_tables(python, all_circuits):
    """cirbo reads each bench text in one child process of the benchmark environment."""
    texts = [c.to_bench() for c in all_circuits]
    run = subprocess.run([python, "-c", CIRBO_READER], input=json.dumps(texts), capture_output=True, text=True)
    if run.returncode:
        raise RuntimeError(run.stderr[-500:])
    results = []
    for c, line in zip(all_circuits, run.stdout.splitlines(), strict=True):
        read = json.loads(line)
        if isinstance(read, str):
            results.append(RuntimeError(read))
            continue
        ins, outs, rows, written = read
        inputs, outputs = names(c)
        n = c.inputs
        # cirbo's column j reads its first input as the most significant bit of j.
        order = [ins.index(name) for name in inputs]
        columns = [sum((x >> v & 1) << (n - 1 - order[v]) for v in range(n)) for x in range(1 << n)]
        results.append((np.array([[rows[outs.index(name)][j] for j in columns] for name in outputs]), written))
    return results


def declared(data, form):
    """(input names, output names) in the order a file declares them."""
    text = data.decode("latin-1") if isinstance(data, bytes) else data
    if form == "bench":
        return (re.findall(r"^INPUT\((.*)\)", text, re.M), re.findall(r"^OUTPUT\((.*)\)", text, re.M))
    if form == "blif":
        text = text.replace("\\\n", " ")
        ins = re.search(r"^\.inputs(.*)$", text, re.M).group(1).split()
        return ins, re.search(r"^\.outputs(.*)$", text, re.M).group(1).split()
    # In binary AIGER the first symbol follows the last AND's bytes, so no line start is required.
    symbols = dict(re.findall(r"([io]\d+) (\S+)\n", text))
    count = int(text.split()[2])
    outs = int(text.split()[4])
    return [symbols[f"i{k}"] for k in range(count)], [symbols[f"o{j}"] for j in range(outs)]


def read_back(c, data, form):
    """The tables of a file a tool wrote from c, read by vexil_kit, put in c's order of inputs and outputs."""
    read = {"bench": Circuit.from_bench, "blif": Circuit.from_blif}.get(form, Circuit.from_aiger)
    back = read(data)
    ins, outs = declared(data, form)
    inputs, outputs = names(c)
    tables = back.tables()
    xs = np.arange(1 << c.inputs)
    columns = sum((xs >> inputs.index(name) & 1) << k for k, name in enumerate(ins))
    return np.array([tables[outs.index(name)][columns] for name in outputs])


def tools_write(abc, yosys, c, tmp, k):
    """Files ABC and Yosys write from one of ours, after optimising it: (tool, form, data) each."""
    found = []
    blif = Path(tmp) / f"w{k}.blif"
    blif.write_text(c.to_blif())
    if abc:
        out = {form: Path(tmp) / f"w{k}_abc.{form}" for form in ("aig", "blif", "bench")}
        script = f"read_blif {blif}; strash; dc2; write_aiger -s {out['aig']}; write_blif {out['blif']}; "
        subprocess.run([abc, "-c", script + f"logic; write_bench {out['bench']}"], capture_output=True)
        found += [("ABC", form, path.read_bytes()) for form, path in out.items() if path.exists()]
    if yosys:
        verilog = Path(tmp) / f"w{k}.v"
        verilog.write_text(c.to_verilog())
        out = {form: Path(tmp) / f"w{k}_yosys.{form}" for form in ("blif", "aag", "aig")}
        script = (
            f"read_verilog {verilog}; synth -top circuit; write_blif {out['blif']}; aigmap; "
            f"write_aiger -ascii -symbols {out['aag']}; write_aiger -symbols {out['aig']}"
        )
        subprocess.run([yosys, "-q", "-p", script], capture_output=True)
        found += [("Yosys", form, path.read_bytes()) for form, path in out.items() if path.exists()]
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--peers-python", default=".venv-bench/bin/python")
    parser.add_argument("--quick", action="store_true", help="fewer and smaller circuits")
    args = parser.parse_args()
    abc = shutil.which("berkeley-abc") or shutil.which("abc") or shutil.which("yosys-abc")
    yosys = shutil.which("yosys")
    cirbo = (
        Path(args.peers_python).exists()
        and subprocess.run([args.peers_python, "-c", "import cirbo"], capture_output=True).returncode == 0
    )
    all_circuits = circuits(args.quick)
    checks = {}  # (tool, format) -> [agreeing, total, first failure]
    with tempfile.TemporaryDirectory() as tmp:
        for k, c in enumerate(all_circuits):
            expected = c.tables()
            files = {
                "bench": (c.to_bench(), ".bench"),
                "blif": (c.to_blif(), ".blif"),
                "aag": (c.to_aiger(), ".aag"),
                "aig": (c.to_aiger(binary=True), ".aig"),
                "verilog": (c.to_verilog(), ".v"),
            }
            paths = {}
            for form, (data, suffix) in files.items():
                paths[form] = Path(tmp) / f"c{k}{suffix}"
                paths[form].write_bytes(data if isinstance(data, bytes) else data.encode())
            jobs = []
            if abc:
                jobs += [("ABC", form, lambda p, c=c: abc_tables(abc, p, c)) for form in ("bench", "blif", "aig")]
            if yosys and c.inputs:
                readers = {"verilog": "read_verilog", "blif": "read_blif", "aag": "read_aiger"}
                jobs += [
                    ("Yosys", form, lambda p, c=c, r=r: yosys_tables(yosys, p, c, r)) for form, r in readers.items()
                ]
            for tool, form, read in jobs:
                record = checks.setdefault((tool, form), [0, 0, None])
                record[1] += 1
                try:
                    got = read(paths[form])
                    ok = np.array_equal(got, expected)
                except (RuntimeError, ValueError, IndexError, AttributeError) as error:
                    ok, got = False, error
                record[0] += ok
                if not ok and record[2] is None:
                    record[2] = f"circuit {k}: {got if isinstance(got, Exception) else 'tables differ'}"
        if cirbo:
            record = checks.setdefault(("cirbo", "bench"), [0, 0, None])
            written_record = checks.setdefault(("cirbo writes", "bench"), [0, 0, None])
            for k, (c, got) in enumerate(zip(all_circuits, cirbo_tables(args.peers_python, all_circuits), strict=True)):
                record[1] += 1
                ok = not isinstance(got, Exception) and np.array_equal(got[0], c.tables())
                record[0] += ok
                if not ok and record[2] is None:
                    record[2] = f"circuit {k}: {got if isinstance(got, Exception) else 'tables differ'}"
                if isinstance(got, Exception):
                    continue
                # cirbo writes back what it read; vexil_kit reads that.
                written_record[1] += 1
                try:
                    ok = np.array_equal(read_back(c, got[1], "bench"), c.tables())
                except (ValueError, KeyError) as error:
                    ok = False
                    written_record[2] = written_record[2] or f"circuit {k}: {error}"
                written_record[0] += ok
                if not ok and written_record[2] is None:
                    written_record[2] = f"circuit {k}: tables differ"
        # The other way: ABC and Yosys optimise our circuits and write them; vexil_kit reads those.
        for k, c in enumerate(all_circuits):
            if not c.inputs:
                continue
            for tool, form, data in tools_write(abc, yosys, c, tmp, k):
                record = checks.setdefault((f"{tool} writes", form), [0, 0, None])
                record[1] += 1
                try:
                    ok = np.array_equal(read_back(c, data, form), c.tables())
                except (ValueError, KeyError, AttributeError) as error:
                    ok = False
                    record[2] = record[2] or f"circuit {k}: {error}"
                record[0] += ok
                if not ok and record[2] is None:
                    record[2] = f"circuit {k}: tables differ"
    for tool, present in (("ABC", abc), ("Yosys", yosys), ("cirbo", cirbo)):
        if not present:
            print(f"{tool:6} missing: skipped")
    failed = False
    for (tool, form), (good, total, first) in sorted(checks.items()):
        verb = "" if tool.endswith("writes") else "reads "
        print(
            f"{tool + ' ' + verb:13} {form:8} {good:3} / {total:3} circuits agree"
            + (f"   first failure: {first}" if first else "")
        )
        failed |= good != total
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
