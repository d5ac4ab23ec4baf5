"""Pictures of curves, fits and FORC diagrams on matplotlib axes."""

import numpy as np


def zfcfc(ax, result, data=None, label="model"):
    """ZFC and FC against T: the model's lines and, where given, the measured
    points (a read_measured result of kind zfcfc)."""
    ax.plot(result["T"], result["zfc"], "-", color="C0", label="ZFC " + label)
    ax.plot(result["T"], result["fc"], "-", color="C1", label="FC " + label)
    if data is not None:
        for key, colour in (("zfc", "C0"), ("fc", "C1")):
            curve = data[key]
            ax.errorbar(curve["x"], curve["M"], yerr=curve.get("error"), fmt="o", ms=3, color=colour,
                        mfc="none", label=key.upper() + " measured")
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
    Hc, Hu, rho = diagram["Hc"], diagram["Hu"], np.ma.masked_invalid(diagram["rho"])
    largest = float(np.nanmax(np.abs(diagram["rho"]))) or 1.0
    mesh = ax.pcolormesh(Hc, Hu, rho, cmap=cmap, vmin=-largest, vmax=largest, shading="nearest")
    ax.set_xlim(0.0, float(np.max(Hc)))
    ax.set_aspect("equal")
    ax.set_xlabel("Hc (Oe)")
    ax.set_ylabel("Hu (Oe)")
    if colorbar:
        ax.figure.colorbar(mesh, ax=ax, label="rho (emu/Oe^2)")
    return mesh
