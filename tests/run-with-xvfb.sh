#!/usr/bin/env bash
# Runs a command against a private Xvfb server and stops the server afterwards.
# The display number is the first free one from 90 up; if another run takes it
# at the same moment, our server fails to start and the next number is tried.
set -u

if [ $# -eq 0 ]; then
  echo "usage: $0 command [arguments...]" >&2
  exit 2
fi

xvfb_pid=
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
config_home=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$config_home"' EXIT

# Editors with a window follow the user's zoom setting and the desktop's
# scale: the tests start from neither.
export XDG_CONFIG_HOME=$config_home
unset GDK_SCALE

display=90
for attempt in $(seq 1 20); do
  while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
  done
  # -noreset: a test closing the last connection must not restart the server under the next.
  Xvfb ":${display}" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  # Ready once its socket exists and the display's lock names our server (two
  # runs may have started a server on the same number; only one gets it).
  owned=
  for _ in $(seq 1 200); do
    if [ -S "/tmp/.X11-unix/X${display}" ] &&
      [ "$(tr -d ' ' <"/tmp/.X${display}-lock" 2>/dev/null)" = "$xvfb_pid" ]; then
      owned=yes
      break
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ -n "$owned" ]; then
    DISPLAY=":${display}" "$@"
    exit $?
  fi
  stop_xvfb
  xvfb_pid=
  display=$((display + 1))
done
echo "$0: could not start Xvfb" >&2
exit 1
