#!/usr/bin/env bash
# Runs dovreth-cli over a fixed tree (Japanese names, nested folders, a failing rename, a
# user-made folder, a copy) and keeps every file the program writes, so two builds can be
# compared byte for byte:
#   scripts/same_output.sh OLD/dovreth-cli /tmp/before
#   scripts/same_output.sh NEW/dovreth-cli /tmp/after
#   scripts/same_output.sh --compare /tmp/before /tmp/after
# (with SAME_WORK=/some/folder set for both runs: see below).
# (give both output folders names of the same length: their path is inside the save file).
# Times come from the disk: the tree is made with fixed times (touch -d), but a change time
# cannot be set, so the save files are written from one tree kept in $3 (made on the first
# run, never changed: the runs that rename do not save).
set -euo pipefail
if [[ "${1:-}" == --compare ]]; then
    # The save file's root record carries the time of the run (its first 224 bytes here). The
    # rename journals record the device and inode of each folder and entry, which differ from
    # one run to the next: they are left out.
    diff -r -x s.dat -x 'RenameJournal*.txt' "$2" "$3"
    if { cmp -l "$2/save/s.dat" "$3/save/s.dat" || true; } | awk '$1 > 224 { bad = 1 } END { exit bad }'; then
        echo "same output"
    else
        echo "save files differ"
        exit 1
    fi
    exit 0
fi
cli="$1"
out="$2"
kept="${3:-/tmp/dovreth-same-tree}"
rm -rf "$out"
mkdir -p "$out"
# The journal's checksums cover the real paths, so two runs to be compared need the same work
# folder: SAME_WORK=/tmp/dovreth-same-work (emptied first) for both.
if [[ -n "${SAME_WORK:-}" ]]; then
    work="$SAME_WORK"
    rm -rf "$work"
    mkdir -p "$work"
else
    work="$(mktemp -d /tmp/dovreth-same-XXXXXX)"
fi
trap 'rm -rf "$work"' EXIT

make_tree() {
    local t="${1:-$work}/t"
    rm -rf "$t" "$work/copy" "$work/home"
    mkdir -p "$t/写真/旅行/京都" "$t/書類" "$t/空" "$work/home"
    echo a >"$t/写真/旅行/京都/金閣寺.jpg"
    echo bb >"$t/写真/旅行/京都/清水寺.jpg"
    echo ccc >"$t/写真/旅行/大阪.jpg"
    echo d >"$t/書類/報告書.txt"
    echo e >"$t/書類/p_報告書.txt" # the rename of 報告書.txt meets this name and fails
    echo f >"$t/メモ.txt"
    printf 'x%.0s' {1..300} >"$t/書類/長い.bin"
    [[ -n "${1:-}" ]] && return
    mkdir -p "$work/copy/Root/c_t"
    echo old >"$work/copy/Root/c_t/c_メモ.txt" # the copy of メモ.txt meets this name and fails
    find "$t" -exec touch -h -d '2020-01-02 03:04:05' {} +
}

run() {  # $1: label, rest: cli options (the tree is loaded first)
    local label="$1"
    shift
    make_tree
    local rc=0
    (cd "$work" && DOVRETH_HOME="$work/home" "$cli" t "$@" >"$out/$label.stdout" 2>"$out/$label.stderr") || rc=$?
    echo "$rc" >"$out/$label.rc"
    mkdir -p "$out/$label"
    cp -r "$work/home/." "$out/$label/" 2>/dev/null || true
    (cd "$work" && find t copy 2>/dev/null | LC_ALL=C sort >"$out/$label.disk") || true
}

if [[ ! -d "$kept/t" ]]; then
    mkdir -p "$kept"
    make_tree "$kept"
    # the first read sets the access times (relatime); later runs then see the same ones
    find "$kept" -type f -exec cat {} + >/dev/null
    ls -R "$kept" >/dev/null
fi
mkdir -p "$out/save"
(cd "$kept" && DOVRETH_HOME="$out/save" "$cli" t --folder / --select-all --into-folders \
    --exec 'PasteLeftListString("s_")' --save "$out/save/s.dat" --open "$out/save/s.dat" --tree \
    >"$out/save.stdout" 2>"$out/save.stderr") || echo "$?" >"$out/save.rc"
grep -rlZ "$out" "$out" 2>/dev/null | xargs -0 -r sed -i "s#$out#OUT#g"

run rename --folder / --select-all --into-folders --exec 'PasteLeftListString("p_")' --tree --list \
    --rename --tree
run usermade --folder /t --mkdir --exec 'PasteLeftListString("新規")' --folder /t --select-all \
    --into-folders --exec 'PasteRightListString("_z")' --rename --tree
run copy --folder / --select-all --into-folders --exec 'PasteLeftListString("c_")' \
    --copy-to "$work/copy"
run open --save "$work/s1.dat" --open "$work/s1.dat" --folder / --select-all \
    --into-folders --exec 'PasteLeftListString("o_")' --rename --tree
# the work folder's name differs between runs: keep only what follows it
grep -rlZ "$work" "$out" 2>/dev/null | xargs -0 -r sed -i "s#$work#WORK#g"
