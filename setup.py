"""Builds the compiled part of the Python package (ansicrypt._ansicrypt) with the project's own
CMake build, for pip install . and pip wheel .; the metadata is in pyproject.toml, the version in
CMakeLists.txt."""
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent
VERSION = re.search(r"project\(ansicrypt VERSION ([0-9.]+)",
                    (ROOT / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    """Configures the project for the module alone, builds it and puts it where the wheel wants it."""

    def build_extension(self, ext):
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve()
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        options = {
            "CMAKE_BUILD_TYPE": "Release",
            "ANSICRYPT_PYTHON": "ON",
            "ANSICRYPT_SQLITE": "OFF",
            "ANSICRYPT_BUILD_TESTS": "OFF",
            "ANSICRYPT_BUILD_BENCH": "OFF",
            "ANSICRYPT_BUILD_EXAMPLES": "OFF",
            "ANSICRYPT_BUILD_CLI": "OFF",
            "ANSICRYPT_INSTALL": "OFF",
            "Python3_EXECUTABLE": sys.executable,
        }
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), *generator,
                        *(f"-D{name}={value}" for name, value in options.items())], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "ansicrypt_python"], check=True)
        built = next((build / "bindings" / "python" / "package" / "ansicrypt").glob("_ansicrypt*"))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=VERSION,
    ext_modules=[Extension("ansicrypt._ansicrypt", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
