#!/usr/bin/env bash
# The published physics figures (docs/physics.md) measured again, all but the 100,000-step
# energy runs; fails when one has drifted beyond its tolerance.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/physics --quick --check --work build/physics-check
