"""Sweeps: measures of many functions at once, as one pandas DataFrame (and a Parquet file).

``sweep(functions, measures)`` computes every measure of every function and returns one row per
function: the columns ``hex`` (``f.to_hex()``) and ``n``, then one column per measure, named as
the measure. A measure is the name of a BooleanFunction method that needs no argument
(``"entropy"``, ``"minimal_gates"``, ...) or a pair ``(column name, callable)`` applied to each
BooleanFunction. The values are those of the methods, bit for bit: the common measures of
functions of up to 12 variables are computed by one native batch kernel per run of functions
(the core's single-function kernels applied to every row of a batch on the worker pool, without
the interpreter lock), the others by calling the method on each function.

The functions are any iterable of BooleanFunction or ``vexil.Vexil`` objects, or a source built
here, which holds its functions as packed tables and hands them to the kernel without making
Python objects: ``five_input_classes()`` (the 616,126 NPN classes of five-variable functions),
``npn_classes(n)`` (those of n <= 4 variables), ``random_functions(n, count, seed)`` and ``family(name, ns)``.

With a Dask ``client`` the functions are cut into batches of packed tables, one task each; a
task computes all the measures of its batch and returns a small DataFrame, and the results are
put back in the order of the functions, so the table is the same as a local sweep's.

The parts: ``sources`` (the functions, packed), ``runner`` (the sweep, local or on Dask) and
``parquet`` (the file and its metadata). ``vexil_kit.sweep`` is the function ``sweep``; this
package is also importable as ``vexil_kit.sweep`` for ``from vexil_kit.sweep import ...``.
"""

from .parquet import read_metadata, write_parquet
from .runner import BATCH_MAX_VARS, FIXED_COLUMNS, Measure, sweep
from .sources import (
    BATCH_ENTRIES,
    BATCH_FUNCTIONS,
    FAMILY_NAMES,
    AffineClassSource,
    FunctionSource,
    affine_classes,
    family,
    five_input_classes,
    npn_classes,
    random_functions,
)
from .vectorial import SboxSource, catalogue_sboxes, random_permutations

__all__ = [
    "BATCH_ENTRIES",
    "BATCH_FUNCTIONS",
    "BATCH_MAX_VARS",
    "FAMILY_NAMES",
    "FIXED_COLUMNS",
    "AffineClassSource",
    "FunctionSource",
    "Measure",
    "SboxSource",
    "affine_classes",
    "catalogue_sboxes",
    "family",
    "five_input_classes",
    "npn_classes",
    "random_functions",
    "random_permutations",
    "read_metadata",
    "sweep",
    "write_parquet",
]
