"""Implementation costs of the 4- and 5-bit catalogue S-boxes by exact synthesis, resumable, into
bench/data/sbox_costs.json, and the page docs/sbox-costs.md made from it.

For each permutation of the catalogue with n = m = 4 or 5: the multiplicative complexity (AND gates, XOR
and NOT free: basis "MC"), the number of two-input gates (basis "B2", every gate of two inputs
costs 1, complements of inputs and outputs free), and the bitslice gate complexity and gate
complexity (bases "BGC" and "GC", where a NOT is a gate), each searched up to --seconds, with the
proven bounds, the time and the circuit found (its text form); and ("DEPTH") the least depth of a
B2 circuit of the whole S-box, exactly (the deepest of its coordinates' least depths, each proven by
refuting every circuit one level shallower), with the least size of a B2 circuit of that depth. A
second run resumes every search that did not finish from the lower bound it proved. --quick
searches PRESENT's multiplicative complexity alone (from the results kept, so at once when it is
settled there) and writes nothing.

    PYTHONPATH=python python bench/bench_sbox_costs.py [--seconds 600] [--bases MC,B2,BGC,GC,DEPTH] [--quick]
"""

import argparse
import json
import sys
from pathlib import Path

from common import arguments

from vexil_kit import VectorialFunction
from vexil_kit.synthesis import synthesize_tables
from vexil_kit.synthesis.depth_bounded import NoCircuitWithinDepth

ROOT = Path(__file__).resolve().parent.parent
DATA = ROOT / "bench" / "data" / "sbox_costs.json"
PAGE = ROOT / "docs" / "sbox-costs.md"


def boxes(names: list[str] | None) -> list[str]:
    """The 4- and 5-bit permutations of the catalogue, or those named."""
    chosen = []
    for name in VectorialFunction.catalogue():
        box = VectorialFunction.named(name)
        if box.n == box.m and box.n in (4, 5) and box.is_permutation() and (names is None or name in names):
            chosen.append(name)
    return chosen


def least_depth(box: VectorialFunction) -> int:
    """The least depth of a B2 circuit computing every coordinate: the deepest coordinate's least
    depth (separate circuits of the coordinates side by side are as deep as the deepest)."""
    deepest = 0
    for j in range(box.m):
        f = box.coordinate(j)
        depth = deepest
        while True:
            try:
                f.synthesize("B2", max_depth=depth)
                break
            except NoCircuitWithinDepth:
                depth += 1
        deepest = depth
    return deepest


def search(name: str, basis: str, seconds: float, earlier: dict | None, floor: int = 0) -> dict:
    """One synthesis, resumed from an earlier result's lower bound when it did not finish; ``floor``
    is a lower bound proven in a basis whose size is never more (B2 under GC under BGC)."""
    if earlier is not None and earlier["optimal"]:
        return earlier
    box = VectorialFunction.named(name)
    tables = [box.coordinate(j).table for j in range(box.m)]
    at_least = max(earlier["lower_bound"] if earlier else 0, floor)
    shallowest = None
    if basis == "DEPTH":
        shallowest = earlier["least_depth"] if earlier else least_depth(box)
        found = synthesize_tables(box.n, tables, "B2", time_limit=seconds, at_least=at_least, max_depth=shallowest)
    else:
        found = synthesize_tables(box.n, tables, basis, time_limit=seconds, at_least=at_least)
    spent = found.seconds + (earlier["seconds"] if earlier else 0.0)
    if (
        earlier is not None
        and earlier.get("circuit")
        and (found.circuit is None or earlier["upper_bound"] <= found.upper_bound)
    ):
        # Keep the smaller circuit found before.
        upper, circuit, depth = earlier["upper_bound"], earlier["circuit"], earlier["depth"]
    else:
        upper, circuit = found.upper_bound, (found.circuit.to_text() if found.circuit is not None else None)
        depth = found.circuit.depth if found.circuit is not None else None
    return {
        "upper_bound": upper,
        "lower_bound": max(found.lower_bound, at_least),
        "optimal": upper is not None and upper == max(found.lower_bound, at_least),
        "seconds": round(spent, 1),
        "depth": depth,
        "circuit": circuit,
    } | ({"least_depth": shallowest} if basis == "DEPTH" else {})


def carry_down(entry: dict) -> None:
    """A BGC circuit is a GC circuit: GC keeps the smaller of the two."""
    bgc, gc = entry.get("BGC"), entry.get("GC")
    if (
        bgc
        and gc
        and bgc["upper_bound"] is not None
        and (gc["upper_bound"] or bgc["upper_bound"] + 1) > bgc["upper_bound"]
    ):
        gc.update(upper_bound=bgc["upper_bound"], circuit=bgc["circuit"], depth=bgc["depth"])
        gc["optimal"] = gc["upper_bound"] == gc["lower_bound"]


def cost_text(entry: dict | None) -> str:
    if entry is None:
        return "—"
    if entry["optimal"]:
        return f"**{entry['upper_bound']}**"
    upper = entry["upper_bound"] if entry["upper_bound"] is not None else "?"
    return f"{entry['lower_bound']}–{upper}"


