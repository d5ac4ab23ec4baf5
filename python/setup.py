"""Builds the package preisach with the repository's CMake, offline:

    /usr/bin/python3 -m venv --system-site-packages venv
    venv/bin/python -m pip install --no-build-isolation --no-deps ./python
"""

import os
import pathlib
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent


class CMakeExtension(Extension):
    def __init__(self):
        super().__init__("preisach._preisach", sources=[])


class CMakeBuild(build_ext):
    """The module _preisach from the top CMakeLists, for this interpreter."""

    def build_extension(self, ext):
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve().parent
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DPREISACH_BUILD_PYTHON=ON", "-DPython_EXECUTABLE=" + sys.executable,
                        "-DCMAKE_LIBRARY_OUTPUT_DIRECTORY=" + str(target)], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "_preisach", "-j",
                        os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")], check=True)
        built = next((build / "python" / "package" / "preisach").glob("_preisach*.so"))
        target.mkdir(parents=True, exist_ok=True)
        self.copy_file(str(built), str(target / built.name))


setup(
    name="preisach",
    version=(HERE / "VERSION").read_text().strip(),
    description="The Preisach model of fine magnetic particle ensembles: ZFC/FC curves, loops, FORCs, fits",
    packages=["preisach"],
    package_dir={"preisach": "preisach"},
    ext_modules=[CMakeExtension()],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
)
