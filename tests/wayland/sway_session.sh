#!/usr/bin/env bash
# A headless Wayland desktop of the test's own: sway with Xwayland, PipeWire and the desktop
# portal (xdg-desktop-portal with its wlr and gtk backends) on a private session bus, and a
# command run in it as a user would run a program there.
#
# usage: sway_session.sh [--bin FILE]... -- COMMAND [ARG]...
#
# sway refuses to run as root, so the session runs as the unprivileged user nobody, in mount,
# network and process namespaces of its own: a private /tmp (Xwayland takes the lowest free
# display number, xdg-desktop-portal-wlr writes a fixed /tmp/out.png), a 0700 XDG_RUNTIME_DIR,
# and, when the command ends, every process of the session goes with the namespace. The files
# given with --bin are copied into a folder on the session's PATH (the build folder may not be
# readable by nobody). COMMAND sees:
#   WAYLAND_DISPLAY, DISPLAY (Xwayland), SWAYSOCK, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS,
#   XDG_CURRENT_DESKTOP=sway, HOME (a private folder),
#   ZOVEX_SESSION_BIN       the folder of the --bin copies,
#   ZOVEX_SESSION_SERVICES  the bus's activation folder: removing a service file there and
#                           reloading the bus's configuration makes that service unavailable.
# The output is HEADLESS-1, 1920x1080 at scale 1; `swaymsg output HEADLESS-1 ...` changes it.
# The exit code is the command's; 77 (skipped) when the session cannot be made here.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self=$here/$(basename "${BASH_SOURCE[0]}")

skip() {
  echo "SKIP: $*" >&2
  exit 77
}
die() {
  echo "sway_session: $*" >&2
  exit 1
}
note() { echo "sway_session: $*" >&2; }

uid=65534 gid=65534
session_root=/tmp/zovex-session

