"""Slow, plainly correct definitions of the measures, shared by the tests and the benchmarks.

Every function takes a truth table: entry x is f(x) and variable v is bit v of x. A NumPy or list
table, a vexil_kit.BooleanFunction and a vexil.Vexil are all accepted (see `entries`). Each is
written from the definition, not from the library's algorithm, so that a fault in one does not
hide in the other; several cost 4**n or more and are for small tables only.
"""

import ctypes
import ctypes.util
import functools
import itertools
from fractions import Fraction

import numpy as np

F32 = np.float32

# The single-precision base-2 logarithm of the C library, which the native code uses: NumPy's may
# differ in the last bit, and the information measures are compared bit for bit.
_libm = ctypes.CDLL(ctypes.util.find_library("m"))
_libm.log2f.restype = ctypes.c_float
_libm.log2f.argtypes = [ctypes.c_float]


def entries(f) -> np.ndarray:
    """The table of f as a NumPy bool array, whatever holds it."""
    if hasattr(f, "table") and isinstance(f.table, np.ndarray):
        return f.table
    if hasattr(f, "repr") and callable(f.repr):
        return np.array(f.repr(), dtype=bool)
    return np.asarray(f, dtype=bool)


def n_vars(t) -> int:
    return len(t).bit_length() - 1


def popcounts(size: int) -> np.ndarray:
    return np.bitwise_count(np.arange(size, dtype=np.uint64)).astype(np.int64)


def sequential_sum(terms):
    """Single-precision sum in index order from -0.0 (cumsum adds one term at a time)."""
    terms = np.asarray(terms, dtype=F32)
    return F32(-0.0) if terms.size == 0 else np.cumsum(terms, dtype=F32)[-1]


# -- spectra -----------------------------------------------------------------------------------------


def walsh_by_definition(f) -> np.ndarray:
    """W(u) = sum over x of (-1)**(f(x) XOR u.x), as a matrix product with the parity signs (4**n)."""
    t = entries(f)
    x = np.arange(len(t), dtype=np.uint64)
    dots = (np.bitwise_count(x[:, None] & x[None, :]) & 1).astype(np.int64)
    return ((-1) ** (dots ^ t.astype(np.int64)[None, :])).sum(axis=1)


def walsh_transform(values) -> np.ndarray:
    """The unscaled Walsh–Hadamard transform in exact int64, by reshape and add/subtract along one
    axis per variable: for tables too large for the definition."""
    w = np.array(values, dtype=np.int64)
    for j in range(n_vars(w)):
        pairs = w.reshape(-1, 2, 2**j)
        w = np.stack([pairs[:, 0] + pairs[:, 1], pairs[:, 0] - pairs[:, 1]], axis=1).reshape(-1)
    return w


def walsh(f) -> np.ndarray:
    """W(u) by the fast transform, false counting +1 and true -1: W(0) = 2**n - 2 weight(f)."""
    return walsh_transform(np.where(entries(f), -1, 1))


def spectral_weights(f) -> list[int]:
    """For each k, the exact sum of W(u)**2 over popcount(u) = k."""
    w = walsh_by_definition(f)
    k = popcounts(len(w))
    return [sum(int(c) ** 2 for c in w[k == level].tolist()) for level in range(n_vars(w) + 1)]


def autocorrelation(f) -> np.ndarray:
    """r(a) = sum over x of (-1)**(f(x) XOR f(x XOR a)), every a at once."""
    t = entries(f)
    x = np.arange(len(t))
    return np.where(t[None, :] == t[x[:, None] ^ x[None, :]], 1, -1).sum(axis=1)


def nonlinearity(f) -> int:
    """The smallest Hamming distance from f to u.x XOR c over all u and c."""
    t = entries(f)
    x = np.arange(len(t), dtype=np.uint64)
    linear = (np.bitwise_count(x[:, None] & x[None, :]) & 1).astype(bool)  # row u: the table of u.x
    distances = np.count_nonzero(linear != t[None, :], axis=1)
    return int(min(distances.min(), (len(t) - distances).min()))


