"""The least-squares fit of the lab, and the model as a function for lmfit
and emcee."""

import numpy as np

from . import _preisach
from .curves import Result
from .measured import datasets, dataset, plain, sigma
from .parameters import FITTABLE, Parameters


def free_text(free):
    """The lab's --free text from {name: (lo, hi)}, a list of names, or text."""
    if isinstance(free, str):
        return free
    if isinstance(free, dict):
        parts = []
        for name, bounds in free.items():
            if bounds is None:
                parts.append(name)
                continue
            lo, hi = bounds
            parts.append("%s=%s:%s" % (name, "" if lo is None else repr(float(lo)),
                                        "" if hi is None else repr(float(hi))))
        return ",".join(parts)
    return ",".join(free)


class FittedValue(float):
    """A value of the fitted record, a float that also reads like lmfit's
    Parameter: value, stderr (None where not fitted or not determined),
    init_value and vary."""

    def __new__(cls, value, stderr=None, init_value=None, vary=False):
        self = super().__new__(cls, value)
        self.value = float(value)
        self.stderr = stderr
        self.init_value = init_value
        self.vary = vary
        return self

    def __repr__(self):
        return "<FittedValue value=%r, stderr=%r, vary=%r>" % (self.value, self.stderr, self.vary)


class FittedParameters(Parameters):
    """The fitted record (equal to the file preisach-lab writes), whose
    items read like lmfit's: r.params["hc0_mean"].value, .stderr."""

    def __init__(self, record, stderr, start):
        super().__init__(record)
        object.__setattr__(self, "_stderr", dict(stderr))
        object.__setattr__(self, "_start", dict(start))

    def __getitem__(self, name):
        value = super().__getitem__(name)
        if not isinstance(value, (int, float)) or isinstance(value, bool):
            return value
        stderr = self._stderr.get(name)
        if stderr is not None and not np.isfinite(stderr):
            stderr = None
        return FittedValue(value, stderr, self._start.get(name, value), name in self._stderr)


class FitResult:
    """The fit: params (a Parameters), stderr and values by name, correl (the
    correlation matrix, rows and columns in the order of `names`), chisqr,
    redchi, aic, bic (as lmfit defines them), minima, warnings, report();
    background: the background's terms by name (value, stderr), and
    background_fit its part of best_fit."""

    def __init__(self, raw, data):
        self.raw = raw
        self.data = data
        self.names = list(raw["names"])
        self.values = dict(zip(self.names, raw["values"]))
        self.stderr = dict(zip(self.names, raw["errors"]))
        self.params = FittedParameters(Parameters(raw["best"])._record, self.stderr, dict(zip(self.names, raw.get("start", []))))
        self.correl = np.array(raw["correlation"], dtype=float).reshape(len(self.names), len(self.names))
        self.chisqr = float(raw["chisqr"])
        self.ndata = int(raw["points"])
        # The background's terms by name (value, stderr), and its part of best_fit.
        self.background = {t["name"]: FittedValue(t["value"], t["stderr"] if np.isfinite(t["stderr"]) else None,
                                                  None, True)
                           for t in raw.get("background", [])}
        self.background_fit = [np.asarray(b) for b in raw.get("background_values", [])]
        self.nvarys = len(self.names) + len(self.background)
        self.nfree = self.ndata - self.nvarys
        self.redchi = self.chisqr / self.nfree if self.nfree > 0 else float("nan")
        n = self.ndata
        self.aic = n * np.log(self.chisqr / n) + 2 * self.nvarys
        self.bic = n * np.log(self.chisqr / n) + np.log(n) * self.nvarys
        self.minima = [Result(m) for m in raw["minima"]]
        self.warnings = list(raw["warnings"])
        self.converged = bool(raw["converged"])
        # Why a limit or Ctrl-C ended the fit early ("" when none did).
        self.stopped = str(raw["stopped"])
        self.best_fit = [np.asarray(m) for m in raw["model"]]

    def report(self):
        """The report preisach-lab fit prints."""
        return self.raw["report"]

    def __repr__(self):
        return "FitResult(chisqr=%g, %s)" % (self.chisqr, ", ".join(
            "%s=%g+-%g" % (n, self.values[n], self.stderr[n]) for n in self.names))


