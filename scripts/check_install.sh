#!/usr/bin/env bash
# Installs a build into a staging folder (DESTDIR) and checks what a desktop expects of it:
#   scripts/check_install.sh BUILD_DIR
# the desktop entry and the AppStream metainfo validate, the man pages render, the completion
# knows every option, dovreth-cli runs, the window starts offscreen and ends, and an installed
# copy keeps its own files in ~/.local/share/dovreth (mode 0700), never beside itself.
set -euo pipefail

build="$(cd "${1:?usage: check_install.sh BUILD_DIR}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/dovreth-install-XXXXXX")"
trap 'rm -rf "$work"' EXIT
stage="$work/stage"
fail=0
check() {  # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    if "$@" >"$work/out" 2>&1; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        sed 's/^/     /' "$work/out"
        fail=1
    fi
}

DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
usr="$stage/usr"
app=org.dovreth.Dovreth

expected=(bin/dovreth bin/dovreth-cli "share/applications/$app.desktop"
          "share/metainfo/$app.metainfo.xml" share/icons/hicolor/scalable/apps/dovreth.svg
          share/icons/hicolor/48x48/apps/dovreth.png share/man/man1/dovreth.1
          share/man/man1/dovreth-cli.1 share/man/ja/man1/dovreth.1
          share/man/ja/man1/dovreth-cli.1 share/bash-completion/completions/dovreth-cli)
for f in "${expected[@]}"; do check "installed $f" test -s "$usr/$f"; done
check "the 48 px icon is a 48 x 48 PNG" \
    bash -c 'file "$1" | grep -q "PNG image data, 48 x 48"' _ "$usr/share/icons/hicolor/48x48/apps/dovreth.png"

check "desktop-file-validate" desktop-file-validate "$usr/share/applications/$app.desktop"
check "appstreamcli validate --no-net" appstreamcli validate --no-net \
    "$usr/share/metainfo/$app.metainfo.xml"

render() {  # render PAGE [strict]: man -l formats it; strict pages also render without warnings
    MANWIDTH=80 man -l "$1" 2>"$work/warn" | grep -q "DOVRETH" || return 1
    if [ "${2:-}" = strict ]; then
        MANWIDTH=80 man --warnings -l "$1" 2>"$work/warn" >/dev/null
        if [ -s "$work/warn" ]; then cat "$work/warn"; return 1; fi
    fi
}
for page in dovreth dovreth-cli; do
    check "man -l $page.1" render "$usr/share/man/man1/$page.1" strict
    # groff cannot break Japanese lines, so only the rendering itself is checked.
    check "man -l ja/$page.1" render "$usr/share/man/ja/man1/$page.1"
done

check "dovreth-cli --version" bash -c '"$1" --version | grep -qx "Dovreth Version [0-9.]*"' _ \
    "$usr/bin/dovreth-cli"
completes_every_option() {
    local opt missing=0
    for opt in $("$usr/bin/dovreth-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -qw -- "$opt" "$usr/share/bash-completion/completions/dovreth-cli" ||
            { echo "not completed: $opt"; missing=1; }
    done
    return $missing
}
check "bash completion knows every option of --help" completes_every_option

# An installed copy without DOVRETH_HOME: its own folder is ~/.local/share/dovreth, made 0700,
# and nothing is written beside the executable.
own_folder_in_home() {
    mkdir -p "$work/home" "$work/in"
    echo x >"$work/in/a.txt"
    local before after
    before="$(ls -A "$usr/bin")"
    env -u DOVRETH_HOME -u XDG_DATA_HOME HOME="$work/home" \
        "$usr/bin/dovreth-cli" "$work/in" --tree >/dev/null
    after="$(ls -A "$usr/bin")"
    [ "$before" = "$after" ] || { echo "written beside the executable: $after"; return 1; }
    [ -f "$work/home/.local/share/dovreth/DataTrace.txt" ] || { echo "no trace in home"; return 1; }
    [ "$(stat -c %a "$work/home/.local/share/dovreth")" = 700 ] || { echo "folder not 0700"; return 1; }
}
check "installed dovreth-cli keeps its files in ~/.local/share/dovreth" own_folder_in_home

if [ -x "$usr/bin/dovreth" ]; then
    mkdir -p "$work/runtime" "$work/winhome"
    chmod 700 "$work/runtime"
    check "the window starts offscreen with a path to load and ends" env QT_QPA_PLATFORM=offscreen \
        XDG_RUNTIME_DIR="$work/runtime" DOVRETH_HOME="$work/winhome" DOVRETH_QUIT_AFTER_START=1 \
        timeout 120 "$usr/bin/dovreth" "$work/in"
fi

exit $fail