def independent_of(f, subset: int) -> bool:
    """f's output is statistically independent of the variables in the mask `subset`."""
    t = entries(f)
    x = np.arange(len(t))
    ones = np.bincount(x & subset, weights=t, minlength=len(t))[x & subset == x]
    return bool(np.all(ones * len(ones) == np.count_nonzero(t)))


def correlation_immunity(f) -> int:
    """The largest m such that f is independent of every set of at most m inputs (n if all)."""
    n = n_vars(entries(f))
    for m in range(1, n + 1):
        for subset in itertools.combinations(range(n), m):
            if not independent_of(f, sum(1 << v for v in subset)):
                return m - 1
    return n


def linear_structures(f) -> list[int]:
    t = entries(f)
    x = np.arange(len(t))
    return [a for a in range(1, len(t)) if len(set((t ^ t[x ^ a]).tolist())) == 1]


def noise_stability(f, rho) -> float:
    """E[(-1)**f(x) * (-1)**f(x XOR z)] over uniform x and noise z flipping each bit w.p. (1 - rho) / 2."""
    t = entries(f)
    n = n_vars(t)
    rho = Fraction(rho)
    flip, keep = (1 - rho) / 2, (1 + rho) / 2
    r = autocorrelation(t).tolist()
    total = sum(flip ** int(k) * keep ** (n - int(k)) * r[z] for z, k in enumerate(popcounts(len(t)).tolist()))
    return float(total / len(t))


def influence_counts(f) -> np.ndarray:
    """For each variable v, the inputs x with f(x) != f(x XOR e_v)."""
    t = entries(f)
    x = np.arange(len(t))
    return np.array([np.count_nonzero(t != t[x ^ (1 << v)]) for v in range(n_vars(t))], dtype=np.int64)


# -- query complexity ------------------------------------------------------------------------------


def sensitivities(f) -> np.ndarray:
    """s(x) for every x: how many single flips change f(x)."""
    t = entries(f)
    n = n_vars(t)
    x = np.arange(len(t))
    return sum((t != t[x ^ (1 << v)]).astype(np.int64) for v in range(n)) if n else np.zeros(1, np.int64)


def frontier_edges(f) -> int:
    """The edges of the cube between a false and a true entry."""
    t = entries(f)
    x = np.arange(len(t))
    return int(sum(np.count_nonzero(~t & t[x ^ (1 << v)]) for v in range(n_vars(t))))


def certificate_sizes(f) -> np.ndarray:
    """C(x) for every x: the fewest variables whose values at x force f(x), over every set of
    variables (4**n)."""
    t = entries(f)
    size = len(t)
    x = np.arange(size)
    weight = popcounts(size)
    ones = t.astype(np.int64)
    best = np.full(size, n_vars(t))
    for fixed in range(size):
        key = x & fixed
        true_count = np.bincount(key, weights=ones, minlength=size)
        points = np.bincount(key, minlength=size)
        constant = (true_count == 0) | (true_count == points)
        best = np.where(constant[key], np.minimum(best, weight[fixed]), best)
    return best


def certificate_complexity(f) -> int:
    return int(certificate_sizes(f).max())


def block_sensitivity(f) -> int:
    """max over x of the most disjoint sensitive blocks, P(avail) = max over sensitive B inside avail
    of 1 + P(avail - B), over the sets avail in increasing order."""
    t = entries(f)
    full = len(t) - 1
    masks = np.arange(1, len(t))
    best = 0
    for x in range(len(t)):
        blocks = masks[t[x ^ masks] != t[x]]
        packing = np.zeros(len(t), dtype=np.int64)
        for avail in range(1, full + 1):
            inside = blocks[(blocks & ~avail) == 0]
            if inside.size:
                packing[avail] = 1 + packing[avail ^ inside].max()
        best = max(best, int(packing[full]))
    return best


def decision_tree_depth(f) -> int:
    """D(f) over all first queries, recursively."""
    return _depth(entries(f).astype(np.uint8).tobytes())


