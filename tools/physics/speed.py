"""Wave speed: the sine keys' phase speed and the Gaussian pulse's peak speed, along a grid
axis and along the diagonal, from probes at several distances from the source."""

import numpy as np

import scheme
from session import X0, X1, Y0, Y1, Session

SINE_PERIODS = {"1": 20, "2": 80, "3": 320}
# The sources sit where the probes' paths stay longest clear of the echoes of the edges.
DIRECTIONS = {
    "axis": dict(source=(360, 434), step=(1, 0), offsets=range(20, 411, 10)),
    "diagonal": dict(source=(450, 310), step=(1, 1), offsets=range(14, 255, 10)),
}
SINE_STEPS = 1600
PULSE_STEPS = 880


def probes(direction):
    d = DIRECTIONS[direction]
    (sx, sy), (ux, uy) = d["source"], d["step"]
    return [(sx + j * ux, sy + j * uy) for j in d["offsets"]]


def distances(direction):
    sx, sy = DIRECTIONS[direction]["source"]
    return np.array([np.hypot(x - sx, y - sy) for x, y in probes(direction)])


def first_echo(source, cell):
    """Step at which the first echo of an open edge can reach the cell: the distance to the
    nearest mirror image of the source at half a cell per step."""
    sx, sy = source
    images = [(2 * (X0 - 0.5) - sx, sy), (2 * (X1 + 0.5) - sx, sy),
              (sx, 2 * (Y0 - 0.5) - sy), (sx, 2 * (Y1 + 0.5) - sy)]
    return min(np.hypot(cell[0] - ix, cell[1] - iy) for ix, iy in images) / scheme.SPEED


def sessions(quick):
    out = []
    for direction in DIRECTIONS:
        sx, sy = DIRECTIONS[direction]["source"]
        for key in SINE_PERIODS:
            s = Session(f"sine{key}-{direction}").add("key F", f"key {key}")
            s.probe(probes(direction)).add(f"rdown {sx} {sy}", f"rup {sx} {sy}")
            out.append(s.add(f"tick {SINE_STEPS // 8}"))
        s = Session(f"pulse-{direction}").probe(probes(direction))
        out.append(s.add(f"rdown {sx} {sy}", f"rup {sx} {sy}", f"tick {PULSE_STEPS // 8}"))
    return out


def steady_phase(p, n, w, front):
    """Phase of the sine of frequency w in p over the steps n. The wave's tail since it was
    switched on (the wake every cylindrical wave leaves, fading as the front recedes) is
    fitted beside it as a + b / t + c / t^2, t the steps since the front passed."""
    t = (n - front) / 100.0
    model = np.stack([np.cos(w * n), np.sin(w * n), 1 / t, 1 / t ** 2], axis=1)
    coef, *_ = np.linalg.lstsq(model, p[n], rcond=None)
    return np.angle(coef[0] + 1j * coef[1])


