"""The package's types as type checkers see them (PEP 561): its stubs against the compiled module
(stubtest), and a migration script checked with mypy --strict."""
import os
import pathlib
import subprocess
import sys

import pytest

HERE = pathlib.Path(__file__).parent


def mypy(*args):
    return subprocess.run([sys.executable, "-m", *args], capture_output=True, text=True,
                          cwd="/", env=dict(os.environ, MYPYPATH=os.environ.get("PYTHONPATH", "")))


@pytest.fixture(autouse=True)
def needs_mypy():
    if subprocess.run([sys.executable, "-c", "import mypy"], capture_output=True).returncode != 0:
        pytest.skip("mypy is not installed")


def test_stubs_match_the_module():
    run = mypy("mypy.stubtest", "ansicrypt", "--allowlist", str(HERE / "stubtest_allowlist.txt"))
    assert run.returncode == 0, run.stdout + run.stderr


def test_a_script_type_checks():
    run = mypy("mypy", "--strict", "--no-incremental", str(HERE / "typing_usage.py"))
    assert run.returncode == 0, run.stdout + run.stderr