@functools.cache
def _depth(table: bytes) -> int:
    if len(set(table)) <= 1:
        return 0
    n = n_vars(table)
    best = n
    for v in range(n):
        zero = bytes(table[x] for x in range(len(table)) if not (x >> v) & 1)
        one = bytes(table[x] for x in range(len(table)) if (x >> v) & 1)
        best = min(best, 1 + max(_depth(zero), _depth(one)))
    return best


# -- algebraic normal form -------------------------------------------------------------------------


def anf(f) -> list[int]:
    """The monomials m whose coefficient, the XOR of f(x) over the subsets x of m, is 1."""
    t = entries(f)
    x = np.arange(len(t))
    subsets = (x[None, :] & x[:, None]) == x[None, :]  # row m: the subsets of m
    coefficients = (subsets.astype(np.int64) @ t.astype(np.int64)) % 2
    return [int(m) for m in np.flatnonzero(coefficients)]


def table_of_anf(monomials, n: int) -> list[bool]:
    """The XOR over the monomials of [x contains m], point by point."""
    return [sum(x & m == m for m in monomials) % 2 == 1 for x in range(1 << n)]


def monomials_up_to(n: int, d: int) -> list[int]:
    return [m for m in range(1 << n) if m.bit_count() <= d]


def rank_gf2(rows) -> int:
    """The rank over GF(2) of rows given as int bitsets (NumPy integers too)."""
    basis = {}
    for row in map(int, rows):
        while row:
            top = row.bit_length() - 1
            if top not in basis:
                basis[top] = row
                break
            row ^= basis[top]
    return len(basis)


def random_invertible_rows(k: int, rng) -> list[int]:
    """A uniformly random invertible k x k matrix over GF(2), as row bitsets (rng: random.Random)."""
    while True:
        rows = [rng.randrange(1 << k) for _ in range(k)]
        if rank_gf2(rows) == k:
            return rows


def has_annihilator(f, d: int) -> bool:
    """Whether the evaluations on the support of f of the monomials of degree <= d are dependent."""
    t = entries(f)
    monomials = monomials_up_to(n_vars(t), d)
    rows = [sum(1 << j for j, m in enumerate(monomials) if x & m == m) for x in np.flatnonzero(t).tolist()]
    return rank_gf2(rows) < len(monomials)


def algebraic_immunity(f, exists=has_annihilator) -> int:
    t = entries(f)
    return next(d for d in range(n_vars(t) + 1) if exists(t, d) or exists(~t, d))


# -- restrictions and information ------------------------------------------------------------------


def restriction_rows(f, variables) -> np.ndarray:
    """Row i: the restriction where variable S[t] of the sorted set S takes bit t of i, its entry j
    the free variables' bits of j in increasing order; a set index of n or more sends the whole
    restriction to false."""
    t = entries(f)
    n = n_vars(t)
    fixed = sorted(variables)
    free = [v for v in range(n) if v not in fixed]
    j = np.arange(2 ** len(free), dtype=np.int64)
    offsets = np.zeros_like(j)
    for k, v in enumerate(free):
        offsets |= ((j >> k) & 1) << v
    i = np.arange(2 ** len(fixed), dtype=np.int64)
    bases = np.zeros_like(i)
    outside = np.zeros(i.size, dtype=bool)
    for k, v in enumerate(fixed):
        bit = ((i >> k) & 1).astype(bool)
        if v >= n:
            outside |= bit
        else:
            bases |= bit.astype(np.int64) << v
    return t[bases[:, None] | offsets[None, :]] & ~outside[:, None]


def restriction_counts(f, variables) -> np.ndarray:
    """How often each distinct restriction occurs when `variables` are set in every way."""
    return np.unique(restriction_rows(f, variables), axis=0, return_counts=True)[1]


def restriction_entropy(counts, m: int) -> float:
    """-(sum of p*log2(p)) in single precision from -0.0, in ascending order of the counts, with
    the C library's log2f: bit for bit what the library computes."""
    total = F32(2.0**m)
    acc = F32(-0.0)
    for c in sorted(int(c) for c in counts):
        p = F32(c) / total
        acc = F32(acc + p * F32(_libm.log2f(p)))
    return float(-acc)


