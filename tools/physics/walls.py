"""Rigid walls: the reflection of a drawn wall, whether sound leaks through the walls of each
tool, and whether the energy held in a closed box stays put over 100,000 steps."""

import numpy as np

import scheme
from edges import RIDGES, WAVELENGTHS, Ridge
from session import X0, Session

WALL_ROW = 600  # the line tool writes rows 600 and 601
PULSE = (512, 434)

# One closed shape per tool, each at least 200 cells from the pulse; a seed cell inside each.
SHAPES = {
    "rectangle": dict(seed=(255, 260)),
    "ellipse": dict(seed=(770, 260)),
    "line": dict(seed=(250, 600)),
    "free-hand": dict(seed=(770, 600)),
}
LEAK_STEPS = 2400

BOX = ((312, 284), (712, 584))  # rectangle tool, dragged down and to the right
SPLIT = ((512, 270), (512, 598))  # line tool, across the box
ENERGY_STEPS = 100_000
QUICK_ENERGY_STEPS = 10_000
# Snapshots, in repaints after the last wall went in.
SNAPSHOTS = [0, 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 1250, 2000, 3000, 5000, 7500,
             10000, 12500]


def drag(tool, a, b):
    return [f"key {tool}", f"ldown {a[0]} {a[1]}", f"move {b[0]} {b[1]}", "paint",
            f"lup {b[0]} {b[1]}", "paint", "key J"]


def polygon(centre, radius, corners, wiggle=0.0):
    cx, cy = centre
    phi = np.pi / 2 + 2 * np.pi * np.arange(corners) / corners
    r = radius * (1 + wiggle * np.sin(5 * phi))
    return [(int(round(cx + a * np.cos(p))), int(round(cy - a * np.sin(p)))) for a, p in zip(r, phi)]


def shape_lines():
    lines = drag("R", (180, 190), (330, 330)) + drag("E", (690, 190), (850, 330))
    corners = polygon(SHAPES["line"]["seed"], 80, 5)
    for a, b in zip(corners, corners[1:] + corners[:1]):
        lines += drag("L", a, b)
    loop = polygon(SHAPES["free-hand"]["seed"], 80, 40, wiggle=0.1)
    lines += ["key J", f"ldown {loop[0][0]} {loop[0][1]}"]
    for x, y in loop[1:] + loop[:1]:
        lines += [f"move {x} {y}", "paint"]
    return lines + [f"lup {loop[0][0]} {loop[0][1]}", "paint"]


def wall_ridge():
    r = dict(RIDGES["0"])
    return Ridge(**r, face=WALL_ROW - 0.5, row=WALL_ROW - 41)


def sessions(quick):
    wall = wall_ridge().session("wall-ridge", drag("L", (X0 - 1, WALL_ROW), (897, WALL_ROW)))
    leak = Session("leak").add(*shape_lines()).probe([s["seed"] for s in SHAPES.values()])
    leak.add(f"rdown {PULSE[0]} {PULSE[1]}", f"rup {PULSE[0]} {PULSE[1]}", "tick", "save start",
             f"tick {LEAK_STEPS // 8 - 1}")
    steps = QUICK_ENERGY_STEPS if quick else ENERGY_STEPS
    click = [f"rdown {PULSE[0]} {PULSE[1]}", f"rup {PULSE[0]} {PULSE[1]}"]
    before = Session("box-before").add(*drag("R", *BOX), *click, "tick")
    after = Session("box-after").add(*click, "tick 35", *drag("R", *BOX), "tick 65",
                                     *drag("L", *SPLIT), "tick")
    for s in (before, after):
        done = 0
        for n in SNAPSHOTS:
            if n * 8 > steps:
                break
            if n > done:
                s.add(f"tick {n - done}")
            s.add(f"save at{n}")
            done = n
    return [wall, leak, before, after]


def flood(mask, seed, margin=120):
    """Medium cells reachable from seed across faces, within margin cells of it; None when
    the fill reaches the margin (the shape is open)."""
    x0, y0 = seed[0] - margin, seed[1] - margin
    medium = mask[x0:x0 + 2 * margin + 1, y0:y0 + 2 * margin + 1] == 1
    inside = np.zeros_like(medium)
    inside[margin, margin] = True
    while True:
        grown = inside.copy()
        grown[1:] |= inside[:-1]
        grown[:-1] |= inside[1:]
        grown[:, 1:] |= inside[:, :-1]
        grown[:, :-1] |= inside[:, 1:]
        grown &= medium
        if (grown == inside).all():
            break
        inside = grown
    if inside[0].any() or inside[-1].any() or inside[:, 0].any() or inside[:, -1].any():
        return None
    full = np.zeros(mask.shape, bool)
    full[x0:x0 + 2 * margin + 1, y0:y0 + 2 * margin + 1] = inside
    return full


