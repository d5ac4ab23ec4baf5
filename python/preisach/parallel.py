"""Work over parameter sets on Dask's distributed scheduler.

Every task is a pure function of its arguments (the parameter record as
text, the chunk's values, the data), so a task lost with its worker is
simply run again, and the result depends neither on the cluster nor on the
order in which tasks finish: the chunks are fixed by the grid alone and put
back in their order."""

import contextlib
import itertools

import numpy as np

from .curves import zfcfc
from .fitting import chi_square, FitResult, free_text
from .measured import datasets
from .parameters import Parameters

# Parameter sets per task: about half a second of work for the default file's
# continuum ZFC/FC curves on one core.
DEFAULT_CHUNK = 256


def _script_without_main_guard():
    """Whether the program is a script file with no 'if __name__ ==
    "__main__":' block: Dask's worker processes are spawned, import that
    script again and, without the guard, start a cluster of their own in each
    worker, for ever."""
    import ast
    import sys
    main = sys.modules.get("__main__")
    path = getattr(main, "__file__", None)
    if path is None or hasattr(sys, "ps1") or not str(path).endswith(".py"):
        return False  # an interactive session or a notebook: nothing is imported again
    try:
        with open(path, encoding="utf-8") as source:
            tree = ast.parse(source.read())
    except (OSError, SyntaxError, ValueError):
        return False
    for node in tree.body:
        if isinstance(node, ast.If) and isinstance(node.test, ast.Compare) and "__name__" in ast.dump(node.test) \
                and "__main__" in ast.dump(node.test):
            return False
    return True


@contextlib.contextmanager
def _client(client, workers=None):
    """The client given, or a LocalCluster of worker processes (one thread
    each) for the duration of the call."""
    if client is not None and client != "local":
        yield client
        return
    import multiprocessing
    if _script_without_main_guard() or multiprocessing.parent_process() is not None:
        # A worker process started by spawn imports the user's script again;
        # a script without a main guard would start a cluster in every worker,
        # and those workers restart for ever.
        raise RuntimeError("preisach: a LocalCluster is being started inside a worker process: a script that "
                           "scans, fits or samples on Dask must run them under 'if __name__ == \"__main__\":'")
    from dask.distributed import Client, LocalCluster
    # On the loopback only, the dashboard (which would listen on every
    # interface at 8787) off.
    cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                           dashboard_address=None, host="127.0.0.1", scheduler_kwargs={"dashboard": False})
    try:
        with Client(cluster) as local:
            yield local
    finally:
        cluster.close()


def _gather(client, futures, progress, what):
    """The results of the futures in their order, with a progress bar."""
    from dask.distributed import as_completed
    from tqdm import tqdm
    with tqdm(total=len(futures), desc=what, disable=not progress) as bar:
        for _ in as_completed(futures):
            bar.update(1)
    return client.gather(futures)


def _scan_task(record_text, names, rows, data, model, tol):
    """One chunk: the curves (data None) or chi-square of each row."""
    p0 = Parameters.from_text(record_text)
    out = []
    for row in rows:
        p = p0.replace(**dict(zip(names, row)))
        if data is None:
            c = zfcfc(p, model=model, tol=tol, threads=1)
            out.append((c["zfc"], c["fc"]))
        else:
            out.append(chi_square(p, data, model=model, tol=tol))
    return out


# The most parameter sets one scan evaluates: with the default file's
# continuum curves about a day of one core's work, and curves of 10^7
# numbers; a larger grid is refused before any work.
MOST_SCAN_SETS = 10 ** 6


