#!/usr/bin/env bash
# Adds the prefix "p_" to N files (default 100,000) in one folder with every tool below, on each
# file system given (default: the tmpfs at /dev/shm and the disk under ${TMPDIR:-/tmp}), best of
# REPS runs (default 3) each, and prints each time with its ratio to the bare loop of the same
# file system in the same run:
#   bare         readdir + renameat2(RENAME_NOREPLACE), all through one folder handle
#   floor        the least disk work of a checked rename with its log: list the folder, one
#                fstatat per entry (the load's look), the no-replace rename, one fstatat per
#                entry (the log's check), log and trace texts written in 64 KiB blocks, all
#                relative to one folder handle
#   rename       Debian's perl rename (file-rename), names fed on standard input
#   mmv          mmv 'file_*' 'p_file_#1'
#   dovreth-cli  load + select all + PasteLeftListString + direct rename (with PreRenameTree.txt,
#                RenameLog.txt and the trace)
# A tool that is not installed is left out and said so (Debian packages "rename" and "mmv").
# Every run gets a freshly made folder; making the files is not timed.
#
# SCALE=1 adds the 1,000 folders x 1,000 files run (on the first file system): dovreth-cli
# (every folder and file gets the prefix) against the bare loop doing the same renames over the
# same tree, one handle per folder.
#
# Usage: bench/cli_bench.sh [path/to/dovreth-cli]   (N=, REPS=, FS="dir dir", SCALE=1, OLD_CLI=)
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

tools=(bare floor)
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

cat >"$progdir/loops.c" <<'CEOF'
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
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

struct out { int fd; char buf[65536]; size_t len; };
static void put(struct out* o, const char* text) {
    size_t n = strlen(text);
    if (o->len + n > sizeof o->buf) { write(o->fd, o->buf, o->len); o->len = 0; }
    memcpy(o->buf + o->len, text, n);
    o->len += n;
}

static int floor_(int dfd, const char* home) {
    size_t n;
    char** names = list(dfd, &n);
    struct stat st;
    for (size_t i = 0; i < n; ++i) fstatat(dfd, names[i], &st, AT_SYMLINK_NOFOLLOW);
    char path[4096], text[2048], to[512];
    snprintf(path, sizeof path, "%s/DataTrace.txt", home);
    struct out* trace = calloc(1, sizeof *trace);
    trace->fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    snprintf(path, sizeof path, "%s/RenameLog.txt", home);
    struct out* log = calloc(1, sizeof *log);
    log->fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int bad = 0;
    for (size_t i = 0; i < n; ++i) {
        snprintf(to, sizeof to, "p_%s", names[i]);
        if (renameat2(dfd, names[i], dfd, to, RENAME_NOREPLACE) != 0) bad = 1;
        snprintf(text, sizeof text, "depth of new item \"/some/folder/%s\" is 3\r\n", to);
        put(trace, text);
    }
    for (size_t i = 0; i < n; ++i) {
        snprintf(to, sizeof to, "p_%s", names[i]);
        if (fstatat(dfd, to, &st, AT_SYMLINK_NOFOLLOW) != 0) bad = 1;
        snprintf(text, sizeof text,
                 "-----\r\nrenamed\r\n\told /some/folder/%s\r\n\tnew /some/folder/%s\r\n",
                 names[i], to);
        put(log, text);
    }
    put(trace, "\r\n");
    write(trace->fd, trace->buf, trace->len);
    write(log->fd, log->buf, log->len);
    close(trace->fd);
    close(log->fd);
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
    if (!strcmp(argv[1], "floor") && argc == 4) return floor_(dfd, argv[3]);
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

run_one() {  # $1: tool, $2: folder, $3: home; prints seconds
    local tool="$1" dir="$2" home="$3" t0 t1
    rm -rf "$home"
    mkdir -p "$home"
    sync
    t0=$(now)
    case "$tool" in
        bare) "$progdir/loops" bare "$dir" ;;
        floor) "$progdir/loops" floor "$dir" "$home" ;;
        rename) (cd "$dir" && find . -mindepth 1 -maxdepth 1 -type f -printf "%f\0" |
            rename -0 "s/^/p_/") ;;
        mmv) (cd "$dir" && mmv "file_*" "p_file_#1") ;;
        dovreth-cli | dovreth-old)
            local bin="$cli"
            [[ "$tool" == dovreth-old ]] && bin="$OLD_CLI"
            DOVRETH_HOME="$home" "$bin" "$dir" --folder "$(basename "$dir")" \
            --select-all --exec 'PasteLeftListString("p_")' --rename 2>"$home/cli.err" ||
            { cat "$home/cli.err" >&2; exit 1; } ;;
    esac
    t1=$(now)
    echo "$t1 - $t0" | bc -l
}

best() {  # the least of the numbers given
    printf '%s\n' "$@" | sort -g | head -1
}

printf '%d files in one folder, prefix "p_", best of %d\n' "$N" "$REPS"
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
        done
    done
    base=$(best ${secs[bare]})
    printf '%s (%s)\n' "$fs" "$(stat -f -c %T "$fs")"
    for tool in "${tools[@]}"; do
        b=$(best ${secs[$tool]})
        printf '  %-12s %8.3f s   %5.2f x bare\n' "$tool" "$b" "$(echo "$b / $base" | bc -l)"
    done
    rm -rf "$work"
done

if [[ "${SCALE:-0}" == 1 ]]; then
    fs="${FS%% *}"
    work="$(mktemp -d "$fs/dovreth-bench-XXXXXX")"
    works+=("$work")
    declare -A big=()
    for tool in bare dovreth-cli; do
        make_tree "$work/tree"
        sync
        mkdir -p "$work/home"
        t0=$(now)
        if [[ "$tool" == bare ]]; then
            "$progdir/loops" tree "$work/tree"
        else
            DOVRETH_HOME="$work/home" "$cli" "$work/tree" --folder tree --select-all \
                --into-folders --exec 'PasteLeftListString("p_")' --rename 2>"$work/home/cli.err" ||
                { cat "$work/home/cli.err" >&2; exit 1; }
        fi
        t1=$(now)
        check "$tool" "$work/tree" 1001000
        big[$tool]=$(echo "$t1 - $t0" | bc -l)
    done
    printf '1,000 folders x 1,000 files on %s\n' "$fs"
    printf '  %-12s %8.3f s   %5.2f x bare\n' bare "${big[bare]}" 1
    printf '  %-12s %8.3f s   %5.2f x bare\n' dovreth-cli "${big[dovreth-cli]}" \
        "$(echo "${big[dovreth-cli]} / ${big[bare]}" | bc -l)"
fi
