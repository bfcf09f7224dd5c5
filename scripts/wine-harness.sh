#!/usr/bin/env bash
# The Wine environment of one build folder: its own prefix, an Xvfb display and a warm wineserver.
#
#   wine-harness.sh prefix <builddir>                 create <builddir>/wineprefix when missing
#   wine-harness.sh start  <builddir> [loader]        prefix, Xvfb on a free display, `wineserver -p`
#   wine-harness.sh stop   <builddir>                 end what start began (by PID) and forget it
#   wine-harness.sh run    <builddir> <loader> <program> [args...]
#                                                     run one Windows program in that environment
#   wine-harness.sh env    <builddir>                 print the environment as shell assignments
#
# start records the display and the PIDs in <builddir>/wine-harness.state; run takes the display
# from there, so every program of a test suite lands on the suite's own X server. Without a
# running harness, run keeps the caller's DISPLAY (a desktop session, or none for console tools).
# Wine is never started without WINEPREFIX: it would silently create ~/.wine.
# KESTREL_WINE_DLL_OVERRIDES adds DLL overrides of a test's own (Wine takes them from the
# environment it starts with only, not from a Windows program's environment block).
set -euo pipefail

die() { echo "wine-harness: $*" >&2; exit 1; }

usage() {
  sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

[ $# -ge 2 ] || usage
command=$1
build=$(cd "$2" 2>/dev/null && pwd) || die "no build folder $2"
shift 2

state_file=$build/wine-harness.state
prefix=$build/wineprefix
ready_marker=$prefix/.kestrel-ready

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=${KESTREL_WINE_DLL_OVERRIDES:+;$KESTREL_WINE_DLL_OVERRIDES}"
# Wine reads Unix file names and program arguments in the locale's character set: a folder with
# a non-ASCII letter reaches the programs whole only with UTF-8, whatever the caller's locale.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *UTF-8* | *utf8* | *UTF8* | *utf-8*) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac

# A PID counts as running when it exists and is not a zombie waiting to be reaped.
alive() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat:0:1}" != Z ]
}

# True when the PID is running and its command line mentions the given name, so that a PID
# reused by an unrelated process is never signalled.
is_ours() {
  alive "$1" && tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -q -- "$2"
}

wait_gone() {
  local pid=$1 tenths=$2
  while [ "$tenths" -gt 0 ]; do
    alive "$pid" || return 0
    sleep 0.1
    tenths=$((tenths - 1))
  done
  ! alive "$pid"
}

end_process() {
  local pid=$1 name=$2
  [ -n "$pid" ] || return 0
  is_ours "$pid" "$name" || return 0
  kill -TERM "$pid" 2>/dev/null || true
  if ! wait_gone "$pid" 50; then
    kill -KILL "$pid" 2>/dev/null || true
    wait_gone "$pid" 50 || echo "wine-harness: $name ($pid) did not end" >&2
  fi
}

# The socket of the wineserver of this prefix. Wine names its folder after the device and inode
# numbers of the prefix; the parent is /tmp/.wine-<uid>, or a private temporary folder whose name
# the prefix records in its file "wineserver" (Debian's build).
server_socket() {
  local parent=/tmp/.wine-$(id -u)
  if [ -f "$prefix/wineserver" ]; then parent=/tmp/$(cat "$prefix/wineserver"); fi
  printf '%s/server-%x-%x/socket' "$parent" "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")"
}

# Ends a wineserver that some program of this prefix started on its own (for example while
# CTest listed the unit tests) and waits until it has removed its socket: a server that is
# still exiting would otherwise delete the socket of the one we start next.
end_stray_server() {
  [ -S "$(server_socket)" ] || return 0
  wineserver -k 2>/dev/null || true
  wait_server_gone
}

wait_server_gone() {
  local socket i
  socket=$(server_socket)
  for i in $(seq 100); do
    [ -S "$socket" ] || return 0
    sleep 0.1
  done
  echo "wine-harness: $socket is still there after 10 s; going on" >&2
}

create_prefix() {
  exec 9>"$build/wine-harness.lock"
  flock 9
  if [ -e "$ready_marker" ]; then
    exec 9>&-
    return 0
  fi
  # A prefix without the marker was interrupted half-way: start again from nothing.
  rm -rf "$prefix"
  echo "wine-harness: creating Wine prefix $prefix" >&2
  local reg=$build/wine-harness.reg
  cat >"$reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x1024"
EOF
  # The loader that runs on this machine sets up the prefix.
  local wine_arch wine_loader
  . "$(dirname "$0")/wine-arch.sh"
  local loader=$wine_loader
  (
    # Without a display wineboot shows no progress window; its helpers must not keep the lock.
    unset DISPLAY
    "$loader" wineboot -i </dev/null >"$build/wineboot.log" 2>&1 9>&-
    "$loader" regedit /S "$(wine_path "$reg")" </dev/null >>"$build/wineboot.log" 2>&1 9>&-
    wineserver -w 9>&-
  ) || die "creating the prefix failed; see $build/wineboot.log"
  # The server writes the registry files as it exits.
  wait_server_gone
  grep -q '"ShowCrashDialog"=dword:00000000' "$prefix/user.reg" ||
    die "the registry settings did not reach $prefix/user.reg"
  touch "$ready_marker"
  exec 9>&-
}

