#!/usr/bin/env bash
# Measures what the headless agent costs while it waits between polls: CPU time used and resident memory
# after it has settled, over a window of idle time (default 60 s).
#
#   bench/idle-agent.sh [path to orlin-agent] [seconds]
set -euo pipefail

agent=${1:-build/release/orlin-agent}
window=${2:-60}
home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$home"' EXIT

env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_STATE_HOME="$home/state" "$agent" --headless >/dev/null 2>&1 &
pid=$!
sleep 3  # let the launch and the first tick finish

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
switches() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$pid/status"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
switches_before=$(switches)
sleep "$window"
after=$(ticks)
wakeups=$(( $(switches) - switches_before ))
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")

cpu_ms=$(( (after - before) * 1000 / hz ))
echo "idle window:        ${window} s"
echo "CPU time used:      ${cpu_ms} ms ($(awk -v c="$cpu_ms" -v w="$window" 'BEGIN {printf "%.3f", c / (w * 10)}') % of one core)"
echo "resident memory:    $(( rss / 1024 )) MiB (${rss} KiB)"
echo "wake-ups:           ${wakeups} in the window"