# Runs as nobody on the session's bus: the compositor, PipeWire, the portal's environment, then
# the command. Everything started here ends with the process namespace.
in_session() {
  local log=$session_root/log
  export XDG_RUNTIME_DIR=$session_root/runtime
  export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
    sway -c "$session_root/sway.config" >"$log/sway.log" 2>&1 &
  local sway_pid=$! deadline=$((SECONDS + 20))
  local socket=
  while [ -z "$socket" ]; do
    kill -0 "$sway_pid" 2>/dev/null || { cat "$log/sway.log" >&2; die "sway ended at start"; }
    [ $SECONDS -lt $deadline ] || { cat "$log/sway.log" >&2; die "sway did not open its Wayland socket"; }
    for s in "$XDG_RUNTIME_DIR"/wayland-*; do
      case $s in *.lock) ;; *) [ -S "$s" ] && socket=$(basename "$s") ;; esac
    done
    sleep 0.05
  done
  export WAYLAND_DISPLAY=$socket
  local sway_socket
  sway_socket=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n1 || true)
  while [ -z "$sway_socket" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.05
    sway_socket=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n1 || true)
  done
  [ -n "$sway_socket" ] || die "sway did not open its IPC socket"
  export SWAYSOCK=$sway_socket
  # Xwayland is started by sway at once (xwayland enable) on the lowest free display: this
  # /tmp is the session's own, so that is :0.
  while [ ! -S /tmp/.X11-unix/X0 ]; do
    [ $SECONDS -lt $deadline ] || { cat "$log/sway.log" >&2; die "Xwayland did not open display :0"; }
    sleep 0.05
  done
  export DISPLAY=:0

  # xdg-desktop-portal-wlr ends at start without PipeWire.
  pipewire >"$log/pipewire.log" 2>&1 &
  while [ ! -S "$XDG_RUNTIME_DIR/pipewire-0" ]; do
    [ $SECONDS -lt $deadline ] || { cat "$log/pipewire.log" >&2; die "PipeWire did not open its socket"; }
    sleep 0.05
  done
  # What the portal and its backends, started by the bus, need to find this desktop.
  dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY SWAYSOCK XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
    XDG_RUNTIME_DIR HOME PATH
  # The portal started and its Screenshot service up before the command runs, as on a desktop
  # where it runs from the login: its first start, with its backends, can take longer than a
  # program waits for an answer.
  local started=$SECONDS backend
  for backend in wlr gtk; do
    dbus-send --session --print-reply --reply-timeout=60000 --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.StartServiceByName string:org.freedesktop.impl.portal.desktop.$backend uint32:0 \
      >>"$log/portal.log" 2>&1 ||
      { cat "$log/portal.log" >&2; die "the portal's $backend backend did not start"; }
  done
  dbus-send --session --print-reply --reply-timeout=60000 --dest=org.freedesktop.portal.Desktop \
    /org/freedesktop/portal/desktop org.freedesktop.DBus.Properties.Get \
    string:org.freedesktop.portal.Screenshot string:version >>"$log/portal.log" 2>&1 ||
    { cat "$log/portal.log" >&2; die "the desktop portal offers no Screenshot service"; }
  note "the desktop portal's Screenshot service answered after $((SECONDS - started)) s"

  local status=0
  "$@" || status=$?
  swaymsg exit >/dev/null 2>&1 || true
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    note "the command ended with $status; the session's logs follow"
    for f in "$log"/*.log; do
      echo "--- $(basename "$f")" >&2
      tail -n 40 "$f" >&2
    done
  fi
  return "$status"
}

# Runs as root in the new namespaces, as their first process: the private /tmp, the session's
# folders and files, then the session as nobody.
in_namespace() {
  # The new /tmp is filled at /mnt (hidden only in this namespace) while the given files are
  # still reachable, then moved over /tmp.
  mount -t tmpfs -o mode=1777 tmpfs /mnt
  local stage=/mnt/${session_root#/tmp/}
  mkdir -p "$stage/bin"
  local bins=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    bins+=("$1")
    shift
  done
  shift
  # This script too: the checkout may lie in a folder nobody cannot read.
  for f in "$self" ${bins[@]+"${bins[@]}"}; do
    cp "$f" "$stage/bin/"
  done
  mount --move /mnt /tmp
  mount -t tmpfs -o mode=1777 tmpfs /dev/shm 2>/dev/null || true
  ip link set lo up 2>/dev/null || true
  mkdir -p "$session_root"/{home,log,runtime,services}
  cp /usr/share/dbus-1/services/*.service "$session_root/services/"
  cat >"$session_root/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$session_root/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
  cat >"$session_root/sway.config" <<'EOF'
output HEADLESS-1 mode 1920x1080 position 0 0 scale 1 bg #203040 solid_color
xwayland enable
focus_follows_mouse no
seat * hide_cursor 0
EOF
  chown -R "$uid:$gid" "$session_root"
  chmod 700 "$session_root/runtime"
  cd "$session_root/home"
  exec setpriv --reuid="$uid" --regid="$gid" --clear-groups --reset-env \
    env HOME="$session_root/home" PATH="$session_root/bin:/usr/local/bin:/usr/bin:/bin" \
    LANG=C.UTF-8 LC_ALL=C.UTF-8 ZOVEX_SESSION_BIN="$session_root/bin" \
    ZOVEX_SESSION_SERVICES="$session_root/services" ${ZOVEX_SESSION_KEEP_ENV:-} \
    dbus-run-session --config-file="$session_root/bus.conf" -- \
    bash "$session_root/bin/$(basename "$self")" --in-session "$@"
}

case ${1:-} in
--in-session)
  shift
  in_session "$@"
  exit
  ;;
--in-namespace)
  shift
  in_namespace "$@"
  ;;
esac

bins=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  case $1 in
  --bin)
    [ -f "${2:-}" ] || die "--bin needs a file (got '${2:-}')"
    bins+=("$(realpath "$2")")
    shift 2
    ;;
  *) die "unknown option $1 (usage: sway_session.sh [--bin FILE]... -- COMMAND [ARG]...)" ;;
  esac
done
[ "${1:-}" = -- ] && [ $# -ge 2 ] || die "usage: sway_session.sh [--bin FILE]... -- COMMAND [ARG]..."
shift

[ "$(id -u)" -eq 0 ] || skip "the Wayland session runs as the user nobody in namespaces of its own: run as root"
missing=()
for c in sway swaymsg Xwayland pipewire dbus-run-session dbus-update-activation-environment grim wl-paste \
  wl-copy foot setpriv unshare /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-wlr \
  /usr/libexec/xdg-desktop-portal-gtk; do
  command -v "$c" >/dev/null 2>&1 || missing+=("$c")
done
[ ${#missing[@]} -eq 0 ] || skip "missing ${missing[*]} (the [tests] packages of scripts/packages.txt)"
unshare --mount --net --pid --fork true 2>/dev/null ||
  skip "cannot make mount, network and process namespaces here (unshare --mount --net --pid)"

exec unshare --mount --net --pid --fork --mount-proc --propagation private \
  bash "$self" --in-namespace ${bins[@]+"${bins[@]}"} -- "$@"
