"""The wheel of the Python package dla: the extension and the package's
files are built and installed by the project's CMake build (python/
CMakeLists.txt, install component "python"), so the wheel holds what that
build installs and has no source list of its own. The version is the
project's, project(VERSION) in CMakeLists.txt. See pyproject.toml."""

import os
import pathlib
import re
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"^project\(\w+ VERSION ([0-9]+\.[0-9]+\.[0-9]+)", text, re.MULTILINE)
    if match is None:
        raise RuntimeError("no project(... VERSION X.Y.Z) in CMakeLists.txt")
    return match.group(1)


class CMakeBuild(build_ext):
    """Configures the project for the module alone (no window, no tools
    that need Qt or FFmpeg, no tests), builds it for this interpreter and
    installs the package into the wheel's folder."""

    def build_extension(self, ext):
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        package_dir = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve().parent
        jobs = str(self.parallel or os.cpu_count() or 1)
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build_dir), "-G", "Ninja",
             "-DCMAKE_BUILD_TYPE=Release", "-DDLA_BUILD_QT=OFF", "-DDLA_BUILD_ENCODER=OFF",
             "-DDLA_BUILD_TESTS=OFF", "-DDLA_BUILD_BENCH=OFF", "-DDLA_BUILD_PYTHON=ON",
             f"-DDLA_PYTHON={sys.executable}", "-DDLA_PYTHON_INSTALL_DIR=."],
            check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "dla_core", "--parallel", jobs],
                       check=True)
        subprocess.run(["cmake", "--install", str(build_dir), "--component", "python", "--strip",
                        "--prefix", str(package_dir.parent)], check=True)


# Not build/, which is the CMake build of ./scripts/run and ./scripts/test.
BUILD_BASE = "build-wheel"
os.makedirs(BUILD_BASE, exist_ok=True)

setup(
    version=project_version(),
    packages=[],
    py_modules=[],
    ext_modules=[Extension("dla._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": BUILD_BASE}, "egg_info": {"egg_base": BUILD_BASE}},
)
