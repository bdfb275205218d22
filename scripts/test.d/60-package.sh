#!/usr/bin/env bash
# The packages: builds the Debian package and the Windows zip (scripts/package), checks the
# zip's contents, runs lintian and the desktop validators on the package, and installs it in a
# clean Debian 12 root made with debootstrap, where the installed programs must run. The root
# and the downloaded packages are kept in build/package/debian12, so reruns download little;
# remove that folder to start from a fresh root.
set -euo pipefail
cd "$(dirname "$0")/../.."
root_dir=$PWD
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

scripts/package
dist=build/package/dist
deb=$(ls "$dist"/vorla_*.deb)
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT

if [ "$(dpkg --print-architecture)" != amd64 ]; then
  echo "== not an x86-64 host: no Windows zip to check (packages built in ${SECONDS} s)"
else
zip=$(ls "$dist"/vorla-*-windows-x86_64.zip)
echo "== the Windows zip (packages built in ${SECONDS} s)"
listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
top=$(basename "$zip" .zip)
check "the zip holds vorla.exe, README.txt and LICENSE.txt: $listing" \
  "[ '$listing' = '$top/LICENSE.txt $top/README.txt $top/vorla.exe ' ]"
unzip -q "$zip" -d "$unpacked"
dlls=$(x86_64-w64-mingw32-objdump -p "$unpacked/$top/vorla.exe" | sed -n 's/.*DLL Name: //p' |
  tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
check "vorla.exe needs only the system's DLLs: $dlls" \
  "[ '$dlls' = 'comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll ' ]"
subsystem=$(x86_64-w64-mingw32-objdump -p "$unpacked/$top/vorla.exe" | sed -n 's/^Subsystem.*(\(.*\))/\1/p')
check "vorla.exe is a GUI program: $subsystem" "[ '$subsystem' = 'Windows GUI' ]"
check "the read-me and the licence have Windows line ends" \
  "file '$unpacked/$top/README.txt' '$unpacked/$top/LICENSE.txt' | grep -c CRLF | grep -qx 2"
fi

echo "== the Debian package $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libfreetype6 fonts-vlgothic; do
  check "it depends on $needed" "[[ '$depends' == *$needed* ]]"
done
rc=0
lintian --fail-on error --tag-display-limit 0 "$deb" >"$unpacked/lintian.txt" 2>&1 || rc=$?
grep -v 'running with root privileges' "$unpacked/lintian.txt" || true
check "lintian reports no errors" "[ $rc -eq 0 ]"
dpkg-deb -x "$deb" "$unpacked/deb"
check "desktop-file-validate accepts the menu entry" \
  "desktop-file-validate '$unpacked'/deb/usr/share/applications/*.desktop"
check "appstreamcli validate accepts the metainfo" \
  "appstreamcli validate --no-net '$unpacked'/deb/usr/share/metainfo/*.metainfo.xml >'$unpacked/appstream.txt'"
check "the checked-in icon PNGs are the SVG's renderings" "scripts/render-icons --check"

# A Debian 12 root, kept as a tarball once made.
cache=build/package/debian12
mkdir -p "$cache/debootstrap" "$cache/archives/partial"
if [ ! -s "$cache/root.tar" ]; then
  echo "== debootstrap: a minimal Debian 12 root (once; kept in $cache)"
  rm -rf "$cache/bootstrap-root"
  # The mirror this machine's own apt uses, if it names one.
  mirror=$(sed -n 's|^URIs: *\([^ ]*/debian\)/\?$|\1|p' /etc/apt/sources.list.d/debian.sources \
    2>/dev/null | head -n 1)
  # Made in memory, in a mount namespace of its own that takes the memory away with it.
  mkdir -p "$cache/bootstrap-root"
  unshare --mount --propagation private bash -c '
    set -e
    mount -t tmpfs -o size=4g,mode=0755 tmpfs "$1"
    debootstrap --variant=minbase --cache-dir="$2" bookworm "$1" "$3" >"$4" 2>&1 ||
      { tail -n 20 "$4"; exit 1; }
    tar --numeric-owner -C "$1" -cf "$5.part" .
  ' bootstrap "$root_dir/$cache/bootstrap-root" "$root_dir/$cache/debootstrap" \
    "${mirror:-http://deb.debian.org/debian}" "$cache/debootstrap.log" "$cache/root.tar"
  mv "$cache/root.tar.part" "$cache/root.tar"
  rmdir "$cache/bootstrap-root"
fi

echo "== the Debian 12 root is ready (${SECONDS} s so far)"
work=$cache/run
# The check mounts only inside a namespace of its own; refuse to delete anything still mounted.
mounted_under() { findmnt -rn -o TARGET >"$unpacked/mounts"; grep -q "^$root_dir/$1" "$unpacked/mounts"; }
if mounted_under "$work"; then
  echo "FAILED: something is still mounted under $work"
  exit 1
fi
rm -rf "$work"
mkdir -p "$work"
if ! bash tests/package/installed_check.sh "$cache/root.tar" "$cache/archives" "$deb" "$work"; then
  failures=$((failures + 1))
fi
mounted_under "$work" || rm -rf "$work/root"

echo "package checks: $failures failed, ${SECONDS} s"
[ $failures -eq 0 ]
