"""Measured curves: the lab's readers, and the datasets a fit takes."""

import numpy as np

from . import _preisach
from .curves import Result


def _is_pmc(path):
    # Read by the readers' own check: a folder, a device or a FIFO is refused
    # before it is opened (opening a FIFO waits for a writer for ever).
    head = _preisach.file_head(path)
    return b"MicroMag" in head or b"NCrv" in head


def read_measurements(path):
    """Every measurement of a file that records a measurement sequence (a
    magnetometer file), as preisach-lab read lists them: a list of results
    with kind "zfc", "fc", "sweep" (a temperature sweep of unnamed kind),
    "loop" or "virgin", x (T in K or H in Oe), M and error in emu, the
    field (Oe) or temperature (K) it was measured at, and a description.
    An empty list for a file of plain columns, which holds one curve."""
    return [_lab_dataset(m) for m in _preisach.read_measurements(str(path))]


def _one_measurement(path):
    """The one ZFC/FC pair or loop of a sequence file, read as its kind."""
    measurements = _preisach.read_measurements(path)
    kinds = sorted(m["kind"] for m in measurements if m["kind"] != "virgin")
    if kinds == ["fc", "zfc"]:
        return read_measured(path, "zfcfc")
    if kinds == ["loop"]:
        return Result(_lab_dataset(_preisach.sequence_datasets("loop", path)[0]), kind="loop",
                      report=measurements[-1]["report"])
    raise ValueError("%s holds %d measurements (%s): read them with read_measurements(path), or fit them with "
                     "(kind, path[, field or temperature]) as the lab's options take them"
                     % (path, len(measurements), "; ".join(m["description"] for m in measurements)))


def read_measured(path, kind=None):
    """A measured file read as preisach-lab reads it: kind "zfcfc" (plain
    columns T, M_ZFC, M_FC or a magnetometer file), "zfc"/"fc" (one curve),
    "loop" (H, M) or "forc" (a PMC file). Without a kind: a PMC file is
    read as FORCs; a magnetometer file that holds one ZFC/FC pair or one
    loop as that, and one that holds more is refused with its list (see
    read_measurements); plain columns as ZFC/FC when they are, else as a
    loop, the result's report saying so. The result's `report` holds the
    format, the units found and the columns taken. A file refused raises
    ValueError with the reader's message."""
    path = str(path)
    if kind is None:
        if _is_pmc(path):
            kind = "forc"
        elif _preisach.read_measurements(path):
            return _one_measurement(path)
        else:
            try:
                result = read_measured(path, "zfcfc")
                why = "no kind given: read as ZFC/FC (columns T, M_ZFC, M_FC)"
            except ValueError as zfcfc_error:
                try:
                    result = read_measured(path, "loop")
                except ValueError:
                    raise zfcfc_error from None
                why = "no kind given: read as a loop (not ZFC/FC: %s)" % zfcfc_error
            result["report"] = dict(result["report"], notes=list(result["report"]["notes"]) + [why])
            return result
    if kind == "zfcfc":
        d = _preisach.read_zfcfc(path)
        return Result(kind="zfcfc", zfc=Result(d["zfc"]), fc=Result(d["fc"]), field=d["field"], report=d["report"],
                      file=path)
    if kind in ("zfc", "fc"):
        return Result(_preisach.read_curve(path), kind=kind)
    if kind == "loop":
        return Result(_preisach.read_loop(path), kind="loop")
    if kind == "forc":
        d = _preisach.read_pmc(path)
        return Result(kind="forc", curves=[Result(c) for c in d["curves"]], report=d["report"], file=path)
    raise ValueError('kind must be zfcfc, zfc, fc, loop or forc, not "%s"' % kind)


def dataset(kind, x, M, error=None, field=None, temperature=None, descending=None, name=None):
    """A curve for the fit: kind "zfc" or "fc" (x = T in K, in the field
    `field` in Oe) or "loop" (x = H in Oe at `temperature` K; `descending`
    per point, else from the direction of the field steps)."""
    x = np.asarray(x, dtype=float)
    M = np.asarray(M, dtype=float)
    if x.shape != M.shape or x.ndim != 1:
        raise ValueError("x and M must be one-dimensional arrays of the same length, not %s and %s"
                         % (x.shape, M.shape))
    if error is not None:
        error = np.asarray(error, dtype=float)
        if error.shape != x.shape:
            raise ValueError("error must have the length of x")
    if kind == "loop" and descending is None:
        steps = np.diff(x)
        descending = np.concatenate([steps[:1], steps]) < 0 if x.size > 1 else np.ones(x.size, bool)
    return Result(kind=kind, name=name or ("loop" if kind == "loop" else kind.upper()), x=x, M=M,
                  error=error, field=field, temperature=temperature,
                  descending=None if descending is None else np.asarray(descending, bool))


def datasets(data, p):
    """The fit's datasets from measured files (read_measured results), paths
    and dataset() dicts: a ZFC/FC file gives its two curves; the field of a
    ZFC/FC curve is its own, else the file's mean field, else p.ha; the
    temperature of a loop its own, else the file's, else p.T_hyst. A loop's
    fields within 0.1 % beyond +-Ha_max are taken as +-Ha_max, as the lab does."""
    if isinstance(data, (dict, str, tuple)) or hasattr(data, "__fspath__"):
        data = [data]
    out = []
    for item in data:
        if isinstance(item, tuple):
            out.extend(_option_datasets(*item))
            continue
        if isinstance(item, str) or hasattr(item, "__fspath__"):
            found = _sequence(str(item))
            if found is not None:
                out.extend(found)
                continue
            item = read_measured(item)
        kind = item["kind"]
        if kind == "zfcfc":
            for sub, k in ((item["zfc"], "zfc"), (item["fc"], "fc")):
                out.append(_from_file(dataset(k, sub["x"], sub["M"], sub["error"], field=item["field"]),
                                      sub["file"], "field", sub.get("report")))
        elif kind in ("zfc", "fc") and "line" in item:
            out.append(_from_file(dataset(kind, item["x"], item["M"], item["error"], field=item["field"]),
                                  item["file"], "field", item.get("report")))
        elif kind == "loop" and "line" in item:
            out.append(_from_file(dataset("loop", item["x"], item["M"], item["error"],
                                          temperature=item["temperature"], descending=item["descending"]),
                                  item["file"], "temperature", item.get("report")))
        elif kind in ("zfc", "fc", "loop"):
            out.append(Result(item))
        else:
            raise ValueError("a fit takes ZFC/FC curves and loops, not %s" % kind)
    return _complete(out, p)


