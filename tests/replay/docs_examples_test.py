#!/usr/bin/env python3
"""Runs the examples of docs/replay.md through vorla-replay, so the page cannot drift from
the tool. A ```vrs block must replay with exit code 0, and a ```json block right after it
lists values that its state.json must hold. A ```vrs-error block must fail with exit code 2
and print the ```text block that follows it. Scripts run beside a copy of examples/."""
import json
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

replay, doc, examples = str(Path(sys.argv[1]).resolve()), Path(sys.argv[2]), Path(sys.argv[3])
blocks = re.findall(r"^```([\w-]*)\n(.*?)^```$", doc.read_text(), re.M | re.S)
failures = 0
ran = 0


def fail(message):
    global failures
    failures += 1
    print("FAILED: " + message)


with tempfile.TemporaryDirectory() as work:
    for name in examples.iterdir():
        shutil.copy(name, work)
    for i, (kind, text) in enumerate(blocks):
        if kind not in ("vrs", "vrs-error"):
            continue
        ran += 1
        after = blocks[i + 1] if i + 1 < len(blocks) else ("", "")
        first = text.splitlines()[0]
        Path(work, "script.vrs").write_text(text)
        out = Path(work, "out%d" % i)
        run = subprocess.run([replay, "script.vrs", out.name], cwd=work, capture_output=True,
                             text=True)
        if kind == "vrs-error":
            if run.returncode != 2:
                fail("example '%s' should fail with 2, not %d" % (first, run.returncode))
            elif after[0] == "text" and run.stderr != after[1]:
                fail("example '%s' printed %r, the page says %r" % (first, run.stderr, after[1]))
            continue
        if run.returncode != 0:
            fail("example '%s' exited %d: %s" % (first, run.returncode, run.stderr.strip()))
            continue
        if after[0] == "json":
            state = json.loads((out / "state.json").read_text())
            for key, value in json.loads(after[1]).items():
                if state.get(key) != value:
                    fail("example '%s': %s is %r, the page says %r"
                         % (first, key, state.get(key), value))

print("%d examples, %d failures" % (ran, failures))
sys.exit(1 if failures or ran == 0 else 0)
