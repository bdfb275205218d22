"""The open edges: how much of a plane wave comes back from the bottom edge at 0, 30, 45 and
60 degrees, and at normal incidence for each sine key.

A plane pulse is a straight ridge of pulses: a bitmap with yellow pixels on a line, imported
with the pulse source. The ridge splits into two halves; a row of probes between the ridge
and the edge sees the incident half pass and then its reflection. The ratio of their spectra
at a frequency is the reflection coefficient there, once the extra path to the edge and back
is taken out. The lines' slopes are exact ratios of whole numbers, so every pulse of a ridge
sits on the line and the ridge is the same all along it."""

import numpy as np

import scheme
from session import X0, X1, Y0, Y1, Session

PROBE_ROW = 682
EDGE_FACE = Y1 + 0.5  # the bottom edge: the outer face of row 722
WAVELENGTHS = (10, 40, 160)  # cells per wavelength of the sine keys at half a cell per step

# Incidence angle as a slope p/q of the ridge's normal (x: p, y: q), the step between two
# pulses along the ridge, the column of the probes and how far the ridge starts from them.
# The distances keep the ridge's ends, the corner and the side edge's echo away from the
# probes until both passes are over.
RIDGES = {
    "0": dict(slope=(0, 1), step=(7, 0), column=512, distance=40),
    "30": dict(slope=(4, 7), step=(7, -4), column=612, distance=205),
    "45": dict(slope=(1, 1), step=(5, -5), column=664, distance=350),
    "60": dict(slope=(7, 4), step=(4, -7), column=724, distance=495),
}
CHANNEL_TOP = 432  # first of the four rows of the channel
CHANNEL_SOURCE = (278, 433)
CHANNEL_PROBES = range(140, 259, 4)
CHANNEL_STEPS = 2400  # the echo of the far end reaches the probes after about 2500 steps
CHANNEL_SETTLED = 800  # the reflection of the near edge has passed every probe


def angle(slope):
    return np.arctan2(*slope)


def ridge_bitmap(centre, step):
    """Yellow pixels at centre + j * step (grid cells) for every j that lands on the field."""
    rgb = np.full((Y1 - Y0 + 1, X1 - X0 + 1, 3), 255, np.uint8)
    for j in range(-200, 201):
        x, y = centre[0] + j * step[0], centre[1] + j * step[1]
        if X0 <= x <= X1 and Y0 <= y <= Y1:
            rgb[y - Y0, x - X0] = (255, 255, 0)
    return rgb


class Ridge:
    """Where a ridge starts and when its passes reach each probe of the row."""

    def __init__(self, slope, step, column, distance, face=EDGE_FACE, row=PROBE_ROW):
        self.theta = angle(slope)
        self.normal = np.array([np.sin(self.theta), np.cos(self.theta)])
        self.centre = np.round(np.array([column, row]) - distance * self.normal).astype(int)
        self.step, self.face, self.row = step, face, row
        self.cells = [(x, row) for x in range(column - 10, column + 11, 2)]
        self.height = face - row  # from the probes to the reflecting face
        self.lag = 2 * self.height * np.cos(self.theta) / scheme.SPEED  # incident to reflected

    def arrival(self, cell):
        return (self.normal @ (np.array(cell) - self.centre)) / scheme.SPEED

    def steps(self):
        return int(self.arrival(self.cells[-1]) + 1.5 * self.lag) + 16

    def session(self, name, before_steps=()):
        s = Session(name).bitmap("ridge.bmp", ridge_bitmap(self.centre, self.step))
        s.add(*before_steps).probe(self.cells)
        # The first right click starts the steps; the import's pulses are already in place.
        return s.add(f"rdown {X0 + 10} {Y0 + 10}", f"rup {X0 + 10} {Y0 + 10}",
                     f"tick {self.steps() // 8 + 1}")

    def reflection(self, result, w, shorten=1.0):
        """Mean over the row of probes of the reflection coefficient at frequencies w, with
        each pass read in a window of `shorten` times half the time between them."""
        kn = scheme.wavenumber(w, self.theta) * np.cos(self.theta)
        half = shorten * self.lag / 2
        ratios = []
        for cell in self.cells:
            p = np.nan_to_num(result.probe(*cell))
            n = np.arange(len(p))
            t = self.arrival(cell)
            incident = np.where(np.abs(n - t) < half, p, 0.0)
            reflected = np.where(np.abs(n - t - self.lag) < half, p, 0.0)
            basis = np.exp(1j * np.outer(w, n))
            ratios.append((basis @ reflected) / (basis @ incident))
        # The reflected wave has travelled twice the height further than the incident one.
        return np.mean(ratios, axis=0) * np.exp(-2j * kn * self.height)


