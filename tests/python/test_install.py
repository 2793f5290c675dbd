"""The Python package installed as users install it: cmake --install puts it where Debian's
interpreter looks for the prefix (/usr and /usr/local), and pip installs it into a virtual
environment from the source tree, offline, with the build requirements Debian provides."""
import os
import pathlib
import shutil
import subprocess
import sys
import tarfile

import pytest

SYSTEM_PYTHON = "/usr/bin/python3"


def build_dir():
    path = os.environ.get("ANSICRYPT_BUILD_DIR")
    if not path:
        pytest.skip("run outside CTest")
    return pathlib.Path(path)


def use_package(python, env=None):
    """Imports the package from / (never from a source tree) and uses it."""
    return subprocess.run(
        [python, "-c", "import ansicrypt; print(ansicrypt.__file__); print(ansicrypt.encode_base64(b'ab').decode())"],
        cwd="/", capture_output=True, text=True, env=env, check=True).stdout.split()


def searched_by(python):
    return subprocess.run([python, "-c", "import sys; print('\\n'.join(sys.path))"], cwd="/",
                          capture_output=True, text=True, check=True).stdout.split()


@pytest.mark.parametrize("prefix", ["/usr", "/usr/local", "/opt/ansicrypt"])
def test_cmake_install_goes_where_python_looks(tmp_path, prefix):
    if not os.path.exists(SYSTEM_PYTHON):
        pytest.skip("no Debian interpreter")
    subprocess.run(["cmake", "--install", str(build_dir()), "--prefix", prefix, "--component", "tool"],
                   env=dict(os.environ, DESTDIR=str(tmp_path)), check=True, capture_output=True)
    packages = list(tmp_path.rglob("ansicrypt/__init__.py"))
    assert len(packages) == 1, packages
    folder = packages[0].parent.parent
    installed = "/" + str(folder.relative_to(tmp_path))
    assert installed.startswith(prefix + "/")
    assert (folder / "ansicrypt" / "py.typed").is_file()
    if prefix in ("/usr", "/usr/local"):
        assert installed in searched_by(SYSTEM_PYTHON)
    env = dict(os.environ, PYTHONPATH=str(folder))
    file, encoded = use_package(SYSTEM_PYTHON, env)
    assert file.startswith(str(folder)) and encoded == "YWI="


def test_pip_installs_into_a_virtual_environment(tmp_path):
    source = os.environ.get("ANSICRYPT_SOURCE_DIR")
    if not source or not os.path.exists(SYSTEM_PYTHON):
        pytest.skip("run outside CTest")
    # A copy of the tree without its build folders, as a user's checkout is.
    tree = tmp_path / "source"
    shutil.copytree(source, tree, ignore=shutil.ignore_patterns("build", ".git", "*.egg-info"))
    venv = tmp_path / "venv"
    subprocess.run([SYSTEM_PYTHON, "-m", "venv", "--system-site-packages", str(venv)], check=True)
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    run = subprocess.run([str(venv / "bin" / "pip"), "install", "--no-build-isolation", "--no-index",
                          str(tree)], cwd=tmp_path, capture_output=True, text=True, env=env)
    assert run.returncode == 0, run.stdout[-3000:] + run.stderr[-3000:]
    file, encoded = use_package(str(venv / "bin" / "python"), env)
    assert file.startswith(str(venv)) and encoded == "YWI="
    site = pathlib.Path(file).parent
    assert (site / "py.typed").is_file() and (site / "_ansicrypt.pyi").is_file()
    # The module holds pybind11's code: its notice is installed with the licence (in licenses/
    # from setuptools 77 on).
    notices = list(site.parent.glob("ansicrypt-*.dist-info/**/THIRD_PARTY_NOTICES.md"))
    assert len(notices) == 1 and "pybind11" in notices[0].read_text()
