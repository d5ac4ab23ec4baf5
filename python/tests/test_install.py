"""The package installs with one command and reports the version of
python/VERSION."""

import os
import subprocess

import pytest

import preisach
from conftest import SOURCE


def test_the_version_is_the_one_in_python_version():
    assert preisach.__version__ == (SOURCE / "python" / "VERSION").read_text().strip()


def test_cmake_install_gives_a_package_the_interpreter_finds(tmp_path):
    build = os.environ.get("PREISACH_BUILD")
    if not build:
        pytest.fail("PREISACH_BUILD must name the build folder (ctest sets it)")
    subprocess.run(["cmake", "--install", build, "--component", "python", "--prefix", str(tmp_path)], check=True,
                   capture_output=True, timeout=120)
    environment = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    environment["PYTHONUSERBASE"] = str(tmp_path)
    done = subprocess.run(["/usr/bin/python3", "-c", "import preisach; print(preisach.__version__, preisach.__file__)"],
                          cwd=tmp_path, env=environment, capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    version, path = done.stdout.split()
    assert version == preisach.__version__ and path.startswith(str(tmp_path))
