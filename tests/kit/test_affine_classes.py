"""Affine classes of permutations and Boolean functions against orbits computed by brute force, the
published counts, and invariants of affine equivalence."""

from __future__ import annotations

import math
from itertools import permutations, product

import numpy as np
import pytest

from vexil_kit import BooleanFunction, VectorialFunction, _native
from vexil_kit.boolean_classes import boolean_class, boolean_classes
from vexil_kit.sbox_classes import LEANDER_POSCHMANN, affine_group_order, permutation_class, permutation_classes


def _generators(n: int) -> list[tuple[int, ...]]:
    """Tables of maps generating AGL(n): the translations by unit vectors and the transvections x_i ^= x_j."""
    size = 1 << n
    maps = [tuple(x ^ (1 << i) for x in range(size)) for i in range(n)]
    maps += [tuple(x ^ (((x >> j) & 1) << i) for x in range(size)) for i in range(n) for j in range(n) if i != j]
    return maps


def _orbits(items: list[tuple[int, ...]], moves: list) -> dict[tuple[int, ...], tuple[int, ...]]:
    """Each item's orbit minimum, the orbits joined along ``moves`` (union-find over all items)."""
    index = {item: k for k, item in enumerate(items)}
    parent = list(range(len(items)))

    def root(k: int) -> int:
        while parent[k] != k:
            parent[k] = parent[parent[k]]
            k = parent[k]
        return k

    for k, item in enumerate(items):
        for move in moves:
            a, b = root(k), root(index[move(item)])
            if a != b:
                parent[max(a, b)] = min(a, b)  # the root is the orbit's first item, its least
    return {item: items[root(k)] for k, item in enumerate(items)}


def test_permutation_canonical_forms_are_orbit_minima_at_three_bits() -> None:
    maps = _generators(3)
    moves = [lambda s, g=g: tuple(g[v] for v in s) for g in maps]  # g.S
    moves += [lambda s, g=g: tuple(s[g[x]] for x in range(8)) for g in maps]  # S.g
    items = sorted(permutations(range(8)))
    least = _orbits(items, moves)
    classes = {c.representative: c for c in permutation_classes(3)}
    assert sorted(classes) == sorted(set(least.values()))
    sizes = {rep: 0 for rep in classes}
    for item in items[::7]:
        found = permutation_class(item, 3)
        assert found.representative == least[item]
    for rep in least.values():
        sizes[rep] += 1
    assert all(classes[rep].size == size for rep, size in sizes.items())


@pytest.mark.parametrize("n", [3, 4])
def test_boolean_canonical_forms_are_orbit_minima(n: int) -> None:
    size = 1 << n
    maps = _generators(n)
    moves = [lambda f, g=g: tuple(f[g[x]] for x in range(size)) for g in maps]
    affine = [tuple(1 for _ in range(size))] + [tuple((x >> i) & 1 for x in range(size)) for i in range(n)]
    moves += [lambda f, a=a: tuple(u ^ v for u, v in zip(f, a, strict=True)) for a in affine]
    items = list(product((0, 1), repeat=size))
    least = _orbits(items, moves)
    classes = boolean_classes(n)
    assert [tuple(int(v) for v in c.representative) for c in classes] == sorted(set(least.values()))
    counts: dict[tuple[int, ...], int] = {}
    for rep in least.values():
        counts[rep] = counts.get(rep, 0) + 1
    assert [c.size for c in classes] == [counts[tuple(int(v) for v in c.representative)] for c in classes]
    for item in items[:: 1 if n == 3 else 97]:
        assert tuple(int(v) for v in boolean_class(item).representative) == least[item]


def _random_affine(n: int, rng: np.random.Generator) -> list[int]:
    while True:
        columns = [int(c) for c in rng.integers(0, 1 << n, n)]
        image = [0]
        for c in columns:
            image += [v ^ c for v in image]
        if len(set(image)) == 1 << n:
            shift = int(rng.integers(0, 1 << n))
            return [v ^ shift for v in image]


@pytest.mark.parametrize("seed", range(6))
def test_class_and_invariants_are_those_of_every_member(seed: int) -> None:
    rng = np.random.default_rng(seed)
    box = VectorialFunction.random_permutation(4, seed=seed)
    a, b = _random_affine(4, rng), _random_affine(4, rng)
    member = VectorialFunction([b[box(a[x])] for x in range(16)], 4)
    found = box.affine_class()
    assert member.affine_class() == found
    rep = found.representative
    for name in ("differential_uniformity", "linearity", "algebraic_degree", "boomerang_uniformity"):
        assert getattr(rep, name)() == getattr(box, name)()
    assert box.affine_equivalent(rep) is not None


@pytest.mark.parametrize("n", [1, 2, 3, 4])
def test_boolean_class_of_a_transformed_function(n: int) -> None:
    rng = np.random.default_rng(n)
    f = BooleanFunction.random(n, seed=n)
    a = _random_affine(n, rng)
    mask = int(rng.integers(0, 1 << n))
    g = BooleanFunction([bool(f(a[x])) ^ bool((x & mask).bit_count() & 1) ^ True for x in range(1 << n)])
    assert g.affine_class() == f.affine_class()
    assert g.affine_class().representative.nonlinearity() == f.nonlinearity()


