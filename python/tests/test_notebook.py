"""The worked notebook runs from top to bottom on Debian's Python kernel."""

import os
import sys

import nbformat
from nbclient import NotebookClient

from conftest import SOURCE


def test_the_example_notebook_runs(tmp_path, monkeypatch):
    # The kernel is this interpreter's (ipykernel's native python3), with the
    # package on its path.
    monkeypatch.setenv("PREISACH_SOURCE", str(SOURCE))
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(p for p in sys.path if p))
    monkeypatch.setenv("MPLBACKEND", "Agg")
    monkeypatch.setenv("PYDEVD_DISABLE_FILE_VALIDATION", "1")
    from jupyter_client.kernelspec import KernelSpecManager
    assert KernelSpecManager().get_kernel_spec("python3").argv[0] == "/usr/bin/python3"
    notebook = nbformat.read(SOURCE / "examples" / "python" / "preisach_fit.ipynb", as_version=4)
    client = NotebookClient(notebook, timeout=600, kernel_name="python3",
                            resources={"metadata": {"path": str(tmp_path)}})
    client.execute()
    outputs = "".join(o.get("text", "") for cell in notebook.cells if cell.cell_type == "code" for o in cell.outputs)
    assert "[[Variables]]" in outputs and "largest rho at Hc" in outputs and "hc0_mean" in outputs
    kernel = "".join(o.get("text", "") for o in notebook.cells[1].outputs)
    assert "preisach" in kernel
