"""``python -m vexil_kit``: the ``vexil`` command line."""

from vexil_kit.cli.main import main

if __name__ == "__main__":
    raise SystemExit(main())