# Wine sees the Unix file system as drive Z:.
wine_path() {
  printf 'Z:%s' "${1//\//\\}"
}

read_state() {
  display='' xvfb_pid='' wineserver_pid=''
  [ -f "$state_file" ] || return 1
  local key value
  while IFS='=' read -r key value; do
    case $key in
      DISPLAY) display=$value ;;
      XVFB_PID) xvfb_pid=$value ;;
      WINESERVER_PID) wineserver_pid=$value ;;
    esac
  done <"$state_file"
}

stop_harness() {
  if ! read_state; then
    echo "wine-harness: nothing running for $build"
    return 0
  fi
  # -k ends every Wine process of this prefix, then the server itself.
  wineserver -k 2>/dev/null || true
  if [ -n "$wineserver_pid" ] && ! wait_gone "$wineserver_pid" 100; then
    end_process "$wineserver_pid" wineserver
  fi
  end_process "$xvfb_pid" Xvfb
  rm -f "$state_file"
  echo "wine-harness: stopped display $display"
}

start_xvfb() {
  # The lock keeps two harnesses from choosing the same display at the same moment.
  exec 8>/tmp/.kestrel-xvfb.lock
  flock 8
  local n pid i
  for n in $(seq 90 250); do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then continue; fi
    setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$build/xvfb.log" 2>&1 8>&- &
    pid=$!
    for i in $(seq 200); do
      alive "$pid" || break
      if [ -S "/tmp/.X11-unix/X$n" ] && xdpyinfo -display ":$n" >/dev/null 2>&1; then
        display=:$n
        xvfb_pid=$pid
        exec 8>&-
        return 0
      fi
      sleep 0.05
    done
    end_process "$pid" Xvfb
  done
  exec 8>&-
  die "no free X display between :90 and :250; see $build/xvfb.log"
}

start_harness() {
  local loader=${1:-wine}
  if read_state; then
    echo "wine-harness: ending the harness left over from an earlier run ($display)" >&2
    stop_harness >/dev/null
  fi
  create_prefix
  end_stray_server

  start_xvfb
  export DISPLAY=$display
  setsid wineserver -f -p </dev/null >"$build/wineserver.log" 2>&1 &
  wineserver_pid=$!
  local socket i
  socket=$(server_socket)
  for i in $(seq 200); do
    [ -S "$socket" ] && break
    alive "$wineserver_pid" || break
    sleep 0.05
  done
  if ! [ -S "$socket" ] || ! alive "$wineserver_pid"; then
    end_process "$xvfb_pid" Xvfb
    die "wineserver did not start; see $build/wineserver.log"
  fi
  printf 'DISPLAY=%s\nXVFB_PID=%s\nWINESERVER_PID=%s\n' "$display" "$xvfb_pid" "$wineserver_pid" >"$state_file"

  # Start Wine's own services now, with their output in a file, so the first test does not
  # pay for it.
  if ! "$loader" cmd.exe /c exit 0 </dev/null >"$build/wine-warmup.log" 2>&1; then
    stop_harness >/dev/null
    die "a first Wine program did not run; see $build/wine-warmup.log"
  fi
  echo "wine-harness: display $display, Xvfb $xvfb_pid, wineserver $wineserver_pid"
}

run_program() {
  [ $# -ge 2 ] || usage
  local loader=$1
  shift
  [ -e "$ready_marker" ] || create_prefix
  if read_state; then
    export DISPLAY=$display
  fi
  # Listing a test program's cases happens when CTest starts, before any fixture; a failure there
  # loses the whole tree's tests. Wine has been seen, rarely and under load, to end such a start
  # with nothing printed, so a listing (which changes nothing) is tried up to three times.
  local argument
  for argument in "$@"; do
    if [ "$argument" = --gtest_list_tests ]; then
      local output errors status attempt
      output=$(mktemp)
      errors=$(mktemp)
      for attempt in 1 2 3; do
        status=0
        "$loader" "$@" >"$output" 2>"$errors" || status=$?
        [ $status -eq 0 ] && break
      done
      cat "$output"
      cat "$errors" >&2
      rm -f "$output" "$errors"
      return $status
    fi
  done
  exec "$loader" "$@"
}

case $command in
  prefix) create_prefix ;;
  start) start_harness "$@" ;;
  stop) stop_harness ;;
  run) run_program "$@" ;;
  env)
    read_state || true
    printf 'export WINEPREFIX=%q WINEDEBUG=%q WINEDLLOVERRIDES=%q\n' "$WINEPREFIX" "$WINEDEBUG" "$WINEDLLOVERRIDES"
    if [ -n "${display:-}" ]; then printf 'export DISPLAY=%q\n' "$display"; fi
    ;;
  *) usage ;;
esac
