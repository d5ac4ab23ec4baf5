"""preisach.explore: the server of preisach-lab explore in this process,
answering with the module's own numbers, refusing what the command
refuses, shown inline in a notebook."""

import json
import os
import shutil
import sys
import urllib.error
import urllib.request

import nbformat
import numpy as np
import pytest
from nbclient import NotebookClient

import preisach
from conftest import SOURCE

RECORD = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 y 300 2000 50 300 0.1 n"


def get(url, path, method="GET"):
    request = urllib.request.Request(url.replace("/?", "/" + path + "?"), method=method, data=b"" if method == "POST" else None)
    with urllib.request.urlopen(request, timeout=60) as answer:
        return json.load(answer)


def test_serves_the_modules_curves_saves_the_record_and_stops(tmp_path):
    p = preisach.Parameters.from_text(RECORD)
    shutil.copy(SOURCE / "examples" / "fitting" / "zfcfc.dat", tmp_path / "zfcfc.dat")
    data = [str(tmp_path / "zfcfc.dat")]
    with preisach.explore(p, data=data, out=tmp_path / "saved.txt") as e:
        assert e.url.startswith("http://127.0.0.1:") and "token=" in e.url
        with pytest.raises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(e.url.split("?")[0] + "api/curves")
        assert refused.value.code == 403
        c = get(e.url, "api/curves")
        z = preisach.zfcfc(p)
        assert np.array_equal(c["T"], z.T) and np.array_equal(c["M_ZFC"], z.zfc) and np.array_equal(c["M_FC"], z.fc)
        loop = preisach.loop(p)
        assert np.array_equal(c["M"], loop.M)
        for model, at in zip(c["data_model"], preisach.model_at(p, data)):
            assert np.array_equal(model, at)
        changed = get(e.url + "&hc0_mean=250", "api/save", "POST")
        assert changed["saved"].endswith("saved.txt")
        assert preisach.Parameters.from_file(tmp_path / "saved.txt") == p.replace(hc0_mean=250)
        url = e.url
    assert not e.running
    with pytest.raises(urllib.error.URLError):
        urllib.request.urlopen(url, timeout=5)


@pytest.mark.parametrize("arguments, message", [
    ({"port": 70000}, "port must be"),
    ({"port": 1.5}, "port must be a whole number"),
    ({"out": "/no/such/folder/saved.txt"}, "does not exist"),
    ({"forc": "no-such.frc"}, "cannot be opened"),
    ({"height": 10}, "height must be"),
    ({"data": [preisach.dataset("zfc", [5, 700], [1e-3, 2e-3], field=100)]}, "Tc"),
])
def test_refuses_what_the_command_refuses(arguments, message, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(ValueError, match=message):
        preisach.explore(preisach.Parameters.from_text(RECORD), **arguments)


def test_save_never_replaces_a_file_the_page_reads(tmp_path):
    shutil.copy(SOURCE / "examples" / "fitting" / "zfcfc.dat", tmp_path / "zfcfc.dat")
    before = (tmp_path / "zfcfc.dat").read_bytes()
    with pytest.raises(ValueError, match="it would be replaced"):
        preisach.explore(preisach.Parameters.from_text(RECORD), data=[str(tmp_path / "zfcfc.dat")],
                         out=tmp_path / "zfcfc.dat")
    assert (tmp_path / "zfcfc.dat").read_bytes() == before
    with pytest.raises(TypeError, match="Parameters"):
        preisach.explore(RECORD)


def test_a_busy_port_is_refused(tmp_path):
    p = preisach.Parameters.from_text(RECORD)
    with preisach.explore(p) as first:
        port = int(first.url.split(":")[2].split("/")[0])
        with pytest.raises(ValueError, match="in use"):
            preisach.explore(p, port=port)


def test_shows_the_page_inline_in_a_notebook(tmp_path, monkeypatch):
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(p for p in sys.path if p))
    monkeypatch.setenv("PYDEVD_DISABLE_FILE_VALIDATION", "1")
    notebook = nbformat.v4.new_notebook(cells=[
        nbformat.v4.new_code_cell("import preisach\n"
                                  f"e = preisach.explore(preisach.Parameters.from_text({RECORD!r}), height=700)\ne"),
        nbformat.v4.new_code_cell("import json, urllib.request\n"
                                  "record = json.load(urllib.request.urlopen(e.url.replace('/?', '/api/record?')))\n"
                                  "print(record['parameters'][3]['name'], record['parameters'][3]['text'])\n"
                                  "e.stop()\ne"),
    ])
    NotebookClient(notebook, timeout=300, kernel_name="python3",
                   resources={"metadata": {"path": str(tmp_path)}}).execute()
    shown = notebook.cells[0].outputs[0]["data"]["text/html"]
    assert shown.startswith('<iframe src="http://127.0.0.1:') and "token=" in shown and 'height="700"' in shown
    assert "hc0_mean 300" in notebook.cells[1].outputs[0]["text"]
    assert "stopped" in notebook.cells[1].outputs[1]["data"]["text/html"]
