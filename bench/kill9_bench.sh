#!/usr/bin/env bash
# kill -9 of `dovreth-cli --rename` in the middle of a large run, a few times over: afterwards
# every file must exist under either its old or its new name, none twice and none lost, each
# with its own content; then `dovreth-cli --undo` must bring every file back to its old name
# from the journal of the killed run, again none lost and none twice.
#
#   bench/kill9_bench.sh [dovreth-cli] [files] [rounds]
#       (default: build-hard-bench/src/cli/dovreth-cli, 20000 files, 5 rounds)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build-hard-bench/src/cli/dovreth-cli}
files=${2:-20000}
rounds=${3:-5}
[ -x "$cli" ] || { echo "no dovreth-cli at $cli" >&2; exit 2; }

work=$(mktemp -d /tmp/dovreth-kill9-XXXXXX)
trap 'rm -rf "$work"' EXIT
export DOVRETH_HOME=$work/home
mkdir -p "$DOVRETH_HOME"

failures=0
undo_failures=0
for round in $(seq 1 "$rounds"); do
    rm -rf "$work/data"
    mkdir -p "$work/data/d"
    # Files f00000 ... in one folder, each with its own name as content.
    (cd "$work/data/d" && seq -f 'f%05.0f' 0 $((files - 1)) | while read -r n; do echo "$n" > "$n"; done)
    # Every name gets a prefix.
    "$cli" "$work/data/d" --folder d --select-all --exec 'PasteLeftListString("new_")' --rename > "$work/out.txt" 2>&1 &
    pid=$!
    # Kill at a different point each round: after a growing number of renamed files.
    target=$(( files * round / (rounds + 1) ))
    while kill -0 $pid 2>/dev/null; do
        done_now=$(find "$work/data/d" -name 'new_f*' 2>/dev/null | wc -l)
        [ "$done_now" -ge "$target" ] && break
        sleep 0.05
    done
    kill -9 $pid 2>/dev/null
    wait $pid 2>/dev/null
    status=$?
    # Every file once, under its old or its new name, with its content.
    bad=$(cd "$work/data/d" && find . -type f | awk -v n="$files" -F/ '
        { name = $NF; sub(/^new_/, "", name); seen[name]++;
          getline content < $0; close($0);
          if (content != name) { print "wrong content: " $0; bad++ } }
        END { for (i = 0; i < n; i++) { k = sprintf("f%05d", i);
                if (!(k in seen)) { print "lost: " k; bad++ }
                else if (seen[k] > 1) { print "twice: " k; bad++ } }
              print bad + 0 }' | tail -1)
    renamed=$(find "$work/data/d" -type f -name 'new_f*' | wc -l)
    total=$(find "$work/data/d" -type f | wc -l)
    extra=$(find "$work/data/d" -mindepth 1 -not -type f | wc -l)
    printf 'round %d: killed (status %d) after %d of %d files renamed; %d files on disk; %s problems%s\n' \
        "$round" "$status" "$renamed" "$files" "$total" "$bad" "$([ "$extra" -gt 0 ] && echo ", $extra odd entries")"
    [ "$bad" = 0 ] && [ "$total" = "$files" ] || failures=$((failures + 1))

    # The undo from the journal of the killed run: every file back under its old name.
    "$cli" --undo > "$work/undo.txt" 2>&1
    undo_status=$?
    noticed=$(grep -c "did not finish" "$work/undo.txt")
    back=$(cd "$work/data/d" && find . -type f | awk -v n="$files" -F/ '
        { name = $NF; seen[name]++; getline content < $0; close($0);
          if (content != name) { print "wrong content or name: " $0; bad++ } }
        END { for (i = 0; i < n; i++) { k = sprintf("f%05d", i);
                if (!(k in seen)) { print "not back: " k; bad++ }
                else if (seen[k] > 1) { print "twice: " k; bad++ } }
              print bad + 0 }' | tail -1)
    total=$(find "$work/data/d" -type f | wc -l)
    printf '         --undo (status %d, unfinished run noticed: %s): %d files on disk; %s not back under the old name\n' \
        "$undo_status" "$([ "$noticed" -gt 0 ] && echo yes || echo no)" "$total" "$back"
    [ "$back" = 0 ] && [ "$total" = "$files" ] && [ "$undo_status" = 0 ] || undo_failures=$((undo_failures + 1))
done
echo "kill -9 rounds with a lost, doubled or changed file: $failures of $rounds"
echo "rounds whose --undo left a file lost, doubled or not back: $undo_failures of $rounds"
[ $failures = 0 ] && [ $undo_failures = 0 ]
