#!/usr/bin/env bash
# Adds the prefix "p_" to N files (default 100,000) in one folder with every tool below, on each
# file system given (default: the tmpfs at /dev/shm and the disk under ${TMPDIR:-/tmp}), best of
# REPS runs (default 3) each, and prints each time with its ratio to floor2 of the same file
# system in the same run:
#   bare         readdir + renameat2(RENAME_NOREPLACE), all through one folder handle
#   floor2       bench/floor2.c (as it is): the least disk work of a renamer with its load, a
#                second listing for the conflict preview, a journal written in blocks ahead of
#                the renames it covers and made durable, one look per entry for the log, and
#                log and trace written in 64 KiB blocks
#   rename       Debian's perl rename (file-rename), names fed on standard input
#   mmv          mmv 'file_*' 'p_file_#1'
#   dovreth-cli  load + select all + PasteLeftListString + direct rename (with PreRenameTree.txt,
#                RenameJournal.txt, RenameLog.txt and the trace)
# A tool that is not installed is left out and said so (Debian packages "rename" and "mmv";
# scripts/dev.sh bench installs them). Every run gets a freshly made folder; making the files is
# not timed. The load average before and after the runs is printed: other work on the machine
# shows there.
#
# SCALE=1 adds the 1,000 folders x 1,000 files run (on the first file system, best of
# SCALE_REPS, default 1): dovreth-cli (every folder and file gets the prefix) against the bare
# loop doing the same renames over the same tree, and dovreth-cli's cost per item against its
# cost per item in the N-file run of the same file system, by the clock and by CPU time (user +
# system, best of the runs).
#
# Usage: bench/cli_bench.sh [path/to/dovreth-cli]
#        (N=, REPS=, FS="dir dir", SCALE=1, SCALE_REPS=, OLD_CLI=path/to/another/dovreth-cli)
# Default binary: build-cli/src/cli/dovreth-cli of this checkout.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cli="${1:-$here/../build-cli/src/cli/dovreth-cli}"
N="${N:-100000}"
REPS="${REPS:-3}"
FS="${FS:-/dev/shm ${TMPDIR:-/tmp}}"

if [[ ! -x "$cli" ]]; then
    echo "cli_bench: no dovreth-cli at $cli (build the target dovreth-cli first)" >&2
    exit 2
fi

tools=(bare floor2)
if command -v rename >/dev/null 2>&1 && [[ "$(rename --version 2>&1)" == *File::Rename* ]]; then
    tools+=(rename)
else
    echo "cli_bench: Debian's perl rename is not installed: left out" >&2
fi
if command -v mmv >/dev/null 2>&1; then
    tools+=(mmv)
else
    echo "cli_bench: mmv is not installed: left out" >&2
fi
tools+=(dovreth-cli)
# OLD_CLI=path adds another build of dovreth-cli (say, before a change) as "dovreth-old".
[[ -n "${OLD_CLI:-}" ]] && tools+=(dovreth-old)

progdir="$(mktemp -d "${TMPDIR:-/tmp}/dovreth-bench-bin-XXXXXX")"
works=()
cleanup() {
    rm -rf "$progdir"
    for w in "${works[@]}"; do rm -rf "$w"; done
}
trap cleanup EXIT

cc -O2 -w -o "$progdir/floor2" "$here/floor2.c"

