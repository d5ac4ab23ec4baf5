"""The fit against preisach-lab fit on the same files, and the model as a
function for lmfit."""

import re
import shutil

import numpy as np
import pytest

import preisach
from conftest import SOURCE, without_times

FREE = {"hc0_mean": None, "sigmac0": None, "sigmai0": None, "N": None}


@pytest.fixture
def example(tmp_path):
    folder = tmp_path / "fitting"
    shutil.copytree(SOURCE / "examples" / "fitting", folder)
    return folder


@pytest.mark.parametrize("model, starts", [("continuum", 1), ("continuum", 3), ("grid", 1)])
def test_gives_the_report_and_parameter_file_of_preisach_lab(model, starts, example, lab, monkeypatch):
    status, out, err = lab(example, "fit", "--zfcfc", "zfcfc.dat", "--free", "hc0_mean,sigmac0,sigmai0,N", "--model",
                           model, "--starts", str(starts))
    assert status == 0, err
    p = preisach.Parameters.from_file(example / "Magnetism" / "Parameters.txt")
    monkeypatch.chdir(example)
    r = preisach.fit(p, data=["zfcfc.dat"], free=FREE, model=model, starts=starts)
    assert without_times(r.report()) == without_times(out)
    assert r.params == preisach.Parameters.from_file(example / "Magnetism" / "Parameters.fit.txt")


def test_background_error_and_limits_are_the_labs(example, lab, monkeypatch):
    options = ["--background", "curie", "--max-iterations", "400"]
    status, out, err = lab(example, "fit", "--zfcfc", "zfcfc.dat", "--free", "hc0_mean,N", *options)
    assert status == 0, err
    p = preisach.Parameters.from_file(example / "Magnetism" / "Parameters.txt")
    monkeypatch.chdir(example)
    r = preisach.fit(p, data=["zfcfc.dat"], free=["hc0_mean", "N"], background="curie", max_iterations=400)
    assert r.stopped == "" and r.converged
    assert without_times(r.report()) == without_times(out)
    assert set(r.background) == {"C"} and r.nvarys == 3
    line = re.search(r"\n    C: +(\S+) \+/- (\S+) emu K/Oe", out)
    assert r.background["C"].value == pytest.approx(float(line.group(1)), rel=1e-6)
    assert r.background["C"].stderr == pytest.approx(float(line.group(2)), rel=1e-2)
    # best_fit is the particles and the background together.
    assert len(r.background_fit) == 2 and np.all(np.isfinite(r.best_fit[0]))
    # A noise stated for one dataset by name: this file's curves carry their own errors.
    with pytest.raises(ValueError, match="ZFC \\(zfcfc.dat\\) has its own error column"):
        preisach.fit(p, data=["zfcfc.dat"], free=["N"], error={"ZFC": "2%"})


def test_the_result_carries_statistics_by_name(example):
    p = preisach.Parameters.from_file(example / "Magnetism" / "Parameters.txt")
    r = preisach.fit(p, data=[preisach.read_measured(example / "zfcfc.dat")],
                     free={"hc0_mean": (100, 600), "sigmac0": (10, 400), "sigmai0": (10, 400), "N": (0.1, 10)})
    # The truth the file was made with, within three standard errors.
    for name, truth in (("hc0_mean", 300.0), ("sigmac0", 100.0), ("sigmai0", 100.0), ("N", 1.0)):
        assert abs(r.params[name] - truth) < 3 * r.stderr[name], name
    n, k = 78, 4
    assert r.redchi == pytest.approx(r.chisqr / (n - k), rel=1e-15)
    assert r.aic == pytest.approx(n * np.log(r.chisqr / n) + 2 * k, rel=1e-12)
    assert r.correl.shape == (4, 4) and np.allclose(np.diag(r.correl), 1.0)
    assert r.minima and r.warnings and "sigmai0 and N" in r.warnings[0]
    # chi-square again from the fitted record.
    assert preisach.chi_square(r.params, [example / "zfcfc.dat"]) == pytest.approx(r.chisqr, rel=1e-6)


def test_lmfit_recovers_the_fit_through_the_model_function(example):
    import lmfit
    p = preisach.Parameters.from_file(example / "Magnetism" / "Parameters.txt")
    m = preisach.read_measured(example / "zfcfc.dat")
    # The widths fixed at the values the file was made with.
    f = preisach.model_function("zfc", fixed=p.replace(ha=m.field, sigmac0=100, sigmai0=100), free=["hc0_mean", "N"])
    model = lmfit.Model(f)
    params = model.make_params(hc0_mean=280, N=0.9)
    # The parameters are float32: a difference step of 1e-3 relative, not
    # lmfit's 1e-8 below their resolution.
    out = model.fit(m.zfc["M"], params, x=m.zfc["x"], weights=1 / m.zfc["error"], fit_kws={"epsfcn": 1e-6})
    assert abs(out.params["hc0_mean"].value - 300) < 10 and abs(out.params["N"].value - 1) < 0.05


@pytest.mark.parametrize("call, message", [
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10], [1e-16])], FREE), "same length"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10], [1e-16, 2e-16])], "hc0_mean2"),
     "\"hc0_mean2\" is not a parameter that can be fitted"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10], [1e-16, 2e-16])], "N", tol=-1),
     "is not a relative tolerance"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 900], [1e-16, 2e-16])], "N"),
     "the temperature 900 K is not between 0 and Tc"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10], [1e-16, 2e-16])], "N,hc0_mean,sigmac0"),
     "the data hold 2 points, no more than the 3 free parameters"),
    (lambda p: preisach.model_function("zfc", p, ["N"])([5.0], hc0_mean=1), "not free parameters: hc0_mean"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N",
                            background="quadratic"), "\"quadratic\" is not a background term"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N",
                            background="linear"), "--background linear is a term of loops, and no loop is given"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N,hc0_mean",
                            background="curie"), "no more than the 3 free parameters (the background's included)"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N", error="1 %"),
     "is neither a share of each moment below 100 %"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N", max_time=-1),
     "max_time must be a positive number (None: no limit)"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N",
                            max_iterations=0), "max_iterations must be a positive number"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N", background=5),
     "background must be a term"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N",
                            background="curie,"), "\"\" is not a background term"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N", error="1e-300"),
     "too small to weigh the points by"),
    (lambda p: preisach.fit(p, [preisach.dataset("zfc", [5, 10, 20], [1e-16, 2e-16, 3e-16])], "N", error="1e300"),
     "more than a thousand times the curve's largest moment"),
])
def test_bad_input_is_a_value_error(call, message):
    with pytest.raises(ValueError) as error:
        call(preisach.Parameters())
    assert message in str(error.value)


def test_the_fitted_parameters_read_like_lmfits(example):
    p = preisach.Parameters.from_file(example / "Magnetism" / "Parameters.txt")
    r = preisach.fit(p, data=[str(example / "zfcfc.dat")], free={"hc0_mean": None, "N": None})
    assert r.params["hc0_mean"].value == r.values["hc0_mean"]
    assert r.params["hc0_mean"].stderr == r.stderr["hc0_mean"] and r.params["hc0_mean"].vary
    assert r.params["N"].init_value != r.params["N"].value
    assert r.params["sigmac0"].stderr is None and not r.params["sigmac0"].vary
    assert r.params["sigmac0"] == p.sigmac0