def write_page(results: dict) -> None:
    lines = [
        "# Implementation costs of the 4- and 5-bit catalogue S-boxes",
        "",
        "Written by `bench/bench_sbox_costs.py` from `bench/data/sbox_costs.json`. MC is the multiplicative",
        "complexity (the fewest AND gates of a circuit of AND, XOR and NOT gates, XOR and NOT free); B2 is the",
        "fewest two-input gates of any kind (complemented inputs and outputs free). A bold value is proven",
        "optimal by exact synthesis (SAT); `a–b` is a search stopped by its time limit, with the proven lower",
        "bound a and the best circuit found b. The time is that of all runs of the search together. Class is",
        "a 4-bit S-box's affine class (`affine_class()`, `docs/sbox-classes.md`). MC is the same for every member",
        "of a class (affine maps cost no AND gate), so the members of one class must agree, a check on the",
        "searches (and a search stopped early is settled by a member proven optimal); the gate counts are not",
        "affine invariants. The depth is that of the B2 circuit found, not a least depth.",
        "",
        "Least depth is the least depth of a B2 circuit of the whole S-box, proven (the deepest of the",
        "coordinates' least depths: each coordinate is refuted at one level less, and separate circuits",
        "side by side are as deep as the deepest); beside it, the fewest B2 gates of a circuit of that depth",
        "(`synthesize(max_depth=D)` over all outputs together, bounds as above, from at least the B2",
        "lower bound).",
        "",
        'Stoffelen (FSE 2016, "Optimizing S-box implementations for several criteria using SAT solvers"),',
        "after Courtois, Hulme and Mourouzis, counts instructions: BGC, the bitslice gate complexity (AND, OR,",
        "XOR and NOT, each one instruction), and GC, the gate complexity (AND, OR, XOR, NAND, NOR, XNOR and",
        'NOT, each one gate). Here they are the synthesis bases "BGC" and "GC", where a NOT is a gate like',
        "any other. B2 folds every inverter into the gates, so B2 ≤ GC ≤ BGC on every row; the B2 lower",
        "bound is a lower bound for both. His published values could not be checked against the paper's",
        "tables while this page was made, so no column quotes them.",
        "",
        "| S-box | class | MC | MC time (s) | B2 | B2 time (s) | BGC | BGC time (s) | GC | GC time (s) "
        "| depth of the B2 circuit | least depth | B2 at least depth | time (s) |",
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|",
    ]
    for name, entry in results.items():
        box = VectorialFunction.named(name)
        label = "—"
        if box.n == 4:
            found = box.affine_class()
            label = found.label + (f" ({found.name})" if found.name else "")
        costs = " | ".join(
            f"{cost_text(entry.get(basis))} | {entry[basis]['seconds'] if basis in entry else '—'}"
            for basis in ("MC", "B2", "BGC", "GC")
        )
        b2, shallow = entry.get("B2"), entry.get("DEPTH")
        b2_depth = b2["depth"] if b2 and b2["depth"] is not None else "—"
        least = f"{shallow['least_depth']} | {cost_text(shallow)} | {shallow['seconds']}" if shallow else "— | — | —"
        lines.append(f"| {name} | {label} | {costs} | {b2_depth} | {least} |")
    PAGE.write_text("\n".join(lines) + "\n")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=600.0, help="time limit of one search (one run)")
    parser.add_argument(
        "--bases",
        default="MC,B2,BGC,GC,DEPTH",
        help="comma-separated bases: MC, B2, BGC, GC, DEPTH (B2 within the least depth)",
    )
    parser.add_argument(
        "--boxes",
        default=None,
        help="comma-separated catalogue names (all 4- and 5-bit ones by default; none: the page only)",
    )
    args = arguments(parser, {"seconds": 30.0, "bases": "MC", "boxes": "PRESENT"})
    results = json.loads(DATA.read_text()) if DATA.exists() else {}
    for name in boxes(args.boxes.split(",") if args.boxes else None):
        for basis in args.bases.split(","):
            known = results.get(name, {})
            # B2 <= GC <= BGC, and a depth bound only raises the B2 size: their lower bounds carry up.
            below = {"GC": ("B2",), "BGC": ("B2", "GC"), "DEPTH": ("B2",)}.get(basis, ())
            floor = max((known[b]["lower_bound"] for b in below if b in known), default=0)
            entry = search(name, basis, args.seconds, known.get(basis), floor)
            results.setdefault(name, {})[basis] = entry
            carry_down(results[name])
            if not args.quick:  # a smoke run leaves the committed results alone
                DATA.parent.mkdir(parents=True, exist_ok=True)
                DATA.write_text(json.dumps(results, indent=1, sort_keys=True) + "\n")  # kept after each search
            print(f"{name:12} {basis:5} {cost_text(entry):>8}  {entry['seconds']:7.1f} s", file=sys.stderr, flush=True)
    if not args.quick:
        for entry in results.values():
            carry_down(entry)
        write_page(dict(sorted(results.items())))


if __name__ == "__main__":
    main()
