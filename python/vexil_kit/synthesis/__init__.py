"""Exact synthesis of smallest circuits over the bases B2, AIG and XAG, and multiplicative complexity.

``synthesize_tables`` is the entry point on truth tables; ``BooleanFunction.synthesize``,
``minimal_gates``, ``minimal_circuit`` and ``multiplicative_complexity`` call it.
"""

from .search import BASES, Synthesis, Unfinished, synthesize_tables

__all__ = ["BASES", "Synthesis", "Unfinished", "synthesize_tables"]
