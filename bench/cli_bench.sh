#!/usr/bin/env bash
# Adds the prefix "p_" to N files (default 100,000) in one folder with four tools and prints
# each time and the ratios:
#   dovreth-cli   load + select all + PasteLeftListString + direct rename (with its log)
#   rename        Debian's perl rename (file-rename), names fed on standard input
#   mmv           mmv 'file_*' 'p_file_#1'
#   syscalls      a tiny C program: read the folder, then one rename(2) per file
# Every tool gets a freshly made folder; making the files is not timed.
#
# Usage: bench/cli_bench.sh [path/to/dovreth-cli]   (N=... to change the file count)
# Default binary: build-cli/src/cli/dovreth-cli of this checkout.
# When `rename` or `mmv` is missing the script installs the Debian packages "rename" and "mmv"
# with apt-get (as root, or through sudo).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cli="${1:-$here/../build-cli/src/cli/dovreth-cli}"
N="${N:-100000}"

if [[ ! -x "$cli" ]]; then
    echo "cli_bench: no dovreth-cli at $cli (build the target dovreth-cli first)" >&2
    exit 2
fi

need=()
command -v rename >/dev/null 2>&1 || need+=(rename)
command -v mmv >/dev/null 2>&1 || need+=(mmv)
if ((${#need[@]})); then
    echo "cli_bench: installing ${need[*]} with apt-get" >&2
    sudo_cmd=()
    [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get install -y "${need[@]}" >/dev/null ||
        { "${sudo_cmd[@]}" apt-get update >/dev/null && "${sudo_cmd[@]}" apt-get install -y "${need[@]}" >/dev/null; }
fi
if [[ "$(rename --version 2>&1)" != *File::Rename* ]]; then
    echo "cli_bench: 'rename' is not Debian's perl rename" >&2
    exit 2
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/dovreth-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"

# The plain loop of rename system calls.
cat >"$work/loop.c" <<'CEOF'
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
int main(int argc, char** argv) {
    if (argc != 2) return 2;
    DIR* d = opendir(argv[1]);
    if (!d) return 2;
    size_t n = 0, cap = 1024;
    char** names = malloc(cap * sizeof *names);
    struct dirent* e;
    while ((e = readdir(d))) {
        if (e->d_name[0] == '.') continue;
        if (n == cap) names = realloc(names, (cap *= 2) * sizeof *names);
        names[n++] = strdup(e->d_name);
    }
    closedir(d);
    char from[4096], to[4096];
    int bad = 0;
    for (size_t i = 0; i < n; ++i) {
        snprintf(from, sizeof from, "%s/%s", argv[1], names[i]);
        snprintf(to, sizeof to, "%s/p_%s", argv[1], names[i]);
        if (rename(from, to) != 0) bad = 1;
    }
    return bad;
}
CEOF
cc -O2 -o "$work/loop" "$work/loop.c"

make_files() {  # $1: folder
    rm -rf "$1"
    mkdir -p "$1"
    (cd "$1" && seq -f 'file_%06g.txt' 1 "$N" | xargs touch)
}

check() {  # $1: tool, $2: folder
    local renamed
    renamed=$(find "$2" -maxdepth 1 -type f -name 'p_file_*' | wc -l)
    if [[ "$renamed" -ne "$N" ]]; then
        echo "cli_bench: $1 renamed $renamed of $N files" >&2
        exit 1
    fi
}

now() { date +%s.%N; }

declare -A secs
run_tool() {  # $1: tool name; the command follows
    local tool="$1"
    shift
    local dir="$work/files"
    make_files "$dir"
    sync
    local t0 t1
    t0=$(now)
    "$@"
    t1=$(now)
    check "$tool" "$dir"
    secs[$tool]=$(echo "$t1 - $t0" | bc -l)
}

run_tool dovreth-cli env DOVRETH_HOME="$work/home" "$cli" "$work/files" --folder files \
    --select-all --exec 'PasteLeftListString("p_")' --rename 2>"$work/cli.err" ||
    { cat "$work/cli.err" >&2; exit 1; }
run_tool rename bash -c 'cd "$1" && find . -mindepth 1 -maxdepth 1 -type f -printf "%f\0" | rename -0 "s/^/p_/"' _ "$work/files"
run_tool mmv bash -c 'cd "$1" && mmv "file_*" "p_file_#1"' _ "$work/files"
run_tool syscalls "$work/loop" "$work/files"

printf '%d files, prefix "p_"\n' "$N"
for tool in dovreth-cli rename mmv syscalls; do
    printf '  %-12s %8.3f s   %6.2f x the syscall loop\n' "$tool" "${secs[$tool]}" \
        "$(echo "${secs[$tool]} / ${secs[syscalls]}" | bc -l)"
done
printf '  dovreth-cli / rename = %.2f, dovreth-cli / mmv = %.2f\n' \
    "$(echo "${secs[dovreth-cli]} / ${secs[rename]}" | bc -l)" \
    "$(echo "${secs[dovreth-cli]} / ${secs[mmv]}" | bc -l)"
