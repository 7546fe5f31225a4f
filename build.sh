#!/usr/bin/env bash
# Quillon's one entry point on a Debian machine.
#   ./build.sh run    install what is missing, build, start Quillon
#   ./build.sh test   install what is missing, build, run every test (also under sanitizers)
#                     and check the Debian package
#   ./build.sh package  install what is missing, build, make the Debian package
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build pkg-config
          qt6-base-dev qt6-qpa-plugins libqt6dbus6 qt6-svg-dev
          libvorbis-dev libogg-dev libsox-dev libmp3lame-dev libtag1-dev
          libgtest-dev libmpg123-dev dbus-daemon
          librsvg2-bin desktop-file-utils appstream libglib2.0-bin groff-base file mount)
JOBS=$(nproc)
# Pictures of 16 MiB and more take TagLib's byte loops minutes under the sanitizers; the plain
# build runs these tests.
SANITIZER_SKIP='LargerThan16MiB|BrokenAndHugePictures'

install_missing() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

# configure DIR [cmake options...]
configure() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

# Makes build/package/quillon_VERSION_ARCH.deb from the build folder.
make_package() {
    rm -rf build/package
    (cd build && cpack -G DEB >/dev/null)
}

run_tests() {
    local dir=$1
    shift
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS" "$@"
}

case "${1:-}" in
run)
    install_missing
    configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$JOBS"
    if [ -x build/bin/quillon ]; then
        exec build/bin/quillon
    fi
    echo "Quillon's window is not part of this build yet; the command line is build/bin/quillon-convert."
    ;;
test)
    install_missing
    configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$JOBS"
    run_tests build
    make_package
    packaging/check-package.sh build/package/quillon_*.deb
    # The Qt-free code again under AddressSanitizer with UBSan, then ThreadSanitizer.
    configure build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLON_GUI=OFF -DQUILLON_BENCH=OFF \
        -DQUILLON_SANITIZE=address
    cmake --build build-asan -j "$JOBS"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
        run_tests build-asan -L portable -E "$SANITIZER_SKIP"
    configure build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_GUI=OFF \
        -DQUILLON_BENCH=OFF -DQUILLON_SANITIZE=thread
    cmake --build build-tsan -j "$JOBS"
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_tests build-tsan -L portable -E "$SANITIZER_SKIP"
    echo "All tests passed."
    ;;
package)
    install_missing
    configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$JOBS"
    make_package
    ls build/package/*.deb
    ;;
*)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
