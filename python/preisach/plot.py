"""Pictures of curves, fits and FORC diagrams on matplotlib axes."""

import numpy as np


def zfcfc(ax, result, data=None, label="model"):
    """ZFC and FC against T: the model's lines and, where given, the measured
    points (a read_measured result of kind zfcfc)."""
    # The model's lines above the data: thin, pale error bars drawn beneath
    # never hide them, however dense the points.
    ax.plot(result["T"], result["zfc"], "-", color="C0", label="ZFC " + label, zorder=3)
    ax.plot(result["T"], result["fc"], "-", color="C1", label="FC " + label, zorder=3)
    if data is not None:
        for key, colour in (("zfc", "C0"), ("fc", "C1")):
            curve = data[key]
            ax.errorbar(curve["x"], curve["M"], yerr=curve.get("error"), fmt="o", ms=3, color=colour,
                        mfc="none", elinewidth=0.5, alpha=0.5, zorder=1, label=key.upper() + " measured")
    ax.set_xlabel("T (K)")
    ax.set_ylabel("M (emu)")
    ax.legend()
    return ax


def loop(ax, result, data=None, label="model"):
    """M against H: the model's loop (a loop() result) and measured points."""
    ax.plot(result["H"], result["M"], "-", color="C0", label=label)
    if data is not None:
        ax.plot(data["x"], data["M"], "o", ms=3, mfc="none", color="C3", label="measured")
    ax.axhline(0.0, color="0.7", lw=0.5)
    ax.axvline(0.0, color="0.7", lw=0.5)
    ax.set_xlabel("H (Oe)")
    ax.set_ylabel("M (emu)")
    ax.legend()
    return ax


def forc(ax, diagram, levels=41, cmap="RdBu_r", colorbar=True):
    """The FORC diagram: Hc from 0 horizontal, Hu vertical, equal scales on
    both axes, colours centred on zero (red positive, blue negative)."""
    # The distribution lives on a rotated lattice (each block of constant Hc
    # holds every other Hu): drawn on a triangulation of its own points, not
    # on the rectangular grid, three quarters of which it leaves empty.
    import matplotlib.tri as mtri
    blocks = diagram["blocks"]
    hc = np.concatenate([np.full(len(hu), h) for h, hu, _ in blocks])
    hu = np.concatenate([np.asarray(u, float) for _, u, _ in blocks])
    rho = np.concatenate([np.asarray(v, float) for _, _, v in blocks])
    keep = np.isfinite(rho)
    hc, hu, rho = hc[keep], hu[keep], rho[keep]
    triangulation = mtri.Triangulation(hc, hu)
    # Triangles across the lattice's concave edges (longer than a few steps) are not part of it.
    step = np.min(np.diff(np.unique(hc))) if np.unique(hc).size > 1 else 1.0
    corners = np.stack([hc[triangulation.triangles], hu[triangulation.triangles]], axis=-1)
    longest = np.max(np.linalg.norm(corners - np.roll(corners, 1, axis=1), axis=-1), axis=1)
    triangulation.set_mask(longest > 4.0 * step)
    largest = float(np.max(np.abs(rho))) or 1.0
    mesh = ax.tripcolor(triangulation, rho, cmap=cmap, vmin=-largest, vmax=largest, shading="gouraud")
    ax.set_xlim(0.0, float(np.max(hc)))
    ax.set_aspect("equal")
    ax.set_xlabel("Hc (Oe)")
    ax.set_ylabel("Hu (Oe)")
    if colorbar:
        ax.figure.colorbar(mesh, ax=ax, label="rho (emu/Oe^2)")
    return mesh
