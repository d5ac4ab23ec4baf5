"""The lab's checks and limits in the module: every refusal before any work,
a ValueError (TypeError for a wrong type) with the lab's words; no NaN
returned as a result; special files never opened; Ctrl-C ends a long call;
nothing on standard error."""

import os
import signal
import socket
import stat
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

import preisach

P = preisach.Parameters()  # Tc = 600 K, T_max = 300 K, Ha_max = 3000 Oe, m = 50
BIG_M = P.replace(m=15447)


class NoCluster:
    """A client a refused scan must never use."""

    def submit(self, *args, **kwargs):
        raise AssertionError("the scan started work before refusing")


def zfc(x, M, **kwargs):
    return preisach.dataset("zfc", x, M, **{"field": 100.0, **kwargs})


TEMPERATURE = "is not between 0 and Tc = 600 K"
WORK = "more than the limit of 2e\\+10 grid cell updates"

REFUSED = [
    # Temperatures outside (0, Tc), the float32 value included: the reader
    # would take 700 K as Tc - 10, 599.99999 is Tc and 1e-300 is 0 K.
    ("loop T=700", lambda: preisach.loop(P, T=700), ValueError, "the temperature 700 K " + TEMPERATURE),
    ("loop T=-1", lambda: preisach.loop(P, T=-1), ValueError, "the temperature -1 K " + TEMPERATURE),
    ("loop T=599.99999", lambda: preisach.loop(P, T=599.99999), ValueError, TEMPERATURE),
    ("loop T=1e-300", lambda: preisach.loop(P, T=1e-300), ValueError, "the temperature 1e-300 K " + TEMPERATURE),
    ("zfcfc T=1e-300", lambda: preisach.zfcfc(P, T=[1e-300, 10]), ValueError, TEMPERATURE),
    ("zfcfc T=599.99999", lambda: preisach.zfcfc(P, T=[599.99999]), ValueError, TEMPERATURE),
    ("replace T_hyst=700", lambda: P.replace(T_hyst=700), ValueError, "T_hyst=700 K " + TEMPERATURE),
    ("replace Tc=-5", lambda: P.replace(Tc=-5), ValueError, "Tc=-5 K: the critical temperature must be positive"),
    ("replace Tc below T_max", lambda: P.replace(Tc=200), ValueError, "T_max=300 K is not between 0 and Tc = 200 K"),
    # Widths and letters the reader would take.
    ("replace sigmac0=-5", lambda: P.replace(sigmac0=-5), ValueError, "sigmac0=-5 Oe: a width of the density"),
    ("replace sigmai0=-1", lambda: P.replace(sigmai0=-1), ValueError, "sigmai0=-1 Oe: a width of the density"),
    ("replace flag blank", lambda: P.replace(Calculate_ZFCFC=" "), ValueError, 'Calculate_ZFCFC: " " is not one letter'),
    ("replace flag line end", lambda: P.replace(Calculate_PDF="\n"), ValueError, "is not one letter"),
    ("replace shape blank", lambda: P.replace(PDF="\t"), ValueError, "is not one letter"),
    # Wrong types.
    ("replace hc0_mean='abc'", lambda: P.replace(hc0_mean="abc"), TypeError, "hc0_mean: a number is expected, not str"),
    ("replace m=None", lambda: P.replace(m=None), TypeError, "m: a number is expected, not NoneType"),
    ("replace flag 1", lambda: P.replace(Calculate_ZFCFC=1), TypeError, "Calculate_ZFCFC: a letter is expected"),
    # The lab's work limits.
    ("grid history m=15447", lambda: preisach.history(BIG_M, np.zeros(1000), model="grid"), ValueError,
     "history: 1000 fields asks for 1000 field points on a grid of m = 15447 divisions, " + WORK),
    ("4000 FORC curves", lambda: preisach.forc(P, P.Ha_max / 1999), ValueError,
     "makes more than 2000 reversal curves; take a larger step"),
    ("FORC step above Ha_max", lambda: preisach.forc(P, 4000), ValueError,
     "step 4000 Oe is larger than Ha_max = 3000 Oe"),
    ("grid FORC m=15447", lambda: preisach.forc(BIG_M, 300, model="grid"), ValueError, WORK),
    ("grid loop m=15447", lambda: preisach.loop(BIG_M, H=np.linspace(3000, -3000, 2000), model="grid"), ValueError,
     WORK),
    ("grid fit m=15447", lambda: preisach.fit(BIG_M, [zfc(np.arange(10.0, 300.0, 2.0), np.ones(145))], ["hc0_mean"],
                                               model="grid"), ValueError, "fit --model grid .*" + WORK),
    # Degenerate datasets: refused with a reason, never handed to the solver.
    ("fit field inf", lambda: preisach.fit(P, [zfc([10, 20, 30], [1e-3, 2e-3, 3e-3], field=np.inf)], ["hc0_mean"]),
     ValueError, "ZFC: the field inf Oe is not a finite number"),
    ("fit moments 1e-320", lambda: preisach.fit(P, [zfc([10, 20, 30], [1e-320, 2e-320, 3e-320])], ["hc0_mean"]),
     ValueError, "too small to weigh the points"),
    ("fit error inf", lambda: preisach.fit(P, [zfc([10, 20, 30], [1e-3, 2e-3, 3e-3], error=[1e-5, np.inf, 1e-5])],
                                           ["hc0_mean"]), ValueError, "standard error inf of point 1 is not a positive"),
    # Arguments of scan, the distribution and the model function.
    ("scan chunk=-1", lambda: preisach.scan(P, {"hc0_mean": [20, 30]}, client=NoCluster(), chunk=-1), ValueError,
     "chunk must be a whole number of parameter sets"),
    ("scan chunk=0", lambda: preisach.scan(P, {"hc0_mean": [20, 30]}, client=NoCluster(), chunk=0), ValueError,
     "chunk must be"),
    ("scan 10^4 x 10^4", lambda: preisach.scan(P, {"hc0_mean": np.linspace(1, 100, 10**4),
                                                   "sigmac0": np.linspace(1, 100, 10**4)}, client=NoCluster()),
     ValueError, "the grid holds 100000000 parameter sets, more than the 1000000"),
    ("scan Tc below T_max", lambda: preisach.scan(P, {"Tc": [200, 700]}, client=NoCluster()), ValueError,
     "T_max=300 K is not between 0 and Tc = 200 K"),
    ("scan over T_max", lambda: preisach.scan(P, {"T_max": [200, 300]}, client=NoCluster()), ValueError,
     "each set its own temperatures"),
    ("scan bad value", lambda: preisach.scan(P, {"sigmac0": [10, -5]}, client=NoCluster()), ValueError,
     "sigmac0=-5 Oe"),
    ("forc_distribution sf=1e20", lambda: preisach.forc_distribution([{"H": [1.0], "M": [1.0]}] * 3, sf=1e20),
     ValueError, "^the smoothing factor SF must be between 1 and 20$"),
    ("forc_distribution sf=1.5", lambda: preisach.forc_distribution([{"H": [1.0], "M": [1.0]}] * 3, sf=1.5),
     ValueError, "SF must be between 1 and 20"),
    ("model_function unknown", lambda: preisach.model_function("zfc", P, ["nope"]), ValueError,
     '"nope" is not a parameter that can be fitted'),
    ("read_measured folder", lambda: preisach.read_measured("/"), ValueError, "is a folder, not a file"),
]


