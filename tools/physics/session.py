"""Scripted sessions of Vorla: write a vorla-replay script, run it, read what it leaves."""

import json
import shutil
import struct
import subprocess
from pathlib import Path

import numpy as np

GRID_W, GRID_H = 1024, 768
# The simulated region: the cells the time step computes.
X0, X1, Y0, Y1 = 128, 896, 146, 722
STEPS_PER_REPAINT = 8


class Session:
    """A session script under construction; run() plays it and returns its results."""

    def __init__(self, name):
        self.name = name
        self.lines = []
        self.probes = []
        self.files = {}

    def add(self, *lines):
        self.lines.extend(lines)
        return self

    def probe(self, cells):
        for x, y in cells:
            self.probes.append((int(x), int(y)))
            self.lines.append(f"probe {int(x)} {int(y)}")
        return self

    def bitmap(self, name, rgb):
        """Imports an image (rows x columns x 3, uint8) through the file dialog."""
        self.files[name] = rgb
        self.lines.append(f"bitmap {name}")
        return self

    def run(self, replay, workdir):
        folder = Path(workdir) / self.name
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        for name, rgb in self.files.items():
            write_bmp(folder / name, rgb)
        (folder / "session.vrs").write_text("\n".join(self.lines) + "\n")
        subprocess.run([str(replay), "session.vrs", "out"], cwd=folder, check=True,
                       stdout=subprocess.DEVNULL)
        return Result(folder / "out")


class Result:
    def __init__(self, out):
        self.out = out

    def probe(self, x, y):
        """Pressure of cell [x][y] after step n at index n; index 0 (before the first step,
        not recorded) is NaN."""
        data = np.loadtxt(self.out / f"probe_{x}_{y}.csv", delimiter=",", skiprows=1)
        steps, p = data[:, 0].astype(int), data[:, 1]
        series = np.full(steps[-1] + 1, np.nan)
        series[steps] = p
        return series

    def grid(self, name, snapshot=None):
        folder = self.out / snapshot if snapshot else self.out
        dtype = "<f8" if name.endswith("f64") else "<i4"
        return np.fromfile(folder / name, dtype=dtype).reshape(GRID_W, GRID_H)

    def state(self, snapshot=None):
        folder = self.out / snapshot if snapshot else self.out
        return json.loads((folder / "state.json").read_text())

    def drop(self, snapshot):
        shutil.rmtree(self.out / snapshot)


def write_bmp(path, rgb):
    """A 24-bit bottom-up BMP, the ordinary kind every loader reads."""
    height, width, _ = rgb.shape
    row = (3 * width + 3) // 4 * 4
    pixels = np.zeros((height, row), np.uint8)
    pixels[:, : 3 * width] = rgb[::-1, :, ::-1].reshape(height, 3 * width)
    header = struct.pack("<2sIHHI", b"BM", 54 + pixels.size, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, pixels.size, 2835, 2835, 0, 0)
    Path(path).write_bytes(header + info + pixels.tobytes())
