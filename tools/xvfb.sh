#!/usr/bin/env bash
# A private Xvfb on a display it finds free itself (-displayfd), for everything here that
# opens a window: ./test, bench/report and the end-to-end driver all start theirs with it.
#
# Sourced:
#   source tools/xvfb.sh
#   xvfb_start [SCREEN [XVFB ARGS...]]   sets and exports DISPLAY and XVFB_PID
#   xvfb_stop                            stops it and puts DISPLAY back (also run on exit)
# Run:
#   tools/xvfb.sh [SCREEN [XVFB ARGS...]] -- COMMAND [ARGS...]
#       runs COMMAND on its own server; the exit status is COMMAND's
#   tools/xvfb.sh [SCREEN [XVFB ARGS...]] --hold
#       prints the display (":N") and keeps the server until its standard input ends,
#       for programs in other languages: they hold the pipe and close it to stop it
#
# SCREEN is WIDTHxHEIGHTxDEPTH or WIDTHxHEIGHT (depth 24); 1280x1024x24 when empty or left
# out. The XVFB ARGS go to Xvfb as they are, e.g. -extension GLX to start it without GLX.
# The server dies with the shell that started it, even when that shell is killed.

xvfb_pid=""
XVFB_PID=""
_xvfb_display_before=""

xvfb_start() {
  local screen=${1:-1280x1024x24}
  [ $# -gt 0 ] && shift
  [[ $screen =~ ^[0-9]+x[0-9]+$ ]] && screen=${screen}x24
  if ! [[ $screen =~ ^[0-9]+x[0-9]+x[0-9]+$ ]]; then
    echo "xvfb: screen '$screen' is not WIDTHxHEIGHT[xDEPTH]" >&2
    return 2
  fi
  [ -z "$xvfb_pid" ] || xvfb_stop
  command -v Xvfb >/dev/null || { echo "xvfb: no Xvfb (package xvfb)" >&2; return 1; }
  local dir n=""
  dir=$(mktemp -d /tmp/aerovane-xvfb-XXXXXX) || return 1
  mkfifo "$dir/display" || { rm -rf "$dir"; return 1; }
  # Xvfb writes the display number to fd 7 once it takes connections.
  setpriv --pdeathsig TERM -- Xvfb -displayfd 7 -screen 0 "$screen" -nolisten tcp -noreset "$@" \
    7>"$dir/display" >/dev/null 2>"$dir/log" &
  xvfb_pid=$!
  read -r -t 30 n <"$dir/display"
  if ! [[ $n =~ ^[0-9]+$ ]]; then
    echo "xvfb: Xvfb $screen $* did not start: $(tail -n 3 "$dir/log" 2>/dev/null)" >&2
    rm -rf "$dir"
    xvfb_stop
    return 1
  fi
  rm -rf "$dir"
  _xvfb_display_before=${DISPLAY-}
  export DISPLAY=":$n" XVFB_PID=$xvfb_pid
  trap xvfb_stop EXIT
}

xvfb_stop() {
  [ -n "$xvfb_pid" ] || return 0
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid="" XVFB_PID=""
  if [ -n "$_xvfb_display_before" ]; then export DISPLAY=$_xvfb_display_before; else unset DISPLAY; fi
  _xvfb_display_before=""
  return 0
}

# Run rather than sourced: the server for one command, or held for another program.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  args=() mode=""
  while [ $# -gt 0 ]; do
    case $1 in
      --) mode=run; shift; break ;;
      --hold) mode=hold; shift; break ;;
      *) args+=("$1"); shift ;;
    esac
  done
  case $mode in
    run)
      [ $# -gt 0 ] || { echo "usage: $0 [SCREEN [XVFB ARGS...]] -- COMMAND [ARGS...]" >&2; exit 2; }
      xvfb_start "${args[@]}" || exit 1
      trap 'exit 143' TERM
      trap 'exit 130' INT
      "$@"
      exit $? ;;
    hold)
      xvfb_start "${args[@]}" || exit 1
      trap 'exit 143' TERM
      trap 'exit 130' INT
      echo "$DISPLAY"
      cat <&0 >/dev/null &
      wait $!
      exit 0 ;;
    *)
      echo "usage: $0 [SCREEN [XVFB ARGS...]] -- COMMAND [ARGS...]" >&2
      echo "       $0 [SCREEN [XVFB ARGS...]] --hold" >&2
      exit 2 ;;
  esac
fi
