"""What every test of the package needs: the built commands, the
repository's files and a fresh folder. A missing piece fails the test; no
test is skipped."""

import os
import pathlib
import re
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ.get("PREISACH_SOURCE", pathlib.Path(__file__).resolve().parents[2]))


def without_times(report):
    """A fit's report without what the clock says: its time, and preisach's
    time on the fitted record."""
    report = re.sub(r"time += [^\n]*", "time", report)
    return re.sub(r"preisach takes about [^ ]+ s", "preisach takes about ... s", report)


def _executable(variable):
    path = os.environ.get(variable)
    if not path or not os.access(path, os.X_OK):
        pytest.fail("%s must name the built executable (ctest sets it)" % variable)
    return path


@pytest.fixture
def lab():
    """Runs preisach-lab in a folder: (status, stdout, stderr)."""
    executable = _executable("PREISACH_LAB")

    def run(folder, *arguments):
        done = subprocess.run([executable, *arguments], cwd=folder, capture_output=True, text=True,
                              stdin=subprocess.DEVNULL, timeout=300)
        return done.returncode, done.stdout, done.stderr

    return run


@pytest.fixture
def program():
    """Runs preisach in a folder holding Magnetism/Parameters.txt."""
    executable = _executable("PREISACH_PROGRAM")

    def run(folder):
        done = subprocess.run([executable], cwd=folder, capture_output=True, text=True, stdin=subprocess.DEVNULL,
                              timeout=300)
        assert done.returncode == 0, done.stderr
        return done.stdout

    return run


@pytest.fixture
def workspace(tmp_path):
    (tmp_path / "Magnetism").mkdir()
    return tmp_path


def write_parameters(folder, record):
    path = folder / "Magnetism" / "Parameters.txt"
    path.write_text(record + "\n")
    return path
