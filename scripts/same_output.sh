#!/usr/bin/env bash
# Runs dovreth-cli over a fixed tree (Japanese names, nested folders, a failing rename, a
# user-made folder, a copy) and keeps every file the program writes, so two builds can be
# compared byte for byte:
#   scripts/same_output.sh OLD/dovreth-cli /tmp/before
#   scripts/same_output.sh NEW/dovreth-cli /tmp/after
#   diff -r /tmp/before /tmp/after
# Times inside the save file and the tree dumps come from the disk, so the tree is made with
# fixed times (touch -d) and the same layout each run.
set -euo pipefail
cli="$1"
out="$2"
rm -rf "$out"
mkdir -p "$out"
work="$(mktemp -d /tmp/dovreth-same-XXXXXX)"
trap 'rm -rf "$work"' EXIT

make_tree() {
    local t="$work/t"
    rm -rf "$t" "$work/copy" "$work/home"
    mkdir -p "$t/写真/旅行/京都" "$t/書類" "$t/空" "$work/home"
    echo a >"$t/写真/旅行/京都/金閣寺.jpg"
    echo bb >"$t/写真/旅行/京都/清水寺.jpg"
    echo ccc >"$t/写真/旅行/大阪.jpg"
    echo d >"$t/書類/報告書.txt"
    echo e >"$t/書類/p_報告書.txt" # the rename of 報告書.txt meets this name and fails
    echo f >"$t/メモ.txt"
    printf 'x%.0s' {1..300} >"$t/書類/長い.bin"
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

run rename --folder / --select-all --into-folders --exec 'PasteLeftListString("p_")' --tree --list \
    --save "$work/home/save.dat" --rename --tree
run usermade --folder /t --mkdir --exec 'PasteLeftListString("新規")' --folder /t --select-all \
    --into-folders --exec 'PasteRightListString("_z")' --rename --tree
run copy --folder / --select-all --into-folders --exec 'PasteLeftListString("c_")' \
    --copy-to "$work/copy"
run open --save "$work/home/s1.dat" --open "$work/home/s1.dat" --folder / --select-all \
    --into-folders --exec 'PasteLeftListString("o_")' --rename --tree
# the work folder's name differs between runs: keep only what follows it
grep -rlZ "$work" "$out" 2>/dev/null | xargs -0 -r sed -i "s#$work#WORK#g"
