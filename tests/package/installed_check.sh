#!/usr/bin/env bash
# Installs the Debian package in a clean Debian 12 root and runs what it installed: the
# replay tool from its installed path, and the program as the menu entry starts it, in an X
# server of its own. Run inside a private mount namespace (unshare --mount), so that every
# mount made here ends with it.
# Usage: installed_check.sh ROOT_TARBALL APT_ARCHIVES DEB WORK_FOLDER
set -euo pipefail
# Mounts made here must never reach the caller's namespace: run again in a namespace of its
# own, and make sure that it is one.
if [ -z "${outer_mount_namespace:-}" ]; then
  outer_mount_namespace=$(readlink /proc/self/ns/mnt) exec unshare --mount --propagation private \
    bash "$0" "$@"
fi
if [ "$(readlink /proc/self/ns/mnt)" = "$outer_mount_namespace" ]; then
  echo "FAILED: no mount namespace of its own"
  exit 1
fi
tarball=$(realpath "$1")
archives=$(realpath "$2")
deb=$(realpath "$3")
work=$(realpath -m "$4")
root=$work/root
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

xvfb_pid= vorla_pid=
cleanup() {
  [ -n "$vorla_pid" ] && kill "$vorla_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  return 0
}
trap cleanup EXIT

# The root lives in memory: quick to fill on a busy disk, and gone with the namespace.
mkdir -p "$root"
mount -t tmpfs -o size=4g,mode=0755 tmpfs "$root"
tar --numeric-owner -C "$root" -xf "$tarball"
# A root that is thrown away needs no fsync after every file.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
mount -t proc proc "$root/proc"
mount -t tmpfs tmpfs "$root/dev/shm"
mount --bind "$archives" "$root/var/cache/apt/archives"
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"

echo "== apt-get install ./$(basename "$deb") in a clean Debian 12 root"
in_root apt-get update -qq
(cd "$root/tmp" && in_root sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q ./$(basename "$deb")") >"$work/apt-install.log" 2>&1 ||
  { tail -n 30 "$work/apt-install.log"; echo "FAILED: the package does not install"; exit 1; }
echo "ok: the package installs ($(grep -c '^Setting up' "$work/apt-install.log") packages set up, ${SECONDS} s)"

rc=0
in_root vorla-replay --help >"$work/help.txt" 2>&1 || rc=$?
check "vorla-replay --help runs from $(in_root sh -c 'command -v vorla-replay')" \
  "[ $rc -eq 0 ] && grep -q 'probe X Y' '$work/help.txt'"
version=$(in_root vorla-replay --version 2>&1) || true
check "vorla-replay --version prints '$version'" "[[ '$version' =~ ^vorla-replay\ [0-9]+\.[0-9]+ ]]"
in_root sh -c 'cd /tmp && vorla-replay /usr/share/doc/vorla/examples/box-pulse.vrs out' >/dev/null 2>&1 || true
check "the installed example replays" "[ -s '$root/tmp/out/client.png' ] && grep -q '\"time_step\": 480' '$root/tmp/out/state.json'"
check "the manual pages are installed" \
  "[ \$(zcat '$root/usr/share/man/man1/vorla-replay.1.gz' | grep -c '^\.TH \"vorla-replay\" \"1\"') -eq 1 ] && [ -s '$root/usr/share/man/man1/vorla.1.gz' ]"

# An X server of our own; it picks a free display and tells which.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

desktop=$(ls "$root"/usr/share/applications/*.desktop)
command=$(sed -n 's/^Exec=//p' "$desktop")
echo "== $command, as the menu entry $(basename "$desktop") starts it, on $DISPLAY"
mkdir -p "$root/home/user"
chroot "$root" env -i PATH=/usr/bin:/bin HOME=/home/user LANG=C.UTF-8 DISPLAY="$DISPLAY" \
  QT_QPA_PLATFORM=xcb $command >"$work/vorla.log" 2>&1 &
vorla_pid=$!
window=
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name '^Realtime Vorla$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$vorla_pid" 2>/dev/null || break
  sleep 0.1
done
check "the window \"Realtime Vorla\" appears" "[ -n '$window' ]"
if [ -n "$window" ]; then
  # The panel is drawn in the first repaint; give a slow machine time to get there.
  dark=0
  for _ in $(seq 30); do
    import -window "$window" "$work/window.png"
    dark=$(convert "$work/window.png" -crop 1024x120+0+0 +repage -colorspace Gray \
      -threshold 50% -negate -format '%[fx:int(mean*w*h+0.5)]' info:)
    [ "$dark" -gt 1000 ] && break
    sleep 0.5
  done
  check "the panel shows its text ($dark dark pixels in the top 120 rows)" "[ $dark -gt 1000 ]"
  icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ' || true)
  check "the window carries the program's icon: $icons" \
    "[[ '$icons' == *'Icon (16 x 16)'*'Icon (22 x 22)'*'Icon (48 x 48)'* ]]"
  check "started from the menu, the log is in ~/.local/state/vorla and not in home" \
    "[ -e '$root/home/user/.local/state/vorla/test.txt' ] && [ ! -e '$root/home/user/test.txt' ]"
fi
kill "$vorla_pid" 2>/dev/null || true
wait "$vorla_pid" 2>/dev/null || true
vorla_pid=
[ $failures -eq 0 ] || { echo "== the program's output:"; cat "$work/vorla.log"; }

echo "$failures failed, ${SECONDS} s"
[ $failures -eq 0 ]
