"""docs/physics.md, its plots and figures.json, from the figures and the plotted series."""

import json
import re
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import edges  # noqa: E402
import scheme  # noqa: E402
import speed  # noqa: E402
import walls  # noqa: E402

TEMPLATE = Path(__file__).with_name("physics.md.in")
KEYS = {"1": 10, "2": 40, "3": 160}


def signed(value, decimals):
    text = f"{value:+.{decimals}f}"
    if float(text) == 0:
        text = f"{0.0:.{decimals}f}"
    return text.replace("-", "−")


def speed_table(f):
    rows = ["| Source | Direction | Cells per wavelength | Measured speed error | "
            "The relation | Difference in uncertainties |", "|---|---|---|---|---|---|"]
    for direction in speed.DIRECTIONS:
        for key, period in speed.SINE_PERIODS.items():
            base = f"speed.sine{key}.{direction}"
            e, u, r = f[base + ".error"], f[base + ".uncertainty"], f[base + ".relation"]
            rows.append(f"| sine '{key}' (period {period}) | {direction} | {KEYS[key]} | "
                        f"{signed(e, 4)} % ± {u:.4f} % | {signed(r, 4)} % | {abs(e - r) / u:.1f} |")
    return "\n".join(rows)


def pulse_table(f):
    rows = ["| Direction | Measured peak speed error | The scheme's exact solution, read alike | "
            "A pulse in the continuum, read alike |", "|---|---|---|---|"]
    for direction in speed.DIRECTIONS:
        base = f"speed.pulse.{direction}"
        rows.append(f"| {direction} | {signed(f[base + '.measured'], 4)} % ± "
                    f"{f[base + '.uncertainty']:.4f} % | {signed(f[base + '.relation'], 4)} % | "
                    f"{signed(f[base + '.continuum'], 4)} % |")
    return "\n".join(rows)


def edge_table(f):
    head = " | ".join(f"{c} cells: measured ± | grid theory" for c in edges.WAVELENGTHS)
    rows = [f"| Angle | First-order theory | {head} |", "|---" * 8 + "|"]
    for name in edges.RIDGES:
        base = f"edge.{name}"
        cells = []
        for c in edges.WAVELENGTHS:
            b = f"{base}.wavelength{c}"
            cells.append(f"{f[b + '.measured']:.4f} ± {f[b + '.uncertainty']:.4f} | "
                         f"{f[b + '.theory']:.4f}")
        rows.append(f"| {f[base + '.angle']:.2f}° | {f[base + '.first_order']:.4f} | "
                    + " | ".join(cells) + " |")
    return "\n".join(rows)


def channel_table(f):
    rows = ["| Sine key | Cells per wavelength | Measured | Grid theory | First-order theory |",
            "|---|---|---|---|---|"]
    for key, cells in KEYS.items():
        base = f"edge.channel{key}"
        rows.append(f"| '{key}' | {cells} | {f[base + '.measured']:.4f} | "
                    f"{f[base + '.theory']:.4f} | 0 |")
    return "\n".join(rows)


def wall_table(f):
    rows = ["| Cells per wavelength | Reflection (magnitude) | Phase |", "|---|---|---|"]
    for c in edges.WAVELENGTHS:
        base = f"wall.wavelength{c}"
        rows.append(f"| {c} | {f[base + '.reflection']:.4f} | "
                    f"{signed(f[base + '.phase'], 2)}° |")
    return "\n".join(rows)


def leak_table(f):
    rows = ["| Tool | Closed (no path across faces) | Cells inside | Energy inside at the end, "
            "per pulse energy | Gained inside |", "|---|---|---|---|---|"]
    for tool in walls.SHAPES:
        base = f"leak.{tool}"
        if not f[base + ".closed"]:
            rows.append(f"| {tool} | no | | | |")
            continue
        rows.append(f"| {tool} | yes | {f[base + '.cells']:.0f} | {f[base + '.energy']:.1e} | "
                    f"{f[base + '.gain']:.1e} |")
    return "\n".join(rows)


