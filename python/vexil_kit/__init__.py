"""vexil_kit: Boolean functions as immutable NumPy truth tables, alongside ``vexil.Vexil``.

>>> from vexil_kit import BooleanFunction
>>> BooleanFunction.majority(3).to_hex()
'0xe8'
"""

from ._native import VexilError
from .circuits import Circuit
from .function import BooleanFunction
from .measures import EntanglementSet, EntropySets
from .sweep import family, five_input_classes, random_functions, sweep

__all__ = [
    "BooleanFunction",
    "Circuit",
    "EntanglementSet",
    "EntropySets",
    "VexilError",
    "family",
    "five_input_classes",
    "random_functions",
    "sweep",
]