def channel_bitmap():
    """A channel four rows wide between two walls, across the whole simulated region."""
    rgb = np.full((Y1 - Y0 + 1, X1 - X0 + 1, 3), 255, np.uint8)
    rgb[[CHANNEL_TOP - 1 - Y0, CHANNEL_TOP + 4 - Y0]] = 0
    return rgb


def channel_cells():
    return [(x, y) for x in CHANNEL_PROBES for y in range(CHANNEL_TOP, CHANNEL_TOP + 4)]


def sessions(quick):
    out = [Ridge(**r).session(f"ridge{name}") for name, r in RIDGES.items()]
    sx, sy = CHANNEL_SOURCE
    for key in ("1", "2", "3"):
        s = Session(f"channel{key}").bitmap("channel.bmp", channel_bitmap())
        s.add("key F", f"key {key}").probe(channel_cells())
        out.append(s.add(f"rdown {sx} {sy}", f"rup {sx} {sy}", f"tick {CHANNEL_STEPS // 8}"))
    return out


def channel_reflection(result, period):
    """Reflection of the left edge from the standing wave between it and the sine source:
    a e^(-i k x) + b e^(i k x) fitted to the steady amplitudes along the channel."""
    w = 2 * np.pi / period
    k = scheme.wavenumber(w, 0.0)
    periods = (CHANNEL_STEPS - CHANNEL_SETTLED) // period
    n = np.arange(CHANNEL_STEPS - periods * period, CHANNEL_STEPS) + 1
    x = np.array(CHANNEL_PROBES, float)
    amplitude = []
    for column in CHANNEL_PROBES:
        p = np.mean([result.probe(column, y) for y in range(CHANNEL_TOP, CHANNEL_TOP + 4)], 0)
        amplitude.append(np.sum(p[n] * np.exp(1j * w * n)))
    model = np.stack([np.exp(-1j * k * x), np.exp(1j * k * x)], axis=1)
    (a, b), *_ = np.linalg.lstsq(model, np.array(amplitude), rcond=None)
    residual = np.linalg.norm(model @ [a, b] - amplitude) / np.linalg.norm(amplitude)
    return (b / a) * np.exp(2j * k * (X0 - 0.5)), residual


def analyse(results, figures, plots):
    w_keys = scheme.SPEED * 2 * np.pi / np.array(WAVELENGTHS, float)
    angles = {}
    for name, r in RIDGES.items():
        ridge = Ridge(**r)
        measured = ridge.reflection(results[f"ridge{name}"], w_keys)
        shorter = ridge.reflection(results[f"ridge{name}"], w_keys, shorten=0.75)
        theory = scheme.edge_reflection(w_keys, ridge.theta)
        angles[name] = dict(theta=ridge.theta, measured=measured, theory=theory)
        figures.add(f"edge.{name}.angle", np.degrees(ridge.theta), 2, "deg")
        figures.add(f"edge.{name}.first_order", scheme.first_order_reflection(ridge.theta), 4, "")
        for cells, m, s, t in zip(WAVELENGTHS, measured, shorter, theory):
            base = f"edge.{name}.wavelength{cells}"
            figures.add(base + ".measured", abs(m), 4, "")
            figures.add(base + ".uncertainty", abs(abs(m) - abs(s)), 4, "")
            figures.add(base + ".theory", abs(t), 4, "")
            figures.add(base + ".phase", np.degrees(np.angle(m)), 1, "deg")
    # Normal incidence over a range of wavelengths, from the same plane pulse.
    cells = np.geomspace(8, 400, 120)  # below 8 cells the pulse carries next to nothing
    w = scheme.SPEED * 2 * np.pi / cells
    normal = Ridge(**RIDGES["0"]).reflection(results["ridge0"], w)
    channel = {}
    for key, cells_key in zip(("1", "2", "3"), WAVELENGTHS):
        period = int(round(cells_key / scheme.SPEED))
        r, residual = channel_reflection(results[f"channel{key}"], period)
        channel[cells_key] = r
        figures.add(f"edge.channel{key}.measured", abs(r), 4, "")
        figures.add(f"edge.channel{key}.fit_residual", residual, None, "", 1e-6)
        figures.add(f"edge.channel{key}.theory",
                    abs(scheme.edge_reflection(2 * np.pi / period, 0.0)), 4, "")
    plots["edges"] = dict(angles=angles, cells=cells, normal=normal, channel=channel)