def fitted_speed(result, key, direction, settle=160, echo_margin=20):
    """Phase speed error (percent) and its standard error from the steady phase at each
    probe, read over whole periods from `settle` steps after the front has passed until
    `echo_margin` steps before the first echo can arrive.

    The phase of an outgoing cylindrical wave is k r plus the Hankel function's lag; what
    the grid adds near the source falls off as 1/r, so the fit is phase = a + k r + b / r
    once the lag is taken out."""
    period = SINE_PERIODS[key]
    w = 2 * np.pi / period
    theta = np.arctan2(*DIRECTIONS[direction]["step"][::-1])
    k_relation = scheme.wavenumber(w, theta)
    k_physical = w / scheme.SPEED
    source = DIRECTIONS[direction]["source"]
    r_used, phases = [], []
    for r, cell in zip(distances(direction), probes(direction)):
        p = result.probe(*cell)
        front = r / scheme.SPEED
        end = int(min(first_echo(source, cell) - echo_margin, len(p) - 1))
        periods = int((end - front - settle) // period)
        if periods >= 1:
            phases.append(steady_phase(p, np.arange(end - periods * period, end), w, front))
            r_used.append(r)
    if len(r_used) < 5:
        return None
    r = np.array(r_used)
    lagged = np.array(phases) - k_physical * r - scheme.hankel_phase_excess(k_relation * r)
    y = np.unwrap(np.angle(np.exp(1j * lagged)))
    model = np.stack([np.ones_like(r), r, 1 / r], axis=1)
    coef, *_ = np.linalg.lstsq(model, y, rcond=None)
    scatter = np.sum((y - model @ coef) ** 2) / (len(r) - model.shape[1])
    k = k_physical + coef[1]
    k_error = np.sqrt(scatter * np.linalg.inv(model.T @ model)[1, 1])
    return 100 * (w / k / scheme.SPEED - 1), 100 * k_error / k, len(r)


def sine_phase_speed(result, key, direction):
    """The phase speed's error with an uncertainty that adds to the fit's standard error how
    far the result moves when the windows start 100 steps later or end 40 steps earlier."""
    error, spread, count = fitted_speed(result, key, direction)
    for variant in (dict(settle=260), dict(echo_margin=60)):
        other = fitted_speed(result, key, direction, **variant)
        if other is not None:
            spread = np.hypot(spread, other[0] - error)
    w = 2 * np.pi / SINE_PERIODS[key]
    theta = np.arctan2(*DIRECTIONS[direction]["step"][::-1])
    relation = 100 * (scheme.phase_speed(w, theta) / scheme.SPEED - 1)
    return dict(error=error, uncertainty=spread, relation=relation, probes=count)


def peak_times(signals):
    """Step of each signal's largest value, between samples by a parabola through three."""
    times = []
    for p in signals:
        i = int(np.nanargmax(p))
        a, b, c = p[i - 1], p[i], p[i + 1]
        times.append(i + 0.5 * (a - c) / (a - 2 * b + c))
    return np.array(times)


def peak_speed(signals, r):
    (slope, _), cov = np.polyfit(r, peak_times(signals), 1, cov=True)
    speed = 1 / slope
    return dict(speed=speed, error=100 * (speed / scheme.SPEED - 1),
                uncertainty=100 * np.sqrt(cov[0, 0]) / slope)


def pulse_peak_speed(result, direction):
    """Peak speed of the pulse measured, of the scheme's exact solution and of a pulse in
    the continuum, each read off the same probes in the same way."""
    source = DIRECTIONS[direction]["source"]
    cells = probes(direction)
    measured = np.array([result.probe(*cell) for cell in cells])
    offsets = [(x - source[0], y - source[1]) for x, y in cells]
    exact = scheme.gaussian_pulse_field(offsets, measured.shape[1] - 1)
    continuum = scheme.gaussian_pulse_field(offsets, measured.shape[1] - 1, grid=False)
    # Before any echo the program's field is the scheme's exact solution.
    worst = 0.0
    for cell, m, e in zip(cells, measured, exact):
        until = int(first_echo(source, cell)) - 60
        worst = max(worst, np.max(np.abs(m[1:until] - e[1:until])))
    r = distances(direction)
    return dict(measured=peak_speed(measured, r), relation=peak_speed(exact, r),
                continuum=peak_speed(continuum, r), exact_difference=worst / np.nanmax(measured))


def analyse(results, figures, plots):
    for direction in DIRECTIONS:
        for key, period in SINE_PERIODS.items():
            m = sine_phase_speed(results[f"sine{key}-{direction}"], key, direction)
            name = f"speed.sine{key}.{direction}"
            figures.add(name + ".error", m["error"], 4, "%")
            figures.add(name + ".uncertainty", m["uncertainty"], 4, "%")
            figures.add(name + ".relation", m["relation"], 4, "%")
        m = pulse_peak_speed(results[f"pulse-{direction}"], direction)
        name = f"speed.pulse.{direction}"
        for which in ("measured", "relation", "continuum"):
            figures.add(f"{name}.{which}", m[which]["error"], 4, "%")
        figures.add(f"{name}.uncertainty", m["measured"]["uncertainty"], 4, "%")
        figures.add(f"{name}.exact_difference", m["exact_difference"], None, "", 1e-9)
    plots["dispersion"] = dispersion_curves()


def dispersion_curves():
    cells = np.geomspace(4, 400, 200)
    curves = {}
    for direction, theta in (("axis", 0.0), ("diagonal", np.pi / 4)):
        w = scheme.SPEED * 2 * np.pi / cells  # frequency of a physical wave of that length
        k = scheme.wavenumber(w, theta)
        curves[direction] = dict(phase=100 * (w / k / scheme.SPEED - 1),
                                 group=100 * (scheme.group_speed(k, theta) / scheme.SPEED - 1))
    return dict(cells=cells, curves=curves)


def cells_for_error(limit_percent, kind="phase"):
    """Fewest cells per wavelength for which the speed error stays under the limit along
    every direction (the axis is the worst)."""
    cells = np.geomspace(2.5, 200, 4000)
    w = scheme.SPEED * 2 * np.pi / cells
    k = scheme.wavenumber(w, 0.0)
    speed = w / k if kind == "phase" else scheme.group_speed(k, 0.0)
    ok = np.abs(speed / scheme.SPEED - 1) * 100 < limit_percent
    return cells[np.argmax(ok)]
