#!/usr/bin/env bash
# Dovreth's one entry point for a newcomer and for CI.
#   scripts/dev.sh run    install what is missing, build, start the program
#   scripts/dev.sh test   install what is missing, build, run every test, check an install
#                         into a staging folder (then the tests again under
#                         AddressSanitizer and UndefinedBehaviorSanitizer, then the
#                         fuzz targets for a fixed time each)
#   scripts/dev.sh package  install what is missing, build, make the Debian package (build/)
#   scripts/dev.sh setup  only install what is missing
#   scripts/dev.sh build  only build (into build/)
#   scripts/dev.sh bench  install the other renamers the benchmark compares with (mmv, rename),
#                         build dovreth-cli (into build-cli/) and run bench/cli_bench.sh; its
#                         settings (N=, REPS=, FS=, SCALE=1, OLD_CLI=) pass through
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
jobs="$(nproc 2>/dev/null || echo 2)"

# A compiler cache, when one is installed, makes rebuilds of other checkouts cheap.
launcher=()
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="$here"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev qt6-base-dev libgl-dev
          fonts-noto-cjk qt6-translations-l10n clang libclang-rt-14-dev xvfb xauth
          desktop-file-utils appstream man-db groff-base dpkg-dev file
          libpcre2-dev libicu-dev libexiv2-dev libtag1-dev libjemalloc-dev
          zlib1g-dev)

# The renamers bench/cli_bench.sh measures beside dovreth-cli.
bench_packages=(mmv rename bc)

setup() {
    local missing=()
    for p in "${packages[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
    cmake --build build -j "$jobs"
}

run_tests() {
    local dir="$1"
    ( cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600 )
}

case "${1:-}" in
    setup) setup ;;
    build) setup; build ;;
    run)
        setup
        build
        if [ -x build/src/shell/dovreth ]; then
            exec build/src/shell/dovreth
        elif [ -x build/src/cli/dovreth-cli ]; then
            exec build/src/cli/dovreth-cli --help
        else
            echo "Dovreth is built; its window is not ready yet. Run 'scripts/dev.sh test' to check the engine."
        fi
        ;;
    test)
        setup
        build
        run_tests build
        echo "== Installed into a staging folder =="
        scripts/check_install.sh build
        if [ "${DOVRETH_SKIP_SANITIZERS:-0}" != "1" ]; then
            echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
            # The window's tests too: its worker threads and their hand-over to the window
            # thread run under the sanitizers (Qt itself is not instrumented).
            cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDOVRETH_SANITIZE=ON "${launcher[@]}" \
                  -DDOVRETH_BUILD_GUI=ON >/dev/null
            cmake --build build-asan -j "$jobs"
            ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
        fi
        if [ "${DOVRETH_SKIP_FUZZ:-0}" != "1" ]; then
            echo "== The readers and parsers under libFuzzer (${DOVRETH_FUZZ_SECONDS:-30} s each) =="
            cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DDOVRETH_FUZZ=ON "${launcher[@]}" \
                  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
                  -DDOVRETH_FUZZ_SECONDS="${DOVRETH_FUZZ_SECONDS:-30}" >/dev/null
            cmake --build build-fuzz -j "$jobs"
            ( cd build-fuzz && ctest --output-on-failure --timeout 900 )
        fi
        ;;
    bench)
        setup "${bench_packages[@]}"
        cmake -S . -B build-cli -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVRETH_BUILD_GUI=OFF \
              "${launcher[@]}" >/dev/null
        cmake --build build-cli -j "$jobs" --target dovreth-cli
        bench/cli_bench.sh build-cli/src/cli/dovreth-cli
        ;;
    package)
        setup
        build
        ( cd build && cpack -G DEB )
        ls build/*.deb
        ;;
    *)
        echo "usage: scripts/dev.sh run|test|package|setup|build|bench" >&2
        exit 2
        ;;
esac
