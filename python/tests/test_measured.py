"""The readers: the units and columns found, and the lab's messages for
files it refuses."""


import numpy as np
import pytest

import preisach
from conftest import SOURCE, without_times, write_parameters

# The relative rounding of a number printed with seven significant digits.
SEVEN_DIGITS = 5e-7

RECORD = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 n 300 2000 50 300 0.1 n"


def test_reads_the_example_magnetometer_file_with_its_units():
    m = preisach.read_measured(SOURCE / "examples" / "fitting" / "zfcfc.dat")
    assert m.kind == "zfcfc" and m.field == 100.0
    assert m.report["field_unit"] == "Oe" and m.report["moment_unit"] == "emu"
    assert m.report["format"].startswith("magnetometer file")
    assert len(m.zfc["x"]) == len(m.fc["x"]) == 39 and m.zfc["error"] is not None


def test_reads_plain_columns_and_a_loop(tmp_path):
    (tmp_path / "c.txt").write_text("# T M_ZFC M_FC\n5 1e-16 2e-16\n10 2e-16 3e-16\n")
    c = preisach.read_measured(tmp_path / "c.txt")
    np.testing.assert_array_equal(c.fc["M"], [2e-16, 3e-16])
    (tmp_path / "l.txt").write_text("100 1e-16\n0 0\n-100 -1e-16\n0 -0.5e-16\n100 1e-16\n")
    loop = preisach.read_measured(tmp_path / "l.txt", kind="loop")
    assert list(loop["descending"]) == [True, True, True, False, False]


def test_reads_the_pmc_file_the_lab_writes(workspace, lab):
    write_parameters(workspace, RECORD.replace(" n 300 2000", " y 300 2000"))
    status, _, err = lab(workspace, "forc", "--step", "200", "--out-dir", ".")
    assert status == 0, err
    f = preisach.read_measured(workspace / "forc-curves.frc")
    assert f.kind == "forc" and f.report["field_unit"] == "Oe" and len(f.curves) == 20
    # The lab's diagram of the same file, which holds seven significant digits.
    (workspace / "again").mkdir()
    status, _, err = lab(workspace, "forc", "--measured", "forc-curves.frc", "--out-dir", "again")
    assert status == 0, err
    rows = np.loadtxt(workspace / "again" / "forc-diagram.txt")
    d = preisach.forc_distribution(f.curves, sf=3)
    ours = np.concatenate([np.column_stack(b) for b in d.blocks])
    np.testing.assert_allclose(ours, rows, rtol=SEVEN_DIGITS, atol=0)


@pytest.mark.parametrize("name, text, kind", [
    ("missing.txt", None, "zfcfc"),
    ("empty.txt", "", "zfcfc"),
    ("words.txt", "a b c\nd e f\n", "zfcfc"),
    ("short.txt", "5 1e-16\n", "zfcfc"),
    ("oneloop.txt", "100\n", "loop"),
])
def test_a_refused_file_gives_the_message_of_preisach_lab(name, text, kind, workspace, lab, monkeypatch):
    write_parameters(workspace, RECORD)
    if text is not None:
        (workspace / name).write_text(text)
    option = {"zfcfc": "--zfcfc", "loop": "--loop"}[kind]
    status, _, err = lab(workspace, "fit", option, name, "--free", "N")
    assert status != 0
    monkeypatch.chdir(workspace)
    with pytest.raises(ValueError) as error:
        preisach.read_measured(name, kind=kind)
    assert err.strip() == "preisach-lab: " + str(error.value)


def test_a_refused_pmc_file_gives_the_message_of_preisach_lab(workspace, lab, monkeypatch):
    write_parameters(workspace, RECORD)
    (workspace / "bad.frc").write_text("MicroMag 2900/3900 Data File\n\"First-order reversal curves\"\nNCrv  3\n")
    status, _, err = lab(workspace, "forc", "--measured", "bad.frc", "--out-dir", ".")
    assert status != 0
    monkeypatch.chdir(workspace)
    with pytest.raises(ValueError) as error:
        preisach.read_measured("bad.frc")
    assert err.strip() == "preisach-lab: " + str(error.value)


REAL = SOURCE / "tests" / "data" / "real-magnetometer"


def test_reads_every_measurement_of_a_real_sequence():
    found = preisach.read_measurements(REAL / "zfcfc4.dat")
    assert [m.kind for m in found] == ["zfc", "fc", "zfc", "fc"]
    assert [round(m.field, -2) for m in found] == [100, 100, 1000, 1000]
    loops = preisach.read_measurements(REAL / "mvsh8.dat")
    assert [m.kind for m in loops] == ["virgin", "loop"]
    assert preisach.read_measurements(SOURCE / "examples" / "fitting" / "zfcfc.dat")[0].kind == "zfc"


def test_refuses_to_guess_one_measurement_of_many_and_says_why():
    with pytest.raises(ValueError, match=r"holds 2 measurements .*read_measurements"):
        preisach.read_measured(REAL / "mvsh2.dat")
    one = preisach.read_measured(REAL / "mvsh4.dat")
    assert one.kind == "loop" and one.descending.any() and not one.descending.all()


def test_fits_a_picked_measurement_as_the_lab_does(tmp_path, lab):
    record = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 n 100 310 y 300 70100 50 300 0.1 n"
    (tmp_path / "Magnetism").mkdir()
    (tmp_path / "Magnetism" / "Parameters.txt").write_text(record)
    status, out, err = lab(tmp_path, "fit", "--loop", str(REAL / "mvsh2.dat") + "@300", "--free", "N")
    assert status <= 1, err
    p = preisach.Parameters.from_file(tmp_path / "Magnetism" / "Parameters.txt")
    r = preisach.fit(p, data=[("loop", REAL / "mvsh2.dat", 300)], free={"N": None})
    assert without_times(r.report()) == without_times(out)
    with pytest.raises(ValueError, match="holds no loop within 0.5 K of 10"):
        preisach.fit(p, data=[("loop", REAL / "mvsh2.dat", 10)], free={"N": None})