def energy_table(f, full):
    spans = [("10k", "10,000")] + ([("", "100,000")] if full else [])
    head = " | ".join(f"{label}: {n} steps" for n in (s[1] for s in spans)
                      for label in ("largest rise", "change"))
    rows = [f"| Box | Energy sum | {head} |", "|---|---|" + "---|" * (2 * len(spans))]
    for name, label in (("box-before", "drawn before the pulse"),
                        ("box-after", "drawn over the moving wave, then split")):
        for kind, sum_name in (("plain", "plain"), ("kept", "the scheme's invariant")):
            cells = []
            for suffix, _ in spans:
                tail = f"_{suffix}" if suffix else ""
                base = f"energy.{name}.{kind}"
                cells += [f"{f[base + '.largest_rise' + tail]:.1e}",
                          f"{f[base + '.change' + tail]:.1e}"]
            rows.append(f"| {label} | {sum_name} | " + " | ".join(cells) + " |")
    return "\n".join(rows)


def plot_dispersion(f, data, folder):
    fig, ax = plt.subplots(figsize=(7, 4.2))
    colours = {"axis": "tab:blue", "diagonal": "tab:orange"}
    for direction, curve in data["curves"].items():
        ax.loglog(data["cells"], -curve["phase"], color=colours[direction],
                  label=f"phase speed, {direction} (relation)")
        ax.loglog(data["cells"], -curve["group"], color=colours[direction], ls="--",
                  label=f"group speed, {direction} (relation)")
        for key, cells in KEYS.items():
            base = f"speed.sine{key}.{direction}"
            value, error = -f[base + ".error"], f[base + ".uncertainty"]
            ax.errorbar(cells, max(value, 1e-5), yerr=[[min(error, value - 1e-5)], [error]],
                        fmt="o", color=colours[direction], capsize=3)
    ax.axhline(1.0, color="grey", lw=0.8)
    ax.set_xlabel("cells per wavelength")
    ax.set_ylabel("speed below 0.5 cells per step (%)")
    ax.set_ylim(1e-4, 30)
    ax.set_title("Wave speed: the relation (lines) and the sine keys measured (dots)")
    ax.legend(fontsize=8)
    ax.grid(True, which="both", lw=0.3)
    fig.tight_layout()
    fig.savefig(folder / "speed.png", dpi=100)
    plt.close(fig)


def plot_edges(f, data, folder):
    fig, ax = plt.subplots(figsize=(7, 4.2))
    theta = np.radians(np.linspace(0, 85, 200))
    ax.plot(np.degrees(theta), scheme.first_order_reflection(theta), color="black",
            label="first-order theory (1 − cos θ)/(1 + cos θ)")
    colours = dict(zip(edges.WAVELENGTHS, ("tab:red", "tab:green", "tab:blue")))
    for cells in edges.WAVELENGTHS:
        w = scheme.SPEED * 2 * np.pi / cells
        ax.plot(np.degrees(theta), np.abs(scheme.edge_reflection(w, theta)), ls="--",
                color=colours[cells], label=f"grid theory, {cells} cells per wavelength")
        for name in edges.RIDGES:
            base = f"edge.{name}"
            ax.plot(f[base + ".angle"], f[f"{base}.wavelength{cells}.measured"], "o",
                    color=colours[cells])
    ax.set_xlabel("angle of incidence from the edge's normal (degrees)")
    ax.set_ylabel("|reflection coefficient|")
    ax.set_title("Open edge: measured (dots) against theory (lines)")
    ax.legend(fontsize=8)
    ax.grid(True, lw=0.3)
    fig.tight_layout()
    fig.savefig(folder / "edges-angle.png", dpi=100)
    plt.close(fig)

    fig, ax = plt.subplots(figsize=(7, 4.2))
    cells = np.geomspace(8, 400, 200)
    ax.loglog(cells, np.abs(scheme.edge_reflection(scheme.SPEED * 2 * np.pi / cells, 0.0)),
              color="black", label="grid theory (first-order theory: 0)")
    ax.loglog(data["cells"], np.abs(data["normal"]), ".", ms=4, color="tab:blue",
              label="measured with a plane pulse")
    ax.loglog(list(data["channel"]), np.abs(list(data["channel"].values())), "s", ms=8,
              mfc="none", color="tab:red", label="measured with the sine keys in a channel")
    ax.set_xlabel("cells per wavelength")
    ax.set_ylabel("|reflection coefficient|")
    ax.set_title("Open edge at normal incidence")
    ax.legend(fontsize=8)
    ax.grid(True, which="both", lw=0.3)
    fig.tight_layout()
    fig.savefig(folder / "edges-wavelength.png", dpi=100)
    plt.close(fig)