def energies(result, inside, snapshot=None):
    """Acoustic energy of the cells `inside` and their faces: the plain sum
    (p^2 + vx^2 + vy^2) / 2, and the sum the staggered leapfrog keeps exactly,
    (p(n-1) p(n) + vx^2 + vy^2) / 2, p(n-1) recovered from the last step's divergence."""
    p = result.grid("pressure.f64", snapshot)
    vx = result.grid("velocity_x.f64", snapshot)
    vy = result.grid("velocity_y.f64", snapshot)
    divergence = (vx - np.roll(vx, 1, axis=0)) + (vy - np.roll(vy, 1, axis=1))
    previous = p + scheme.S * divergence
    kinetic = vx ** 2 + vy ** 2
    plain = 0.5 * np.sum((p ** 2 + kinetic)[inside])
    kept = 0.5 * np.sum((previous * p + kinetic)[inside])
    return plain, kept


def box_inside(mask):
    (sx, sy), (ex, ey) = BOX
    inside = np.zeros(mask.shape, bool)
    inside[sx + 1:ex, sy + 1:ey] = True
    return inside & (mask == 1)


def analyse(results, figures, plots, quick):
    w = scheme.SPEED * 2 * np.pi / np.array(WAVELENGTHS, float)
    r = wall_ridge().reflection(results["wall-ridge"], w)
    for cells, value in zip(WAVELENGTHS, r):
        figures.add(f"wall.wavelength{cells}.reflection", abs(value), 4, "")
        figures.add(f"wall.wavelength{cells}.phase", np.degrees(np.angle(value)), 2, "deg")

    leak = results["leak"]
    mask = leak.grid("medium_mask.i32")
    pulse_energy, _ = energies(leak, np.ones(mask.shape, bool), "start")
    for tool, shape in SHAPES.items():
        inside = flood(mask, shape["seed"])
        figures.add(f"leak.{tool}.closed", float(inside is not None), 0, "")
        if inside is None:
            continue
        start, _ = energies(leak, inside, "start")
        end, _ = energies(leak, inside, None)
        figures.add(f"leak.{tool}.energy", end / pulse_energy, None, "", 1e-12)
        figures.add(f"leak.{tool}.gain", (end - start) / pulse_energy, None, "", 1e-12)
        figures.add(f"leak.{tool}.cells", float(inside.sum()), 0, "")
    leak.drop("start")

    curves = {}
    for name in ("box-before", "box-after"):
        result = results[name]
        inside = box_inside(result.grid("medium_mask.i32", "at0"))
        steps, plain, kept = [], [], []
        kept_start = None
        for n in SNAPSHOTS:
            snapshot = f"at{n}"
            if not (result.out / snapshot).exists():
                break
            e = energies(result, inside, snapshot)
            steps.append(8 * n)
            plain.append(e[0])
            kept.append(e[1])
            kept_start = kept_start or e[1]
            result.drop(snapshot)
        # Both sums against the invariant's value when the last wall went in: the plain sum
        # swings around it as the energy passes between pressure and velocity.
        plain, kept = np.array(plain) / kept[0], np.array(kept) / kept[0]
        curves[name] = dict(steps=np.array(steps), plain=plain, kept=kept)
        ten = steps.index(QUICK_ENERGY_STEPS)
        for label, series in (("plain", plain), ("kept", kept)):
            change = series - 1
            base = f"energy.{name}.{label}"
            tolerance = 1e-9 if label == "kept" else 1e-6
            figures.add(base + ".largest_rise_10k", max(change[: ten + 1].max(), 0.0), None, "",
                        tolerance)
            figures.add(base + ".change_10k", change[ten], None, "", tolerance)
            if not quick:
                figures.add(base + ".largest_rise", max(change.max(), 0.0), None, "", tolerance,
                            quick=False)
                figures.add(base + ".change", change[-1], None, "", tolerance, quick=False)
        figures.add(f"energy.{name}.cells", float(inside.sum()), 0, "")
        figures.add(f"energy.{name}.start", kept_start, 4, "")
    plots["energy"] = curves
