#!/usr/bin/env bash
# Builds the Debian package of Volmar and prints its path on the last line.
#
#   packaging/build-deb.sh [--no-build] [BUILD_DIR [OUTPUT_DIR]]
#
# BUILD_DIR (build/ by default) is configured and built first, installing what a fresh Debian 12
# lacks, unless --no-build says it is built already. The package goes to OUTPUT_DIR (BUILD_DIR/packages
# by default); CPack stages the installed tree there too, so the build tree is left as it was.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/common.sh"

build=yes
if [ "${1:-}" = "--no-build" ]; then
    build=no
    shift
fi
dir=$(realpath -m "${1:-$root/build}")
out=$(realpath -m "${2:-$dir/packages}")

if [ "$build" = yes ]; then
    volmar_install "${VOLMAR_BUILD_PACKAGES[@]}"
    (cd "$root" && volmar_build "$dir")
fi
mkdir -p "$out"
# The version is the project's: a package left from another version is not the one built now.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$dir/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
deb="$out/volmar_${version}_${arch}.deb"
rm -f "$deb"
cpack --config "$dir/CPackConfig.cmake" -G DEB -B "$out" >&2
[ -f "$deb" ] || { echo "build-deb.sh: CPack made no $deb" >&2; exit 1; }
echo "$deb"
