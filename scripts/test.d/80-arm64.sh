#!/usr/bin/env bash
# The 64-bit Arm Linux build (a Raspberry Pi's): cross-built with Debian's aarch64 compiler,
# checked for fused multiply-adds in the computing layers, its whole suite run under
# qemu-user (the longest sessions shortened, see VORLA_SHORT_EQUIVALENCE), then a short tour
# of the Qt program under Xvfb. Needs what scripts/install-deps installs; installs nothing
# itself. On an Arm host the debug suite already ran natively: nothing to emulate.
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ "$(dpkg --print-architecture)" != amd64 ]; then
  echo "Not an x86-64 host: the native suite is the Arm one; no cross build to run"
  exit 0
fi

cmake --preset arm64 >/dev/null
cmake --build --preset arm64 --parallel 2
echo "== built in ${SECONDS} s"

# GCC fuses a * b + c into one rounding on AArch64 unless told not to; the grids must not.
fused=0
for object in $(find build/arm64/src/state build/arm64/src/solver build/arm64/src/display -name '*.o'); do
  n=$(aarch64-linux-gnu-objdump -d "$object" | grep -cE '\s(fmla|fmls|fmadd|fmsub|fnmadd|fnmsub)\s' || true)
  if [ "$n" -gt 0 ]; then
    echo "FAILED: $object holds $n fused multiply-add instructions"
    fused=1
  fi
done
[ "$fused" -eq 0 ] || exit 1
echo "ok: no fused multiply-add in the state, solver and display objects"

echo "== the suite under qemu-aarch64"
VORLA_SHORT_EQUIVALENCE=1 ctest --preset arm64 -j2
echo "== suite done at ${SECONDS} s"

echo "== end-to-end tour of the Arm program under qemu-aarch64"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    tests/e2e/arm64_e2e.sh build/arm64/vorla build/e2e-arm64
echo "== arm64 stage done in ${SECONDS} s"
