"""The module's curves against the commands on the same parameter file:
the program's ZFCFCbc.txt and momentbc.txt, and preisach-lab curves."""

import numpy as np
import pytest

import preisach
from conftest import write_parameters

# Broad distributions and a coarse grid keep the program's run short.
RECORD = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 y 300 2000 50 300 0.1 n"


def lab_rows(path):
    return np.array([[float(v) for v in line.split()] for line in path.read_text().splitlines()
                     if line and not line.startswith("#")])


@pytest.mark.parametrize("model", ["grid", "continuum"])
def test_zfcfc_and_loop_are_the_bits_of_preisach_lab_curves(model, workspace, lab):
    write_parameters(workspace, RECORD)
    status, _, err = lab(workspace, "curves", "--model", model, "--out-dir", ".")
    assert status == 0, err
    p = preisach.Parameters.from_file(workspace / "Magnetism" / "Parameters.txt")
    c = preisach.zfcfc(p, model=model)
    rows = lab_rows(workspace / "ZFCFC.txt")
    # 17 significant digits read back to the same double.
    np.testing.assert_array_equal(np.column_stack([c.T, c.zfc, c.fc]), rows)
    np.testing.assert_array_equal(np.column_stack([c.T, c.integrals]), lab_rows(workspace / "separate.txt"))
    m = preisach.loop(p, model=model)
    np.testing.assert_array_equal(np.column_stack([m.H, m.M, m.M_irr, m.M_rev]), lab_rows(workspace / "moment.txt"))
    assert (m.branch[:len(m.H) // 2] == -1).all() and (m.branch[len(m.H) // 2:] == 1).all()


def test_grid_curves_are_the_program_result_files(workspace, program):
    write_parameters(workspace, RECORD)
    program(workspace)
    p = preisach.Parameters.from_file(workspace / "Magnetism" / "Parameters.txt")
    c = preisach.zfcfc(p, model="grid")
    ours = "".join("%f %e %e\n" % row for row in zip(c.T, c.zfc, c.fc))
    theirs = [line for line in (workspace / "Magnetism" / "ZFCFCbc.txt").read_text().splitlines(True)
              if line.strip() and line[0].isdigit()]
    assert ours == "".join(theirs)


def test_the_continuum_converges_to_the_grid_as_m_grows():
    # The grid's error falls as 1/m: at m = 400 within 1 % of the largest moment.
    p = preisach.Parameters().replace(sigmac0=100, sigmai0=100, m=400)
    grid, continuum = preisach.zfcfc(p, model="grid"), preisach.zfcfc(p)
    assert np.max(np.abs(grid.zfc - continuum.zfc)) < 0.01 * np.max(continuum.fc)


def test_a_history_that_retraces_the_descending_branch_gives_its_moments():
    p = preisach.Parameters()
    loop = preisach.loop(p, model="grid")
    down = loop.H[loop.branch == -1]
    h = preisach.history(p, down, model="grid")
    np.testing.assert_array_equal(h.M, loop.M[loop.branch == -1])


def test_the_forc_diagram_of_the_model_peaks_near_its_mean_coercive_field():
    p = preisach.Parameters().replace(sigmac0=100, sigmai0=100, T_hyst=5)
    curves = preisach.forc(p, step=100)
    assert len(curves) == 60 and curves[0]["Hr"] == 2900.0 and curves[-1]["Hr"] == -3000.0
    d = preisach.forc_distribution(curves, sf=2)
    assert d.rho.shape == (d.Hu.size, d.Hc.size)
    row, col = np.unravel_index(np.nanargmax(d.rho), d.rho.shape)
    # hcm at 5 K is just below hc0_mean = 300 Oe; the diagram's step is 50 Oe in Hc.
    assert 200.0 <= d.Hc[col] <= 350.0 and abs(d.Hu[row]) <= 100.0


@pytest.mark.parametrize("call, message", [
    (lambda p: preisach.zfcfc(p, tol=-1e-8), "is not a relative tolerance"),
    (lambda p: preisach.zfcfc(p, model="fine"), "--model: \"fine\" is neither continuum nor grid"),
    (lambda p: preisach.zfcfc(p, T=[5, 700]), "the temperature 700 K is not between 0 and Tc = 600 K"),
    (lambda p: preisach.zfcfc(p, T=[[5, 10]]), "T must be a one-dimensional array"),
    (lambda p: preisach.zfcfc(p.replace(ha=-1e6)), "holds no node to normalise over"),
    (lambda p: preisach.zfcfc(p.replace(Tc=1e30, T_max=1e29)), "asks for more than 100000 temperatures"),
    (lambda p: preisach.loop(p, H=[5000]), "the field 5000 Oe lies outside +-Ha_max = 3000 Oe"),
    (lambda p: preisach.loop(p.replace(Ha_max=0)), "the hysteresis loop has no field range"),
    (lambda p: preisach.forc(p, step=0), "0 lies outside the range: give a number above 0 and at most 1e+07 Oe"),
    (lambda p: preisach.forc_distribution([{"H": [1, 2], "M": [1]}] * 3, 1), "2 fields but 1 moments"),
])
def test_bad_input_is_a_value_error_with_the_command_message(call, message):
    with pytest.raises(ValueError) as error:
        call(preisach.Parameters())
    assert message in str(error.value)


def test_calls_from_several_threads_at_once_give_the_serial_numbers():
    # The long calls run without the GIL: the evaluators must not share state.
    from concurrent.futures import ThreadPoolExecutor
    sets = [preisach.Parameters().replace(hc0_mean=h) for h in (200.0, 250.0, 300.0, 350.0)]
    serial = [(preisach.zfcfc(p).zfc, preisach.loop(p, model="grid").M) for p in sets]
    with ThreadPoolExecutor(4) as pool:
        threaded = list(pool.map(lambda p: (preisach.zfcfc(p).zfc, preisach.loop(p, model="grid").M), sets))
    for (a, b), (c, d) in zip(serial, threaded):
        np.testing.assert_array_equal(a, c)
        np.testing.assert_array_equal(b, d)
