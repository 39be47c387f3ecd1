"""Local improvement of the small ISCAS-85 circuits (c17, c432, c499, c880, ...) against ABC, each
result checked by ABC's combinational equivalence check (``cec``) as well as by the library.

The netlists are the structural Verilog files (gate primitives) that the ``circuitgraph`` package
ships in ``circuitgraph/netlists``; install it in a benchmark-only environment and name the folder
with --netlists (default $ISCAS_NETLISTS, else /work/venv-iscas/.../circuitgraph/netlists). Each is
turned into a bench file here (one line per gate, n-ary gates kept), read with
``Circuit.from_bench`` and improved in B2 and in AIG with the same time budget that ABC gets for
``strash; resyn2`` and ``strash; dc2`` (``bench_improve.abc_best``). Each line: inputs, outputs,
two-input gates as read, ours in B2, the AND gates as read (our AIG folding), ours in AIG, ABC's,
and the verdict of ``cec`` on each of our two results against the original bench file.

Usage: python bench/bench_improve_iscas.py [--quick] [--time-limit S] [--only c432,...] [--aig-only]
"""

import argparse
import glob
import os
import re
import subprocess
import tempfile
from pathlib import Path

from bench_improve import abc_best
from common import arguments

from vexil_kit import Circuit

CIRCUITS = ["c17", "c432", "c499", "c880", "c1355", "c1908"]
GATES = {
    "and": "AND",
    "nand": "NAND",
    "or": "OR",
    "nor": "NOR",
    "xor": "XOR",
    "xnor": "XNOR",
    "not": "NOT",
    "buf": "BUFF",
}


def default_netlists():
    found = glob.glob("/work/venv-iscas/lib/python3*/site-packages/circuitgraph/netlists")
    return os.environ.get("ISCAS_NETLISTS", found[0] if found else "")


def verilog_to_bench(text):
    """The bench text of a structural Verilog module of gate primitives (``nand NAME (out, a, b);``)."""
    text = re.sub(r"//.*", "", text)
    statements = [" ".join(s.split()) for s in text.split(";")]
    lines = []
    for statement in statements:
        word = statement.split(" ", 1)[0]
        if word in ("input", "output"):
            names = statement[len(word) :].replace(" ", "").split(",")
            lines += [f"{word.upper()}({name})" for name in names if name]
        elif word in GATES:
            ports = re.search(r"\((.*)\)", statement).group(1).replace(" ", "").split(",")
            lines.append(f"{ports[0]} = {GATES[word]}({', '.join(ports[1:])})")
        elif word not in ("", "module", "endmodule", "wire"):
            raise ValueError(f"unexpected statement: {statement[:60]}")
    return "\n".join(lines) + "\n"


def renamed(original, written):
    """``written`` (our bench text, inputs x0.. and outputs y0..) with the original file's port names,
    which ABC's cec pairs the ports by."""
    inputs = re.findall(r"^INPUT\((.*)\)", original, re.M)
    outputs = re.findall(r"^OUTPUT\((.*)\)", original, re.M)
    names = {f"x{i}": name for i, name in enumerate(inputs)} | {f"y{i}": name for i, name in enumerate(outputs)}
    # Our internal gates are g0, g1, ...: kept apart from the original names by a prefix.
    return re.sub(r"\b([xyg]\d+)\b", lambda m: names.get(m.group(1), "vexil_" + m.group(1)), written)


def cec(abc, original, improved, folder):
    """ABC's verdict on the equivalence of two bench texts ("equivalent", "NOT EQUIVALENT", or "-")."""
    if not abc:
        return "-"
    first, second = Path(folder, "a.bench"), Path(folder, "b.bench")
    first.write_text(original)
    second.write_text(renamed(original, improved))
    done = subprocess.run([abc, "-c", f"cec {first} {second}"], capture_output=True, text=True, timeout=600)
    output = re.sub(r"\x1b\[[0-9;]*m", "", done.stdout)
    if "are equivalent" in output:
        return "equivalent"
    return "NOT EQUIVALENT" if "NOT EQUIVALENT" in output else "?"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--time-limit", type=float, default=10.0, help="seconds per circuit and tool (default 10)")
    parser.add_argument("--only", default="", help="comma-separated circuit names")
    parser.add_argument("--netlists", default=default_netlists(), help="folder of circuitgraph's netlists")
    parser.add_argument("--aig-only", action="store_true", help="leave out our B2 improvement (its columns empty)")
    parser.add_argument("--abc", default=os.environ.get("ABC", "/work/abc/root/usr/bin/berkeley-abc"))
    args = arguments(parser, {"time_limit": 1.0, "only": "c17,c432"})
    if not args.netlists or not os.path.isdir(args.netlists):
        print("no ISCAS-85 netlists found (install circuitgraph in a benchmark environment; see --netlists)")
        return
    abc = args.abc if os.path.exists(args.abc) else None
    print(f"ABC: {abc or 'missing'}; netlists: {args.netlists}")
    print(f"time limit per circuit and tool: {args.time_limit:g} s")
    print(
        f"{'circuit':8} {'in':>4} {'out':>4} {'B2 in':>6} {'ours':>6} {'s':>6} {'AIG in':>6} {'ours':>6} {'s':>6} "
        f"{'ABC':>6} {'s':>5}  cec B2 / AIG"
    )
    only = [name for name in args.only.split(",") if name] or CIRCUITS
    for name in only:
        path = Path(args.netlists, f"{name}.v")
        if not path.exists():
            print(f"{name:8} (no netlist)")
            continue
        bench = verilog_to_bench(path.read_text())
        circuit = Circuit.from_bench(bench)
        b2, b2_summary = circuit.improve("B2", time_limit=0 if args.aig_only else args.time_limit)
        aig, aig_summary = circuit.improve("AIG", time_limit=args.time_limit)
        aig_in = circuit.improve("AIG", time_limit=0).circuit
        a_size, a_time = abc_best(abc, circuit, args.time_limit)
        with tempfile.TemporaryDirectory() as folder:
            verdicts = [cec(abc, bench, better.to_bench(), folder) for better in (b2, aig)]
        b2_size, b2_seconds = b2.size, f"{b2_summary.seconds:.1f}"
        if args.aig_only:
            verdicts[0] = b2_size = b2_seconds = "-"
        print(
            f"{name:8} {circuit.inputs:4} {len(circuit.outputs):4} {circuit.size:6} {b2_size:>6} "
            f"{b2_seconds:>6} {aig_in.size:6} {aig.size:6} {aig_summary.seconds:6.1f} "
            f"{'-' if a_size is None else a_size:>6} {'-' if a_time is None else f'{a_time:.1f}':>5}  "
            f"{verdicts[0]} / {verdicts[1]}",
            flush=True,
        )


if __name__ == "__main__":
    main()
