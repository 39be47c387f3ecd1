"""`vexil plot`: the fragmentation spectrum and the restriction table as figures."""

from __future__ import annotations

from ..function import BooleanFunction


class PlotUnavailable(RuntimeError):
    """matplotlib is not installed."""


def _pyplot():
    try:
        import matplotlib  # type: ignore[import-not-found, unused-ignore]

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt  # type: ignore[import-not-found, unused-ignore]
    except ImportError:
        raise PlotUnavailable("plotting needs matplotlib: pip install 'vexil[plot]' (or pip install matplotlib)") from None
    return plt


def spectrum(label: str, f: BooleanFunction, output: str) -> None:
    plt = _pyplot()
    values = f.fragmentation_spectrum()
    delta = f.fragmentation_delta()
    delta2 = f.fragmentation_delta2()
    peak_k, peak_value = f.fragmentation_peak()
    figure, axis = plt.subplots(figsize=(7, 4.5), constrained_layout=True)
    ks = list(range(len(values)))
    axis.plot(ks, values, marker="o", label="spectrum: mean entropy of k-variable restrictions")
    if delta:
        axis.plot([k + 0.5 for k in range(len(delta))], delta, marker="s", linestyle="--", label="first difference")
    if delta2:
        axis.plot([k + 1 for k in range(len(delta2))], delta2, marker="^", linestyle=":", label="second difference")
    axis.axhline(0, color="0.7", linewidth=0.8)
    axis.annotate(f"peak k={peak_k}", (peak_k, peak_value), textcoords="offset points", xytext=(6, -16))
    axis.set_xlabel("k, number of fixed variables")
    axis.set_ylabel("entropy (bits)")
    axis.set_title(f"Fragmentation spectrum of {label} ({f.n} variables)")
    axis.set_xticks(ks)
    axis.legend(loc="best", fontsize="small")
    figure.savefig(output, dpi=120)
    plt.close(figure)


def table(label: str, f: BooleanFunction, variables: list[int], output: str) -> None:
    plt = _pyplot()
    # The layout of vexil.Vexil.table: restrictions by the fixed variables, one after another.
    array = f.to_vexil().table(variables)
    fixed = ",".join(map(str, sorted(variables))) or "none"
    figure, axis = plt.subplots(figsize=(7, 5), constrained_layout=True)
    axis.imshow(array, cmap="Greys", interpolation="nearest", aspect="auto")
    if 2 * len(variables) == f.n:
        # Balanced cut: rows are the assignments of the fixed variables, columns those of the rest.
        axis.set_ylabel(f"assignment of variables {fixed}")
        axis.set_xlabel("assignment of the other variables")
    else:
        axis.set_ylabel(f"row ({array.shape[0]})")
        axis.set_xlabel(f"column ({array.shape[1]}): restrictions by variables {fixed}, read in rows")
    axis.set_title(f"Restriction table of {label} by variables {fixed} (black = true)")
    figure.savefig(output, dpi=120)
    plt.close(figure)