def _scan_axes(p, grid, data):
    """The names and axes of a scan, each value checked as replace() checks
    it, the number of sets bounded, all before any work."""
    names = list(grid)
    if not names:
        raise ValueError("the grid names no parameter")
    axes = [np.asarray(grid[n], dtype=float).ravel() for n in names]
    sets = 1
    for name, axis in zip(names, axes):
        if axis.size == 0:
            raise ValueError("the grid's values of %s are empty" % name)
        sets *= axis.size
    if sets > MOST_SCAN_SETS:
        raise ValueError("the grid holds %d parameter sets, more than the %d of one scan; scan a coarser grid or "
                         "in parts" % (sets, MOST_SCAN_SETS))
    if data is None and "T_max" in names and np.unique(axes[names.index("T_max")]).size > 1:
        raise ValueError("a scan of the ZFC/FC curves over T_max would give each set its own temperatures; scan "
                         "the chi-square against data, or call zfcfc for each T_max")
    for name, axis in zip(names, axes):
        for value in axis:
            p.replace(**{name: value})
    # Combinations: each corner of the grid (the temperatures' order
    # against Tc is decided there).
    for corner in itertools.product(*[(a.min(), a.max()) for a in axes]):
        p.replace(**dict(zip(names, corner)))
    return names, axes


def _chunks(axes, chunk):
    """The Cartesian product in its order, `chunk` rows at a time, made as
    they are sent rather than all at once."""
    rows = itertools.product(*axes)
    while True:
        part = [tuple(float(v) for v in row) for row in itertools.islice(rows, chunk)]
        if not part:
            return
        yield part


def scan(p, grid, data=None, client=None, model="continuum", tol=1e-10, chunk=DEFAULT_CHUNK, workers=None,
         progress=True):
    """Evaluates the model over the Cartesian product of the `grid`
    ({name: values}, in the order given): without data the ZFC/FC curves at
    the program's temperatures (zfc and fc of shape grid + (temperatures,)),
    with data the chi-square of each set (shape grid). The work goes out in
    chunks of `chunk` sets to the client's cluster, or to a LocalCluster
    when client is None. Every value is checked as replace() checks it, and
    at most MOST_SCAN_SETS sets are taken, before any work; a curve scan
    over several T_max is refused (each would have its own temperatures)."""
    if isinstance(chunk, bool) or not isinstance(chunk, (int, np.integer)) or chunk < 1:
        raise ValueError("chunk must be a whole number of parameter sets, at least 1, not %r" % (chunk,))
    if not isinstance(grid, dict):
        raise TypeError("grid must be a dict of {name: values}, not %s" % type(grid).__name__)
    if workers is not None and (isinstance(workers, bool) or not isinstance(workers, (int, np.integer))
                                or workers < 1):
        raise ValueError("workers must be a whole number of worker processes, at least 1, not %r" % (workers,))
    if model not in ("continuum", "grid"):
        raise ValueError('model: "%s" is neither continuum nor grid' % model)
    names, axes = _scan_axes(p, grid, data)
    shape = tuple(a.size for a in axes)
    if data is not None:
        data = datasets(data, p)
    with _client(client, workers) as c:
        futures = [c.submit(_scan_task, p.to_text(), names, part, data, model, tol, pure=True)
                   for part in _chunks(axes, int(chunk))]
        parts = _gather(c, futures, progress, "scan")
    values = [v for part in parts for v in part]
    out = {"names": names, "axes": dict(zip(names, axes))}
    if data is None:
        first = p.replace(**{n: a[0] for n, a in zip(names, axes)})
        out["T"] = zfcfc(first, model=model, tol=tol)["T"]
        out["zfc"] = np.array([v[0] for v in values]).reshape(shape + (-1,))
        out["fc"] = np.array([v[1] for v in values]).reshape(shape + (-1,))
    else:
        out["chisqr"] = np.array(values).reshape(shape)
    return out


def _fit_task(record_text, data, free, model, tol, given_start, extras):
    from . import _preisach
    from .measured import plain
    p = Parameters.from_text(record_text)
    return _preisach.fit(p._record, plain(data), free, model, tol, 1, given_start, **extras)


