"""The parameter record: read, written and checked as the program does."""

import math

import pytest

import preisach
from conftest import SOURCE

RECORD = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 50 0.01 y 100 300 y 300 3000 50 300 0.1 y"


def test_reads_the_repository_file_by_name():
    p = preisach.Parameters.from_file(SOURCE / "Magnetism" / "Parameters.txt")
    assert (p.Tc, p.hc0_mean, p.sigmac0, p.PDF, p.m, p.Ha_max) == (600.0, 300.0, 30.0, "G", 50, 3000.0)
    # The file's float32: 1e-15 is not a double here.
    assert p.mu0 == 1.0000000036274937e-15
    assert len(preisach.NAMES) == 24 and preisach.NAMES[0] == "Tc"
    assert preisach.UNITS["hc0_mean"] == "Oe" and "hc0_mean" in preisach.FITTABLE and "m" not in preisach.FITTABLE


def test_writes_a_record_that_reads_back_to_the_same_bits(tmp_path):
    p = preisach.Parameters().replace(hc0_mean=1.0 / 3.0, sigmac0=80)
    p.to_file(tmp_path / "p.txt")
    q = preisach.Parameters.from_file(tmp_path / "p.txt")
    assert q == p and q.hc0_mean.hex() == p.hc0_mean.hex() and q.sigmac0 == 80.0


def test_replace_changes_only_what_it_names():
    p = preisach.Parameters()
    q = p.replace(sigmac0=80, PDF="L")
    assert (q.sigmac0, q.PDF, q.hc0_mean) == (80.0, "L", p.hc0_mean)
    assert p.sigmac0 == 30.0
    with pytest.raises(AttributeError):
        p.sigmac0 = 1.0


@pytest.mark.parametrize("values, message", [
    ({"PDF": "X"}, "the density shape PDF must be one of G, L, M, N, but 'X' was read"),
    ({"hc0_mean": math.nan}, "hc0_mean: nan is not a finite number"),
    ({"Tc": math.inf}, "Tc: inf is not a finite number"),
    ({"hc0_mean2": 1.0}, "\"hc0_mean2\" is not a parameter of the parameter file"),
    ({"m": 0}, "m=0 must lie between 1 and 15447"),
    ({"m": 2.5}, "m: 2.5 is not a 32-bit integer"),
])
def test_refuses_a_value_the_reader_refuses(values, message):
    with pytest.raises(ValueError) as error:
        preisach.Parameters().replace(**values)
    assert message in str(error.value)


@pytest.mark.parametrize("text", ["600 1e-15 q", "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 X 50 0.01 y 100 300 y 300 3000 50 "
                                  "300 0.1 y", "", "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 0 0.01 y 100 300 y 300 3000 "
                                  "50 300 0.1 y"])
def test_a_bad_file_gives_the_message_of_preisach_lab(text, workspace, lab, monkeypatch):
    (workspace / "Magnetism" / "Parameters.txt").write_text(text)
    status, _, err = lab(workspace, "fit", "--zfcfc", "none.txt", "--free", "N")
    assert status != 0
    monkeypatch.chdir(workspace)
    with pytest.raises(ValueError) as error:
        preisach.Parameters.from_file("Magnetism/Parameters.txt")
    assert err.strip() == "preisach-lab: " + str(error.value)


def test_pickles_for_the_workers():
    import pickle
    p = preisach.Parameters().replace(hc0_mean=123.25)
    assert pickle.loads(pickle.dumps(p)) == p