def test_the_classes_of_four_bit_permutations_from_scratch() -> None:
    computed = permutation_classes(4, compute=True)
    assert computed == permutation_classes(4)
    assert len(computed) == 302  # Leander and Poschmann (2007)
    assert sum(c.size for c in computed) == math.factorial(16)
    group = affine_group_order(4) ** 2
    assert all(group % c.size == 0 for c in computed)
    optimal = [
        c
        for c in computed
        if VectorialFunction(c.representative, 4).differential_uniformity() == 4
        and VectorialFunction(c.representative, 4).linearity() == 8
    ]
    assert sorted(c.name for c in optimal) == sorted(LEANDER_POSCHMANN)
    assert sum(c.name is not None for c in computed) == 16


def test_optimal_representatives_are_pairwise_inequivalent() -> None:
    boxes = [VectorialFunction(t, 4) for t in LEANDER_POSCHMANN.values()]
    for i, f in enumerate(boxes):
        for g in boxes[i + 1 :]:
            assert f.affine_equivalent(g) is None
    small = [VectorialFunction(c.representative, 3) for c in permutation_classes(3)]
    assert all(f.affine_equivalent(g) is None for i, f in enumerate(small) for g in small[i + 1 :])


@pytest.mark.parametrize("name", [name for name in VectorialFunction.catalogue()])
def test_catalogue_boxes_have_a_class(name: str) -> None:
    box = VectorialFunction.named(name)
    if box.n > 4 or box.m != box.n or not box.is_permutation():
        with pytest.raises(ValueError):
            box.affine_class()
        return
    found = box.affine_class()
    assert found.label.startswith("P4.")
    optimal = box.differential_uniformity() == 4 and box.linearity() == 8
    assert (found.name is not None) == optimal


@pytest.mark.parametrize(
    ("call", "bad"),
    [
        (lambda: permutation_class([0, 0, 1, 2], 2), "permutation"),
        (lambda: permutation_classes(5), "n <= 4"),
        (lambda: boolean_classes(6), "n <= 5"),
        (lambda: boolean_class([0, 2]), "0 or 1"),
        (lambda: VectorialFunction([0, 0, 1, 1]).affine_class(), "permutations only"),
        (lambda: _native.affine_canonical("permutation", np.array([0, 1, 2, 9], np.uint32)), "permutation"),
        (lambda: _native.affine_canonical("permutation", np.array([0, 1, 1, 2], np.uint32)), "permutation"),
        (lambda: _native.affine_canonical("boolean", np.array([0, 2], np.uint32)), "0 or 1"),
        (lambda: _native.affine_classes("sbox", 3), "kind"),
    ],
)
def test_refusals(call, bad: str) -> None:
    with pytest.raises(ValueError, match=bad):
        call()


def test_a_sweep_of_the_classes_regenerates_the_published_counts(tmp_path) -> None:
    pytest.importorskip("pandas")
    pytest.importorskip("pyarrow")
    from vexil_kit.sweeps import affine_classes, sweep

    source = affine_classes(4)
    out = tmp_path / "classes.parquet"
    sweep(source, ["differential_uniformity", "linearity", *source.columns], out=str(out))
    import pandas as pd

    frame = pd.read_parquet(out)
    assert len(frame) == 302
    assert int(frame["class_size"].sum()) == math.factorial(16)
    optimal = frame[(frame["differential_uniformity"] == 4) & (frame["linearity"] == 8)]
    assert len(optimal) == 16
    assert sorted(optimal["name"]) == sorted(c.label for c in permutation_classes(4) if c.name)


def test_the_sweep_command_adds_the_class_sizes(tmp_path, capsys) -> None:
    pd = pytest.importorskip("pandas")
    pytest.importorskip("pyarrow")
    from vexil_kit.cli.main import main

    path = tmp_path / "classes.parquet"
    assert main(["sweep", "--functions", "affine-classes:3", "--measures", "linearity", "-o", str(path)]) == 0
    frame = pd.read_parquet(path)
    assert list(frame["name"]) == [c.label for c in permutation_classes(3)]
    assert list(frame["class_size"]) == [c.size for c in permutation_classes(3)]
    assert main(["sweep", "--functions", "affine-classes:5", "--measures", "linearity", "-o", str(path)]) == 2


@pytest.mark.parametrize("n", [1, 2, 3, 4])
def test_every_representative_is_its_own_canonical_form(n: int) -> None:
    classes = VectorialFunction.affine_classes(n)
    tables = [c.representative.table.tolist() for c in classes]
    assert tables == sorted(tables) and len({tuple(t) for t in tables}) == len(tables)
    assert [c.label for c in classes] == [f"P{n}.{k}" for k in range(len(classes))]
    for c in classes:
        assert c.representative.affine_class() == c
        # the least table fixes S(0) = 0 and sends the unit vectors' images to the first unit vectors
        assert c.representative(0) == 0 and [c.representative(1 << i) for i in range(min(n, 2))] == [1, 2][:n]
    functions = BooleanFunction.affine_classes(n)
    assert all(c.representative.affine_class() == c for c in functions)
    assert sum(c.size for c in functions) == 1 << (1 << n)