@pytest.mark.parametrize("call, error, message", [r[1:] for r in REFUSED], ids=[r[0] for r in REFUSED])
def test_refused_before_any_work_with_the_labs_words(call, error, message):
    with pytest.raises(error, match=message) as refused:
        call()
    assert len(str(refused.value)) < 400


NON_FINITE = [
    # Ha_max of 1e5 Oe overflows the grid's float sums; mu0 of 3e-18 emu
    # makes Norm_coeff infinite.
    ("grid loop Ha_max=1e5", lambda: preisach.loop(P.replace(Ha_max=1e5), model="grid"), "loop: the grid gives"),
    ("grid zfcfc mu0=3e-18", lambda: preisach.zfcfc(P.replace(mu0=3e-18), model="grid"), "zfcfc: the grid gives"),
]


@pytest.mark.parametrize("call, message", [r[1:] for r in NON_FINITE], ids=[r[0] for r in NON_FINITE])
def test_a_non_finite_result_is_refused_not_returned(call, message):
    with pytest.raises(ValueError, match=message + " -?nan"):
        call()


def _special(kind, folder):
    path = folder / kind
    if kind == "fifo":
        os.mkfifo(path)
    elif kind == "socket":
        s = socket.socket(socket.AF_UNIX)
        s.bind(str(path))
        s.close()
    else:
        os.mkdir(path)
    return path


def _run(code, timeout=120):
    """The code in a fresh interpreter: (status, stdout, stderr). The timeout
    only guards against a hang; every case here ends in well under it."""
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout, done.stderr


@pytest.mark.parametrize("kind, message", [
    ("fifo", "is not a regular file \\(a device, a FIFO or a socket\\)"),
    ("socket", "is not a regular file \\(a device, a FIFO or a socket\\)"),
    ("folder", "is a folder"),
])
@pytest.mark.parametrize("reading", [None, "zfcfc", "loop", "forc"])
def test_a_special_file_is_refused_before_it_is_opened(kind, message, reading, tmp_path):
    # In a child: opening a FIFO would wait for a writer for ever.
    path = _special(kind, tmp_path)
    status, out, err = _run("""
        import preisach
        try:
            preisach.read_measured(%r, %r)
        except ValueError as e:
            print("ValueError:", e)
        """ % (str(path), reading))
    assert status == 0 and err == "", err
    assert out.startswith("ValueError: " + str(path)) and __import__("re").search(message, out), out