def shannon_entropy(counts) -> float:
    """The entropy in bits of the distribution the counts make, in double precision."""
    p = np.asarray(counts, dtype=np.float64) / np.sum(counts)
    return float(-(p * np.log2(p)).sum())


def balanced_cuts(n: int) -> list[tuple[list[int], list[int]]]:
    """Each split of 0..n-1 into parts of floor(n/2) and ceil(n/2) variables once, in lexicographic
    order of the first part, which holds variable 0 when n is even."""
    pool = list(range(n))
    firsts = [s for s in itertools.combinations(pool, n // 2) if n % 2 or n == 0 or 0 in s]
    return [(list(s1), [v for v in pool if v not in s1]) for s1 in firsts]


def restriction_table(f, variables) -> np.ndarray:
    """The restrictions by the variables (taken in increasing order) one after the other, the
    restriction where the fixed variables take the bits of i first for i = 0, 1, ..., each read
    over the free variables in increasing order; the whole cut into rows of 2**len(variables)."""
    t = entries(f).tolist()
    n = n_vars(t)
    fixed = sorted(variables)
    free = [v for v in range(n) if v not in fixed]
    values = []
    for i in range(2 ** len(fixed)):
        base = sum(((i >> k) & 1) << p for k, p in enumerate(fixed))
        for j in range(2 ** len(free)):
            values.append(t[base | sum(((j >> k) & 1) << p for k, p in enumerate(free))])
    return np.array(values, dtype=bool).reshape(-1, 2 ** len(fixed))


# -- functions the bounds and shortcuts do not settle ----------------------------------------------


def parity_balanced(f) -> np.ndarray:
    """f with the fewest entries flipped so that W(2**n - 1) = 0: a degree then needs every coefficient."""
    t = entries(f)
    parity_even = popcounts(len(t)) % 2 == 0
    agree = t == parity_even
    top = 2 * int(np.count_nonzero(agree)) - len(t)
    g = t.copy()
    g[np.flatnonzero(agree if top > 0 else ~agree)[: abs(top) // 2]] ^= True
    return g


def resilient(random_table, n: int, order: int) -> np.ndarray:
    """A function of resiliency order exactly `order`: the table g of n - order - 1 variables (made
    unbalanced, so that the order does not rise) XOR the parity of order + 1 further inputs."""
    g = np.array(random_table, dtype=bool)
    if 2 * np.count_nonzero(g) == len(g):
        g[0] = not g[0]
    x = np.arange(1 << n)
    return g[x & (len(g) - 1)] ^ (np.bitwise_count(x >> (n - order - 1)) % 2 == 1)


def or_of_copies(g, count: int, n: int | None = None) -> np.ndarray:
    """OR of `count` copies of g on disjoint blocks of variables, and of x[a] & x[a+1] on the pairs
    of the n variables left over."""
    inner = entries(g)
    k = n_vars(inner)
    n = k * count if n is None else n
    x = np.arange(1 << n)
    values = np.zeros(x.shape, dtype=bool)
    for j in range(count):
        values |= inner[(x >> (k * j)) & ((1 << k) - 1)]
    for a in range(k * count, n - 1, 2):
        values |= ((x >> a) & (x >> (a + 1)) & 1) == 1
    return values


# -- predicates, criteria and transforms (vexil_kit.predicates, vexil_kit.transforms) --------------


def restriction_pair(f, v: int) -> tuple[np.ndarray, np.ndarray]:
    """f with x_v = 0 and with x_v = 1, each over the x with bit v clear."""
    t = entries(f)
    low = np.array([x for x in range(len(t)) if not x >> v & 1], dtype=np.int64)
    return t[low], t[low | 1 << v]


def is_symmetric(f) -> bool:
    t, weights = entries(f), popcounts(len(entries(f)))
    return all(len(set(t[weights == k].tolist())) <= 1 for k in range(n_vars(t) + 1))


def is_monotone(f) -> bool:
    """f(x) <= f(y) for every pair x subset of y (3**n pairs)."""
    t = entries(f)
    size = len(t)
    for x in range(size):
        rest = (size - 1) & ~x
        s = rest
        while True:
            if t[x] and not t[x | s]:
                return False
            if s == 0:
                break
            s = (s - 1) & rest
    return True


def unate_polarities(f) -> list:
    polarities = []
    for v in range(n_vars(entries(f))):
        low, high = restriction_pair(f, v)
        up, down = bool(np.any(~low & high)), bool(np.any(low & ~high))
        polarities.append(None if up and down else 1 if up else -1 if down else 0)
    return polarities


def is_self_dual(f) -> bool:
    t = entries(f)
    size = len(t)
    return all(t[(size - 1) ^ x] != t[x] for x in range(size))


def affine_table(n: int, a: int, c: int) -> np.ndarray:
    """x -> a.x XOR c."""
    return (np.bitwise_count(np.arange(1 << n, dtype=np.uint64) & np.uint64(a)) % 2 == 1) ^ bool(c)


def is_affine(f) -> bool:
    t = entries(f)
    n = n_vars(t)
    return any(np.array_equal(t, affine_table(n, a, c)) for a in range(1 << n) for c in (0, 1))


def is_linear(f) -> bool:
    t = entries(f)
    n = n_vars(t)
    return any(np.array_equal(t, affine_table(n, a, 0)) for a in range(1 << n))


def plateaued_amplitude(f) -> int:
    amplitudes = set(np.abs(walsh_by_definition(f)).tolist()) - {0}
    return amplitudes.pop() if len(amplitudes) == 1 else 0


def essential_variables(f) -> list[int]:
    return [v for v in range(n_vars(entries(f))) if not np.array_equal(*restriction_pair(f, v))]


def propagation_criterion(f) -> int:
    """The largest k <= n with every r(a), 1 <= popcount(a) <= k, zero; r summed by its definition."""
    t = entries(f).astype(np.int64)
    n, size = n_vars(t), len(t)
    xs = np.arange(size)
    for k in range(1, n + 1):
        if any(int(np.sum((-1) ** (t ^ t[xs ^ a]))) for a in range(1, size) if bin(a).count("1") == k):
            return k - 1
    return n


def chow_parameters(f) -> list[int]:
    w = walsh_by_definition(f)
    return [int(w[0])] + [int(w[1 << v]) for v in range(n_vars(entries(f)))]


def walsh_counts(f, signed: bool) -> dict[int, int]:
    w = walsh_by_definition(f)
    values = w.tolist() if signed else np.abs(w).tolist()
    return {v: values.count(v) for v in sorted(set(values))}


# -- Vectorial functions (S-boxes) ------------------------------------------------------------------
# A table of ints: entry x is F(x); bit v of x is variable v, bit j of F(x) coordinate j. Each
# measure is read off its table as the textbooks define it; 2**(3n) for the BCT.


def _dot(a: int, b: int) -> int:
    return bin(a & b).count("1") & 1


def sbox_ddt(table, m: int) -> np.ndarray:
    size = len(table)
    ddt = np.zeros((size, 1 << m), dtype=np.int64)
    for a in range(size):
        for x in range(size):
            ddt[a, table[x] ^ table[x ^ a]] += 1
    return ddt


def sbox_walsh(table, m: int) -> np.ndarray:
    size = len(table)
    return np.array(
        [
            [sum((-1) ** (_dot(b, table[x]) ^ _dot(a, x)) for x in range(size)) for b in range(1 << m)]
            for a in range(size)
        ],
        dtype=np.int64,
    )


def sbox_bct(table) -> np.ndarray:
    size = len(table)
    inverse = [0] * size
    for x, y in enumerate(table):
        inverse[y] = x
    bct = np.zeros((size, size), dtype=np.int64)
    for a in range(size):
        for b in range(size):
            bct[a, b] = sum(inverse[table[x] ^ b] ^ inverse[table[x ^ a] ^ b] == a for x in range(size))
    return bct


def sbox_degree(table, m: int, component: int) -> int:
    """The algebraic degree of x -> b.F(x) from its ANF by the Moebius sum over subsets."""
    size = len(table)
    values = [_dot(component, y) for y in table]
    degree = -1
    for u in range(size):
        coefficient = 0
        for x in range(size):
            if x & u == x:
                coefficient ^= values[x]
        if coefficient:
            degree = max(degree, bin(u).count("1"))
    return degree


def sbox_dlct(table, m: int) -> np.ndarray:
    """DLCT[a, b] = #{x : b.(F(x) ^ F(x ^ a)) = 0} - 2^(n-1), from the definition."""
    t = np.asarray(table, dtype=np.int64)
    x = np.arange(len(t))
    differences = t[x[None, :]] ^ t[x[None, :] ^ x[:, None]]  # [a, x]
    b = np.arange(1 << m)
    parity = np.bitwise_count(differences[:, :, None] & b[None, None, :]) & 1
    return (parity == 0).sum(axis=1) - len(t) // 2


def translate_rank(points, k: int) -> int:
    """The GF(2) rank of M[u][v] = [u ^ v in points] over the 2**k points of F_2^k."""
    inside = np.zeros(1 << k, dtype=np.uint8)
    inside[list(points)] = 1
    u = np.arange(1 << k)
    rows = np.packbits(inside[u[:, None] ^ u[None, :]], axis=1, bitorder="little")
    return rank_gf2(int.from_bytes(row.tobytes(), "little") for row in rows)


def sbox_measures(table, m: int, permutation: bool) -> dict:
    """Every measure of the vectorial registry, from the tables above."""
    n = len(table).bit_length() - 1
    ddt = sbox_ddt(table, m)
    walsh = sbox_walsh(table, m)
    size = len(table)
    weight = [bin(v).count("1") for v in range(max(size, 1 << m))]
    rows, columns = ddt[1:], np.abs(walsh[:, 1:])
    values = {
        "ddt": ddt,
        "walsh_table": walsh,
        "lat": walsh // 2,
        # The DLCT: #{x : b.(F(x) ^ F(x ^ a)) = 0} - 2^(n-1), over every x at once.
        "dlct": sbox_dlct(table, m),
        "differential_uniformity": int(rows.max()) if n else 0,
        "differential_spectrum": dict(zip(*(v.tolist() for v in np.unique(rows, return_counts=True)), strict=True)),
        "differential_branch_number": min(
            (weight[a] + weight[b] for a in range(1, size) for b in range(1 << m) if ddt[a, b]), default=0
        ),
        "linearity": int(columns.max()),
        "nonlinearity": (size - int(columns.max())) // 2,
        "walsh_spectrum_counts": dict(zip(*(v.tolist() for v in np.unique(columns, return_counts=True)), strict=True)),
        "linear_branch_number": min(
            weight[a] + weight[b] for a in range(size) for b in range(1, 1 << m) if walsh[a, b]
        ),
        "algebraic_degree": max(sbox_degree(table, m, 1 << j) for j in range(m)),
        "min_degree": min(sbox_degree(table, m, b) for b in range(1, 1 << m)),
        "is_permutation": sorted(table) == list(range(size)) and n == m,
        "is_balanced": m <= n and all(list(table).count(y) == size >> m for y in range(1 << m)),
        "fixed_points": [x for x in range(size) if table[x] == x],
        "fixed_point_count": sum(table[x] == x for x in range(size)),
    }
    values["is_apn"] = values["differential_uniformity"] == 2
    if n + m <= 12 and n <= 6:
        # The incidence matrices of the graph and of the set of the derivatives (a, F(x) ^ F(x ^ a)), a != 0.
        values["gamma_rank"] = translate_rank([x | table[x] << n for x in range(size)], n + m)
        derived = [a | (table[x] ^ table[x ^ a]) << n for a in range(1, size) for x in range(size)]
        values["delta_rank"] = translate_rank(set(derived), n + m)
    if permutation:
        bct = sbox_bct(table)
        values["bct"] = bct
        values["boomerang_uniformity"] = int(bct[1:, 1:].max()) if n else 0
        seen, cycles = set(), {}
        for start in range(size):
            length, x = 0, start
            while x not in seen:
                seen.add(x)
                x, length = table[x], length + 1
            if length:
                cycles[length] = cycles.get(length, 0) + 1
        values["cycle_type"] = cycles
    return values
