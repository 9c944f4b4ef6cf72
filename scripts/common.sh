# Shared by run.sh and test.sh: install what a fresh Debian 12 machine lacks, then configure and build.

VOLMAR_BUILD_PACKAGES=(cmake g++ ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libinih-dev fonts-dejavu-core
    qt6-translations-l10n)
VOLMAR_DISPLAY_PACKAGES=(xvfb xauth x11-utils imagemagick)

volmar_missing_packages() {
    local pkg missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    echo "${missing[@]:-}"
}

volmar_install() {
    local missing
    missing=$(volmar_missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "Installing: $missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
}

volmar_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