def plot_energy(data, folder):
    fig, ax = plt.subplots(figsize=(7, 4.2))
    labels = {"box-before": "box drawn before the pulse",
              "box-after": "box drawn over the moving wave, then split"}
    for (name, curve), colour in zip(data.items(), ("tab:blue", "tab:orange")):
        steps = np.maximum(curve["steps"], 1)
        ax.semilogx(steps, curve["plain"], "o-", color=colour, label=f"{labels[name]}: plain sum")
        ax.semilogx(steps, curve["kept"], "s--", color=colour, mfc="none",
                    label=f"{labels[name]}: the scheme's invariant")
    ax.set_xlabel("steps after the last wall went in")
    ax.set_ylabel("energy inside / the invariant when the walls went in")
    ax.set_title("Energy held in a closed box")
    ax.legend(fontsize=8)
    ax.grid(True, which="both", lw=0.3)
    fig.tight_layout()
    fig.savefig(folder / "energy.png", dpi=100)
    plt.close(fig)


def summary_values(f):
    """Numbers the text quotes that follow from the figures and the relation."""
    w40 = scheme.SPEED * 2 * np.pi / 40
    theta = np.radians(np.linspace(0, 89, 8901))
    r40 = np.abs(scheme.edge_reflection(w40, theta))
    return {
        "cells_phase_1": f"{speed.cells_for_error(1.0):.1f}",
        "cells_group_1": f"{speed.cells_for_error(1.0, 'group'):.1f}",
        "cells_phase_01": f"{speed.cells_for_error(0.1):.0f}",
        "angle_5": f"{np.degrees(theta[np.argmax(r40 > 0.05)]):.0f}",
        "angle_10": f"{np.degrees(theta[np.argmax(r40 > 0.10)]):.0f}",
        "ratio_10": f"{2 * np.tan(theta[np.argmax(r40 > 0.10)]):.1f}",
    }


def write_text(figures, docs):
    f = figures
    values = {
        "table:speed": speed_table(f), "table:pulse": pulse_table(f),
        "table:edges": edge_table(f), "table:channel": channel_table(f),
        "table:wall": wall_table(f), "table:leak": leak_table(f),
        "table:energy": energy_table(f, full=True),
    }
    values.update(summary_values(f))

    def fill(match):
        name = match.group(1)
        if name in values:
            return values[name]
        if name.endswith("|%"):  # a fraction as a percentage, two digits fewer
            item = f.items[name[:-2]]
            return f"{100 * item['value']:.{max(item['decimals'] - 2, 1)}f} %"
        text = f.text(name.lstrip("+"), sign=name.startswith("+"))
        return "−" + text[1:] if text.startswith("-") else text

    text = re.sub(r"<<([^<>]+)>>", fill, TEMPLATE.read_text())
    (Path(docs) / "physics.md").write_text(text)


def write(figures, plots, docs):
    folder = Path(docs) / "physics"
    folder.mkdir(parents=True, exist_ok=True)
    plot_dispersion(figures, plots["dispersion"], folder)
    plot_edges(figures, plots["edges"], folder)
    plot_energy(plots["energy"], folder)
    write_text(figures, docs)
    (folder / "figures.json").write_text(json.dumps(
        {"command": "scripts/physics", "figures": figures.items}, indent=1, sort_keys=True) + "\n")