def _lab_dataset(d):
    """A dataset dict of the lab's, its branches as a numpy array."""
    d = Result(d)
    if d.get("descending") is not None:
        d["descending"] = np.asarray(d["descending"], bool)
    return d


def _option_datasets(kind, path, at=None):
    """(kind, path) or (kind, path, field or temperature): what the lab's
    --zfcfc, --zfc, --fc or --loop option takes from the file."""
    if kind not in ("zfcfc", "zfc", "fc", "loop"):
        raise ValueError('a data tuple starts with zfcfc, zfc, fc or loop, not "%s"' % kind)
    found = _preisach.sequence_datasets(kind, str(path), at)
    if found is not None:
        return [_lab_dataset(d) for d in found]
    if kind == "zfcfc":
        item = read_measured(path, "zfcfc")
        field = item["field"] if at is None else at
        return [_from_file(dataset(k, sub["x"], sub["M"], sub["error"], field=field), sub["file"], "field",
                           sub.get("report")) for sub, k in ((item["zfc"], "zfc"), (item["fc"], "fc"))]
    item = read_measured(path, kind)
    if kind == "loop":
        return [_from_file(dataset("loop", item["x"], item["M"], item["error"],
                                   temperature=item["temperature"] if at is None else at,
                                   descending=item["descending"]), item["file"], "temperature", item.get("report"))]
    return [_from_file(dataset(kind, item["x"], item["M"], item["error"], field=item["field"] if at is None else at),
                       item["file"], "field", item.get("report"))]


def _sequence(path):
    """The datasets of a sequence file given without a kind: its ZFC/FC
    pairs, then its loops, as --zfcfc and --loop take them; None for plain
    columns. A file of temperature sweeps of unnamed kind is refused with
    the way to name them."""
    measurements = _preisach.read_measurements(path)
    if not measurements:
        return None
    kinds = {m["kind"] for m in measurements}
    out = []
    if kinds & {"zfc", "fc"}:
        out += [_lab_dataset(d) for d in _preisach.sequence_datasets("zfcfc", path)]
    if "loop" in kinds:
        out += [_lab_dataset(d) for d in _preisach.sequence_datasets("loop", path)]
    if not out:
        raise ValueError("%s holds %s: give it as (\"zfc\", path) or (\"fc\", path), as the lab's --zfc or --fc"
                         % (path, ", ".join(m["description"] for m in measurements)))
    return out


def _from_file(d, path, condition, report=None):
    """A dataset read from a file: its file, how the file was read, and
    whether the file gave its field (temperature of a loop)."""
    d["file"] = path
    d["report"] = report
    if d.get(condition) is not None:
        d["condition"] = "the mean of the file's %s column" % condition
    return d


def _complete(out, p):
    counts = {}
    final = []
    for d in out:
        d = Result(d)
        if d["kind"] == "loop":
            if d.get("temperature") is None:
                d["temperature"], d["condition"] = p.T_hyst, "T_hyst of the parameter file"
            H = float(p.Ha_max)
            x = np.asarray(d["x"], float)
            outside = np.abs(x) > H * (1.0 + 1e-3)
            if outside.any():
                raise ValueError("the field %g Oe lies outside the loop's range +-Ha_max = %g Oe"
                                 % (x[outside][0], H))
            d["x"] = np.clip(x, -H, H)
        elif d.get("field") is None:
            d["field"], d["condition"] = p.ha, "ha of the parameter file"
        d.setdefault("condition", "given")
        counts[d["kind"]] = counts.get(d["kind"], 0) + 1
        base = {"zfc": "ZFC", "fc": "FC", "loop": "loop"}[d["kind"]]
        d["name"] = base if counts[d["kind"]] == 1 else "%s-%d" % (base, counts[d["kind"]])
        final.append(d)
    return final


def sigma(d):
    """The standard error of each point: the file's, else 1 % of the largest
    moment (the lab's uniform weight)."""
    if d.get("error") is not None:
        return np.asarray(d["error"], float)
    return np.full(len(d["M"]), 0.01 * np.max(np.abs(d["M"])))


def plain(datasets_):
    """The datasets as the compiled module takes them."""
    out = []
    for d in datasets_:
        item = {"kind": d["kind"], "name": d["name"], "x": np.asarray(d["x"], float).tolist(),
                "M": np.asarray(d["M"], float).tolist(),
                "error": None if d.get("error") is None else np.asarray(d["error"], float).tolist()}
        for key in ("file", "condition"):
            if d.get(key) is not None:
                item[key] = str(d[key])
        if d.get("report") is not None:
            item["report"] = dict(d["report"])
        if d["kind"] == "loop":
            item["temperature"] = float(d["temperature"])
            item["descending"] = [bool(b) for b in d["descending"]]
        else:
            item["field"] = float(d["field"])
        out.append(item)
    return out
