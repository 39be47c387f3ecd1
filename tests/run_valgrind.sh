#!/usr/bin/env bash
# Runs the fuzz tests (and any other pytest arguments given) under valgrind's memcheck.
# Usage: tests/run_valgrind.sh [pytest args]   (needs valgrind and the module installed in .venv)
# Reports are written to valgrind-*.log; the script fails on any invalid read/write or use of
# uninitialised memory in the module's own code.
set -euo pipefail
cd "$(dirname "$0")/.."
python=${PYTHON:-.venv/bin/python}
export PYTHONMALLOC=malloc VEXIL_FUZZ_EXAMPLES=${VEXIL_FUZZ_EXAMPLES:-40}
rm -f valgrind-*.log
valgrind --tool=memcheck --errors-for-leak-kinds=none --num-callers=30 \
  --suppressions=tests/valgrind-python.supp --log-file=valgrind-%p.log \
  "$python" -m pytest -q -p no:cacheprovider "${@:-tests/vexil/test_fuzz.py}"
# The interpreter itself trips memcheck (its small-object tricks); only reports whose stack
# passes through the module count.
if grep -l "vexil.abi3" valgrind-*.log; then
  echo "memcheck found errors in the module; see the logs above" >&2
  exit 1
fi
echo "memcheck: no errors in the module"
