#!/usr/bin/env bash
# `dovreth-cli --copy-to` of a chain of folders N levels deep, one file in each: the time and
# the number of openat calls should grow linearly with N.
#
#   bench/deep_copy_bench.sh [dovreth-cli] [levels...]
#       (default: build/src/cli/dovreth-cli, 500 1000 5000 levels)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build/src/cli/dovreth-cli}
shift || true
levels=${*:-500 1000 5000}
[ -x "$cli" ] || { echo "no dovreth-cli at $cli" >&2; exit 2; }
for n in $levels; do
    work=$(mktemp -d /tmp/dovreth-deep-XXXXXX)
    mkdir -p "$work/home" "$work/out"
    # Made through descriptors: the chain is far longer than PATH_MAX.
    python3 - "$work" "$n" <<'PY'
import os, sys
os.chdir(sys.argv[1])
d = os.open('.', os.O_RDONLY)
os.mkdir('t', dir_fd=d)
nd = os.open('t', os.O_RDONLY, dir_fd=d); os.close(d); d = nd
for _ in range(int(sys.argv[2])):
    os.mkdir('d', dir_fd=d)
    f = os.open('f.txt', os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=d); os.write(f, b'x'); os.close(f)
    nd = os.open('d', os.O_RDONLY, dir_fd=d); os.close(d); d = nd
PY
    (cd "$work" && DOVRETH_HOME="$work/home" /usr/bin/time -f "$n levels: %e s wall, %U s user, %S s sys" \
        "$cli" t --copy-to out 2>&1 >/dev/null | tail -1)
    if command -v strace >/dev/null; then
        (cd "$work" && mkdir -p out2 && DOVRETH_HOME="$work/home" strace -f -c -e trace=openat \
            -o "$work/strace" "$cli" t --copy-to out2 >/dev/null 2>&1)
        awk -v n="$n" '$NF == "openat" { print "  " $4 " openat calls (" int($4 / n) " a level)" }' "$work/strace"
    fi
    rm -rf "$work"
done
