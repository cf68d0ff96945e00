#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Quarrin and Vistrel beside their peers, in one run on a private Xvfb display:
#   - Quarrin's window (Usage tab) beside btop (3 s updates, in a tmux pane of its own),
#   - Vistrel beside conky (memory and disk bars, 3 s updates),
#   - a bare GTK 4 window of Quarrin's size, redrawn whole every 3 s (bench/peers/bare-window.c).
# Each process's CPU per tick (utime+stime over the sampled time, divided by its ticks), resident
# memory, voluntary context switches per tick and wake-ups between ticks are sampled by
# bench/peers/sample.py; the ratios are printed at the end, medians over the rounds.
#
# usage: bench/peers.sh [BUILD_DIR]     (default build/; needs quarrin and vistrel built)
#   PEERS_SECONDS    sampled seconds per round (default 60)
#   PEERS_ROUNDS     rounds per renderer (default 1)
#   PEERS_RENDERERS  GSK renderers to run with (default "cairo default"; "default" leaves
#                    GSK_RENDERER unset)
# Needs btop, conky, tmux, Xvfb, xdotool, python3 and GTK 4's headers (setup's optional list).
# Everything runs on this machine only: no network beyond a private X display and session bus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${PEERS_SECONDS:-60}
rounds=${PEERS_ROUNDS:-1}
renderers=${PEERS_RENDERERS:-cairo default}
quarrin=$build/app/shell/quarrin
vistrel=$build/widget/vistrel
for program in "$quarrin" "$vistrel"; do
    [[ -x $program ]] || { echo "peers: $program is not built" >&2; exit 1; }
done
for tool in btop conky tmux Xvfb xdotool python3 pkg-config cc; do
    command -v "$tool" >/dev/null || { echo "peers: $tool is missing (scripts/setup lists it as optional)" >&2; exit 1; }
done

work=$(mktemp -d -t quarrin-peers-XXXXXX)
tmux_socket="quarrin-peers-$$"
pids=()
xvfb_pid=""
bus_pid=""
stop_round() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    tmux -L "$tmux_socket" kill-server 2>/dev/null || true
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    pids=()
}
cleanup() {
    stop_round
    [[ -n $bus_pid ]] && kill "$bus_pid" 2>/dev/null || true
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Private places for everything the programs write (btop's settings, GTK's caches).
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
export XDG_RUNTIME_DIR=$work/runtime LANG=C.UTF-8 LC_ALL=C.UTF-8 NO_AT_BRIDGE=1
mkdir -p "$HOME" "$XDG_CONFIG_HOME/btop" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY
# Nothing is fetched: any attempt meets a closed loopback port.
export http_proxy=http://127.0.0.1:9 https_proxy=http://127.0.0.1:9 all_proxy=http://127.0.0.1:9

cat >"$XDG_CONFIG_HOME/btop/btop.conf" <<'CONF'
update_ms = 3000
force_tty = False
show_battery = False
CONF
cat >"$work/conky.conf" <<'CONF'
conky.config = {
    out_to_x = true, out_to_console = false, background = false,
    own_window = true, own_window_type = 'normal', own_window_title = 'conky-peer',
    double_buffer = true, update_interval = 3, total_run_times = 0,
    alignment = 'top_right', minimum_width = 320, use_xft = true, font = 'DejaVu Sans:size=10',
};
conky.text = [[
RAM ${mem} / ${memmax}
${membar 10,300}
Disk ${fs_used /} / ${fs_size /}
${fs_bar 10,300 /}
]]
CONF

cc -O2 -o "$work/bare-window" bench/peers/bare-window.c $(pkg-config --cflags --libs gtk4)

Xvfb -displayfd 1 -screen 0 1400x1440x24 -nolisten tcp -noreset >"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
done
[[ -s $work/display ]] || { echo "peers: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")
read -r DBUS_SESSION_BUS_ADDRESS bus_pid < <(dbus-daemon --session --print-address=1 --print-pid=1 --fork --nopidfile | paste -s -d' ')
export DBUS_SESSION_BUS_ADDRESS

# The first visible window of a process.
window_of() {
    local pid=$1 id=""
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1) && [[ -n $id ]] && break
        sleep 0.1
    done
    [[ -n $id ]] && echo "$id"
}
# Its size as "W H".
window_size() {
    local id
    id=$(window_of "$1") || return 1
    xdotool getwindowgeometry --shell "$id" | awk -F= '/^WIDTH/{w=$2} /^HEIGHT/{h=$2} END{print w, h}'
}

# A first launch of each in the private home: the first run of a version fetches the data set and
# writes its settings, which is not what a running monitor costs.
for program in "$quarrin" "$vistrel"; do
    "$program" >"$work/first-launch.log" 2>&1 &
    pids+=("$!")
    sleep 6
    stop_round
