"""The page of preisach-lab explore from Python: the same server, in this
process, on the record and data given; shown inline in a notebook."""

import html
import os

from . import _preisach
from .measured import datasets, plain


class Explorer:
    """A running explore server: its address (with the token) in `url`,
    stop() ends it (so does leaving a with block). In a notebook the object
    shows the page in a frame of `height` pixels."""

    def __init__(self, server, height):
        self._server = server
        self.height = height

    @property
    def url(self):
        return self._server.url

    @property
    def running(self):
        return self._server.running

    def stop(self):
        self._server.stop()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def __repr__(self):
        return f"Explorer({self.url!r}, running={self.running})"

    def _repr_html_(self):
        if not self.running:
            return "<p>preisach explore: stopped</p>"
        return (f'<iframe src="{html.escape(self.url)}" width="100%" height="{int(self.height)}" '
                'style="border: 1px solid #ccc"></iframe>')


def explore(p, data=None, out=None, forc=None, port=0, height=900):
    """Starts the page of preisach-lab explore on the record p and the
    measured data (as fit takes them: files, read_measured results,
    dataset() dicts), on 127.0.0.1 behind a random token. out: the file the
    page's Save writes the record to (none: Save is off); forc: a measured
    FORC file (PMC MicroMag text) whose diagram is drawn beside the model's;
    port: 0 for the first free one from 8765 on. Returns an Explorer; the
    page's address is its url."""
    from .parameters import Parameters
    if not isinstance(p, Parameters):
        raise TypeError(f"p must be a preisach.Parameters record, not {type(p).__name__}")
    for name, path in (("out", out), ("forc", forc)):
        if path is not None and not isinstance(path, (str, os.PathLike)):
            raise TypeError(f"{name} must be a path, not {type(path).__name__}")
    d = [] if data is None else datasets(data, p)
    if isinstance(port, bool) or not isinstance(port, int):
        raise ValueError(f"port must be a whole number, not {port!r}")
    if isinstance(height, bool) or not isinstance(height, (int, float)) or not 100 <= height <= 10000:
        raise ValueError(f"height must be a number of pixels from 100 to 10000, not {height!r}")
    server = _preisach.Explorer(p._record, plain(d), "" if out is None else str(out),
                                "" if forc is None else str(forc), port)
    return Explorer(server, height)
