#!/usr/bin/env bash
# Installs the Debian package with apt-get as a user would, runs the installed quillon-convert,
# removes the package again and checks that it left nothing behind.
#   packaging/check-package.sh build/package/quillon_VERSION_ARCH.deb
set -euo pipefail

deb=$(realpath "$1")
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300)

fail() {
    echo "check-package: $*" >&2
    exit 1
}

state() { dpkg-query -W -f='${db:Status-Status}' quillon 2>/dev/null || echo not-installed; }

# A Quillon the user installed is theirs: never replace or remove it here.
[ "$(state)" = not-installed ] ||
    fail "a quillon package is installed already; remove it first (apt-get remove quillon)"

echo "Package: $(basename "$deb")"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
"${apt[@]}" install --no-install-recommends "$deb" >/dev/null
trap '"${apt[@]}" remove quillon >/dev/null 2>&1 || true' EXIT

expected="quillon-convert $(dpkg-deb -f "$deb" Version)"
version=$(/usr/bin/quillon-convert --version)
[ "$version" = "$expected" ] || fail "installed quillon-convert says '$version', not '$expected'"
mapfile -t files < <(dpkg-query -L quillon)
printf '%s\n' "${files[@]}" | grep -q '/quillon/lame_enc\.so$' ||
    fail "the package has no encoder module"
"${apt[@]}" remove quillon >/dev/null
trap - EXIT

[ "$(state)" = not-installed ] || fail "after removal the package is '$(state)', not gone"
for path in "${files[@]}"; do
    [ -e "$path" ] || continue
    # A folder that stays must belong to another package.
    if [ ! -d "$path" ] || ! dpkg-query -S "$path" >/dev/null 2>&1; then
        fail "left behind after removal: $path"
    fi
done
echo "The package installs, runs ($version) and removes cleanly."