done

results=$work/results.jsonl
: >"$results"
for renderer in $renderers; do
    for round in $(seq "$rounds"); do
        if [[ $renderer == default ]]; then
            unset GSK_RENDERER
        else
            export GSK_RENDERER=$renderer
        fi
        "$quarrin" >"$work/quarrin.log" 2>&1 &
        quarrin_pid=$!
        pids+=("$quarrin_pid")
        size=$(window_size "$quarrin_pid") || { echo "peers: Quarrin's window did not show" >&2; cat "$work/quarrin.log" >&2; exit 1; }
        "$work/bare-window" $size 3 >"$work/bare.log" 2>&1 &
        bare_pid=$!
        pids+=("$bare_pid")
        "$vistrel" >"$work/vistrel.log" 2>&1 &
        vistrel_pid=$!
        pids+=("$vistrel_pid")
        conky -c "$work/conky.conf" >"$work/conky.log" 2>&1 &
        conky_pid=$!
        pids+=("$conky_pid")
        tmux -L "$tmux_socket" -f /dev/null new-session -d -x 132 -y 43 "exec btop"
        btop_pid=$(tmux -L "$tmux_socket" list-panes -F '#{pane_pid}' | head -n1)
        window_of "$bare_pid" >/dev/null && window_of "$vistrel_pid" >/dev/null || true
        # Quarrin refreshes only while it is the active application: give its window the focus
        # (there is no window manager to hand it to whichever window came last).
        xdotool windowfocus --sync "$(window_of "$quarrin_pid")"
        # Past the launch: the first loads and layouts are not a tick's cost, and GLib's pool threads
        # that served the launch end after 15 idle seconds (one wake-up each, not a tick's).
        sleep 20
        for pid in "$quarrin_pid" "$bare_pid" "$vistrel_pid" "$conky_pid" "$btop_pid"; do
            kill -0 "$pid" 2>/dev/null || { echo "peers: process $pid ended early" >&2; tail "$work"/*.log >&2; exit 1; }
        done
        echo "peers: renderer $renderer, round $round: sampling ${seconds} s (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
        python3 bench/peers/sample.py "$seconds" quarrin="$quarrin_pid:3" bare="$bare_pid:3" vistrel="$vistrel_pid:3" \
            conky="$conky_pid:3" btop="$btop_pid:3" | sed "s/^{/{\"renderer\": \"$renderer\", \"round\": $round, /" >>"$results"
        stop_round
    done
done

python3 - "$results" <<'REPORT'
import json, statistics, sys
rows = [json.loads(line) for line in open(sys.argv[1])]
def median(renderer, name, key):
    return statistics.median(r[key] for r in rows if r["renderer"] == renderer and r["name"] == name)
for renderer in dict.fromkeys(r["renderer"] for r in rows):
    rounds = len({r["round"] for r in rows if r["renderer"] == renderer})
    print(f"== GSK renderer: {renderer} (median of {rounds} round{'s' if rounds > 1 else ''})")
    print(f"{'process':<9}{'CPU ms/tick':>12}{'RSS MiB':>9}{'switches/tick':>15}{'wake-ups between':>18}")
    for name in ("quarrin", "bare", "btop", "vistrel", "conky"):
        print(f"{name:<9}{median(renderer, name, 'cpu_ms_per_tick'):>12.2f}{median(renderer, name, 'rss_mib'):>9.1f}"
              f"{median(renderer, name, 'switches_per_tick'):>15.2f}{median(renderer, name, 'wakeups_between_ticks'):>18.2f}")
    q, b, t = (median(renderer, n, "cpu_ms_per_tick") for n in ("quarrin", "bare", "btop"))
    v, c = (median(renderer, n, "cpu_ms_per_tick") for n in ("vistrel", "conky"))
    qr, br, vr = (median(renderer, n, "rss_mib") for n in ("quarrin", "bare", "vistrel"))
    print(f"Quarrin CPU/tick above the bare window: {q - b:+.2f} ms (goal at most +0.5)")
    print(f"Quarrin / btop CPU per update:          {q / t if t else float('nan'):.2f} (goal at most 0.5)")
    print(f"Vistrel / conky CPU per update:         {v / c if c else float('nan'):.2f} (goal at most 2)")
    print(f"Quarrin RSS above the bare window:      {qr - br:+.1f} MiB (goal at most +10)")
    print(f"Vistrel RSS above the bare window:      {vr - br:+.1f} MiB (goal at most +5)")
    print(f"Quarrin switches/tick {median(renderer, 'quarrin', 'switches_per_tick'):.2f} (goal at most 4), "
          f"wake-ups between ticks {median(renderer, 'quarrin', 'wakeups_between_ticks'):.2f} (goal 0)")
REPORT
