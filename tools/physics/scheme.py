"""What the scheme predicts: staggered leapfrog, dx = dt = 1, Courant number S = 0.5.

Every plane wave exp(i(k.x - w n)) on the grid obeys
    sin^2(w/2) / S^2 = sin^2(kx/2) + sin^2(ky/2),
and a field that starts from a pressure at rest evolves mode by mode as
    p^n = p^0 cos(w (n + 1/2)) / cos(w/2),
because the velocities, half a step behind, start at zero.
"""

import numpy as np

S = 0.5
SPEED = 0.5  # cells per step, long waves


def omega(kx, ky):
    return 2 * np.arcsin(S * np.sqrt(np.sin(kx / 2) ** 2 + np.sin(ky / 2) ** 2))


def wavenumber(w, theta):
    """|k| of the wave of angular frequency w (per step) travelling at angle theta to an axis."""
    w = np.asarray(w, float)
    lo, hi = np.zeros_like(w), np.full_like(w, np.pi)
    for _ in range(60):  # bisection: omega grows with |k| up to pi along any direction
        mid = (lo + hi) / 2
        below = omega(mid * np.cos(theta), mid * np.sin(theta)) < w
        lo, hi = np.where(below, mid, lo), np.where(below, hi, mid)
    return (lo + hi) / 2


def phase_speed(w, theta):
    return w / wavenumber(w, theta)


def group_speed(k, theta):
    """d omega / d|k| along the direction theta, at |k|."""
    h = 1e-6
    return (omega((k + h) * np.cos(theta), (k + h) * np.sin(theta))
            - omega((k - h) * np.cos(theta), (k - h) * np.sin(theta))) / (2 * h)


def edge_reflection(w, theta):
    """Reflection coefficient of an open edge for a plane wave of frequency w arriving at
    angle theta from the edge's normal, referred to the edge face.

    At the edge the outer face takes the pressure of the cell inside it, half a cell and
    half a step away from where a plane wave leaving head-on would have it. With kn the
    normal wavenumber and q = S sin(kn/2) / sin(w/2) (the normal velocity of a unit plane
    wave), the wave e^(-i kn j) + R e^(i kn j) meets that rule when
        R = (q e^(i(kn - w)/2) - 1) / (q e^(-i(kn + w)/2) + 1)   (at the first cell's centre).
    For long waves q -> cos(theta) and R -> -(1 - cos theta) / (1 + cos theta).
    """
    kn = wavenumber(w, theta) * np.cos(theta)
    q = S * np.sin(kn / 2) / np.sin(w / 2)
    at_cell = (q * np.exp(1j * (kn - w) / 2) - 1) / (q * np.exp(-1j * (kn + w) / 2) + 1)
    return at_cell * np.exp(-1j * kn)


def first_order_reflection(theta):
    """|R| of the impedance condition p = v_n for a plane wave at angle theta."""
    return (1 - np.cos(theta)) / (1 + np.cos(theta))


def gaussian_pulse_field(offsets, steps, *, grid=True, size=1024):
    """Pressure after 0..steps steps at the given (dx, dy) offsets from the centre of the
    pulse exp(-(dx^2 + dy^2)/50) at rest, on an unbounded grid (grid=True: the scheme's
    own relation) or in the continuum (w = 0.5 |k|), as rows of an array.

    A periodic grid of `size` cells stands in for the unbounded one: nothing travels faster
    than half a cell per step, so nothing comes round in the times asked for here."""
    u = np.arange(-60, 61)
    k = 2 * np.pi * np.arange(size // 2 + 1) / size
    line = np.exp(-u ** 2 / 50.0) @ np.cos(np.outer(u, k))  # the pulse is even and separable
    fold = np.where((k == 0) | (k == np.pi), 1.0, 2.0)  # +k and -k together
    amplitude = np.outer(fold * line, fold * line) / size ** 2
    kx, ky = np.meshgrid(k, k, indexing="ij")
    keep = amplitude > 1e-13 * amplitude.max()
    amplitude, kx, ky = amplitude[keep], kx[keep], ky[keep]
    w = omega(kx, ky) if grid else SPEED * np.hypot(kx, ky)
    offsets = np.asarray(offsets, float)
    modes = (amplitude / np.cos(w / 2)) * np.cos(np.outer(offsets[:, 0], kx)) * np.cos(
        np.outer(offsets[:, 1], ky))
    n = np.arange(steps + 1) + 0.5
    field = np.zeros((len(offsets), steps + 1))
    for first in range(0, len(w), 8192):
        part = slice(first, first + 8192)
        field += modes[:, part] @ np.cos(np.outer(w[part], n))
    return field


def hankel_phase_excess(z):
    """arg H0(1)(z) - (z - pi/4): how far the phase of an outgoing cylindrical wave lags the
    plane-wave phase kr - pi/4 at kr = z (about -1/(8z) far out)."""
    z = np.atleast_1d(np.asarray(z, float))
    out = np.empty_like(z)
    near = z < 12
    x = z[near]
    quarter = (x / 2) ** 2
    term, harmonic = np.ones_like(x), 0.0
    j0, y0_sum = np.zeros_like(x), np.zeros_like(x)
    for m in range(80):  # power series of J0 and Y0
        if m:
            term = term * -quarter / (m * m)
            harmonic += 1.0 / m
        j0 += term
        y0_sum -= term * harmonic
    y0 = (2 / np.pi) * ((np.log(x / 2) + np.euler_gamma) * j0 + y0_sum)
    out[near] = np.angle(np.exp(1j * (np.angle(j0 + 1j * y0) - x + np.pi / 4)))
    x = z[~near]
    series, a = np.zeros_like(x, complex), 1.0
    for m in range(12):  # asymptotic series of H0(1)
        if m:
            a *= -((2 * m - 1) ** 2) / (8.0 * m)
        series += (1j ** m) * a / x ** m
    out[~near] = np.angle(series)
    return out