def _latin_hypercube(bounds, n, seed):
    rng = np.random.default_rng(seed)
    points = np.empty((n, len(bounds)))
    for j, (lo, hi) in enumerate(bounds):
        points[:, j] = lo + (hi - lo) * (rng.permutation(n) + rng.random(n)) / n
    return points


def fit_starts(p, data, free, model, tol, starts, given_start, client, seed=0, extras=None):
    """The fit from `starts` starting points as tasks: the first the lab's
    (from the data, or the file's with given_start), the others a Latin
    hypercube over the bounds (seeded: the same on any cluster). The best
    chi-square wins; minima lists every start's end."""
    if not isinstance(free, dict) or any(b is None for b in free.values()):
        raise ValueError("a fit with starts on a cluster needs bounds for every free parameter")
    text = free_text(free)
    points = _latin_hypercube(list(free.values()), starts - 1, seed)
    jobs = [(p.to_text(), given_start)]
    jobs += [(p.replace(**dict(zip(free, row))).to_text(), True) for row in points]
    with _client(client) as c:
        futures = [c.submit(_fit_task, record, data, text, model, tol, given, extras or {}, pure=True)
                   for record, given in jobs]
        raws = _gather(c, futures, True, "fit starts")
    best = min(range(len(raws)), key=lambda k: (raws[k]["chisqr"], k))
    result = FitResult(raws[best], data)
    result.minima = sorted(({"chisqr": r["chisqr"], "values": dict(zip(r["names"], r["values"])), "start": k}
                            for k, r in enumerate(raws)), key=lambda m: (m["chisqr"], m["start"]))
    return result


class _DaskPool:
    """The map emcee asks of a pool, on a Dask client, walkers in chunks."""

    def __init__(self, client, chunk):
        self.client = client
        self.chunk = chunk

    def map(self, function, positions):
        positions = list(positions)
        parts = [positions[i:i + self.chunk] for i in range(0, len(positions), self.chunk)]
        futures = [self.client.submit(_map_chunk, function, part, pure=True) for part in parts]
        return [v for part in self.client.gather(futures) for v in part]


def _map_chunk(function, part):
    return [function(x) for x in part]


class LogProbability:
    """log p = -chi-square / 2 inside the bounds, -inf outside: a flat prior."""

    def __init__(self, p, data, free, model, tol):
        self.text = p.to_text()
        self.data = data
        self.names = list(free)
        self.bounds = np.array([free[n] for n in self.names], float)
        self.model = model
        self.tol = tol

    def __call__(self, x):
        x = np.asarray(x, float)
        if np.any(x <= self.bounds[:, 0]) or np.any(x >= self.bounds[:, 1]):
            return -np.inf
        try:
            p = Parameters.from_text(self.text).replace(**dict(zip(self.names, x)))
            return -0.5 * chi_square(p, self.data, self.model, self.tol)
        except ValueError:
            return -np.inf


def sample(p, data, free, walkers=16, steps=100, client=None, model="continuum", tol=1e-10, seed=0, spread=1e-3,
           chunk=4, progress=True):
    """A posterior of the free parameters ({name: (lo, hi)}, flat prior) by
    emcee's affine-invariant ensemble, started in a small ball (relative
    `spread`) around p's values; log-probabilities go out as tasks in chunks
    of `chunk` walkers. Seeded: the same chain on any cluster. Returns the
    emcee sampler."""
    import emcee
    data = datasets(data, p)
    names = list(free)
    centre = np.array([getattr(p, n) for n in names], float)
    rng = np.random.default_rng(seed)
    start = centre * (1.0 + spread * rng.standard_normal((walkers, len(names))))
    log_prob = LogProbability(p, data, free, model, tol)
    with _client(client) as c:
        sampler = emcee.EnsembleSampler(walkers, len(names), log_prob, pool=_DaskPool(c, chunk))
        sampler.random_state = np.random.RandomState(seed).get_state()
        sampler.run_mcmc(start, steps, progress=progress)
    sampler.pool = None
    sampler.names = names
    return sampler