cat >"$progdir/loops.c" <<'CEOF'
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static char** list(int dfd, size_t* count) {
    DIR* d = fdopendir(openat(dfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    size_t n = 0, cap = 1024;
    char** names = malloc(cap * sizeof *names);
    struct dirent* e;
    while ((e = readdir(d))) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        if (n == cap) names = realloc(names, (cap *= 2) * sizeof *names);
        names[n++] = strdup(e->d_name);
    }
    closedir(d);
    *count = n;
    return names;
}

static int bare(int dfd) {
    size_t n;
    char** names = list(dfd, &n);
    char to[512];
    int bad = 0;
    for (size_t i = 0; i < n; ++i) {
        snprintf(to, sizeof to, "p_%s", names[i]);
        if (renameat2(dfd, names[i], dfd, to, RENAME_NOREPLACE) != 0) bad = 1;
    }
    return bad;
}

/* Every entry of every sub-folder, then the sub-folder itself. */
static int tree(int top) {
    size_t n;
    char** subs = list(top, &n);
    char to[512];
    int bad = 0;
    for (size_t i = 0; i < n; ++i) {
        int d = openat(top, subs[i], O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (d < 0) return 1;
        bad |= bare(d);
        close(d);
        snprintf(to, sizeof to, "p_%s", subs[i]);
        if (renameat2(top, subs[i], top, to, RENAME_NOREPLACE) != 0) bad = 1;
    }
    return bad;
}

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    int dfd = open(argv[2], O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return 2;
    if (!strcmp(argv[1], "bare")) return bare(dfd);
    if (!strcmp(argv[1], "tree")) return tree(dfd);
    return 2;
}
CEOF
cc -O2 -o "$progdir/loops" "$progdir/loops.c"

make_files() {  # $1: folder
    rm -rf "$1"
    mkdir -p "$1"
    (cd "$1" && seq -f 'file_%06g.txt' 1 "$N" | xargs touch)
}

make_tree() {  # $1: folder; 1,000 folders of 1,000 files
    rm -rf "$1"
    mkdir -p "$1"
    (cd "$1" && seq -f 'd%03g' 0 999 | xargs mkdir &&
        for d in d*; do (cd "$d" && seq -f 'f%03g.txt' 0 999 | xargs touch); done)
}

check() {  # $1: tool, $2: folder, $3: expected count
    local renamed
    renamed=$(find "$2" -name 'p_*' | wc -l)
    if [[ "$renamed" -ne "$3" ]]; then
        echo "cli_bench: $1 renamed $renamed of $3 entries" >&2
        exit 1
    fi
}

now() { date +%s.%N; }

dovreth() {  # $1: binary, $2: home, then its arguments; its CPU time goes to $home/cpu
    local bin="$1" home="$2"
    shift 2
    local TIMEFORMAT='%3U %3S'
    { time DOVRETH_HOME="$home" "$bin" "$@" 2>"$home/cli.err" >/dev/null; } 2>"$home/cpu" ||
        { cat "$home/cli.err" >&2; exit 1; }
}

cpu_of() {  # $1: home of a dovreth-cli run; prints its user + system seconds
    awk '{ print $1 + $2 }' "$1/cpu"
}

run_one() {  # $1: tool, $2: folder, $3: home; prints seconds
    local tool="$1" dir="$2" home="$3" t0 t1
    rm -rf "$home"
    mkdir -p "$home"
    sync
    t0=$(now)
    case "$tool" in
        bare) "$progdir/loops" bare "$dir" ;;
        floor2) "$progdir/floor2" "$dir" p_ "$home/RenameLog.txt" "$home/RenameJournal.txt" ;;
        rename) (cd "$dir" && find . -mindepth 1 -maxdepth 1 -type f -printf "%f\0" |
            rename -0 "s/^/p_/") ;;
        mmv) (cd "$dir" && mmv "file_*" "p_file_#1") ;;
        dovreth-cli | dovreth-old)
            local bin="$cli"
            [[ "$tool" == dovreth-old ]] && bin="$OLD_CLI"
            dovreth "$bin" "$home" "$dir" --folder "$(basename "$dir")" --select-all \
                --exec 'PasteLeftListString("p_")' --rename ;;
    esac
    t1=$(now)
    echo "$t1 - $t0" | bc -l
}

best() {  # the least of the numbers given
    printf '%s\n' "$@" | sort -g | head -1
}

