"""vexil_kit: Boolean functions as immutable NumPy truth tables, alongside ``vexil.Vexil``.

>>> from vexil_kit import BooleanFunction
>>> BooleanFunction.majority(3).to_hex()
'0xe8'
"""

import sys as _sys
from importlib import metadata as _metadata

from . import sweeps as _sweeps
from ._dask_wait import WorkersLostError
from ._native import VexilError
from .canonical import NpnTransform
from .circuits import Circuit
from .decision_trees import DecisionTree
from .function import BooleanFunction
from .measures import EntanglementSet, EntropySets
from .poly_degrees import DegreeCertificate
from .progress import Cancel, Cancelled
from .sweeps import family, five_input_classes, npn_classes, random_functions, sweep
from .synthesis import Synthesis
from .synthesis import improve as _improve  # noqa: F401  (gives Circuit its improve method)
from .two_level import Cube
from .vectorial import VectorialFunction

# ``vexil_kit.sweep`` is the function; the package of its parts answers the older module spelling
# ``from vexil_kit.sweep import read_metadata`` too.
_sys.modules.setdefault(__name__ + ".sweep", _sweeps)

try:
    __version__ = _metadata.version("vexil")
except _metadata.PackageNotFoundError:  # run from a source tree that was never installed
    __version__ = "0+unknown"

__all__ = [
    "BooleanFunction",
    "Cancel",
    "Cancelled",
    "Circuit",
    "Cube",
    "DecisionTree",
    "DegreeCertificate",
    "EntanglementSet",
    "EntropySets",
    "NpnTransform",
    "Synthesis",
    "VectorialFunction",
    "VexilError",
    "WorkersLostError",
    "family",
    "five_input_classes",
    "npn_classes",
    "random_functions",
    "sweep",
]
