"""Affine classes of Boolean functions of five variables: the stored list against the core's orbit walk
and the published count, orbits recounted by brute force, and the class of affine images."""

from __future__ import annotations

import numpy as np
import pytest
from children import interrupt_call

from vexil_kit import BooleanFunction, _native
from vexil_kit.boolean_classes import boolean_class, boolean_classes, read_table5
from vexil_kit.sbox_classes import affine_group_order

CLASSES = boolean_classes(5)
UNITS = [1 << i for i in range(5)]


def _random_map(rng: np.random.Generator) -> tuple[list[int], int]:
    """The point table of a random affine permutation x -> A.x ^ b of 5 bits, and a random affine l as a
    mask and constant packed in 6 bits."""
    while True:
        columns = [int(c) for c in rng.integers(0, 32, 5)]
        image = [0]
        for c in columns:
            image += [v ^ c for v in image]
        if len(set(image)) == 32:
            shift = int(rng.integers(0, 32))
            return [v ^ shift for v in image], int(rng.integers(0, 64))


def _image(table: tuple[bool, ...] | list[int], rng: np.random.Generator) -> list[int]:
    """f(A.x ^ b) ^ l(x) for a random affine permutation and a random affine l."""
    points, affine = _random_map(rng)
    return [int(table[points[x]]) ^ ((x & affine).bit_count() & 1) ^ (affine >> 5) for x in range(32)]


def _coset_minimum(table: tuple[int, ...]) -> tuple[int, ...]:
    """The least member of the coset of RM(1, 5): the affine l that zeroes f(0) and every f(e_i)."""
    c = table[0]
    mask = sum(u for u in UNITS if table[u] ^ c)
    return tuple(v ^ c ^ ((x & mask).bit_count() & 1) for x, v in enumerate(table))


def test_the_stored_classes_are_those_the_core_computes() -> None:
    seen: list[tuple[int, int]] = []
    computed = _native.affine_classes("boolean", 5, progress=lambda done, total: seen.append((done, total)))
    group = affine_group_order(5) << 6
    assert [(tuple(bool(v) for v in t), group // s) for t, s in computed] == read_table5()
    assert len(CLASSES) == 48  # Berlekamp and Welch (1972)
    assert sum(c.size for c in CLASSES) == 1 << 32
    assert all(group % c.size == 0 and c.size % 64 == 0 for c in CLASSES)
    tables = [c.representative for c in CLASSES]
    assert tables == sorted(set(tables))
    assert [c.label for c in CLASSES] == [f"B5.{k}" for k in range(48)]
    assert all(_coset_minimum(tuple(map(int, t))) == tuple(map(int, t)) for t in tables)
    assert seen and seen[-1] == (1 << 26, 1 << 26)


def _generators() -> list[list[int]]:
    """Point maps generating AGL(5): translations by unit vectors and every transvection x_i ^= x_j."""
    maps = [[x ^ u for x in range(32)] for u in UNITS]
    maps += [[x ^ (((x >> j) & 1) << i) for x in range(32)] for i in range(5) for j in range(5) if i != j]
    return maps


@pytest.mark.parametrize("k", [k for k, c in enumerate(CLASSES) if c.size <= 64 * 1300])
def test_small_classes_are_orbits_counted_by_brute_force(k: int) -> None:
    start = tuple(int(v) for v in CLASSES[k].representative)
    maps = _generators()
    orbit = {start}
    frontier = [start]
    while frontier:
        table = frontier.pop()
        for g in maps:
            moved = _coset_minimum(tuple(table[g[x]] for x in range(32)))
            if moved not in orbit:
                orbit.add(moved)
                frontier.append(moved)
    assert len(orbit) * 64 == CLASSES[k].size
    assert min(orbit) == start


def test_the_keys_tell_the_classes_apart() -> None:
    keys = {tuple(_native.boolean_affine_key(np.array(c.representative, np.uint32))) for c in CLASSES}
    assert len(keys) == len(CLASSES)


@pytest.mark.parametrize("k", range(48))
def test_an_image_of_a_representative_is_in_its_class(k: int) -> None:
    rng = np.random.default_rng(k)
    c = CLASSES[k]
    for _ in range(3):
        image = _image(c.representative, rng)
        assert boolean_class(image) == c
        assert BooleanFunction([bool(v) for v in image]).affine_class().label == c.label


@pytest.mark.parametrize("seed", range(8))
def test_affine_maps_keep_the_class_of_a_random_function(seed: int) -> None:
    rng = np.random.default_rng(100 + seed)
    f = [int(v) for v in rng.integers(0, 2, 32)]
    found = boolean_class(f)
    assert boolean_class(_image(f, rng)) == found
    rep = BooleanFunction(list(found.representative))
    g = BooleanFunction([bool(v) for v in f])
    assert (rep.nonlinearity(), rep.algebraic_degree()) == (g.nonlinearity(), g.algebraic_degree())


@pytest.mark.parametrize(
    ("call", "bad"),
    [
        (lambda: boolean_classes(6), "n <= 5"),
        (lambda: _native.affine_classes("boolean", 6), "n <= 5"),
        (lambda: _native.boolean_affine_key(np.zeros(16, np.uint32)), "32 entries"),
        (lambda: _native.boolean_affine_key(np.full(32, 2, np.uint32)), "0 or 1"),
    ],
)
def test_refusals(call, bad: str) -> None:
    with pytest.raises(ValueError, match=bad):
        call()


def test_ctrl_c_stops_the_classification() -> None:
    stopped = interrupt_call(
        """
        from vexil_kit import _native
        def work(): _native.affine_classes("boolean", 5)
        def after(): return len(_native.affine_classes("boolean", 3))
        """,
        delay=0.3,  # the whole call takes seconds
        timeout=120.0,
    )
    assert stopped.interrupted, (stopped.lines, stopped.err)
    assert stopped.latency < 1.0
    assert stopped.lines[1] == "3"