@pytest.mark.parametrize("kind", ["fifo", "socket", "folder"])
def test_parameters_are_never_written_over_a_special_file(kind, tmp_path):
    path = _special(kind, tmp_path)
    before = os.lstat(path)
    status, out, err = _run("""
        import preisach
        try:
            preisach.Parameters().to_file(%r)
        except ValueError as e:
            print("ValueError:", e)
        """ % str(path))
    assert status == 0 and out.startswith("ValueError: " + str(path)), out + err
    after = os.lstat(path)
    assert stat.S_IFMT(after.st_mode) == stat.S_IFMT(before.st_mode) and after.st_ino == before.st_ino


def test_degenerate_data_leave_standard_error_empty():
    # Ceres logs through glog; the module silences it as the lab does.
    status, out, err = _run("""
        import numpy as np, preisach
        p = preisach.Parameters()
        for M in ([1e-320, 2e-320, 3e-320], [1e-3, 2e-3, 3e-3]):
            d = preisach.dataset("zfc", [10, 20, 30], M, field=100)
            try:
                preisach.fit(p, [d], ["hc0_mean", "sigmac0"])
                print("fitted")
            except ValueError as e:
                print("ValueError:", e)
        """)
    assert status == 0 and err == "", err
    assert out.splitlines()[0].startswith("ValueError: ZFC: sigma"), out


# Each call would take minutes: far beyond the child's hang guard.
LONG_CALLS = [
    ("zfcfc grid", "preisach.zfcfc(p.replace(m=6000), model='grid')"),
    ("history grid", "preisach.history(p.replace(m=6000), np.linspace(3000, -3000, 400), model='grid')"),
    ("fit grid", "preisach.fit(p.replace(m=2000), [preisach.dataset('zfc', np.arange(10.0, 300.0, 10.0), "
                 "np.linspace(1e-3, 2e-3, 29), field=100)], ['hc0_mean', 'sigmac0'], model='grid')"),
]


@pytest.mark.parametrize("call", [c[1] for c in LONG_CALLS], ids=[c[0] for c in LONG_CALLS])
def test_ctrl_c_ends_a_long_call_with_keyboard_interrupt(call):
    child = subprocess.Popen([sys.executable, "-c", textwrap.dedent("""
        import sys, numpy as np, preisach
        p = preisach.Parameters()
        print("started", flush=True)
        try:
            %s
            print("finished")
        except KeyboardInterrupt:
            print("KeyboardInterrupt", flush=True)
        """ % call)], stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    try:
        assert child.stdout.readline() == "started\n"
        time.sleep(1.0)  # into the call; the outcome is the same either way
        # Whether the signal comes before or during the call, it must end
        # with KeyboardInterrupt at once, not when the computation ends.
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=60)
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()
    assert out == "KeyboardInterrupt\n", out + err
    assert err == ""


def test_a_fit_needs_more_points_than_free_parameters():
    p = preisach.Parameters()
    one = preisach.dataset("zfc", [100.0], [1e-16], field=100)
    with pytest.raises(ValueError, match="no more than the 1 free parameter: a fit needs more points"):
        preisach.fit(p, [one], {"N": None})
    two = preisach.dataset("zfc", [50.0, 100.0], [1e-16, 2e-16], field=100)
    with pytest.raises(ValueError, match="no more than the 2 free parameters"):
        preisach.fit(p, [two], {"N": None, "hc0_mean": None})


@pytest.mark.parametrize("arguments, error, words", [
    (dict(grid=[1, 2, 3]), TypeError, "grid must be a dict"),
    (dict(grid={"hc0_mean": [250.0]}, workers=0), ValueError, "workers must be a whole number"),
    (dict(grid={"hc0_mean": [250.0]}, workers=-3), ValueError, "workers must be a whole number"),
    (dict(grid={"hc0_mean": [250.0]}, model="x"), ValueError, "neither continuum nor grid"),
])
def test_scan_refuses_bad_arguments_before_any_work(arguments, error, words):
    with pytest.raises(error, match=words):
        preisach.scan(preisach.Parameters(), progress=False, **arguments)


@pytest.mark.parametrize("call, words", [
    (lambda p: preisach.loop(p, T=True), "T must be a number, not bool"),
    (lambda p: preisach.history(p, "0 100"), "must be an array of numbers"),
    (lambda p: preisach.forc_distribution([1, 2, 3]), "forc_distribution takes FORCs"),
])
def test_a_wrong_type_is_a_type_error(call, words):
    with pytest.raises(TypeError, match=words):
        call(preisach.Parameters())
