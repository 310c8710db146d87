#!/usr/bin/env bash
# Loads one folder-rich tree with dovreth-cli and with the window (offscreen) and prints each
# one's time and peak resident memory, and the window's ratios against dovreth-cli.
#   dovreth-cli  load, nothing else (the process's wall time)
#   window       start of the load to the list's first painted rows (bench/window_load.cpp),
#                and the whole process's wall time
# The tree comes from folder_tree_gen (17,000 folders, 160,000 entries, 8 levels) unless TREE
# names one already made. Each tool loads it once first so that both read from a warm cache.
#
# Usage: bench/window_load_bench.sh [BUILD]   (BUILD: a build folder configured with
#        -DDOVRETH_BUILD_BENCH=ON and the window; default build/)
#        TREE=/path/to/tree to reuse a tree; RUNS=3 to change the number of timed runs
# Needs /usr/bin/time (Debian package "time").
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:-$here/../build}" && pwd)"
cli="$build/src/cli/dovreth-cli"
win="$build/bench/window_load"
gen="$build/bench/folder_tree_gen"
runs="${RUNS:-3}"
for f in "$cli" "$win" "$gen"; do
    [[ -x "$f" ]] || { echo "window_load_bench: missing $f (build the bench targets)" >&2; exit 2; }
done
[[ -x /usr/bin/time ]] || { echo "window_load_bench: needs /usr/bin/time (package time)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/dovreth-winbench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
export DOVRETH_HOME="$work/home" QT_QPA_PLATFORM=offscreen
tree="${TREE:-}"
if [[ -z "$tree" ]]; then
    tree="$work/tree"
    "$gen" "$tree"
fi
tree="$(cd "$tree" && pwd)"

# measure NAME CMD...: appends "wall_s rss_kb" of one run to $work/NAME, and the command's
# own output to $work/NAME.out
measure() {
    local name="$1"
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >>"$work/$name.out" 2>/dev/null || true
    cat "$work/time" >>"$work/$name"
}

"$cli" "$tree" >/dev/null 2>&1 || true
"$win" "$tree" >/dev/null 2>&1 || true
for ((i = 0; i < runs; ++i)); do
    measure cli "$cli" "$tree"
    measure win "$win" "$tree"
done

# best run of each: the smallest wall time, the smallest peak
best() { sort -n -k"$2" "$work/$1" | head -1 | cut -d' ' -f"$2"; }
cli_s=$(best cli 1) cli_kb=$(best cli 2) win_s=$(best win 1) win_kb=$(best win 2)
win_ms=$(grep -o 'first rows painted [0-9]*' "$work/win.out" | grep -o '[0-9]*$' | sort -n | head -1)
echo "tree: $tree ($(find "$tree" -mindepth 1 | wc -l) entries, $(find "$tree" -mindepth 1 -type d | wc -l) folders)"
awk -v cs="$cli_s" -v ck="$cli_kb" -v ws="$win_s" -v wk="$win_kb" -v wm="$win_ms" 'BEGIN {
    printf "dovreth-cli: %.2f s, peak RSS %d MB\n", cs, ck / 1024
    printf "window:      %.2f s to the first painted rows (%.2f s the whole process), peak RSS %d MB\n", wm / 1000, ws, wk / 1024
    printf "ratios:      time %.2fx (load to rows) %.2fx (process), memory %.2fx\n", (wm / 1000) / cs, ws / cs, wk / ck
}'
