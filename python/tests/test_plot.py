"""The pictures: what the axes show, on matplotlib's Agg backend."""

import matplotlib

matplotlib.use("Agg")

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import preisach  # noqa: E402
import preisach.plot  # noqa: E402
from conftest import SOURCE  # noqa: E402


def test_the_forc_diagram_has_hc_from_zero_equal_scales_and_colours_centred_on_zero():
    p = preisach.Parameters().replace(sigmac0=100, sigmai0=100, T_hyst=5)
    d = preisach.forc_distribution(preisach.forc(p, step=100), sf=2)
    fig, ax = plt.subplots()
    mesh = preisach.plot.forc(ax, d)
    assert ax.get_xlim()[0] == 0.0 and ax.get_xlabel() == "Hc (Oe)" and ax.get_ylabel() == "Hu (Oe)"
    assert ax.get_aspect() == 1.0
    low, high = mesh.get_clim()
    assert low == -high and high == np.nanmax(np.abs(d.rho))
    # Drawn on the distribution's own (rotated) lattice: every value once,
    # none of the rectangular grid's empty cells, no triangle left out inside it.
    assert np.asarray(mesh.get_array()).size == np.count_nonzero(np.isfinite(d.rho))
    assert np.count_nonzero(mesh.get_array() != 0) > 0
    assert np.count_nonzero(np.isnan(d.rho)) > d.rho.size // 2  # the grid is mostly empty
    plt.close(fig)


def test_error_bars_lie_beneath_the_model_lines():
    data = preisach.read_measured(SOURCE / "examples" / "fitting" / "zfcfc.dat")
    fig, ax = plt.subplots()
    preisach.plot.zfcfc(ax, preisach.zfcfc(preisach.Parameters()), data=data)
    model = [line.get_zorder() for line in ax.lines if line.get_label().endswith("model")]
    bars = [c.get_zorder() for c in ax.collections]
    assert model and bars and min(model) > max(bars)
    plt.close(fig)


def test_the_curves_and_the_data_are_drawn(tmp_path):
    data = preisach.read_measured(SOURCE / "examples" / "fitting" / "zfcfc.dat")
    p = preisach.Parameters()
    fig, (a, b) = plt.subplots(1, 2)
    preisach.plot.zfcfc(a, preisach.zfcfc(p), data=data)
    preisach.plot.loop(b, preisach.loop(p))
    # Two model lines, two measured curves with error bars.
    assert len(a.lines) >= 4 and a.get_xlabel() == "T (K)"
    np.testing.assert_array_equal(b.lines[0].get_xdata(), preisach.loop(p).H)
    fig.savefig(tmp_path / "curves.png")
    assert (tmp_path / "curves.png").stat().st_size > 10000
    plt.close(fig)
