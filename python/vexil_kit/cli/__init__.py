"""The ``vexil`` command: reports and figures of Boolean functions from the shell, on vexil_kit."""

from .main import main

__all__ = ["main"]
