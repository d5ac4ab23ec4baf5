"""The model's curves on either evaluator, numpy in and out."""

import operator

import numpy as np

from . import _preisach


class Result(dict):
    """A dict whose keys are also attributes."""

    def __getattr__(self, name):
        try:
            return self[name]
        except KeyError:
            raise AttributeError(name) from None


_INTEGRALS = ("Integral11SP", "Integral22SP", "Integral1p", "Integral1m", "Integral2p", "Integral2m",
              "Integral3pZFC", "Integral3mZFC", "Integral3pFC")


def _number(name, value):
    """A number given for `name` (a bool or a text is a wrong type, not 1 or 0)."""
    if isinstance(value, (bool, np.bool_, str, bytes)) or not isinstance(value, (int, float, np.integer, np.floating)):
        raise TypeError("%s must be a number, not %s" % (name, type(value).__name__))
    return float(value)


def _floats(name, values):
    if isinstance(values, (str, bytes)):
        raise TypeError("%s must be an array of numbers, not %s" % (name, type(values).__name__))
    try:
        array = np.asarray(values, dtype=float)
    except (TypeError, ValueError):
        raise TypeError("%s must be an array of numbers" % name) from None
    if array.ndim != 1:
        raise ValueError("%s must be a one-dimensional array" % name)
    return array.tolist()


def zfcfc(p, T=None, ha=None, model="continuum", tol=1e-10, threads=0):
    """ZFC and FC moments (emu) at T (K; the program's temperatures when None)
    in the field ha (Oe; p.ha when None), with the nine partial integrals of
    each point before the factor Norm_coeff."""
    if ha is not None:
        p = p.replace(ha=ha)
    if T is None:
        T = _preisach.temperature_schedule(p.T_max)
    out = _preisach.zfcfc(p._record, _floats("T", T), model, _number("tol", tol), int(threads))
    result = Result(T=out["T"], zfc=out["zfc"], fc=out["fc"], integrals=out["integrals"])
    for k, name in enumerate(_INTEGRALS):
        result[name] = out["integrals"][:, k]
    return result


def loop(p, H=None, T=None, model="continuum", tol=1e-10):
    """The loop at T (K; p.T_hyst when None): the descending branch at the
    fields H (Oe), then the ascending one at -H reversed; the program's
    fields when H is None. branch: -1 descending, +1 ascending."""
    if T is not None:
        # Checked before the record is changed: a reader takes T_hyst >= Tc
        # as Tc - 10 and would compute another loop.
        _preisach.check_temperatures([_number("T", T)], p.Tc)
        p = p.replace(T_hyst=T)
    if H is None:
        down = _preisach.field_schedule(p.Ha_max, True)
        up = _preisach.field_schedule(p.Ha_max, False)
    else:
        down = _floats("H", H)
        up = [-h for h in reversed(down)]
    return Result(_preisach.loop(p._record, _floats("down", down), _floats("up", up), model, _number("tol", tol)))


def history(p, fields, model="continuum", tol=1e-10):
    """The moment along a field history (Oe) at T_hyst from positive saturation."""
    return Result(_preisach.history(p._record, _floats("fields", fields), model, _number("tol", tol)))


def forc(p, step, model="continuum", tol=1e-10):
    """First-order reversal curves of the model at T_hyst, Hr from +Ha_max down
    in steps of `step` (Oe): a list of dicts Hr, H, M, calibration_field,
    calibration_moment."""
    return [Result(c) for c in _preisach.forc(p._record, float(step), model, _number("tol", tol))]


def _smoothing(sf):
    """SF as the lab takes it: a whole number from 1 to 20."""
    try:
        whole = operator.index(sf) if not isinstance(sf, float) else (int(sf) if sf.is_integer() else None)
    except TypeError:
        raise TypeError("the smoothing factor SF must be a whole number, not %s" % type(sf).__name__) from None
    if whole is None or not 1 <= whole <= 20:
        raise ValueError("the smoothing factor SF must be between 1 and 20")
    return whole


def forc_distribution(curves, sf=3):
    """The FORC distribution rho = -1/2 d2M/dHr dH by local quadratic fits over
    (2 sf + 1)^2 points, on a grid: Hc (columns), Hu (rows) and rho, a 2-D
    array (NaN where no value), indexed rho[Hu, Hc]."""
    if isinstance(curves, dict) and "curves" in curves:
        curves = curves["curves"]
    if not all(isinstance(c, dict) and "H" in c and "M" in c for c in curves):
        raise TypeError("forc_distribution takes FORCs: a list of curves each with H and M (a forc() or "
                        "read_measured(kind='forc') result)")
    plain = [{"H": _floats("H", c["H"]), "M": _floats("M", c["M"]),
              "calibration_field": float(c.get("calibration_field", 0.0)),
              "calibration_moment": float(c.get("calibration_moment", 0.0))} for c in curves]
    blocks = _preisach.forc_distribution(plain, _smoothing(sf))
    if not blocks:
        raise ValueError("the curves hold no point with a full neighbourhood")
    Hc = np.array([b[0][0] for b in blocks])
    all_hu = np.concatenate([b[1] for b in blocks])
    Hu = np.unique(np.round(all_hu, 9))
    rho = np.full((Hu.size, Hc.size), np.nan)
    for j, (_, hu, values) in enumerate(blocks):
        rho[np.searchsorted(Hu, np.round(hu, 9)), j] = values
    return Result(Hc=Hc, Hu=Hu, rho=rho, blocks=blocks)
