"""preisach: the Preisach model of fine magnetic particle ensembles.

ZFC/FC curves, hysteresis loops, field histories and first-order reversal
curves of the model on either evaluator (the program's grid, bit for bit,
or the continuum limit), the readers of measured files, the least-squares
fit of preisach-lab, and parameter scans and posteriors on Dask.
Units CGS: K, Oe, emu."""

from ._preisach import __version__
from .curves import forc, forc_distribution, history, loop, zfcfc
from .explore import Explorer, explore
from .fitting import FitResult, chi_square, fit, model_at, model_function
from .measured import dataset, datasets, read_measured, read_measurements
from .parallel import sample, scan
from .parameters import FITTABLE, NAMES, UNITS, Parameters

__all__ = ["__version__", "Parameters", "NAMES", "UNITS", "FITTABLE", "zfcfc", "loop", "history", "forc",
           "forc_distribution", "read_measured", "read_measurements", "dataset", "datasets", "fit", "FitResult", "model_at",
           "chi_square", "model_function", "scan", "sample", "explore", "Explorer"]