printf '%d files in one folder, prefix "p_", best of %d; load average before: %s\n' "$N" "$REPS" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
declare -A cli_item=() cli_cpu=()
cpus=""
for fs in $FS; do
    work="$(mktemp -d "$fs/dovreth-bench-XXXXXX")"
    works+=("$work")
    declare -A secs=()
    # Rounds go through all tools in turn, so a busy spell of the machine hits all alike.
    for ((r = 0; r < REPS; ++r)); do
        for tool in "${tools[@]}"; do
            make_files "$work/files"
            s=$(run_one "$tool" "$work/files" "$work/home")
            check "$tool" "$work/files" "$N"
            secs[$tool]="${secs[$tool]:-} $s"
            [[ "$tool" == dovreth-cli ]] && cpus="${cpus:-} $(cpu_of "$work/home")"
        done
    done
    base=$(best ${secs[floor2]})
    # stat -f names ext4 "ext2/ext3" (one magic number); df knows the type the mount gives.
    printf '%s (%s)\n' "$fs" "$(df --output=fstype "$fs" 2>/dev/null | tail -1 || stat -f -c %T "$fs")"
    for tool in "${tools[@]}"; do
        b=$(best ${secs[$tool]})
        printf '  %-12s %8.3f s   %5.2f x floor2\n' "$tool" "$b" "$(echo "$b / $base" | bc -l)"
    done
    cli_item[$fs]=$(echo "$(best ${secs[dovreth-cli]}) / $N" | bc -l)
    cli_cpu[$fs]=$(echo "$(best $cpus) / $N" | bc -l)
    cpus=""
    unset secs
    rm -rf "$work"
done

if [[ "${SCALE:-0}" == 1 ]]; then
    fs="${FS%% *}"
    work="$(mktemp -d "$fs/dovreth-bench-XXXXXX")"
    works+=("$work")
    declare -A big=()
    for ((r = 0; r < ${SCALE_REPS:-1}; ++r)); do
        for tool in bare dovreth-cli; do
            make_tree "$work/tree"
            rm -rf "$work/home"
            mkdir -p "$work/home"
            sync
            t0=$(now)
            if [[ "$tool" == bare ]]; then
                "$progdir/loops" tree "$work/tree"
            else
                dovreth "$cli" "$work/home" "$work/tree" --folder tree --select-all \
                    --into-folders --exec 'PasteLeftListString("p_")' --rename
            fi
            t1=$(now)
            check "$tool" "$work/tree" 1001000
            big[$tool]="${big[$tool]:-} $(echo "$t1 - $t0" | bc -l)"
            [[ "$tool" == dovreth-cli ]] && bigcpu="${bigcpu:-} $(cpu_of "$work/home")"
        done
    done
    b=$(best ${big[bare]})
    c=$(best ${big[dovreth-cli]})
    printf '1,000 folders x 1,000 files on %s, best of %d\n' "$fs" "${SCALE_REPS:-1}"
    printf '  %-12s %8.3f s   %5.2f x bare\n' bare "$b" 1
    printf '  %-12s %8.3f s   %5.2f x bare\n' dovreth-cli "$c" "$(echo "$c / $b" | bc -l)"
    printf '  dovreth-cli per item: %.3f us (%d-file run: %.3f us), %.2f x\n' \
        "$(echo "$c / 1001000 * 1000000" | bc -l)" "$N" "$(echo "${cli_item[$fs]} * 1000000" | bc -l)" \
        "$(echo "$c / 1001000 / ${cli_item[$fs]}" | bc -l)"
    # CPU time (user + system) leaves out the time the machine gave to other work, which a
    # long run cannot dodge the way the best of several short ones does.
    u=$(best $bigcpu)
    printf '  dovreth-cli CPU per item: %.3f us (%d-file run: %.3f us), %.2f x\n' \
        "$(echo "$u / 1001000 * 1000000" | bc -l)" "$N" "$(echo "${cli_cpu[$fs]} * 1000000" | bc -l)" \
        "$(echo "$u / 1001000 / ${cli_cpu[$fs]}" | bc -l)"
fi
printf 'load average after: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
