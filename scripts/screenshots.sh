#!/usr/bin/env bash
# Pictures of the window under a virtual X server with a window manager: a loaded folder of
# Japanese and ASCII names at the start-up, minimum and a large size, the output folder
# chooser, the serial numbering dialog, the colour settings, the list of predicted failures and
# the box of a journal's changes.
#   scripts/screenshots.sh [OUTDIR]     (default: screenshots/ in the checkout)
# Builds the window first (build/, like scripts/dev.sh build). Needs xvfb and openbox (a window
# manager whose title bars draw Japanese; installed here when missing).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(mkdir -p "${1:-$here/screenshots}" && cd "${1:-$here/screenshots}" && pwd)"
cd "$here"

need=()
command -v Xvfb >/dev/null 2>&1 || need+=(xvfb)
command -v openbox >/dev/null 2>&1 || need+=(openbox)
if ((${#need[@]})); then
    sudo_cmd=()
    [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target shell_screenshot >/dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/dovreth-shots-XXXXXX")"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A sample folder: Japanese and ASCII names, a few sub-folders.
d="$work/サンプル"
mkdir -p "$d/写真/2024年" "$d/資料" "$d/src"
for n in 議事録.txt 見積書_第2版.xlsx readme.md ﾒﾓ.txt "long file name with spaces.txt"; do
    printf '%s' "$n" >"$d/写真/$n"
done
for i in $(seq -w 1 30); do head -c $((10#$i * 137)) /dev/zero >"$d/写真/IMG_00$i.jpg"; done
for n in 報告書.docx 予定表.csv 画像一覧.html; do : >"$d/資料/$n"; done
for n in main.cpp view.h 設定.ini; do : >"$d/src/$n"; done
mkdir -p "$work/home" "$work/run" && chmod 700 "$work/run"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display" DOVRETH_HOME="$work/home" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
sleep 1
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
build/tests/shell/shell_screenshot "$d" "$out"