def _fit_extras(background, error, max_iterations, max_time):
    """The lab's --background, --error, --max-iterations and --max-time as
    the module's fit takes them."""
    if background is None:
        background = []
    elif isinstance(background, str):
        background = [background]
    if not isinstance(background, (list, tuple)) or not all(isinstance(b, str) for b in background):
        raise ValueError('background must be a term ("linear", "linear+offset", "curie", "curie-weiss") or a list '
                         'of them, not %r' % (background,))
    for name, value in (("max_iterations", max_iterations), ("max_time", max_time)):
        if value is not None and not (isinstance(value, (int, float)) and not isinstance(value, bool)
                                      and np.isfinite(value) and value > 0):
            raise ValueError("%s must be a positive number (None: no limit), not %r" % (name, value))
    if max_iterations is not None and int(max_iterations) != max_iterations:
        raise ValueError("max_iterations must be a whole number, not %r" % (max_iterations,))
    if error is None:
        error = []
    elif isinstance(error, dict):
        error = ["%s=%s" % (name, value if isinstance(value, str) else repr(float(value)))
                 for name, value in error.items()]
    elif isinstance(error, str):
        error = [error]
    else:
        error = [repr(float(error))]
    return {"background": list(background), "error": error,
            "max_iterations": 0 if max_iterations is None else int(max_iterations),
            "max_time": 0.0 if max_time is None else float(max_time)}


def fit(p, data, free, model="continuum", tol=1e-10, starts=1, given_start=False, client=None,
        background=None, error=None, max_iterations=None, max_time=None):
    """Fits the free parameters ({name: (lo, hi)}, bounds in K, Oe, emu) to
    the datasets, as preisach-lab fit does: one set of physical parameters
    for all. background: "linear", "linear+offset" (loops), "curie",
    "curie-weiss" (ZFC/FC) or a list of them, fitted beside the particles
    (result.background); error: the noise of datasets without errors, "1%"
    or an error in emu, or {dataset name or file: value}; max_iterations, max_time (s): the fit stops there
    with its best point, marked not at a minimum. With client=None the
    starts run in this process exactly as the command runs them; with a Dask
    client (or client="local") the starts go out as tasks (see
    parallel.fit_starts)."""
    d = datasets(data, p)
    extras = _fit_extras(background, error, max_iterations, max_time)
    if client is not None and starts > 1:
        from .parallel import fit_starts
        return fit_starts(p, d, free, model, tol, starts, given_start, client, extras=extras)
    raw = _preisach.fit(p._record, plain(d), free_text(free), model, float(tol), int(starts), bool(given_start),
                        **extras)
    return FitResult(raw, d)


def model_at(p, data, model="continuum", tol=1e-10):
    """The model's moment at every point of every dataset (a list of arrays)."""
    d = datasets(data, p)
    return [np.asarray(m) for m in _preisach.model_at(p._record, plain(d), model, float(tol))]


def chi_square(p, data, model="continuum", tol=1e-10):
    """Sum over all points of ((model - measured) / sigma)^2."""
    d = datasets(data, p)
    curves = _preisach.model_at(p._record, plain(d), model, float(tol), 1)
    return float(sum(np.sum(((np.asarray(m) - np.asarray(x["M"])) / sigma(x)) ** 2) for m, x in zip(curves, d)))


def model_function(kind, fixed, free, model="continuum", tol=1e-10, field=None, temperature=None):
    """f(x, **values): the model's moment (emu) at x (T in K for kind "zfc" or
    "fc", H in Oe for "loop") with the `free` parameters given by keyword
    and every other value from `fixed`; lmfit.Model(f) and an emcee
    log-probability can call it."""
    free = list(free)
    if kind not in ("zfc", "fc", "loop"):
        raise ValueError('kind must be zfc, fc or loop, not "%s"' % kind)
    for name in free:
        if name not in FITTABLE:
            raise ValueError('free: "%s" is not a parameter that can be fitted (%s)' % (name, ", ".join(FITTABLE)))

    def f(x, **values):
        unknown = set(values) - set(free)
        if unknown:
            raise ValueError("not free parameters: %s" % ", ".join(sorted(unknown)))
        p = fixed.replace(**values)
        x = np.asarray(x, dtype=float)
        d = dataset(kind, x, np.ones_like(x), field=field, temperature=temperature)
        return model_at(p, [d], model, tol)[0]

    # lmfit reads the signature: x first, then the free parameters.
    import inspect
    params = [inspect.Parameter("x", inspect.Parameter.POSITIONAL_OR_KEYWORD)]
    params += [inspect.Parameter(n, inspect.Parameter.POSITIONAL_OR_KEYWORD, default=getattr(fixed, n)) for n in free]
    f.__signature__ = inspect.Signature(params)
    f.__name__ = "preisach_%s" % kind
    return f
